// Property sheets: a tabbed dialog hosting pages built from templates.
#include "control.h"
#include "remote_windows.h"
#include "templates.h"
#include "dialog_font.h"
#include "window_table.h"

#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

using namespace qorui;

// A page handle: the caller's record copied whole (drivers append their own
// data behind the platform's fields).
struct _PSP {
    std::vector<uint8_t> bytes;
    PROPSHEETPAGEW* page() { return reinterpret_cast<PROPSHEETPAGEW*>(bytes.data()); }
};

namespace {

constexpr size_t kPageMinimum = offsetof(PROPSHEETPAGEW, pfnCallback);

struct Page {
    HPROPSHEETPAGE handle = nullptr;
    QWidget* tab = nullptr;
    HWND window = nullptr;  // null until first shown
    bool refused = false;   // its PSPCB_CREATE said no
};

bool find_template(const PROPSHEETPAGEW& page, const uint8_t*& data, size_t& size) {
    if (page.dwFlags & PSP_DLGINDIRECT) {
        // The caller vouches for a template in memory.
        data = static_cast<const uint8_t*>(page.pResource);
        size = size_t{1} << 20;
        return data != nullptr;
    }
    HRSRC resource = FindResourceW(page.hInstance, page.pszTemplate, MAKEINTRESOURCEW(5));
    if (!resource) return false;
    data = static_cast<const uint8_t*>(LockResource(LoadResource(page.hInstance, resource)));
    size = SizeofResource(page.hInstance, resource);
    return data != nullptr;
}

class SheetWidget : public QDialog {
public:
    SheetWidget(const PROPSHEETHEADERW& header, QWidget* owner);

    bool build();  // false when no page can be shown
    HWND handle() const { return handle_; }
    bool ended() const { return ended_; }
    INT_PTR result() const { return applied_ ? 1 : 0; }
    LRESULT message(UINT message, WPARAM wparam, LPARAM lparam);
    // Destroys the pages and runs every release callback; once.
    void release_pages();

protected:
    void closeEvent(QCloseEvent* event) override { close_through_procedure(this, event); }
    void reject() override { press(PSBTN_CANCEL); }

private:
    LRESULT notify(const Page& page, UINT code, LPARAM param);
    bool show_page(int index);
    void tab_changed(int index);
    bool apply(bool closing);
    void press(int button);
    void end();
    void update_apply();
    int index_of(HWND page) const;

    PROPSHEETHEADERW header_;
    HWND handle_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QPushButton* apply_button_ = nullptr;
    std::vector<Page> pages_;
    std::set<HWND> changed_;
    int current_ = -1;
    bool applied_ = false;
    bool ended_ = false;
    bool released_ = false;
    QEventLoop* loop_ = nullptr;
    friend INT_PTR run_sheet(SheetWidget* sheet, bool modeless);
};

LRESULT sheet_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto record = find_window(window);
    auto* sheet = record ? dynamic_cast<SheetWidget*>(record->widget.data()) : nullptr;
    if (!sheet) return DefWindowProcW(window, message, wparam, lparam);
    return sheet->message(message, wparam, lparam);
}

SheetWidget::SheetWidget(const PROPSHEETHEADERW& header, QWidget* owner) : QDialog(owner), header_(header) {
    QString caption = to_qstring(header.pszCaption ? header.pszCaption : u"");
    if (header.dwFlags & PSH_PROPTITLE) caption += QStringLiteral(" Properties");
    setWindowTitle(caption);
    setFont(dialog_font(QString(), 8, 0, false));

    tabs_ = new QTabWidget(this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto add_button = [&](const char* name, const QString& text, int button) {
        auto* push = new QPushButton(text, this);
        push->setObjectName(QString::fromLatin1(name));
        push->setAutoDefault(false);
        QObject::connect(push, &QPushButton::clicked, this, [this, button] { press(button); });
        buttons->addWidget(push);
        return push;
    };
    add_button("ok", QStringLiteral("OK"), PSBTN_OK)->setDefault(true);
    add_button("cancel", QStringLiteral("Cancel"), PSBTN_CANCEL);
    if (!(header.dwFlags & PSH_NOAPPLYNOW)) {
        apply_button_ = add_button("apply", QStringLiteral("&Apply"), PSBTN_APPLYNOW);
        apply_button_->setEnabled(false);
    }
    if (header.dwFlags & PSH_HASHELP) add_button("help", QStringLiteral("Help"), PSBTN_HELP);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(buttons);

    auto window = std::make_shared<Window>();
    window->widget = this;
    window->parent = header.hwndParent;
    window->wndproc = sheet_proc;
    window->class_name = u"#32770";
    window->style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    handle_ = add_window(window);
}

bool SheetWidget::build() {
    const uint32_t count = header_.nPages;
    for (uint32_t i = 0; i < count; ++i) {
        HPROPSHEETPAGE handle = (header_.dwFlags & PSH_PROPSHEETPAGE)
                                    ? CreatePropertySheetPageW(reinterpret_cast<LPCPROPSHEETPAGEW>(
                                          reinterpret_cast<const uint8_t*>(header_.ppsp) +
                                          size_t{i} * (header_.ppsp ? header_.ppsp->dwSize : 0)))
                                    : (header_.phpage ? header_.phpage[i] : nullptr);
        if (!handle) continue;
        Page page;
        page.handle = handle;
        PROPSHEETPAGEW& record = *handle->page();
        const uint8_t* bytes = nullptr;
        size_t size = 0;
        auto parsed = find_template(record, bytes, size) ? read_dialog_template(bytes, size) : std::nullopt;
        QString title = (record.dwFlags & PSP_USETITLE) && record.pszTitle ? to_qstring(record.pszTitle)
                        : parsed ? QString::fromStdU16String(parsed->title)
                                 : QString();
        page.tab = new QWidget;
        if (parsed) {
            QFont font = parsed->has_font ? dialog_font(QString::fromStdU16String(parsed->face), parsed->point_size,
                                                        parsed->weight, parsed->italic)
                                          : dialog_font(QString(), 8, 0, false);
            DialogUnits units = dialog_units(font);
            page.tab->setMinimumSize(units.x(parsed->cx), units.y(parsed->cy));
        } else {
            page.refused = true;  // nothing to build it from
        }
        if ((record.dwFlags & PSP_USECALLBACK) && record.pfnCallback &&
            !record.pfnCallback(nullptr, PSPCB_CREATE, &record))
            page.refused = true;
        if (page.refused) {
            delete page.tab;
            page.tab = nullptr;
        } else {
            tabs_->addTab(page.tab, title);
        }
        pages_.push_back(page);
    }
    if (tabs_->count() == 0) return false;
    int start = std::min<int>(static_cast<int>(header_.nStartPage), tabs_->count() - 1);
    tabs_->setCurrentIndex(start);
    QObject::connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { tab_changed(index); });
    if (!show_page(start)) return false;
    adjustSize();
    return true;
}

