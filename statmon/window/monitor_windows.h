// QORSM's windows: the hidden main frame, the view that owns the tray icon
// and hears the worker, the pop-up box and the version box. All of them
// live on the main thread; the worker only posts to the view.
#pragma once

#include "monitor_app.h"

#include "qor/ui/windows.h"

#include <atomic>

namespace qor::statmon {

inline constexpr UINT WM_PSM_NOTIFY = WM_USER + 1;
inline constexpr UINT WM_PSM_SHOWMESSAGE = WM_USER + 2;
inline constexpr UINT WM_PSM_TRAYICON = WM_USER + 5;
inline constexpr UINT WM_PSM_CLOSE = WM_USER + 10;

inline constexpr UINT kTrayIconId = 2;
inline constexpr char16_t kFrameClass[] = u"QorStatusMonitorFrame";
inline constexpr char16_t kViewClass[] = u"QorStatusMonitorView";
inline constexpr char16_t kFrameTitle[] = u"QOR KIOSK Printer Status Monitor";
inline constexpr char16_t kTrayTip[] = u"QOR Printer";

class CStatusPopupDlg;

// The window half of the application object.
class MonitorWindows final : public MonitorView {
public:
    explicit MonitorWindows(CStatusMonitorApp& app) : app_(app) {}
    // The exit path: the worker is stopped and waited for (it posts to this
    // object), then the pop-up box and the frame go if still there.
    ~MonitorWindows() override;
    MonitorWindows(const MonitorWindows&) = delete;
    MonitorWindows& operator=(const MonitorWindows&) = delete;

    // The hidden main frame and its view, which adds the tray icon.
    bool create();

    HWND frame() const { return frame_; }
    HWND view() const { return view_.load(); }
    CStatusPopupDlg* popup() const { return popup_; }
    HWND version_box() const { return version_box_; }
    CStatusMonitorApp& app() { return app_; }

    // MonitorView, on the worker thread.
    void post_notify(UINT message, DWORD persistent) override;
    bool popup_visible() const override { return popup_visible_.load(); }

    // WM_PSM_NOTIFY on the view: makes, shows and feeds the pop-up box.
    void notify(UINT message, DWORD persistent);
    // Signals the worker's stop, then hides and destroys the pop-up box.
    void stop();
    // Opens the version box, or brings the open one forward.
    void show_version_box();

    // From the windows themselves.
    void frame_created(HWND frame, HWND view);
    void view_gone() { view_.store(nullptr); }
    void frame_gone() { frame_ = nullptr; }
    void popup_shown() { popup_visible_.store(true); }
    void popup_gone(CStatusPopupDlg* popup);
    void version_box_opened(HWND box) { version_box_ = box; }

private:
    CStatusMonitorApp& app_;
    HWND frame_ = nullptr;
    std::atomic<HWND> view_{nullptr};  // read by the worker
    CStatusPopupDlg* popup_ = nullptr;
    std::atomic<bool> popup_visible_{false};
    HWND version_box_ = nullptr;
};

// The tray icon's menu (resource 132) at the cursor, its commands going to
// `view`.
void track_tray_menu(HWND view);

}  // namespace qor::statmon
