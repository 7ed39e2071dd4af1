// Combo boxes, list boxes and check list boxes: one item model behind the
// CB_* and LB_* messages, which differ only in their numbers.
#include "control_kinds.h"
#include "owner_drawn_list.h"

#include <QComboBox>
#include <QListWidget>

namespace qorui {
namespace {

struct ListMessages {
    UINT add, insert, remove, reset, set_cursel, get_cursel, get_text, get_text_len, count, get_data,
        set_data, find_exact;
    LRESULT error;
};
constexpr ListMessages kComboMessages{CB_ADDSTRING,     CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT,
                                      CB_SETCURSEL,     CB_GETCURSEL,    CB_GETLBTEXT,    CB_GETLBTEXTLEN,
                                      CB_GETCOUNT,      CB_GETITEMDATA,  CB_SETITEMDATA,  CB_FINDSTRINGEXACT,
                                      CB_ERR};
constexpr ListMessages kListMessages{LB_ADDSTRING,  LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT,
                                     LB_SETCURSEL,  LB_GETCURSEL,    LB_GETTEXT,      LB_GETTEXTLEN,
                                     LB_GETCOUNT,   LB_GETITEMDATA,  LB_SETITEMDATA,  0x01A2 /* LB_FINDSTRINGEXACT */,
                                     LB_ERR};

// What a list-like widget must offer; indices are checked by the caller.
class ItemList : public Control {
public:
    ItemList(const ListMessages& messages, bool sorted) : messages_(messages), sorted_(sorted) {}

    virtual int count() const = 0;
    virtual void insert(int index, const QString& text) = 0;
    virtual void remove(int index) = 0;
    virtual void clear() = 0;
    virtual QString item_text(int index) const = 0;
    virtual LPARAM item_data(int index) const = 0;
    virtual void set_item_data(int index, LPARAM data) = 0;
    virtual int current() const = 0;
    virtual void set_current(int index) = 0;

