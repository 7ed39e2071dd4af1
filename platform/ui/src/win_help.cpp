// WinHelp: topics of a help file in a help window, as pop-ups beside a
// control, and the "What's This?" menu.
#include "help_file.h"
#include "control.h"
#include "remote_windows.h"
#include "script_session.h"
#include "window_table.h"

#include "qor/sysinfo.h"

#include <QCursor>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <fstream>
#include <map>
#include <sstream>

using namespace qorui;

namespace {

std::string help_path(LPCWSTR file) {
    std::string path = to_qstring(file).toStdString();
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.find('/') != std::string::npos) return path;
    WCHAR system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::string folder = to_qstring(system).toStdString();
    for (char& c : folder)
        if (c == '\\') c = '/';
    size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos) folder.resize(slash);
    return folder + "/Help/" + path;
}

std::optional<std::map<uint32_t, HelpTopic>> load_topics(LPCWSTR file) {
    std::ifstream in(help_path(file), std::ios::binary);
    if (!in) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    std::string bytes(kHelpFileLimit + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    auto topics = read_help_file(bytes.data(), bytes.size());
    if (!topics) SetLastError(ERROR_INVALID_DATA);
    return topics;
}

void log_help(const char* kind, uint32_t context, const std::string& title) {
    log_shown(ScriptedBox{"help", kind, std::to_string(context) + "|" + title, "", ""});
}

HWND register_top_level(QWidget* widget, const char16_t* class_name, HWND owner) {
    auto window = std::make_shared<Window>();
    window->widget = widget;
    window->parent = owner;
    window->class_name = class_name;
    window->style = WS_POPUP;
    HWND handle = add_window(window);
    window_changed(handle);
    return handle;
}

// One help window per window that asked for one; HELP_QUIT closes it.
std::map<HWND, HWND>& help_windows() {
    static std::map<HWND, HWND> windows;
    return windows;
}

HWND popup_window = nullptr;

void show_window(HWND owner, uint32_t context, const HelpTopic& topic) {
    HWND& shown = help_windows()[owner];
    auto existing = find_window(shown);
    QWidget* window = existing ? existing->widget.data() : nullptr;
    QTextBrowser* text = window ? window->findChild<QTextBrowser*>() : nullptr;
    if (!window || !text) {
        window = new QWidget(nullptr, Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        text = new QTextBrowser(window);
        auto* layout = new QVBoxLayout(window);
        layout->addWidget(text);
        window->resize(420, 300);
        shown = register_top_level(window, u"QorHelpWindow", owner);
    }
    window->setWindowTitle(QString::fromStdString(topic.title));
    QString body = QStringLiteral("<h3>%1</h3><p>%2</p>")
                       .arg(QString::fromStdString(topic.title).toHtmlEscaped(),
                            QString::fromStdString(topic.text).toHtmlEscaped().replace('\n', QStringLiteral("<br>")));
    text->setHtml(body);
    window->show();
    window->raise();
    log_help("window", context, topic.title);
}

void show_popup(HWND near, uint32_t context, const HelpTopic& topic) {
    if (popup_window) DestroyWindow(popup_window);
    auto* frame = new QFrame(nullptr, Qt::ToolTip);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setStyleSheet(QStringLiteral("QFrame { background: #ffffe1; color: black; }"));
    auto* label = new QLabel(QString::fromStdString(topic.text.empty() ? topic.title : topic.text), frame);
    label->setWordWrap(true);
    label->setMaximumWidth(320);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(label);
    frame->adjustSize();
    auto control = find_window(near);
    QPoint at = control && control->widget ? control->widget->mapToGlobal(QPoint(0, control->widget->height()))
                                           : QCursor::pos();
    frame->move(at);
    frame->show();
    popup_window = register_top_level(frame, u"QorHelpPopup", near);
    log_help("popup", context, topic.title);
}

// The context of control `id` in a (control id, context) list ending in 0, 0.
std::optional<uint32_t> context_of(int id, const DWORD* pairs) {
    for (size_t i = 0; pairs && i < 4096 && (pairs[i] || pairs[i + 1]); i += 2)
        if (static_cast<int>(pairs[i]) == id) return pairs[i + 1];
    return std::nullopt;
}

bool popup_for_control(HWND control, const DWORD* pairs, const std::map<uint32_t, HelpTopic>& topics) {
    auto window = find_window(control);
    auto context = window ? context_of(window->id, pairs) : std::nullopt;
    auto topic = context ? topics.find(*context) : topics.end();
    if (topic == topics.end()) {
        SetLastError(ERROR_NOT_FOUND);
        return false;
    }
    show_popup(control, *context, topic->second);
    return true;
}

}  // namespace

extern "C" BOOL WinHelpW(HWND window, LPCWSTR file, UINT command, ULONG_PTR data) {
    ensure_application();
    if (command == HELP_QUIT) {
        auto found = help_windows().find(window);
        if (found != help_windows().end()) {
            DestroyWindow(found->second);
            help_windows().erase(found);
        }
        if (popup_window) DestroyWindow(popup_window);
        popup_window = nullptr;
        return TRUE;
    }
    if (!file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto topics = load_topics(file);
    if (!topics) return FALSE;
    const auto* pairs = reinterpret_cast<const DWORD*>(data);
    switch (command) {
    case HELP_CONTEXT:
    case HELP_FINDER:
    case HELP_CONTEXTPOPUP: {
        uint32_t context = command == HELP_FINDER ? (topics->empty() ? 0 : topics->begin()->first)
                                                  : static_cast<uint32_t>(data);
        auto topic = topics->find(context);
        if (topic == topics->end()) {
            SetLastError(ERROR_NOT_FOUND);
            return FALSE;
        }
        if (command == HELP_CONTEXTPOPUP)
            show_popup(window, context, topic->second);
        else
            show_window(window, context, topic->second);
        return TRUE;
    }
    case HELP_WM_HELP:
        return popup_for_control(window, pairs, *topics);
    case HELP_CONTEXTMENU: {
        auto control = find_window(window);
        if (!control || !context_of(control->id, pairs)) {
            SetLastError(ERROR_NOT_FOUND);
            return FALSE;
        }
        log_help("menu", 0, "");
        QMenu menu;
        QAction* whats_this = menu.addAction(QStringLiteral("What's This?"));
        QPoint at = control->widget ? control->widget->mapToGlobal(QPoint(0, 0)) : QCursor::pos();
        if (menu.exec(at) == whats_this) return popup_for_control(window, pairs, *topics);
        return TRUE;
    }
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}
