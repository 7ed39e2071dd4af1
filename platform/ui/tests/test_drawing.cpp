// Owner-drawn list boxes, window device contexts, DrawText's line breaks,
// fonts by their fields and icons from resources.
#include "icon_images.h"
#include "text_layout.h"
#include "ui_fixture.h"

#include "qor/gdi_canvas.h"

#include <QImage>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using uitest::kChild;
using uitest::widget_of;

constexpr uint16_t kListBox = 0x0083;

// Every character 10 wide: breaks are easy to reason about.
int ten_each(std::u16string_view text) { return static_cast<int>(text.size()) * 10; }

std::vector<std::u16string> lines_of(std::u16string_view text, int width, bool word_break = true) {
    std::vector<std::u16string> out;
    for (const auto& line : qorui::break_lines(text, width, word_break, ten_each))
        out.emplace_back(text.substr(line.start, line.length));
    return out;
}

TEST(TextLayout, BreaksAtBlanksThatFitAndInsideOverlongWords) {
    using L = std::vector<std::u16string>;
    EXPECT_EQ(lines_of(u"Paper is jammed in the printer.", 120), (L{u"Paper is", u"jammed in", u"the printer."}));
    EXPECT_EQ(lines_of(u"Paper is jammed", 1000), (L{u"Paper is jammed"}));
    EXPECT_EQ(lines_of(u"Bi-directional", 50), (L{u"Bi-di", u"recti", u"onal"})) << "a word wider than the line";
    EXPECT_EQ(lines_of(u"one\r\ntwo\nthree four", 60), (L{u"one", u"two", u"three", u"four"}));
    EXPECT_EQ(lines_of(u"one two", 30, false), (L{u"one two"})) << "no word breaks: one line per paragraph";
    EXPECT_EQ(lines_of(u"", 30), (L{u""}));
    EXPECT_EQ(lines_of(u"ab", 1), (L{u"a", u"b"})) << "at least one character a line";
}

// A canvas that records, for checking the engine's part of a window DC.
class RecordingCanvas final : public qor::gdi::Canvas {
public:
    std::vector<std::u16string> texts;
    std::vector<POINT> origins;
    std::vector<COLORREF> fills;
    LOGFONTW last_font{};
    void fill(const RECT&, COLORREF color) override { fills.push_back(color); }
    void draw_text(POINT at, std::u16string_view text, const LOGFONTW& font, COLORREF, const RECT*) override {
        texts.emplace_back(text);
        origins.push_back(at);
        last_font = font;
    }
    TEXTMETRICW metrics(const LOGFONTW&) override {
        TEXTMETRICW m{};
        m.tmAscent = 8;
        m.tmDescent = 2;
        m.tmHeight = 10;
        return m;
    }
    SIZE extent(const LOGFONTW&, std::u16string_view text) override { return SIZE{ten_each(text), 10}; }
    int device_caps(int index) override { return index == LOGPIXELSY ? 120 : 0; }
};

