// Device-font strings as text records: positions, cell widths, the line
// limit, the split of long strings and double-byte text.
#include "render_testkit.h"

#include <cstring>
#include <string>

using namespace rendertest;

namespace {

struct Item {
    int32_t x, y;
    uint8_t lead, code;
};

struct TextRecord {
    uint32_t area_width, area_length;
    int32_t x0, y0, width, height;
    uint32_t item_bytes;
    uint8_t double_byte, double_byte2;
    uint32_t count;
    std::vector<Item> items;
};

std::vector<TextRecord> text_records() {
    std::vector<TextRecord> result;
    for (const Record& record : records()) {
        if (record.image || record.type != 8) continue;
        const uint8_t* b = record.bytes.data();
        TextRecord text{};
        uint32_t zero[2];
        std::memcpy(zero, b + 4, 8);
        EXPECT_EQ(zero[0], 0u);
        EXPECT_EQ(zero[1], 0u);
        std::memcpy(&text.area_width, b + 12, 4);
        std::memcpy(&text.area_length, b + 16, 4);
        std::memcpy(&text.x0, b + 20, 4);
        std::memcpy(&text.y0, b + 24, 4);
        std::memcpy(&text.width, b + 28, 4);
        std::memcpy(&text.height, b + 32, 4);
        std::memcpy(&text.item_bytes, b + 36, 4);
        text.double_byte = b[40];
        text.double_byte2 = b[41];
        std::memcpy(&text.count, b + 44, 4);
        EXPECT_EQ(record.bytes.size(), 48u + text.item_bytes);
        EXPECT_EQ(text.item_bytes, text.count * 12);
        for (uint32_t i = 0; i < text.count && 48 + i * 12 + 12 <= record.bytes.size(); ++i) {
            Item item{};
            std::memcpy(&item.x, b + 48 + i * 12, 4);
            std::memcpy(&item.y, b + 52 + i * 12, 4);
            item.lead = b[56 + i * 12];
            item.code = b[57 + i * 12];
            text.items.push_back(item);
        }
        result.push_back(text);
    }
    return result;
}

class RenderDeviceText : public InstalledDriver {
protected:
    // Prints `text` at (x, y) on the baseline with a device font.
    void print(const std::u16string& text, int x, int y, DevmodeChanges changes) {
        HDC hdc = create_dc(make_devmode(changes));
        ASSERT_NE(hdc, nullptr);
        LOGFONTW logfont{};
        logfont.lfHeight = changes.font == 2 ? 16 : 24;
        std::memcpy(logfont.lfFaceName, u"QOR Original", sizeof(u"QOR Original"));
        HFONT font = CreateFontIndirectW(&logfont);
        ASSERT_TRUE(print_document(hdc, 1, [&](int) {
            SelectObject(hdc, font);
            SetTextAlign(hdc, TA_BASELINE);
            EXPECT_TRUE(TextOutW(hdc, x, y, text.data(), static_cast<int>(text.size())));
        }));
        DeleteDC(hdc);
        DeleteObject(font);
    }
    static DevmodeChanges font(BYTE which) {
        DevmodeChanges changes;
        changes.font = which;
        return changes;
    }
};

TEST_F(RenderDeviceText, ThreeLettersWithTheLargeFont) {
    print(u"ABC", 100, 200, font(1));
    auto texts = text_records();
    ASSERT_EQ(texts.size(), 1u);
    const TextRecord& t = texts[0];
    EXPECT_EQ(t.area_width, 576u);
    EXPECT_EQ(t.area_length, 2376u);
    EXPECT_EQ(t.x0, 100);
    EXPECT_EQ(t.y0, 176);
    EXPECT_EQ(t.height, 24);
    EXPECT_EQ(t.width, 48);
    EXPECT_EQ(t.double_byte, 0);
    EXPECT_EQ(t.double_byte2, 0);
    ASSERT_EQ(t.count, 3u);
    const int xs[] = {100, 112, 124};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.items[i].x, xs[i]);
        EXPECT_EQ(t.items[i].y, 176);
        EXPECT_EQ(t.items[i].lead, 0);
        EXPECT_EQ(t.items[i].code, 'A' + i);
    }
}

TEST_F(RenderDeviceText, ThreeLettersWithTheSmallFont) {
    print(u"ABC", 100, 200, font(2));
    auto texts = text_records();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].height, 16);
    EXPECT_EQ(texts[0].y0, 184);
    EXPECT_EQ(texts[0].width, 32);
    ASSERT_EQ(texts[0].count, 3u);
    EXPECT_EQ(texts[0].items[0].x, 100);
    EXPECT_EQ(texts[0].items[1].x, 108);
    EXPECT_EQ(texts[0].items[2].x, 116);
    EXPECT_EQ(texts[0].items[2].y, 184);
}

TEST_F(RenderDeviceText, SpacesAdvanceWithoutItems) {
    print(u"A B", 100, 200, font(1));
    auto texts = text_records();
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_EQ(texts[0].count, 2u);
    EXPECT_EQ(texts[0].items[0].x, 100);
    EXPECT_EQ(texts[0].items[1].x, 124);
    EXPECT_EQ(texts[0].width, 48);
}