int SheetWidget::index_of(HWND page) const {
    for (size_t i = 0; i < pages_.size(); ++i)
        if (pages_[i].window && pages_[i].window == page) return tabs_->indexOf(pages_[i].tab);
    return -1;
}

LRESULT SheetWidget::notify(const Page& page, UINT code, LPARAM param) {
    if (!page.window) return 0;
    PSHNOTIFY note{{handle_, 0, code}, param};
    return SendMessageW(page.window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
}

Page* page_at(std::vector<Page>& pages, QTabWidget* tabs, int index) {
    QWidget* tab = tabs->widget(index);
    for (Page& page : pages)
        if (page.tab && page.tab == tab) return &page;
    return nullptr;
}

// Creates the page on first show, then tells it that it is active.
bool SheetWidget::show_page(int index) {
    Page* page = page_at(pages_, tabs_, index);
    if (!page) return false;
    if (!page->window) {
        PROPSHEETPAGEW& record = *page->handle->page();
        const uint8_t* bytes = nullptr;
        size_t size = 0;
        if (!find_template(record, bytes, size)) return false;
        page->window = QorUiCreatePageIndirect(bytes, static_cast<DWORD>(size), page->tab, handle_, record.pfnDlgProc,
                                               reinterpret_cast<LPARAM>(&record));
        if (!page->window) return false;
    }
    current_ = index;
    notify(*page, PSN_SETACTIVE, 0);
    return true;
}

void SheetWidget::tab_changed(int index) {
    if (index == current_) return;
    if (Page* old = page_at(pages_, tabs_, current_); old && notify(*old, PSN_KILLACTIVE, 0)) {
        // The page keeps the focus until its values are valid.
        QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(current_);
        return;
    }
    show_page(index);
}

bool SheetWidget::apply(bool closing) {
    if (Page* current = page_at(pages_, tabs_, current_); current && notify(*current, PSN_KILLACTIVE, 0)) return false;
    for (Page& page : pages_) {
        LRESULT answer = notify(page, PSN_APPLY, closing ? TRUE : FALSE);
        if (answer == PSNRET_INVALID || answer == PSNRET_INVALID_NOCHANGEPAGE) {
            if (answer == PSNRET_INVALID && page.tab) {
                QSignalBlocker block(tabs_);
                tabs_->setCurrentIndex(tabs_->indexOf(page.tab));
                current_ = tabs_->currentIndex();
                notify(page, PSN_SETACTIVE, 0);
            }
            return false;
        }
    }
    applied_ = true;
    changed_.clear();
    update_apply();
    return true;
}

void SheetWidget::press(int button) {
    if (ended_) return;
    switch (button) {
    case PSBTN_OK:
        if (apply(true)) end();
        break;
    case PSBTN_APPLYNOW:
        if (!changed_.empty()) apply(false);
        break;
    case PSBTN_CANCEL:
        if (Page* current = page_at(pages_, tabs_, current_); current && notify(*current, PSN_QUERYCANCEL, 0)) break;
        for (Page& page : pages_) notify(page, PSN_RESET, 0);
        end();
        break;
    case PSBTN_HELP:
        if (Page* current = page_at(pages_, tabs_, current_)) notify(*current, PSN_HELP, 0);
        break;
    default:
        break;
    }
}

void SheetWidget::end() {
    ended_ = true;
    hide();
    if (loop_) loop_->quit();
}

void SheetWidget::update_apply() {
    if (apply_button_) apply_button_->setEnabled(!changed_.empty());
}

void SheetWidget::release_pages() {
    if (released_) return;
    released_ = true;
    for (Page& page : pages_)
        if (page.window) DestroyWindow(page.window);
    for (Page& page : pages_) DestroyPropertySheetPage(page.handle);
    pages_.clear();
}

LRESULT SheetWidget::message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case PSM_CHANGED:
        if (!ended_) changed_.insert(reinterpret_cast<HWND>(wparam));
        update_apply();
        return TRUE;
    case PSM_UNCHANGED:
        changed_.erase(reinterpret_cast<HWND>(wparam));
        update_apply();
        return TRUE;
    case PSM_PRESSBUTTON:
        press(static_cast<int>(wparam));
        return TRUE;
    case PSM_APPLY:
        return apply(false);
    case PSM_SETCURSEL: {
        int index = static_cast<int>(wparam);
        if (lparam) index = index_of(reinterpret_cast<HWND>(lparam));
        if (index < 0 || index >= tabs_->count()) return FALSE;
        tabs_->setCurrentIndex(index);
        return current_ == index;
    }
    case PSM_GETCURRENTPAGEHWND: {
        if (ended_) return 0;
        Page* page = page_at(pages_, tabs_, current_);
        return page ? reinterpret_cast<LRESULT>(page->window) : 0;
    }
    case PSM_INDEXTOHWND: {
        Page* page = page_at(pages_, tabs_, static_cast<int>(wparam));
        return page ? reinterpret_cast<LRESULT>(page->window) : 0;
    }
    case PSM_GETRESULT:
        return ended_ ? result() : -1;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) press(PSBTN_OK);
        if (LOWORD(wparam) == IDCANCEL) press(PSBTN_CANCEL);
        return 0;
    case WM_CLOSE:
        press(PSBTN_CANCEL);
        return 0;
    case WM_DESTROY:
        release_pages();
        return 0;
    default:
        return DefWindowProcW(handle_, message, wparam, lparam);
    }
}