TEST(CanvasDc, KeepsTheSelectedFontAndColoursAndRefusesPrinting) {
    auto canvas = std::make_shared<RecordingCanvas>();
    HDC hdc = qor::gdi::CreateCanvasDc(canvas);
    ASSERT_NE(nullptr, hdc);
    EXPECT_EQ(120, GetDeviceCaps(hdc, LOGPIXELSY));
    HFONT font = CreateFontW(-17, 0, 0, 0, FW_LIGHT, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Arial");
    LOGFONTW back{};
    ASSERT_EQ(static_cast<int>(sizeof back), GetObjectW(font, sizeof back, &back));
    EXPECT_EQ(-17, back.lfHeight);
    EXPECT_EQ(FW_LIGHT, back.lfWeight);
    EXPECT_EQ(std::u16string(u"Arial"), std::u16string(reinterpret_cast<const char16_t*>(back.lfFaceName)));
    EXPECT_EQ(static_cast<int>(sizeof back), GetObjectW(font, 0, nullptr));
    EXPECT_EQ(0, GetObjectW(GetStockObject(WHITE_BRUSH), sizeof back, &back)) << "fonts only";

    HGDIOBJ previous = SelectObject(hdc, font);
    EXPECT_NE(nullptr, previous);
    SetBkMode(hdc, TRANSPARENT);
    SetTextAlign(hdc, TA_BASELINE | TA_RIGHT);
    EXPECT_TRUE(TextOutW(hdc, 100, 50, u"ab", 2));
    ASSERT_EQ(1u, canvas->texts.size());
    EXPECT_EQ(80, canvas->origins[0].x) << "right-aligned: 20 wide";
    EXPECT_EQ(42, canvas->origins[0].y) << "baseline: the ascent above";
    EXPECT_EQ(-17, canvas->last_font.lfHeight);
    EXPECT_TRUE(canvas->fills.empty()) << "transparent";
    RECT box{0, 0, 10, 10};
    EXPECT_EQ(1, FillRect(hdc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
    ASSERT_EQ(1u, canvas->fills.size());
    EXPECT_EQ(RGB(0, 0, 0), canvas->fills[0]);

    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    EXPECT_EQ(SP_ERROR, StartDocW(hdc, &doc)) << "not a printer";
    EXPECT_EQ(nullptr, ResetDCW(hdc, nullptr));
    SelectObject(hdc, previous);
    DeleteObject(font);
    EXPECT_TRUE(DeleteDC(hdc));
    EXPECT_EQ(0, GetDeviceCaps(hdc, LOGPIXELSY)) << "gone";
}

TEST(CanvasDc, DrawTextWrapsCentresAndMeasures) {
    auto canvas = std::make_shared<RecordingCanvas>();
    HDC hdc = qor::gdi::CreateCanvasDc(canvas);
    RECT rect{0, 0, 120, 100};
    EXPECT_EQ(30, DrawTextW(hdc, u"Paper is jammed in the printer.", -1, &rect, DT_WORDBREAK | DT_CALCRECT));
    EXPECT_EQ(30, rect.bottom) << "three lines of 10";
    EXPECT_EQ(120, rect.right) << "the widest line, \"the printer.\"";
    EXPECT_TRUE(canvas->texts.empty()) << "measuring draws nothing";
    rect = RECT{0, 0, 100, 40};
    EXPECT_EQ(10, DrawTextW(hdc, u"&OK", -1, &rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER));
    ASSERT_EQ(1u, canvas->texts.size());
    EXPECT_EQ(u"OK", canvas->texts[0]) << "the mnemonic marker is not drawn";
    EXPECT_EQ(40, canvas->origins[0].x);
    EXPECT_EQ(15, canvas->origins[0].y);
    EXPECT_EQ(0, DrawTextW(hdc, nullptr, -1, &rect, 0));
    DeleteDC(hdc);
}

struct Heard {
    std::vector<UINT> measured;
    std::vector<DRAWITEMSTRUCT> drawn;
    std::u16string text = u"Printer paper is prepared.";
};

INT_PTR owner_proc(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        return TRUE;
    }
    auto* heard = reinterpret_cast<Heard*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!heard) return FALSE;
    if (message == WM_MEASUREITEM) {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
        heard->measured.push_back(item->itemID);
        item->itemHeight = 20 + 10 * item->itemID;
        return TRUE;
    }
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        heard->drawn.push_back(*item);
        RECT rect = item->rcItem;
        FillRect(item->hDC, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetTextColor(item->hDC, RGB(0, 0, 0));
        SetBkMode(item->hDC, TRANSPARENT);
        DrawTextW(item->hDC, reinterpret_cast<LPCWSTR>(heard->text.c_str()), -1, &rect, DT_WORDBREAK);
        return TRUE;
    }
    return FALSE;
}

int dark_rows(const QImage& image) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 100) {
                ++rows;
                break;
            }
    return rows;
}

