#include "monitor_app.h"

#include "command_line.h"
#include "common/status.h"

#include "qor/kernel.h"
#include "qor/spooler.h"
#include "qor/strings.h"
#include "qor/sysinfo.h"

#include <strings.h>

namespace qor::statmon {

namespace {

bool same_name_ignoring_case(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

}  // namespace

CStatusMonitorApp::CStatusMonitorApp(PrinterDirectory& directory) : directory_(directory) {}

CStatusMonitorApp::~CStatusMonitorApp() {
    signal_stop();
    join_worker();
    if (first_open_) CloseHandle(first_open_);
}

StartUp CStatusMonitorApp::start_up(std::string_view command_line) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, names::kMonitorFirstOpenMutex);
    if (!mutex) return StartUp::AlreadyRunning;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return StartUp::AlreadyRunning;
    }
    first_open_ = mutex;

    watcher_ = std::make_unique<CStatusWatcher>(lock_);
    if (!watcher_->settings().read()) return StartUp::NoSettings;
    const Masks masks = watcher_->settings().masks();
    if (masks.raised == 0 && masks.cleared == 0) return StartUp::NothingToAnnounce;

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
        version.dwMajorVersion == 4) {
        win95_ = version.dwMinorVersion == 0;
        win98_ = version.dwMinorVersion == 10;
    }

    const auto name = printer_from_command_line(command_line);
    if (!name) return StartUp::NoPrinterName;
    const Lookup found = look_up_printer(directory_, *name);
    if (!found.found) return StartUp::PrinterNotFound;
    std::lock_guard guard(lock_);
    name_ = found.name;
    attributes_.store(found.attributes);
    return StartUp::Run;
}

bool CStatusMonitorApp::start_worker(MonitorView* view) {
    if (worker_.joinable()) return false;
    worker_running_.store(true);
    try {
        worker_ = std::thread([this, view] {
            worker_exit_.store(run_worker(view));
            worker_running_.store(false);
        });
    } catch (const std::system_error&) {
        worker_running_.store(false);
        return false;
    }
    return true;
}

void CStatusMonitorApp::signal_stop() {
    std::lock_guard guard(lock_);
    // Remembered too: a stop asked before the worker made its event must
    // still end it.
    stop_requested_ = true;
    if (stop_event_) SetEvent(stop_event_);
}

DWORD CStatusMonitorApp::join_worker() {
    if (worker_.joinable()) worker_.join();
    return worker_exit_.load();
}

void CStatusMonitorApp::publish_stop_event(HANDLE event) {
    std::lock_guard guard(lock_);
    stop_event_ = event;
    if (stop_requested_) SetEvent(event);
}

void CStatusMonitorApp::withdraw_stop_event() {
    std::lock_guard guard(lock_);
    if (stop_event_) CloseHandle(stop_event_);
    stop_event_ = nullptr;
}

std::string CStatusMonitorApp::printer_name() const {
    std::lock_guard guard(lock_);
    return name_;
}

bool CStatusMonitorApp::bidi_enabled() const { return attributes_.load() & PRINTER_ATTRIBUTE_ENABLE_BIDI; }

void CStatusMonitorApp::store_lookup(const Lookup& found) {
    std::lock_guard guard(lock_);
    if (!same_name_ignoring_case(found.name, name_)) name_ = found.name;
    const DWORD before = attributes_.load();
    if (found.attributes == before) return;
    attributes_.store(found.attributes);
    // Signalled only after the store: a worker woken earlier would decide on
    // the old attributes, and the change would never be announced.
    if (((found.attributes ^ before) & PRINTER_ATTRIBUTE_ENABLE_BIDI) && bidi_event_) SetEvent(bidi_event_);
}

void CStatusMonitorApp::recheck_printer() {
    const Lookup found = look_up_printer(directory_, printer_name());
    if (found.found) store_lookup(found);
}

}  // namespace qor::statmon
