// The monitor's application object without its windows: start-up and its
// stop conditions, the printer and its attributes, the worker thread, the
// printer re-check and every way of stopping.
#pragma once

#include "monitor_view.h"
#include "qor/registry.h"
#include "printer_lookup.h"
#include "status_watcher.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace qor::statmon {

// Exit codes of the worker thread.
inline constexpr DWORD kWorkerStopped = 0;
inline constexpr DWORD kWorkerFault = 2;
inline constexpr DWORD kWorkerSetupFailed = 14;
inline constexpr DWORD kWorkerNoHost = 87;

inline constexpr DWORD kCycleMs = 200;

enum class StartUp { Run, AlreadyRunning, NoSettings, NothingToAnnounce, NoPrinterName, PrinterNotFound };

class CStatusMonitorApp {
public:
    explicit CStatusMonitorApp(PrinterDirectory& directory = spooler_directory());
    // The exit path: stops and waits for the worker, then lets the
    // single-instance mutex go.
    ~CStatusMonitorApp();
    CStatusMonitorApp(const CStatusMonitorApp&) = delete;
    CStatusMonitorApp& operator=(const CStatusMonitorApp&) = delete;

    // Everything before the windows are made; Run when the monitor goes on.
    StartUp start_up(std::string_view command_line);
    // Starts the worker posting to `view`; false when it could not start.
    bool start_worker(MonitorView* view);
    // Signals the worker's stop (the window side closes the pop-up).
    void signal_stop();
    // Waits for the worker to end; its exit code (kWorkerStopped when none ran).
    DWORD join_worker();
    bool worker_running() const { return worker_running_.load(); }

    // After a change of the spooler's printers or of this printer's
    // settings: looks the printer up again and follows a change of its
    // two-way attribute.
    void recheck_printer();

    std::string printer_name() const;
    DWORD printer_attributes() const { return attributes_.load(); }
    CStatusWatcher* watcher() const { return watcher_.get(); }
    std::mutex& monitor_lock() { return lock_; }

private:
    DWORD run_worker(MonitorView* view);
    DWORD watch(MonitorView& view, HKEY key, HANDLE registry_event);
    void publish_stop_event(HANDLE event);
    void withdraw_stop_event();
    void store_lookup(const Lookup& found);
    bool bidi_enabled() const;
    DWORD with_bidi_bit(DWORD status) const;

    PrinterDirectory& directory_;
    mutable std::mutex lock_;  // the monitor lock
    std::string name_;
    std::atomic<DWORD> attributes_{0};
    bool win95_ = false;
    bool win98_ = false;
    HANDLE first_open_ = nullptr;
    HANDLE stop_event_ = nullptr;
    HANDLE bidi_event_ = nullptr;
    bool stop_requested_ = false;
    std::unique_ptr<CStatusWatcher> watcher_;
    std::thread worker_;
    std::atomic<bool> worker_running_{false};
    std::atomic<DWORD> worker_exit_{kWorkerStopped};
};

}  // namespace qor::statmon