INT_PTR run_sheet(SheetWidget* sheet, bool modeless) {
    if (modeless) {
        sheet->show();
        window_changed(sheet->handle());
        return reinterpret_cast<INT_PTR>(sheet->handle());
    }
    sheet->setWindowModality(Qt::ApplicationModal);
    sheet->show();
    window_changed(sheet->handle());
    QEventLoop loop;
    sheet->loop_ = &loop;
    if (!sheet->ended()) loop.exec();
    sheet->loop_ = nullptr;
    INT_PTR result = sheet->result();
    DestroyWindow(sheet->handle());
    return result;
}

}  // namespace

extern "C" {

HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page) {
    if (!page || page->dwSize < kPageMinimum || page->dwSize > (1u << 16)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* handle = new _PSP;
    handle->bytes.assign(std::max<size_t>(page->dwSize, sizeof(PROPSHEETPAGEW)), 0);
    std::memcpy(handle->bytes.data(), page, page->dwSize);
    PROPSHEETPAGEW& copy = *handle->page();
    if (page->dwSize < sizeof(PROPSHEETPAGEW)) {
        // An older, shorter record has no callback fields.
        if (page->dwSize <= offsetof(PROPSHEETPAGEW, pfnCallback)) copy.dwFlags &= ~DWORD(PSP_USECALLBACK);
        if (page->dwSize <= offsetof(PROPSHEETPAGEW, pcRefParent)) copy.dwFlags &= ~DWORD(PSP_USEREFPARENT);
    }
    if ((copy.dwFlags & PSP_USEREFPARENT) && copy.pcRefParent) ++*copy.pcRefParent;
    return handle;
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE handle) {
    if (!handle) return FALSE;
    PROPSHEETPAGEW& page = *handle->page();
    if ((page.dwFlags & PSP_USECALLBACK) && page.pfnCallback) page.pfnCallback(nullptr, PSPCB_RELEASE, &page);
    if ((page.dwFlags & PSP_USEREFPARENT) && page.pcRefParent) --*page.pcRefParent;
    delete handle;
    return TRUE;
}

INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header) {
    if (!header || header->dwSize < sizeof(PROPSHEETHEADERW) || header->nPages == 0 ||
        ((header->dwFlags & PSH_PROPSHEETPAGE) ? !header->ppsp : !header->phpage)) {
        if (header && !(header->dwFlags & PSH_PROPSHEETPAGE) && header->phpage)
            for (UINT i = 0; i < header->nPages; ++i) DestroyPropertySheetPage(header->phpage[i]);
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    ensure_application();
    auto owner = find_window(header->hwndParent);
    auto* sheet = new SheetWidget(*header, owner && owner->widget ? owner->widget->window() : nullptr);
    if (!sheet->build()) {
        DestroyWindow(sheet->handle());
        SetLastError(ERROR_INVALID_DATA);
        return -1;
    }
    return run_sheet(sheet, header->dwFlags & PSH_MODELESS);
}

}  // extern "C"