TEST_F(RenderDeviceText, TheLineLimitStopsTheString) {
    print(std::u16string(60, u'X'), 500, 200, font(1));
    auto texts = text_records();
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_EQ(texts[0].count, 5u);
    EXPECT_EQ(texts[0].items[4].x, 548);
    EXPECT_EQ(texts[0].width, 576 - 500);
}

TEST_F(RenderDeviceText, AStringAtTheTopEdgeIsDropped) {
    print(u"ABC", 100, 0, font(1));
    EXPECT_TRUE(text_records().empty());
}

TEST_F(RenderDeviceText, LongLandscapeLineSplitsAfter337Items) {
    DevmodeChanges changes = font(1);
    changes.orientation = DMORIENT_LANDSCAPE;
    changes.paper = 301;
    print(std::u16string(400, u'X'), 10, 100, changes);
    auto texts = text_records();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].count, 337u);
    EXPECT_EQ(texts[0].item_bytes, 4044u);
    EXPECT_EQ(texts[1].count, 63u);
    EXPECT_EQ(texts[0].x0, 10);
    EXPECT_EQ(texts[1].x0, 10);
    EXPECT_EQ(texts[1].items[0].x, 10 + 337 * 12);
    EXPECT_EQ(texts[1].items[62].x, 10 + 399 * 12);
    EXPECT_EQ(texts[1].width, 400 * 12 + 12);
}

TEST_F(RenderDeviceText, IdeographicSpaceLeavesACellGap) {
    setenv("QOR_ACP", "932", 1);
    DevmodeChanges changes = font(1);
    changes.code_page = 932;
    print(u"\x3042\x3000\x3044" u"A", 100, 200, changes);
    unsetenv("QOR_ACP");
    auto texts = text_records();
    ASSERT_EQ(texts.size(), 1u);
    const TextRecord& t = texts[0];
    EXPECT_EQ(t.double_byte, 1);
    EXPECT_EQ(t.double_byte2, 1);
    ASSERT_EQ(t.count, 3u);
    EXPECT_EQ(t.items[0].x, 100);
    EXPECT_EQ(t.items[0].lead, 0x82);
    EXPECT_EQ(t.items[0].code, 0xA0);
    EXPECT_EQ(t.items[1].x, 148);
    EXPECT_EQ(t.items[1].lead, 0x82);
    EXPECT_EQ(t.items[1].code, 0xA2);
    EXPECT_EQ(t.items[2].x, 172);
    EXPECT_EQ(t.items[2].lead, 0);
    EXPECT_EQ(t.items[2].code, 'A');
    EXPECT_EQ(t.width, 184 - 100);
}

TEST_F(RenderDeviceText, WithoutDeviceFontsTheEngineDrawsTheText) {
    HDC hdc = create_dc(make_devmode(DevmodeChanges{0, 150, DMORIENT_PORTRAIT, 300, 1252}));
    ASSERT_NE(hdc, nullptr);
    int device_fonts = 0;
    LOGFONTW all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(
        hdc, &all,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD type, LPARAM count) -> int {
            if (type == DEVICE_FONTTYPE) ++*reinterpret_cast<int*>(count);
            return 1;
        },
        reinterpret_cast<LPARAM>(&device_fonts), 0);
    EXPECT_EQ(device_fonts, 0);
    LOGFONTW logfont{};
    logfont.lfHeight = 24;
    std::memcpy(logfont.lfFaceName, u"QOR Original", sizeof(u"QOR Original"));
    HFONT font = CreateFontIndirectW(&logfont);
    ASSERT_TRUE(print_document(hdc, 1, [&](int) {
        SelectObject(hdc, font);
        EXPECT_TRUE(TextOutW(hdc, 10, 5, u"HH", 2));
    }));
    DeleteDC(hdc);
    DeleteObject(font);
    EXPECT_TRUE(text_records().empty());
    GreyImage image = grey_image(0, 577);
    int dark = 0;
    for (DWORD y = 0; y < image.height; ++y)
        for (DWORD x = 0; x < image.width; ++x) dark += image.at(x, y) < 128;
    EXPECT_GT(dark, 20);
}

TEST_F(RenderDeviceText, DeviceFontsAreEnumerated) {
    HDC hdc = create_dc(make_devmode(font(1)));
    ASSERT_NE(hdc, nullptr);
    std::vector<LONG> heights;
    EnumFontFamiliesExW(
        hdc, nullptr,
        [](const LOGFONTW* lf, const TEXTMETRICW*, DWORD type, LPARAM out) -> int {
            if (type == DEVICE_FONTTYPE && std::u16string(lf->lfFaceName) == u"QOR Original")
                reinterpret_cast<std::vector<LONG>*>(out)->push_back(lf->lfHeight);
            return 1;
        },
        reinterpret_cast<LPARAM>(&heights), 0);
    EXPECT_EQ(heights, (std::vector<LONG>{24, 16}));
    EXPECT_EQ(GetDeviceCaps(hdc, NUMFONTS), 2);
    DeleteDC(hdc);
}

}  // namespace
