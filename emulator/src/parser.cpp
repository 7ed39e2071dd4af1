#include "parser.h"

#include <algorithm>

namespace qoremu {

namespace {

constexpr uint8_t HT = 0x09, LF = 0x0A, FF = 0x0C, CR = 0x0D, DLE = 0x10, DC2 = 0x12, DC3 = 0x13, CAN = 0x18,
                  ESC = 0x1B, FS = 0x1C, GS = 0x1D;
constexpr size_t kMaxIdentification = 62;

bool sjis_lead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool sjis_trail(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
bool mode_byte(uint8_t m, uint8_t top) { return m <= top || (m >= 0x30 && m <= 0x30 + top); }

}  // namespace

void Parser::reset_modes() {
    kanji_ = false;
    shift_jis_ = true;
}

void Parser::abandon(bool cut_command) {
    if (cut_command) ++counters_.malformed;
    raster_left_ = 0;
    raster_skip_ = false;
}

size_t Parser::emit(Op op, const uint8_t* args, size_t count, size_t length) {
    Command c{op, {}, {}};
    std::copy_n(args, std::min(count, c.arg.size()), c.arg.begin());
    switch (op) {
    case Op::KanjiOn: kanji_ = true; break;
    case Op::KanjiOff: kanji_ = false; break;
    case Op::KanjiCodeSystem: shift_jis_ = (c.arg[0] & 0x0F) == 1; break;
    case Op::Initialise:
    case Op::HardwareReset: reset_modes(); break;
    default: break;
    }
    ++counters_.commands;
    sink_->command(c);
    return length;
}

size_t Parser::unknown(size_t length) {
    ++counters_.unknown;
    return length;
}

size_t Parser::malformed(size_t length) {
    ++counters_.malformed;
    return length;
}

size_t Parser::step(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (raster_left_) return raster(data, size);
    uint8_t b = data[0];
    switch (b) {
    case HT: return emit(Op::Tab, nullptr, 0, 1);
    case LF: return emit(Op::LineFeed, nullptr, 0, 1);
    case FF: return emit(Op::FormFeed, nullptr, 0, 1);
    case CR: ++counters_.commands; return 1;
    case CAN: return emit(Op::Cancel, nullptr, 0, 1);
    case DLE:
        // Real-time requests were answered when they arrived; here they
        // only have to be stepped over.
        if (size < 3) return 0;
        if (data[1] == 0x04) return data[2] >= 1 && data[2] <= 4 ? (++counters_.commands, 3) : malformed(3);
        if (data[1] == 0x05) return ++counters_.commands, 3;
        return unknown(2);
    case DC2: return device_control2(data, size);
    case DC3: return identification(data, size);
    case ESC: return escape(data, size);
    case FS: return file_separator(data, size);
    case GS: return group_separator(data, size);
    default:
        if (b < 0x20) return unknown(1);
        return text(data, size);
    }
}

size_t Parser::text(const uint8_t* data, size_t size) {
    uint8_t b = data[0];
    if (kanji_) {
        bool lead = shift_jis_ ? sjis_lead(b) : (b >= 0x21 && b <= 0x7E);
        if (lead) {
            if (size < 2) return 0;
            uint8_t t = data[1];
            bool trail = shift_jis_ ? sjis_trail(t) : (t >= 0x21 && t <= 0x7E);
            if (!trail) return malformed(1);  // lone lead byte; the next byte is read afresh
            ++counters_.characters;
            sink_->character(uint16_t(b << 8 | t), CharKind::Double);
            return 2;
        }
    }
    ++counters_.characters;
    sink_->character(b, kanji_ ? CharKind::HalfWidth : CharKind::Single);
    return 1;
}

size_t Parser::escape(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    auto need = [&](size_t n) { return size >= n; };
    const uint8_t* a = data + 2;
    switch (data[1]) {
    case 0x40: return emit(Op::Initialise, nullptr, 0, 2);
    case 0x0C: return emit(Op::PrintPage, nullptr, 0, 2);
    case 0x32: return emit(Op::DefaultLineSpacing, nullptr, 0, 2);
    case 0x4C: return emit(Op::PageMode, nullptr, 0, 2);
    case 0x53: return emit(Op::StandardMode, nullptr, 0, 2);
    case 0x20: return need(3) ? emit(Op::RightSpacing, a, 1, 3) : 0;
    case 0x21: return need(3) ? emit(Op::PrintMode, a, 1, 3) : 0;
    case 0x2D: return need(3) ? emit(Op::Underline, a, 1, 3) : 0;
    case 0x33: return need(3) ? emit(Op::LineSpacing, a, 1, 3) : 0;
    case 0x45: return need(3) ? emit(Op::Emphasis, a, 1, 3) : 0;
    case 0x4A: return need(3) ? emit(Op::FeedDots, a, 1, 3) : 0;
    case 0x61: return need(3) ? emit(Op::Justification, a, 1, 3) : 0;
    case 0x64: return need(3) ? emit(Op::FeedLines, a, 1, 3) : 0;
    case 0x74: return need(3) ? emit(Op::CodeTable, a, 1, 3) : 0;
    case 0x54:
        if (!need(3)) return 0;
        return mode_byte(a[0], 3) ? emit(Op::Direction, a, 1, 3) : malformed(3);
    case 0x24: return need(4) ? emit(Op::AbsolutePosition, a, 2, 4) : 0;
    case 0x5C: return need(4) ? emit(Op::RelativePosition, a, 2, 4) : 0;
    case 0x57:
        if (!need(10)) return 0;
        if ((a[4] | a[5] << 8) == 0 || (a[6] | a[7] << 8) == 0) return malformed(10);
        return emit(Op::PrintArea, a, 8, 10);
    default: return unknown(2);
    }
}

size_t Parser::file_separator(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t* a = data + 2;
    switch (data[1]) {
    case 0x26: return emit(Op::KanjiOn, nullptr, 0, 2);
    case 0x2E: return emit(Op::KanjiOff, nullptr, 0, 2);
    case 0x21: return size >= 3 ? emit(Op::KanjiPrintMode, a, 1, 3) : 0;
    case 0x43:
        if (size < 3) return 0;
        return mode_byte(a[0], 1) ? emit(Op::KanjiCodeSystem, a, 1, 3) : malformed(3);
    case 0x53: return size >= 4 ? emit(Op::KanjiSpacing, a, 2, 4) : 0;
    default: return unknown(2);
    }
}

size_t Parser::group_separator(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t* a = data + 2;
    switch (data[1]) {
    case 0x0C: return emit(Op::FeedToMark, nullptr, 0, 2);
    case 0x21: return size >= 3 ? emit(Op::CharacterSize, a, 1, 3) : 0;
    case 0x45: return size >= 3 ? emit(Op::QualityDensity, a, 1, 3) : 0;
    case 0x61: return size >= 3 ? emit(Op::StatusBack, a, 1, 3) : 0;
    case 0x24: return size >= 4 ? emit(Op::VerticalPosition, a, 2, 4) : 0;
    case 0x4C: return size >= 4 ? emit(Op::LeftMargin, a, 2, 4) : 0;
    case 0x50: return size >= 4 ? emit(Op::MotionUnits, a, 2, 4) : 0;
    case 0x57: return size >= 4 ? emit(Op::PrintWidth, a, 2, 4) : 0;
    case 0x56: {
        if (size < 3) return 0;
        uint8_t m = a[0];
        if (mode_byte(m, 1)) return emit(Op::Cut, a, 1, 3);
        if (m == 0x41 || m == 0x42) return size >= 4 ? emit(Op::FeedAndCut, a, 2, 4) : 0;
        return malformed(3);
    }
    case 0x76: {
        if (size < 3) return 0;
        if (a[0] != 0x30) return unknown(2);
        if (size < 8) return 0;
        RasterHeader h;
        uint8_t m = a[1];
        h.bytes_per_row = a[2] | a[3] << 8;
        h.rows = a[4] | a[5] << 8;
        if (h.bytes_per_row == 0 || h.rows == 0) return malformed(8);
        raster_left_ = uint64_t(h.bytes_per_row) * uint64_t(h.rows);
        if (!mode_byte(m, 3)) {
            // The data length is known, so it is stepped over, not printed as text.
            ++counters_.malformed;
            raster_skip_ = true;
            return 8;
        }
        h.mode = m & 3;
        raster_skip_ = false;
        ++counters_.commands;
        sink_->raster_begin(h);
        return 8;
    }
    default: return unknown(2);
    }
}

size_t Parser::raster(const uint8_t* data, size_t size) {
    size_t n = size_t(std::min<uint64_t>(raster_left_, size));
    raster_left_ -= n;
    if (!raster_skip_) sink_->raster_data(data, n);
    return n;
}

size_t Parser::device_control2(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t* a = data + 2;
    switch (data[1]) {
    case 0x40: return emit(Op::HardwareReset, nullptr, 0, 2);
    case 0x74: return emit(Op::TestPrint, nullptr, 0, 2);
    case 0x3D: return size >= 3 ? emit(Op::VendorSetting3D, a, 1, 3) : 0;
    case 0x4F: return size >= 3 ? emit(Op::VendorSetting4F, a, 1, 3) : 0;
    case 0x54: return size >= 3 ? emit(Op::CollectionTime, a, 1, 3) : 0;
    case 0x6C: return size >= 3 ? emit(Op::ReadSettings, a, 1, 3) : 0;
    case 0x71: return size >= 3 ? emit(Op::Recovery, a, 1, 3) : 0;
    case 0x6B: return size >= 6 ? emit(Op::WriteSettings, a, 4, 6) : 0;
    default: return unknown(2);
    }
}

size_t Parser::identification(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    if (data[1] != 0x28) return unknown(2);
    if (size < 3) return 0;
    if (data[2] != 0x28) return malformed(2);
    for (size_t i = 3; i < size; ++i) {
        uint8_t c = data[i];
        if (c == 0x29) {
            if (i == 3) return malformed(2);
            Command command{Op::Identification, {}, std::string(reinterpret_cast<const char*>(data + 3), i - 3)};
            ++counters_.commands;
            sink_->command(command);
            return i + 1;
        }
        if (c < 0x20 || c > 0x7E || i - 3 >= kMaxIdentification) return malformed(2);
    }
    return 0;
}

}  // namespace qoremu
