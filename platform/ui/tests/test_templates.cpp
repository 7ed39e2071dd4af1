#include "templates.h"
#include "template_builder.h"

#include <gtest/gtest.h>

using namespace qorui;

namespace {

const std::vector<uitest::Item> kItems = {
    {uitest::kChild | 0x00010000, 7, 7, 50, 14, 1, 0x0080, u"", u"OK"},
    {uitest::kChild | 0x00012000, 7, 25, 40, 12, 1001, 0x0081, u"", u"42"},
    {uitest::kChild, 50, 25, 10, 12, 1002, 0, u"msctls_updown32", u""},
};

TEST(UiDialogTemplate, ExtendedAndClassicFormsReadAlike) {
    for (bool classic : {false, true}) {
        auto bytes = uitest::dialog(u"Settings", 200, 100, kItems, classic);
        auto dialog = read_dialog_template(bytes.data(), bytes.size());
        ASSERT_TRUE(dialog) << "classic=" << classic;
        EXPECT_EQ(dialog->extended, !classic);
        EXPECT_EQ(dialog->title, u"Settings");
        EXPECT_EQ(dialog->cx, 200);
        EXPECT_EQ(dialog->cy, 100);
        EXPECT_TRUE(dialog->has_font);
        EXPECT_EQ(dialog->point_size, 8);
        EXPECT_EQ(dialog->face, u"MS Shell Dlg");
        ASSERT_EQ(dialog->items.size(), 3u);
        EXPECT_EQ(dialog->items[0].window_class.ordinal, 0x0080);
        EXPECT_EQ(dialog->items[0].title.text, u"OK");
        EXPECT_EQ(dialog->items[1].id, 1001u);
        EXPECT_EQ(dialog->items[1].style & 0x2000u, 0x2000u);
        EXPECT_EQ(dialog->items[2].window_class.text, u"msctls_updown32");
        EXPECT_TRUE(dialog->items[2].title.empty());
    }
}

TEST(UiDialogTemplate, EveryTruncationIsRefused) {
    auto bytes = uitest::dialog(u"Settings", 200, 100, kItems);
    // The last item ends with its creation-data size word.
    for (size_t size = 0; size + 1 < bytes.size(); ++size)
        EXPECT_FALSE(read_dialog_template(bytes.data(), size)) << size;
}

TEST(UiDialogTemplate, ItemCountBeyondTheBytesIsRefused) {
    auto bytes = uitest::dialog(u"T", 10, 10, {});
    bytes[16] = 0xFF;  // cDlgItems of the extended header
    bytes[17] = 0xFF;
    EXPECT_FALSE(read_dialog_template(bytes.data(), bytes.size()));
}

TEST(UiDialogTemplate, CreationDataIsKeptAndSkipped) {
    uitest::Bytes b;
    b.dword(0x80000000);  // classic, no font
    b.dword(0);
    b.word(2);
    for (int i = 0; i < 4; ++i) b.word(0);
    b.word(0); b.word(0); b.text(u"");
    for (uint16_t id : {10, 11}) {
        b.align();
        b.dword(uitest::kChild); b.dword(0);
        for (int i = 0; i < 4; ++i) b.word(1);
        b.word(id);
        b.ordinal(0x0082);
        b.text(u"x");
        b.word(id == 10 ? 6 : 0);  // the classic size counts itself
        if (id == 10) b.dword(0xA1B2C3D4);
    }
    auto dialog = read_dialog_template(b.data.data(), b.data.size());
    ASSERT_TRUE(dialog);
    ASSERT_EQ(dialog->items.size(), 2u);
    EXPECT_EQ(dialog->items[0].creation_data, (std::vector<uint8_t>{0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_EQ(dialog->items[1].id, 11u);
}

std::vector<uint8_t> menu_bytes() {
    uitest::Bytes b;
    b.word(0); b.word(0);
    b.word(0x10); b.text(u"&File");            // popup
    b.word(0); b.word(100); b.text(u"&Open...\tCtrl+O");
    b.word(0); b.word(0); b.text(u"");          // separator
    b.word(0x80); b.word(101); b.text(u"E&xit"); // end of File
    b.word(0x90); b.text(u"&Help");            // last popup
    b.word(0x80); b.word(200); b.text(u"&About");
    return b.data;
}

TEST(UiMenuTemplate, PopupsNestAndEndMarksCloseLevels) {
    auto bytes = menu_bytes();
    auto menu = read_menu_template(bytes.data(), bytes.size());
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->size(), 2u);
    EXPECT_EQ((*menu)[0].text, u"&File");
    ASSERT_EQ((*menu)[0].children.size(), 3u);
    EXPECT_EQ((*menu)[0].children[0].id, 100);
    EXPECT_EQ((*menu)[0].children[2].text, u"E&xit");
    EXPECT_EQ((*menu)[0].children[2].flags & 0x80, 0);
    EXPECT_EQ((*menu)[1].children[0].id, 200);
    for (size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(read_menu_template(bytes.data(), size)) << size;
}

TEST(UiMenuTemplate, EndlessNestingIsRefused) {
    uitest::Bytes b;
    b.word(0); b.word(0);
    for (int i = 0; i < 40; ++i) { b.word(0x10); b.text(u"p"); }
    EXPECT_FALSE(read_menu_template(b.data.data(), b.data.size()));
}

TEST(UiAccelerators, TableEndsAtTheMarkedEntry) {
    uitest::Bytes b;
    b.word(0x09); b.word('O'); b.word(100); b.word(0);   // FVIRTKEY|FCONTROL
    b.word(0x81); b.word(0x70); b.word(300); b.word(0);  // F1, last
    auto table = read_accelerators(b.data.data(), b.data.size());
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), 2u);
    EXPECT_EQ((*table)[1].key, 0x70);
    EXPECT_EQ((*table)[1].flags, 0x01);
    EXPECT_EQ((*table)[0].command, 100);
    EXPECT_FALSE(read_accelerators(b.data.data(), 8));  // no end mark
    EXPECT_FALSE(read_accelerators(b.data.data(), 12));
}

}  // namespace
