// MessageBox, on QMessageBox, or answered from the test script.
#include "script_session.h"
#include "ui_script.h"
#include "window_table.h"

#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

using namespace qorui;

namespace {

int show_box(HWND owner, const QString& text, const QString& caption, UINT type) {
    ensure_application();
    auto window = find_window(owner);
    QMessageBox box(window && window->widget ? window->widget->window() : nullptr);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    static const std::pair<const char*, QMessageBox::StandardButton> kStandard[] = {
        {"ok", QMessageBox::Ok},   {"cancel", QMessageBox::Cancel}, {"abort", QMessageBox::Abort}, {"retry", QMessageBox::Retry},
        {"ignore", QMessageBox::Ignore}, {"yes", QMessageBox::Yes}, {"no", QMessageBox::No}};
    std::vector<std::pair<QAbstractButton*, int>> results;
    auto names = button_names(type);
    for (const std::string& name : names)
        for (auto& [known, standard] : kStandard)
            if (name == known) results.push_back({box.addButton(standard), button_result(name)});
    size_t default_index = ((type & MB_DEFMASK) >> 8);
    if (default_index < results.size()) box.setDefaultButton(static_cast<QPushButton*>(results[default_index].first));
    box.exec();
    for (auto& [button, result] : results)
        if (box.clickedButton() == button) return result;
    // Closed without a button: Cancel where there is one, else the only button.
    for (const std::string& name : names)
        if (name == "cancel") return IDCANCEL;
    return results.size() == 1 ? results[0].second : IDCANCEL;
}

}  // namespace

extern "C" {

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    QString body = to_qstring(text);
    QString title = caption ? to_qstring(caption) : QStringLiteral("Error");
    if (scripted()) {
        ScriptedBox shown{"box", title.toStdString(), body.toStdString(), icon_name(type), {}};
        ScriptedBox expected = expect(shown);
        auto buttons = button_names(type);
        if (std::find(buttons.begin(), buttons.end(), expected.button) == buttons.end())
            fail("the box has no button " + expected.button + ": " + format_box(shown));
        shown.button = expected.button;
        log_shown(shown);
        return button_result(expected.button);
    }
    int result = show_box(owner, body, title, type);
    ScriptedBox shown{"box", title.toStdString(), body.toStdString(), icon_name(type), {}};
    for (const std::string& name : button_names(type))
        if (button_result(name) == result) shown.button = name;
    log_shown(shown);
    return result;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    std::u16string wide_text = to_u16(QString::fromUtf8(text ? text : ""));
    std::u16string wide_caption = to_u16(QString::fromUtf8(caption ? caption : "Error"));
    return MessageBoxW(owner, reinterpret_cast<LPCWSTR>(wide_text.c_str()),
                       reinterpret_cast<LPCWSTR>(wide_caption.c_str()), type);
}

}  // extern "C"
