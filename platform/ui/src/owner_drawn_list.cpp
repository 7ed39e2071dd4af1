#include "owner_drawn_list.h"

#include "window_dc.h"
#include "window_table.h"

#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>

#include <optional>

namespace qorui {
namespace {

constexpr int kHeightRole = Qt::UserRole + 1;
constexpr int kMaxItemHeight = 255 * 64;

class OwnerDrawDelegate final : public QStyledItemDelegate {
public:
    OwnerDrawDelegate(QListWidget* list, bool variable) : QStyledItemDelegate(list), list_(list), variable_(variable) {}

    // Fixed lists share one height, asked once (or set by LB_SETITEMHEIGHT).
    std::optional<int> fixed_height;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QVariant stored = index.data(kHeightRole);
        if (stored.isValid()) return QSize(option.rect.width(), stored.toInt());
        if (!variable_ && fixed_height) return QSize(option.rect.width(), *fixed_height);
        int height = measure(index.row());
        if (!variable_) const_cast<OwnerDrawDelegate*>(this)->fixed_height = height;
        else if (auto* item = list_->item(index.row())) item->setData(kHeightRole, height);
        return QSize(option.rect.width(), height);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        HWND self = handle_of(list_);
        auto window = find_window(self);
        if (!window || !window->parent) return;
        DRAWITEMSTRUCT draw{};
        draw.CtlType = ODT_LISTBOX;
        draw.CtlID = static_cast<UINT>(window->id);
        draw.itemID = static_cast<UINT>(index.row());
        draw.itemAction = ODA_DRAWENTIRE;
        if (option.state & QStyle::State_Selected) draw.itemState |= ODS_SELECTED;
        if (option.state & QStyle::State_HasFocus) draw.itemState |= ODS_FOCUS;
        if (!(option.state & QStyle::State_Enabled)) draw.itemState |= ODS_DISABLED;
        draw.hwndItem = self;
        const QRect& r = option.rect;
        draw.rcItem = RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        draw.itemData = static_cast<ULONG_PTR>(index.data(Qt::UserRole).value<qlonglong>());
        painter->save();
        draw.hDC = create_painter_dc(*painter, list_->viewport());
        if (draw.hDC) {
            SendMessageW(window->parent, WM_DRAWITEM, static_cast<WPARAM>(window->id), reinterpret_cast<LPARAM>(&draw));
            DeleteDC(draw.hDC);
        }
        painter->restore();
    }

private:
    int measure(int row) const {
        HWND self = handle_of(list_);
        auto window = find_window(self);
        MEASUREITEMSTRUCT item{};
        item.CtlType = ODT_LISTBOX;
        item.itemID = static_cast<UINT>(row);
        item.itemWidth = static_cast<UINT>(list_->viewport()->width());
        item.itemHeight = static_cast<UINT>(list_->fontMetrics().height());
        if (auto* entry = list_->item(row)) item.itemData = static_cast<ULONG_PTR>(entry->data(Qt::UserRole).value<qlonglong>());
        if (window && window->parent) {
            item.CtlID = static_cast<UINT>(window->id);
            SendMessageW(window->parent, WM_MEASUREITEM, static_cast<WPARAM>(window->id), reinterpret_cast<LPARAM>(&item));
        }
        return std::clamp(static_cast<int>(item.itemHeight), 1, kMaxItemHeight);
    }

    QListWidget* list_;
    bool variable_;
};

OwnerDrawDelegate* delegate_of(QListWidget* list) { return dynamic_cast<OwnerDrawDelegate*>(list->itemDelegate()); }

}  // namespace

bool is_owner_drawn(DWORD style) { return style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE); }

void make_owner_drawn(QListWidget* list, DWORD style) {
    list->setItemDelegate(new OwnerDrawDelegate(list, style & LBS_OWNERDRAWVARIABLE));
    list->setUniformItemSizes(false);
}

LRESULT item_height_message(QListWidget* list, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) {
    handled = message == LB_SETITEMHEIGHT || message == LB_GETITEMHEIGHT;
    if (!handled) return 0;
    OwnerDrawDelegate* delegate = delegate_of(list);
    int index = static_cast<int>(static_cast<INT_PTR>(wparam));
    const bool variable = delegate && (GetWindowLongPtrW(handle_of(list), GWL_STYLE) & LBS_OWNERDRAWVARIABLE);
    if (message == LB_GETITEMHEIGHT) {
        if (variable) {
            if (index < 0 || index >= list->count()) return LB_ERR;
            return list->sizeHintForRow(index);
        }
        if (delegate && delegate->fixed_height) return *delegate->fixed_height;
        return list->count() ? list->sizeHintForRow(0) : list->fontMetrics().height();
    }
    int height = static_cast<int>(LOWORD(static_cast<DWORD>(lparam)));
    if (height <= 0 || height > kMaxItemHeight) return LB_ERR;
    if (variable) {
        if (index < 0 || index >= list->count()) return LB_ERR;
        list->item(index)->setData(kHeightRole, height);
    } else if (delegate) {
        delegate->fixed_height = height;
    } else {
        return LB_ERR;
    }
    list->doItemsLayout();
    list->viewport()->update();
    return 0;
}

}  // namespace qorui