    LRESULT handle(Window& self, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override {
        const ListMessages& m = messages_;
        int index = static_cast<int>(static_cast<INT_PTR>(wparam));
        bool valid = index >= 0 && index < count();
        ProgramChange change(program_);
        if (message == m.add || message == m.insert) {
            QString text = to_qstring(reinterpret_cast<LPCWSTR>(lparam));
            int at = message == m.add ? sorted_position(text) : (index < 0 || index > count() ? count() : index);
            insert(at, text);
            return at;
        }
        if (message == m.remove) {
            if (!valid) return m.error;
            remove(index);
            return count();
        }
        if (message == m.reset) {
            clear();
            return 0;
        }
        if (message == m.count) return count();
        if (message == m.get_cursel) return current() < 0 ? m.error : current();
        if (message == m.set_cursel) {
            set_current(valid ? index : -1);
            return valid ? index : m.error;
        }
        if (message == m.get_text) return valid ? copy_text(item_text(index), reinterpret_cast<LPWSTR>(lparam), 1 << 20) : m.error;
        if (message == m.get_text_len) return valid ? item_text(index).size() : m.error;
        if (message == m.get_data) return valid ? item_data(index) : m.error;
        if (message == m.set_data) {
            if (!valid) return m.error;
            set_item_data(index, lparam);
            return TRUE;
        }
        if (message == m.find_exact) {
            QString wanted = to_qstring(reinterpret_cast<LPCWSTR>(lparam));
            int n = count();
            for (int k = 0; k < n; ++k) {
                int at = (std::max(index, -1) + 1 + k) % n;
                if (item_text(at).compare(wanted, Qt::CaseInsensitive) == 0) return at;
            }
            return m.error;
        }
        (void)self;
        handled = false;
        return 0;
    }

protected:
    bool program_ = false;

private:
    int sorted_position(const QString& text) const {
        if (!sorted_) return count();
        int at = 0;
        while (at < count() && item_text(at).compare(text, Qt::CaseInsensitive) <= 0) ++at;
        return at;
    }
    const ListMessages& messages_;
    bool sorted_;
};

class ComboBoxControl : public ItemList {
public:
    ComboBoxControl(QComboBox* box, DWORD style) : ItemList(kComboMessages, style & CBS_SORT), box_(box) {}
    void attach(Window& self) override {
        HWND handle = self.handle;
        QObject::connect(box_, &QComboBox::activated, [handle] {
            if (auto window = find_window(handle)) notify_parent(*window, CBN_SELCHANGE);
        });
        if (box_->isEditable())
            QObject::connect(box_, &QComboBox::editTextChanged, [this, handle] {
                if (program_) return;
                if (auto window = find_window(handle)) notify_parent(*window, CBN_EDITCHANGE);
            });
    }
    int count() const override { return box_->count(); }
    void insert(int index, const QString& text) override {
        // A combo box starts with nothing chosen, however many items it gets.
        int chosen = box_->currentIndex();
        box_->insertItem(index, text);
        box_->setCurrentIndex(chosen < 0 ? -1 : chosen + (index <= chosen ? 1 : 0));
    }
    void remove(int index) override { box_->removeItem(index); }
    void clear() override { box_->clear(); }
    QString item_text(int index) const override { return box_->itemText(index); }
    LPARAM item_data(int index) const override { return box_->itemData(index).value<qlonglong>(); }
    void set_item_data(int index, LPARAM data) override { box_->setItemData(index, QVariant::fromValue<qlonglong>(data)); }
    int current() const override { return box_->currentIndex(); }
    void set_current(int index) override { box_->setCurrentIndex(index); }
    QString text() const override { return box_->currentText(); }
    void set_text(const QString& text) override {
        ProgramChange change(program_);
        if (box_->isEditable()) box_->setEditText(text);
    }

private:
    QComboBox* box_;
};

class ListBoxControl : public ItemList {
public:
    ListBoxControl(QListWidget* list, DWORD style, bool check_boxes)
        : ItemList(kListMessages, style & LBS_SORT), list_(list), notify_(style & LBS_NOTIFY), checks_(check_boxes) {}
    void attach(Window& self) override {
        HWND handle = self.handle;
        QObject::connect(list_, &QListWidget::currentRowChanged, [this, handle] {
            if (program_ || !notify_) return;
            if (auto window = find_window(handle)) notify_parent(*window, LBN_SELCHANGE);
        });
        QObject::connect(list_, &QListWidget::itemDoubleClicked, [this, handle] {
            if (!notify_) return;
            if (auto window = find_window(handle)) notify_parent(*window, LBN_DBLCLK);
        });
        if (checks_)
            QObject::connect(list_, &QListWidget::itemChanged, [this, handle](QListWidgetItem* item) {
                if (program_) return;
                {
                    ProgramChange change(program_);
                    list_->setCurrentItem(item);
                }
                if (auto window = find_window(handle)) notify_parent(*window, CLBN_CHKCHANGE);
            });
    }
    LRESULT handle(Window& self, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override {
        int index = static_cast<int>(static_cast<INT_PTR>(wparam));
        bool valid = index >= 0 && index < count();
        if (checks_ && message == CLB_GETCHECK)
            return valid ? list_->item(index)->checkState() == Qt::Checked : LB_ERR;
        if (checks_ && message == CLB_SETCHECK) {
            if (!valid) return LB_ERR;
            ProgramChange change(program_);
            list_->item(index)->setCheckState(lparam ? Qt::Checked : Qt::Unchecked);
            return 0;
        }
        if (!checks_) {
            LRESULT result = item_height_message(list_, message, wparam, lparam, handled);
            if (handled) return result;
            handled = true;
        }
        return ItemList::handle(self, message, wparam, lparam, handled);
    }
    int count() const override { return list_->count(); }
    void insert(int index, const QString& text) override {
        auto* item = new QListWidgetItem(text);
        if (checks_) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        list_->insertItem(index, item);
    }
    void remove(int index) override { delete list_->takeItem(index); }
    void clear() override { list_->clear(); }
    QString item_text(int index) const override { return list_->item(index)->text(); }
    LPARAM item_data(int index) const override { return list_->item(index)->data(Qt::UserRole).value<qlonglong>(); }
    void set_item_data(int index, LPARAM data) override {
        list_->item(index)->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(data));
    }
    int current() const override { return list_->currentRow(); }
    void set_current(int index) override { list_->setCurrentRow(index); }

private:
    QListWidget* list_;
    bool notify_;
    bool checks_;
};

}  // namespace

bool make_combo_box(const ControlSpec& spec, Window& window) {
    auto* box = new QComboBox(spec.parent);
    box->setEditable((spec.style & 0x3) == CBS_DROPDOWN || (spec.style & 0x3) == CBS_SIMPLE);
    window.widget = box;
    window.control = std::make_unique<ComboBoxControl>(box, spec.style);
    return true;
}

bool make_list_box(const ControlSpec& spec, Window& window, bool check_boxes) {
    auto* list = new QListWidget(spec.parent);
    if (!check_boxes && is_owner_drawn(spec.style)) make_owner_drawn(list, spec.style);
    if (spec.style & LBS_NOSEL) list->setSelectionMode(QAbstractItemView::NoSelection);
    window.widget = list;
    window.control = std::make_unique<ListBoxControl>(list, spec.style, check_boxes);
    return true;
}

}  // namespace qorui