TEST(OwnerDrawnLists, VariableItemsAreMeasuredEachAndDrawnByTheParent) {
    Heard heard;
    HWND dialog = uitest::modeless(
        uitest::dialog(u"T", 120, 100,
                       {{kChild | LBS_OWNERDRAWVARIABLE | LBS_NOSEL | WS_BORDER, 5, 5, 100, 80, 70, kListBox, u"", u""}}),
        owner_proc, reinterpret_cast<LPARAM>(&heard));
    ASSERT_NE(nullptr, dialog);
    HWND list = GetDlgItem(dialog, 70);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"first"));
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"second"));
    SendMessageW(list, LB_SETITEMDATA, 1, 77);
    ShowWindow(dialog, SW_SHOW);
    QTest::qWait(20);
    EXPECT_EQ(30, SendMessageW(list, LB_GETITEMHEIGHT, 1, 0)) << "the parent's answer for item 1";
    EXPECT_EQ(0, SendMessageW(list, LB_SETITEMHEIGHT, 0, 55));
    EXPECT_EQ(55, SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    EXPECT_EQ(LB_ERR, SendMessageW(list, LB_SETITEMHEIGHT, 9, 20)) << "no item 9";
    EXPECT_EQ(LB_ERR, SendMessageW(list, LB_SETITEMHEIGHT, 0, 0));
    ASSERT_FALSE(heard.measured.empty());

    heard.drawn.clear();
    QImage picture = widget_of<QListWidget>(list)->viewport()->grab().toImage();
    ASSERT_GE(heard.drawn.size(), 2u);
    const DRAWITEMSTRUCT& second = heard.drawn[1];
    EXPECT_EQ(static_cast<UINT>(ODT_LISTBOX), second.CtlType);
    EXPECT_EQ(70u, second.CtlID);
    EXPECT_EQ(1u, second.itemID);
    EXPECT_EQ(static_cast<UINT>(ODA_DRAWENTIRE), second.itemAction);
    EXPECT_EQ(list, second.hwndItem);
    EXPECT_EQ(77u, second.itemData);
    EXPECT_EQ(55, second.rcItem.top) << "below the first item";
    EXPECT_EQ(85, second.rcItem.bottom);
    EXPECT_GT(dark_rows(picture), 10) << "the parent's text is on screen";
    DestroyWindow(dialog);
}

TEST(OwnerDrawnLists, FixedItemsAskOnceAndPlainListsStayPlain) {
    Heard heard;
    HWND dialog = uitest::modeless(
        uitest::dialog(u"T", 200, 100,
                       {{kChild | LBS_OWNERDRAWFIXED, 5, 5, 90, 80, 70, kListBox, u"", u""},
                        {kChild, 100, 5, 90, 80, 71, kListBox, u"", u""}}),
        owner_proc, reinterpret_cast<LPARAM>(&heard));
    HWND fixed = GetDlgItem(dialog, 70), plain = GetDlgItem(dialog, 71);
    for (int i = 0; i < 3; ++i) {
        SendMessageW(fixed, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"row"));
        SendMessageW(plain, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"row"));
    }
    ShowWindow(dialog, SW_SHOW);
    QTest::qWait(20);
    EXPECT_EQ(20, SendMessageW(fixed, LB_GETITEMHEIGHT, 2, 0)) << "item 0's answer for all";
    EXPECT_EQ(1u, heard.measured.size());
    SendMessageW(fixed, LB_SETITEMHEIGHT, 0, 25);
    EXPECT_EQ(25, SendMessageW(fixed, LB_GETITEMHEIGHT, 1, 0));
    heard.drawn.clear();
    widget_of<QListWidget>(plain)->viewport()->grab();
    EXPECT_TRUE(heard.drawn.empty()) << "a plain list draws its own items";
    DestroyWindow(dialog);
}

