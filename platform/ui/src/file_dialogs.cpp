// GetOpenFileName / GetSaveFileName on QFileDialog, or from the test script.
#include "file_filter.h"
#include "script_session.h"
#include "window_table.h"

#include <QFileDialog>

using namespace qorui;

namespace {

constexpr size_t kFilterLimit = 1 << 15;
thread_local DWORD last_error = 0;

QString qt_filters(const std::vector<FileFilter>& filters) {
    QStringList parts;
    for (const FileFilter& filter : filters) {
        QStringList patterns;
        for (auto& pattern : filter.patterns) patterns << QString::fromStdU16String(pattern);
        parts << QString::fromStdU16String(filter.name) + " (" + patterns.join(' ') + ")";
    }
    return parts.join(";;");
}

// The chosen path, or nothing for Cancel.
std::optional<std::u16string> ask(const OPENFILENAMEW& dialog, bool save) {
    QString title = dialog.lpstrTitle ? to_qstring(dialog.lpstrTitle) : (save ? QStringLiteral("Save As") : QStringLiteral("Open"));
    if (scripted()) {
        ScriptedBox shown{save ? "save" : "open", title.toStdString(), "", "", ""};
        ScriptedBox expected = expect(shown);
        shown.text = expected.text;
        log_shown(shown);
        if (expected.text.empty()) return std::nullopt;
        return to_u16(QString::fromStdString(expected.text));
    }
    ensure_application();
    auto filters = read_filters(reinterpret_cast<const char16_t*>(dialog.lpstrFilter), kFilterLimit);
    QString qt_filter = qt_filters(filters);
    QStringList names = qt_filter.split(";;");
    QString chosen_filter = dialog.nFilterIndex >= 1 && dialog.nFilterIndex <= static_cast<DWORD>(names.size())
                                ? names[static_cast<int>(dialog.nFilterIndex) - 1]
                                : QString();
    auto owner = find_window(dialog.hwndOwner);
    QWidget* parent = owner && owner->widget ? owner->widget->window() : nullptr;
    QString start = dialog.lpstrInitialDir ? to_qstring(dialog.lpstrInitialDir) : QString();
    if (dialog.lpstrFile && dialog.lpstrFile[0]) start = to_qstring(dialog.lpstrFile);
    QFileDialog::Options options;
    if (!(dialog.Flags & OFN_OVERWRITEPROMPT)) options |= QFileDialog::DontConfirmOverwrite;
    QString path = save ? QFileDialog::getSaveFileName(parent, title, start, qt_filter, &chosen_filter, options)
                        : QFileDialog::getOpenFileName(parent, title, start, qt_filter, &chosen_filter, options);
    if (path.isEmpty()) return std::nullopt;
    return to_u16(path);
}

BOOL run(LPOPENFILENAMEW dialog, bool save) {
    last_error = 0;
    if (!dialog || !dialog->lpstrFile || dialog->nMaxFile == 0) {
        last_error = 0x0002;  // CDERR_INITIALIZATION
        return FALSE;
    }
    auto path = ask(*dialog, save);
    if (!path) return FALSE;
    if (dialog->lpstrDefExt) *path = with_default_extension(*path, reinterpret_cast<const char16_t*>(dialog->lpstrDefExt));
    if (path->size() + 1 > dialog->nMaxFile) {
        // The platform reports the size needed in the first two bytes.
        last_error = FNERR_BUFFERTOOSMALL;
        if (dialog->nMaxFile >= 1) dialog->lpstrFile[0] = static_cast<WCHAR>(std::min<size_t>(path->size() + 1, 0xFFFF));
        return FALSE;
    }
    std::copy(path->begin(), path->end(), reinterpret_cast<char16_t*>(dialog->lpstrFile));
    dialog->lpstrFile[path->size()] = 0;
    PathParts parts = path_parts(*path);
    dialog->nFileOffset = static_cast<WORD>(std::min<size_t>(parts.name_offset, 0xFFFF));
    dialog->nFileExtension = static_cast<WORD>(std::min<size_t>(parts.extension_offset, 0xFFFF));
    if (dialog->lpstrFileTitle && dialog->nMaxFileTitle > 0) {
        std::u16string name = path->substr(parts.name_offset).substr(0, dialog->nMaxFileTitle - 1);
        std::copy(name.begin(), name.end(), reinterpret_cast<char16_t*>(dialog->lpstrFileTitle));
        dialog->lpstrFileTitle[name.size()] = 0;
    }
    return TRUE;
}

}  // namespace

extern "C" {

BOOL GetOpenFileNameW(LPOPENFILENAMEW dialog) { return run(dialog, false); }
BOOL GetSaveFileNameW(LPOPENFILENAMEW dialog) { return run(dialog, true); }
DWORD CommDlgExtendedError(void) { return last_error; }

}  // extern "C"
