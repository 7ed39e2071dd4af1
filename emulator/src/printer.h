// The print mechanism: standard-mode lines, page-mode pages, raster images,
// feeds and cuts, laid out on paper at 203 dpi. Every cut hands a finished
// ticket to the TicketSink. Knows nothing of status or transports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bitmap.h"
#include "charset.h"
#include "fonts.h"
#include "parser.h"
#include "settings.h"

namespace qoremu {

// A ticket is `height` rows long; `paper` holds its ink (it may be shorter
// than the ticket: the rest is blank paper).
struct Ticket {
    Bitmap paper;
    int height = 0;
    bool partial = false;
};

class TicketSink {
public:
    virtual ~TicketSink() = default;
    virtual void ticket(Ticket&& ticket) = 0;
};

struct PrinterCounters {
    uint64_t raster_rows = 0;
    uint64_t tickets = 0;
    uint64_t cuts_ignored = 0;
    uint64_t empty_cuts = 0;
};

constexpr int kMaxTicketRows = 262144;
constexpr int kPageDots = 1600000;
constexpr int kMarkPitch = 800;
constexpr int kDotsPerInch = 203;

class Printer : public CommandSink {
public:
    Printer(Fonts* fonts, Charset* charset, const SettingBytes* settings, TicketSink* sink);

    void command(const Command& command) override;
    void character(uint16_t code, CharKind kind) override;
    void raster_begin(const RasterHeader& header) override;
    void raster_data(const uint8_t* data, size_t size) override;

    // ESC @: modes back to power-on values; unprinted text and page data go.
    void initialise();
    // Prints `lines` in the 12x24 font and cuts: the test print.
    void print_listing(const std::vector<std::string>& lines);
    // Ends the ticket as if cut by hand: what is printed becomes a ticket.
    void tear_off();
    // Paper rows moved since the last call (for the engine's timing).
    int take_rows_moved();
    bool page_mode() const { return page_mode_; }
    // Paper fed or text waiting since the last cut.
    bool ticket_in_progress() const { return ticket_started_ || !line_.empty(); }
    const PrinterCounters& counters() const { return counters_; }

private:
    struct Placed {
        int x;
        const Glyph* glyph;
        int scale_w;
        int scale_h;
    };
    struct Area {
        int x = 0, y = 0, width = 0, height = 0;
    };

    int paper_width() const;
    void start_ticket();
    int dots_h(int units) const { return units * kDotsPerInch / horizontal_unit_; }
    int dots_v(int units) const { return units * kDotsPerInch / vertical_unit_; }
    int right_edge() const;
    int line_spacing_dots() const { return dots_v(line_spacing_); }

    // Standard mode
    void print_line();
    void line_feed(int rows);
    void advance(int rows);
    void cut(bool partial);
    void end_ticket(bool partial);
    void draw_glyph_on_paper(const Placed& placed, int top);

    // Page mode
    void enter_page_mode();
    void leave_page_mode();
    void print_page();
    void clear_page();
    int page_length() const;
    int logical_width() const;
    int logical_height() const;
    void plot(int u, int v);
    void place_in_page(const Glyph& glyph, int scale_w, int scale_h, int spacing_before, int advance);

    void raster_row(const uint8_t* bytes);
    void default_area();

    Fonts* fonts_;
    Charset* charset_;
    const SettingBytes* settings_;
    TicketSink* sink_;
    PrinterCounters counters_;

    // Paper
    bool ticket_started_ = false;
    Bitmap paper_;
    int y_ = 0;
    int rows_moved_ = 0;

    // Modes
    int horizontal_unit_ = kDotsPerInch;
    int vertical_unit_ = kDotsPerInch;
    int print_mode_ = 0;
    int kanji_mode_ = 0;
    int size_w_ = 1, size_h_ = 1;
    int right_spacing_ = 0;
    int kanji_left_ = 0, kanji_right_ = 0;
    int line_spacing_ = kDotsPerInch / 6;
    int left_margin_ = 0;
    int print_width_ = 0;  // 0: up to the paper's edge

    // Standard-mode line
    std::vector<Placed> line_;
    int line_x_ = 0;

    // Page mode
    bool page_mode_ = false;
    Bitmap page_;
    Area area_;
    int direction_ = 0;
    int u_ = 0, v_ = 0;
    int page_extent_ = 0;
    bool area_set_ = false;

    // Raster image in progress
    RasterHeader raster_;
    std::vector<uint8_t> row_;
    size_t row_fill_ = 0;
    int raster_row_index_ = 0;
    int raster_x_ = 0;
    int raster_top_ = 0;
};

}  // namespace qoremu
