#include "printer.h"

#include <algorithm>

namespace qoremu {

namespace {

int scale_bits(uint8_t n) { return (n & 7) + 1; }

}  // namespace

Printer::Printer(Fonts* fonts, Charset* charset, const SettingBytes* settings, TicketSink* sink)
    : fonts_(fonts), charset_(charset), settings_(settings), sink_(sink) {
    default_area();
}

int Printer::paper_width() const { return ticket_started_ ? paper_.width() : paper_width_dots(*settings_); }

void Printer::start_ticket() {
    if (ticket_started_) return;
    ticket_started_ = true;
    paper_ = Bitmap(paper_width_dots(*settings_));
    y_ = 0;
}

int Printer::right_edge() const {
    int width = paper_width();
    int right = print_width_ > 0 ? left_margin_ + print_width_ : width;
    return std::min(right, width);
}

int Printer::take_rows_moved() {
    int rows = rows_moved_;
    rows_moved_ = 0;
    return rows;
}

void Printer::initialise() {
    line_.clear();
    line_x_ = 0;
    if (page_mode_) leave_page_mode();
    horizontal_unit_ = vertical_unit_ = kDotsPerInch;
    print_mode_ = kanji_mode_ = 0;
    size_w_ = size_h_ = 1;
    right_spacing_ = kanji_left_ = kanji_right_ = 0;
    line_spacing_ = kDotsPerInch / 6;
    left_margin_ = print_width_ = 0;
    direction_ = 0;
    default_area();
    raster_ = RasterHeader();
}

void Printer::default_area() {
    int width = paper_width();
    area_ = {0, 0, width, kPageDots / std::max(width, 1)};
}

// ---- standard mode --------------------------------------------------------

void Printer::advance(int rows) {
    if (rows <= 0) return;
    start_ticket();
    rows_moved_ += rows;
    y_ += rows;
    while (y_ >= kMaxTicketRows) {
        // Paper this long is cut by the printer itself.
        int rest = y_ - kMaxTicketRows;
        y_ = kMaxTicketRows;
        Ticket t{std::move(paper_), kMaxTicketRows, false};
        t.paper.crop(kMaxTicketRows);
        ++counters_.tickets;
        sink_->ticket(std::move(t));
        ticket_started_ = false;
        start_ticket();
        y_ = rest;
    }
}

void Printer::draw_glyph_on_paper(const Placed& placed, int top) {
    const Glyph& g = *placed.glyph;
    int x0 = left_margin_ + placed.x;
    int right = right_edge();
    paper_.ensure_height(top + g.height * placed.scale_h);
    for (int gy = 0; gy < g.height; ++gy) {
        for (int gx = 0; gx < g.width; ++gx) {
            if (!g.at(gx, gy)) continue;
            for (int sy = 0; sy < placed.scale_h; ++sy) {
                for (int sx = 0; sx < placed.scale_w; ++sx) {
                    int x = x0 + gx * placed.scale_w + sx;
                    if (x < right) paper_.set(x, top + gy * placed.scale_h + sy);
                }
            }
        }
    }
}

// Prints the pending line with its top at the print position; returns
// nothing, the caller feeds.
void Printer::print_line() {
    if (line_.empty()) {
        line_x_ = 0;
        return;
    }
    start_ticket();
    int height = 0;
    for (const auto& p : line_) height = std::max(height, p.glyph->height * p.scale_h);
    for (const auto& p : line_) draw_glyph_on_paper(p, y_ + height - p.glyph->height * p.scale_h);
    line_.clear();
    line_x_ = 0;
}

void Printer::line_feed(int rows) {
    int height = 0;
    for (const auto& p : line_) height = std::max(height, p.glyph->height * p.scale_h);
    print_line();
    advance(std::max(rows, height));
}

void Printer::cut(bool partial) {
    if (!cutter_enabled(*settings_)) {
        ++counters_.cuts_ignored;
        return;
    }
    end_ticket(partial);
}

void Printer::tear_off() {
    if (page_mode_) print_page();
    end_ticket(false);
}

void Printer::end_ticket(bool partial) {
    if (!line_.empty()) line_feed(line_spacing_dots());
    if (!ticket_started_) {
        ++counters_.empty_cuts;
        return;
    }
    int height = std::max(y_, paper_.ink_bottom());
    ticket_started_ = false;
    y_ = 0;
    if (height == 0) {
        ++counters_.empty_cuts;
        paper_ = Bitmap();
        return;
    }
    Ticket t{std::move(paper_), height, partial};
    paper_ = Bitmap();
    ++counters_.tickets;
    sink_->ticket(std::move(t));
}

// ---- characters ------------------------------------------------------------

void Printer::character(uint16_t code, CharKind kind) {
    const bool double_byte = kind == CharKind::Double;
    FontId font;
    char32_t c;
    int scale_w, scale_h, spacing_before = 0, spacing_after;
    if (double_byte) {
        font = (kanji_mode_ & 0x01) ? FontId::Kanji16x16 : FontId::Kanji24x24;
        // Shift-JIS unless the last FS C chose JIS; the parser only passes
        // pairs valid in the code system in force.
        c = (code >> 8) <= 0x7E ? charset_->jis(code) : charset_->shift_jis(code);
        scale_w = std::max((kanji_mode_ & 0x04) ? 2 : 1, size_w_);
        scale_h = std::max((kanji_mode_ & 0x08) ? 2 : 1, size_h_);
        spacing_before = dots_h(kanji_left_);
        spacing_after = dots_h(kanji_right_);
    } else {
        font = (print_mode_ & 0x01) ? FontId::Ank8x16 : FontId::Ank12x24;
        c = kind == CharKind::HalfWidth ? charset_->half_width(uint8_t(code))
                                        : charset_->single_byte(uint8_t(code), character_font(*settings_));
        scale_w = std::max((print_mode_ & 0x20) ? 2 : 1, size_w_);
        scale_h = std::max((print_mode_ & 0x10) ? 2 : 1, size_h_);
        spacing_after = dots_h(right_spacing_);
    }
    const Glyph& glyph = fonts_->glyph(font, c);
    int advance_dots = spacing_before + glyph.width * scale_w + spacing_after;
    if (page_mode_) {
        place_in_page(glyph, scale_w, scale_h, spacing_before, advance_dots);
        return;
    }
    int room = right_edge() - left_margin_;
    if (!line_.empty() && line_x_ + advance_dots > room) line_feed(line_spacing_dots());
    line_.push_back({line_x_ + spacing_before, &glyph, scale_w, scale_h});
    line_x_ += advance_dots;
}

// ---- page mode -------------------------------------------------------------

int Printer::page_length() const { return kPageDots / std::max(paper_width(), 1); }

int Printer::logical_width() const { return (direction_ & 1) ? area_.height : area_.width; }
int Printer::logical_height() const { return (direction_ & 1) ? area_.width : area_.height; }

void Printer::plot(int u, int v) {
    if (u < 0 || v < 0 || u >= logical_width() || v >= logical_height()) return;
    int x, y;
    switch (direction_) {
    case 0: x = area_.x + u; y = area_.y + v; break;
    case 1: x = area_.x + v; y = area_.y + area_.height - 1 - u; break;
    case 2: x = area_.x + area_.width - 1 - u; y = area_.y + area_.height - 1 - v; break;
    default: x = area_.x + area_.width - 1 - v; y = area_.y + u; break;
    }
    if (y >= page_.height()) page_.ensure_height(std::min(y + 64, page_length()));
    page_.set(x, y);
}

void Printer::place_in_page(const Glyph& glyph, int scale_w, int scale_h, int spacing_before, int advance_dots) {
    int height = glyph.height * scale_h;
    if (u_ > 0 && u_ + advance_dots > logical_width()) {
        u_ = 0;
        v_ += std::max(line_spacing_dots(), height);
    }
    v_ = std::max(v_, height);
    int top = v_ - height;
    int left = u_ + spacing_before;
    for (int gy = 0; gy < glyph.height; ++gy)
        for (int gx = 0; gx < glyph.width; ++gx)
            if (glyph.at(gx, gy))
                for (int sy = 0; sy < scale_h; ++sy)
                    for (int sx = 0; sx < scale_w; ++sx) plot(left + gx * scale_w + sx, top + gy * scale_h + sy);
    u_ = std::min(u_ + advance_dots, kPageDots);
}

void Printer::enter_page_mode() {
    if (page_mode_) return;
    print_line();
    page_mode_ = true;
    page_ = Bitmap(paper_width());
    u_ = v_ = 0;
    page_extent_ = 0;
    area_set_ = false;
}

void Printer::leave_page_mode() {
    page_mode_ = false;
    page_ = Bitmap();
    u_ = v_ = 0;
}

void Printer::clear_page() {
    page_ = Bitmap(paper_width());
    u_ = v_ = 0;
    page_extent_ = 0;
    area_set_ = false;
}

void Printer::print_page() {
    int length = area_set_ ? page_extent_ : page_.ink_bottom();
    if (length > 0) {
        start_ticket();
        paper_.ensure_height(y_ + std::min(length, page_.height()));
        for (int row = 0; row < std::min(length, page_.height()); ++row)
            paper_.or_bits(0, y_ + row, page_.row(row), size_t(page_.stride()), paper_.width());
        advance(length);
    }
    clear_page();
}

// ---- raster ----------------------------------------------------------------

void Printer::raster_begin(const RasterHeader& header) {
    raster_ = header;
    row_.assign(size_t(header.bytes_per_row), 0);
    row_fill_ = 0;
    raster_row_index_ = 0;
    int scale_h = (header.mode & 2) ? 2 : 1;
    if (page_mode_) {
        int rows = header.rows * scale_h;
        raster_x_ = u_;
        raster_top_ = v_ >= rows ? v_ - rows : 0;
    } else {
        int x = line_x_;
        print_line();
        start_ticket();
        raster_x_ = left_margin_ + x;
    }
}

void Printer::raster_data(const uint8_t* data, size_t size) {
    while (size > 0 && raster_row_index_ < raster_.rows) {
        size_t n = std::min(size, row_.size() - row_fill_);
        std::copy_n(data, n, row_.begin() + long(row_fill_));
        row_fill_ += n;
        data += n;
        size -= n;
        if (row_fill_ == row_.size()) {
            raster_row(row_.data());
            row_fill_ = 0;
            ++raster_row_index_;
        }
    }
}

void Printer::raster_row(const uint8_t* bytes) {
    ++counters_.raster_rows;
    int scale_w = (raster_.mode & 1) ? 2 : 1;
    int scale_h = (raster_.mode & 2) ? 2 : 1;
    size_t count = size_t(raster_.bytes_per_row);
    if (page_mode_) {
        int top = raster_top_ + raster_row_index_ * scale_h;
        for (size_t i = 0; i < count; ++i) {
            if (!bytes[i]) continue;
            for (int bit = 0; bit < 8; ++bit) {
                if (!(bytes[i] & (0x80 >> bit))) continue;
                int u = raster_x_ + (int(i) * 8 + bit) * scale_w;
                for (int sy = 0; sy < scale_h; ++sy)
                    for (int sx = 0; sx < scale_w; ++sx) plot(u + sx, top + sy);
            }
        }
        return;
    }
    int right = right_edge();
    int visible = std::max(0, (right - raster_x_ + 7) / 8);
    count = std::min(count, size_t(visible) / size_t(scale_w) + 1);
    std::vector<uint8_t> wide;
    const uint8_t* out = bytes;
    size_t out_count = count;
    if (scale_w == 2) {
        wide.assign(count * 2, 0);
        for (size_t i = 0; i < count * 8; ++i)
            if (bytes[i / 8] & (0x80 >> (i % 8))) {
                size_t a = 2 * i, b = 2 * i + 1;
                wide[a / 8] |= uint8_t(0x80 >> (a % 8));
                wide[b / 8] |= uint8_t(0x80 >> (b % 8));
            }
        out = wide.data();
        out_count = wide.size();
    }
    for (int sy = 0; sy < scale_h; ++sy) {
        paper_.ensure_height(y_ + 1);
        paper_.or_bits(raster_x_, y_, out, out_count, right);
        advance(1);
    }
}

// ---- commands --------------------------------------------------------------

void Printer::command(const Command& c) {
    const uint8_t n = c.arg[0];
    struct KeepPositionsBounded {
        int& u;
        int& v;
        // Moves past the page are clipped anyway; the bound keeps sums far
        // from overflowing however many of them come.
        ~KeepPositionsBounded() {
            u = std::min(u, kPageDots);
            v = std::min(v, kPageDots);
        }
    } bounded{u_, v_};
    switch (c.op) {
    case Op::LineFeed:
        if (page_mode_) {
            u_ = 0;
            v_ += line_spacing_dots();
        } else {
            line_feed(line_spacing_dots());
        }
        break;
    case Op::FormFeed:
        if (page_mode_) {
            print_page();
            leave_page_mode();
        }
        break;
    case Op::Tab: {
        int cell = (font_width((print_mode_ & 1) ? FontId::Ank8x16 : FontId::Ank12x24)) * size_w_ * 8;
        int& x = page_mode_ ? u_ : line_x_;
        x = (x / cell + 1) * cell;
        break;
    }
    case Op::Cancel:
        if (page_mode_) clear_page();
        break;
    case Op::Initialise: initialise(); break;
    case Op::RightSpacing: right_spacing_ = n; break;
    case Op::PrintMode: print_mode_ = n; size_w_ = size_h_ = 1; break;
    case Op::CharacterSize: size_w_ = scale_bits(n >> 4); size_h_ = scale_bits(n); break;
    case Op::AbsolutePosition: {
        int units = c.word(0);
        int dots = (page_mode_ && (direction_ & 1)) ? dots_v(units) : dots_h(units);
        if (page_mode_) u_ = dots;
        else if (dots < right_edge() - left_margin_) line_x_ = dots;
        break;
    }
    case Op::RelativePosition: {
        int units = int(int16_t(uint16_t(c.word(0))));
        int dots = units * kDotsPerInch / horizontal_unit_;
        int& x = page_mode_ ? u_ : line_x_;
        int limit = page_mode_ ? logical_width() : right_edge() - left_margin_;
        if (x + dots >= 0 && x + dots < limit) x += dots;
        break;
    }
    case Op::DefaultLineSpacing: line_spacing_ = vertical_unit_ / 6; break;
    case Op::LineSpacing: line_spacing_ = n; break;
    case Op::FeedDots:
        if (page_mode_) {
            u_ = 0;
            v_ += dots_v(n);
        } else {
            print_line();
            advance(dots_v(n));
        }
        break;
    case Op::FeedLines:
        if (page_mode_) {
            u_ = 0;
            v_ += n * line_spacing_dots();
        } else {
            line_feed(n ? line_spacing_dots() : 0);
            if (n > 1) advance((n - 1) * line_spacing_dots());
        }
        break;
    case Op::PageMode: enter_page_mode(); break;
    case Op::StandardMode:
        if (page_mode_) leave_page_mode();
        break;
    case Op::Direction:
        direction_ = n & 3;
        u_ = v_ = 0;
        break;
    case Op::PrintArea: {
        int x = dots_h(c.word(0)), y = dots_v(c.word(2));
        int width = dots_h(c.word(4)), height = dots_v(c.word(6));
        int limit = page_length();
        if (x >= paper_width() || y >= limit || width <= 0 || height <= 0) break;
        area_ = {x, y, std::min(width, paper_width() - x), std::min(height, limit - y)};
        u_ = v_ = 0;
        if (page_mode_) {
            page_extent_ = std::max(page_extent_, area_.y + area_.height);
            area_set_ = true;
        }
        break;
    }
    case Op::PrintPage:
        if (page_mode_) print_page();
        break;
    case Op::KanjiPrintMode: kanji_mode_ = n; break;
    case Op::KanjiSpacing: kanji_left_ = c.arg[0]; kanji_right_ = c.arg[1]; break;
    case Op::FeedToMark:
        if (!page_mode_ && marked_paper(*settings_)) {
            print_line();
            start_ticket();
            advance((y_ / kMarkPitch + 1) * kMarkPitch - y_);
        }
        break;
    case Op::VerticalPosition:
        if (page_mode_) v_ = (direction_ & 1) ? dots_h(c.word(0)) : dots_v(c.word(0));
        break;
    case Op::LeftMargin:
        if (line_.empty()) left_margin_ = std::min(dots_h(c.word(0)), paper_width() - 1);
        break;
    case Op::PrintWidth:
        if (line_.empty()) print_width_ = dots_h(c.word(0));
        break;
    case Op::MotionUnits:
        horizontal_unit_ = c.arg[0] ? c.arg[0] : kDotsPerInch;
        vertical_unit_ = c.arg[1] ? c.arg[1] : kDotsPerInch;
        break;
    case Op::Cut: cut(n & 1); break;
    case Op::FeedAndCut:
        if (!page_mode_) {
            print_line();
            advance(dots_v(c.arg[1]));
        }
        cut(n == 0x42);
        break;
    default: break;  // kept by the device or without effect on paper
    }
}

void Printer::print_listing(const std::vector<std::string>& lines) {
    initialise();
    for (const auto& line : lines) {
        for (char ch : line) character(uint8_t(ch), CharKind::Single);
        line_feed(line_spacing_dots());
    }
    advance(3 * line_spacing_dots());
    cut(false);
}

}  // namespace qoremu
