#include "band.h"

#include "commands.h"
#include "halftone.h"
#include "output.h"
#include "textcmd.h"
#include "textqueue.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct FreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }
};
using Buffer = std::unique_ptr<BYTE, FreeDeleter>;

Buffer Allocate(size_t bytes) noexcept { return Buffer(static_cast<BYTE*>(std::calloc(bytes ? bytes : 1, 1))); }

struct Block {
    bool open = false;
    DWORD first_byte = 0;  // F
    DWORD bytes = 0;       // C
    LONG first = 0;
    LONG last = 0;
    BYTE* data = nullptr;  // rows * C bytes, row after row
};

class BandWriter {
public:
    BandWriter(SPLJOB* job, BYTE* block_data) : job_(job), standard_(!IsPageMode(job)) { block_.data = block_data; }

    // Text whose top row is reached goes out before the row (standard mode).
    void PlaceText(LONG row) {
        SendFeed(job_, pending_);
        pending_ = 1;
        if (block_.open) {
            SendBlockImage();
            pending_ = row - block_.last;
            block_.open = false;
        }
        while (job_->text_queue && job_->text_queue->top <= row) {
            TextNode* node = PopText(job_);
            SendText(job_, node->record, node->size);
            FreeTextNode(node);
        }
    }

    void MarkedRow(LONG row, const BYTE* bits, DWORD first_byte, DWORD bytes) {
        if (block_.open && block_.first_byte == first_byte && block_.bytes == bytes &&
            block_.last - block_.first < BAND_MAX_BLOCK_ROWS - 1) {
            Append(row, bits);
            return;
        }
        if (block_.open) {
            Flush();
            if (standard_) pending_ = row - block_.last - 1;
        } else if (standard_ && pending_ >= 255) {
            SendFeed(job_, pending_);
            pending_ = 0;
        }
        block_.open = true;
        block_.first_byte = first_byte;
        block_.bytes = bytes;
        block_.first = row;
        Append(row, bits);
    }

    void BlankRow(LONG row) {
        if (block_.open) {
            Flush();
            if (standard_) pending_ = row - block_.last;
        } else if (standard_) {
            ++pending_;
        }
    }

    // Rows left pending after the last block are not fed: the page end
    // commands move the paper on.
    void Finish() {
        if (block_.open) Flush();
    }

private:
    void Append(LONG row, const BYTE* bits) {
        const size_t rows = static_cast<size_t>(row - block_.first);
        std::memcpy(block_.data + rows * block_.bytes, bits + block_.first_byte, block_.bytes);
        block_.last = row;
    }

    DWORD BlockRows() const { return static_cast<DWORD>(block_.last - block_.first + 1); }

    void SendBlockImage() {
        SendHorizontalPosition(job_, int64_t{block_.first_byte} * 8);
        SendRasterImage(job_, block_.data, block_.bytes, BlockRows());
    }

    void Flush() {
        if (standard_) {
            SendFeed(job_, pending_);
            pending_ = 0;
            SendBlockImage();
        } else {
            SendPrintArea(job_, int64_t{block_.first_byte} * 8, block_.first, int64_t{block_.bytes} * 8, BlockRows());
            SendRasterImage(job_, block_.data, block_.bytes, BlockRows());
        }
        block_.open = false;
    }

    SPLJOB* job_;
    bool standard_;
    LONG pending_ = 0;
    Block block_;
};

// Output row `row` of a turned page: grey column `row`, bottom to top.
// Grey rows the image does not deliver are white.
void GatherTurnedRow(const BYTE* grey, const BandGeometry& g, size_t grey_rows_present, LONG row, BYTE* out) {
    for (LONG k = 0; k < g.row_width; ++k) {
        const size_t source_row = static_cast<size_t>(g.row_width - 1 - k);
        out[k] = source_row < grey_rows_present ? grey[source_row * g.stride + static_cast<size_t>(row)] : 0xFF;
    }
}

}  // namespace

bool ComputeBandGeometry(const EXDEVMODE& devmode, BandGeometry* g) noexcept {
    const PaperMetrix paper = devmode.CurrentPaper;
    const bool portrait = !IsLandscape(devmode);
    *g = BandGeometry{};
    if (paper.Feed == PAPER_FEED_ROTATED) {
        g->row_width = paper.AreaLength;
        g->rows = paper.AreaWidth;
        g->turned = portrait;
    } else {
        g->row_width = paper.AreaWidth;
        g->rows = paper.AreaLength;
        g->turned = !portrait;
    }
    if (g->row_width <= 0 || g->row_width > BAND_MAX_ROW_WIDTH || g->rows <= 0) return false;
    g->grey_width = g->turned ? g->rows : g->row_width;
    g->grey_rows = g->turned ? g->row_width : g->rows;
    g->stride = (static_cast<size_t>(g->grey_width) + 3) & ~size_t{3};
    g->row_bytes = ((static_cast<DWORD>(g->row_width) + 7) / 8 + 3) & ~DWORD{3};
    return true;
}

bool SendBand(SPLJOB* job, const BYTE* grey, size_t length) noexcept {
    static constexpr BYTE kDirectionNormal = 0;
    SendPrintDirection(job, kDirectionNormal);

    BandGeometry g;
    if (!ComputeBandGeometry(job->devmode, &g)) return true;  // nothing printable, nothing to say
    const size_t grey_rows_present = std::min(length / g.stride, static_cast<size_t>(g.grey_rows));
    const bool complete = grey_rows_present == static_cast<size_t>(g.grey_rows);
    // Rows beyond the data are white; without any data there is nothing to halftone.
    const LONG rows = g.turned ? (grey_rows_present ? g.rows : 0) : static_cast<LONG>(grey_rows_present);

    const DWORD dither = job->devmode.dm.dmDitherType;
    HalftoneRow halftone = HalftoneForDitherType(dither);
    if (dither == DITHER_DIFFUSION && job->diffusion.width != g.row_width &&
        !DiffusionAllocate(&job->diffusion, g.row_width)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }

    const size_t block_rows = static_cast<size_t>(std::min<LONG>(g.rows, BAND_MAX_BLOCK_ROWS));
    Buffer bits = Allocate(g.row_bytes);
    Buffer block = Allocate(block_rows * g.row_bytes);
    Buffer turned_row = g.turned ? Allocate(static_cast<size_t>(g.row_width)) : nullptr;
    if (!bits || !block || (g.turned && !turned_row)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }

    BandWriter writer(job, block.get());
    const bool place_text = !IsPageMode(job) && !g.turned;
    for (LONG row = 0; row < rows; ++row) {
        if (place_text && job->text_queue && job->text_queue->top <= row) writer.PlaceText(row);
        const BYTE* pixels;
        if (g.turned) {
            GatherTurnedRow(grey, g, grey_rows_present, row, turned_row.get());
            pixels = turned_row.get();
        } else {
            pixels = grey + static_cast<size_t>(row) * g.stride;
        }
        BYTE* out = bits.get();
        if (!halftone(pixels, out, g.row_width, row, &job->diffusion)) {
            writer.BlankRow(row);
            continue;
        }
        DWORD first = 0;
        while (out[first] == 0) ++first;
        DWORD last = g.row_bytes - 1;
        while (out[last] == 0) --last;
        writer.MarkedRow(row, out, first, last - first + 1);
    }
    writer.Finish();
    if (!complete) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    return true;
}