TEST(WindowDc, MeasuresWithTheWindowsResolutionAndFonts) {
    HWND frame = CreateWindowExW(0, WC_STATICW, u"", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, frame);
    HDC hdc = GetDC(frame);
    ASSERT_NE(nullptr, hdc);
    EXPECT_GT(GetDeviceCaps(hdc, LOGPIXELSY), 0);
    HFONT big = CreateFontW(-40, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, nullptr);
    SIZE normal{}, large{};
    GetTextExtentPoint32W(hdc, u"Ready", 5, &normal);
    HGDIOBJ previous = SelectObject(hdc, big);
    GetTextExtentPoint32W(hdc, u"Ready", 5, &large);
    EXPECT_GT(large.cx, normal.cx);
    EXPECT_GE(large.cy, 40);
    SelectObject(hdc, previous);
    EXPECT_EQ(1, ReleaseDC(frame, hdc));
    EXPECT_EQ(0, ReleaseDC(frame, hdc)) << "released once";
    // WM_SETFONT reaches the widget; WM_GETFONT gives the handle back.
    SendMessageW(frame, WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
    EXPECT_EQ(reinterpret_cast<LRESULT>(big), SendMessageW(frame, WM_GETFONT, 0, 0));
    EXPECT_EQ(40, widget_of<QWidget>(frame)->font().pixelSize());
    DestroyWindow(frame);
    DeleteObject(big);
}

TEST(Icons, MissingIconResourceIsAnError) {
    EXPECT_EQ(nullptr, LoadIconW(nullptr, MAKEINTRESOURCEW(4321)));
    EXPECT_EQ(nullptr, LoadIconW(nullptr, nullptr));
}

}  // namespace

namespace {

std::vector<uint8_t> dib(int32_t width, int32_t height, uint16_t bits, size_t mask_rows) {
    uitest::Bytes b;
    b.dword(40);
    b.dword(static_cast<uint32_t>(width));
    b.dword(static_cast<uint32_t>(height * 2));
    b.word(1);
    b.word(bits);
    for (int i = 0; i < 6; ++i) b.dword(0);
    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    for (int32_t y = 0; y < height; ++y)  // bottom row first: blue, then green
        for (size_t x = 0; x < stride; ++x) b.data.push_back(y == 0 ? (x % (bits / 8) == 0 ? 0xFF : 0) : 0x80);
    const size_t mask_stride = ((static_cast<size_t>(width) + 31) / 32) * 4;
    for (size_t y = 0; y < mask_rows; ++y)
        for (size_t x = 0; x < mask_stride; ++x) b.data.push_back(y == 0 ? 0x80 : 0);  // bottom-left transparent
    return b.data;
}

TEST(IconImages, DibsWithTheirMaskAndTheGroupDirectory) {
    auto image = dib(2, 2, 24, 2);
    auto pixels = qorui::decode_dib_icon(image.data(), image.size());
    ASSERT_TRUE(pixels);
    ASSERT_EQ(2, pixels->width);
    ASSERT_EQ(2, pixels->height);
    EXPECT_EQ(0xFF808080u, pixels->argb[0]) << "the top row is the last in the file";
    EXPECT_EQ(0x000000FFu, pixels->argb[2]) << "bottom-left: blue, masked out";
    EXPECT_EQ(0xFF0000FFu, pixels->argb[3]);
    auto with_alpha = dib(1, 1, 32, 0);
    with_alpha[40 + 3] = 0x40;
    EXPECT_EQ(0x400000FFu, qorui::decode_dib_icon(with_alpha.data(), with_alpha.size())->argb[0]);

    EXPECT_FALSE(qorui::decode_dib_icon(image.data(), 40 + 5)) << "colour rows cut short";
    EXPECT_FALSE(qorui::decode_dib_icon(dib(1, 1, 8, 1).data(), 60)) << "palette images are not read";
    EXPECT_FALSE(qorui::decode_dib_icon(dib(600, 1, 32, 0).data(), 40 + 2400)) << "too wide";
    auto negative = dib(1, 1, 32, 0);
    negative[8] = 0xFE, negative[9] = negative[10] = negative[11] = 0xFF;  // height -2
    EXPECT_FALSE(qorui::decode_dib_icon(negative.data(), negative.size()));

    uitest::Bytes group;
    group.word(0), group.word(1), group.word(2);
    for (uint16_t id : {7, 9}) {
        for (int i = 0; i < 6; ++i) group.word(0);
        group.word(id);
    }
    EXPECT_EQ((std::vector<uint16_t>{7, 9}), qorui::icon_group_ids(group.data.data(), group.data.size()));
    EXPECT_TRUE(qorui::icon_group_ids(group.data.data(), group.data.size() - 1).empty()) << "an entry cut short";
    group.data[2] = 2;  // a cursor directory
    EXPECT_TRUE(qorui::icon_group_ids(group.data.data(), group.data.size()).empty());
}

}  // namespace
