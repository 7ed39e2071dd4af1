// The tool tip control: each tool's text becomes the Qt tool tip of the
// control it names (TTF_IDISHWND) or of the owner window.
#include "control_kinds.h"

namespace qorui {
namespace {

class ToolTipControl : public Control {
public:
    LRESULT handle(Window& self, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override {
        auto* tool = reinterpret_cast<TOOLINFOW*>(lparam);
        switch (message) {
        case TTM_ADDTOOLW:
        case TTM_UPDATETIPTEXTW:
            if (!tool) return FALSE;
            return show_on(tool, text_of(self, *tool));
        case TTM_DELTOOLW:
            if (tool) show_on(tool, QString());
            return 0;
        case TTM_ACTIVATE:
            active_ = wparam != 0;
            return 0;
        case TTM_SETMAXTIPWIDTH:
            return -1;
        default:
            handled = false;
            return 0;
        }
    }

private:
    // LPSTR_TEXTCALLBACK asks the owner once, when the tool is added.
    static QString text_of(Window& self, const TOOLINFOW& tool) {
        if (tool.lpszText != LPSTR_TEXTCALLBACKW) {
            if (tool.hinst && IS_INTRESOURCE(tool.lpszText)) {
                LPCWSTR text = nullptr;
                int length = LoadStringW(tool.hinst, static_cast<UINT>(reinterpret_cast<uintptr_t>(tool.lpszText)),
                                         reinterpret_cast<LPWSTR>(&text), 0);
                return QString::fromUtf16(text, length);
            }
            return to_qstring(tool.lpszText);
        }
        NMTTDISPINFOW info{};
        info.hdr = NMHDR{self.handle, tool.uId, TTN_GETDISPINFOW};
        info.lParam = tool.lParam;
        info.uFlags = tool.uFlags;
        HWND owner = tool.hwnd;
        SendMessageW(owner, WM_NOTIFY, tool.uId, reinterpret_cast<LPARAM>(&info));
        if (info.lpszText && !IS_INTRESOURCE(info.lpszText)) return to_qstring(info.lpszText);
        info.szText[79] = 0;
        return to_qstring(info.szText);
    }
    BOOL show_on(const TOOLINFOW* tool, const QString& text) {
        HWND target = (tool->uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(tool->uId) : tool->hwnd;
        auto window = find_window(target);
        if (!window || !window->widget) return FALSE;
        window->widget->setToolTip(active_ ? text : QString());
        return TRUE;
    }
    bool active_ = true;
};

}  // namespace

bool make_tool_tips(const ControlSpec& spec, Window& window) {
    auto* hidden = new QWidget(spec.parent);
    hidden->hide();
    window.widget = hidden;
    window.control = std::make_unique<ToolTipControl>();
    return true;
}

}  // namespace qorui
