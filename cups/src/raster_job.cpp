#include "raster_job.h"

#include "page_settings.h"

#include "qor/gdi.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qorcups {
namespace {

struct GreyBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

GreyBitmapInfo GreyInfo(int width, int height) {
    GreyBitmapInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = -height;  // top-down
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<BYTE>(i);
        info.colors[i] = RGBQUAD{v, v, v, 0};
    }
    return info;
}

std::string Error(const std::string& what) { return what + " (error " + std::to_string(GetLastError()) + ")"; }

// One document on the printer, opened at the first page.
class EngineDocument {
public:
    explicit EngineDocument(const RasterJob& job) : job_(job) {}
    EngineDocument(const EngineDocument&) = delete;
    EngineDocument& operator=(const EngineDocument&) = delete;
    ~EngineDocument() {
        if (dc_ && started_) AbortDoc(dc_);
        if (dc_) DeleteDC(dc_);
    }

    bool Page(EXDEVMODE& devmode, const std::vector<uint8_t>& pixels, const cups_page_header2_t& header,
              std::string* error) {
        if (!Open(devmode, error)) return false;
        if (StartPage(dc_) <= 0) return (*error = Error("the page could not be started")), false;
        const int area_width = GetDeviceCaps(dc_, HORZRES), area_length = GetDeviceCaps(dc_, VERTRES);
        const Columns columns = PrintableColumns(header.cupsWidth, static_cast<unsigned>(area_width));
        const int rows = static_cast<int>(std::min<unsigned>(header.cupsHeight, static_cast<unsigned>(area_length)));
        const size_t stride = (columns.count + 3) & ~size_t{3};
        std::vector<uint8_t> dib(stride * static_cast<size_t>(rows), 0xFF);
        for (int y = 0; y < rows; ++y)
            std::memcpy(dib.data() + static_cast<size_t>(y) * stride,
                        pixels.data() + static_cast<size_t>(y) * header.cupsBytesPerLine + columns.first,
                        columns.count);
        const GreyBitmapInfo info = GreyInfo(static_cast<int>(columns.count), rows);
        if (rows > 0 && StretchDIBits(dc_, 0, 0, static_cast<int>(columns.count), rows, 0, 0,
                                      static_cast<int>(columns.count), rows, dib.data(),
                                      reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY) == 0)
            return (*error = Error("the page could not be drawn")), false;
        if (EndPage(dc_) <= 0) return (*error = Error("the page could not be printed")), false;
        return true;
    }

    bool Finish(std::string* error) {
        if (!started_) return true;
        started_ = false;
        if (EndDoc(dc_) <= 0) return (*error = Error("the job could not be completed")), false;
        return true;
    }

    DWORD job_id() const { return job_id_; }

private:
    bool Open(EXDEVMODE& devmode, std::string* error) {
        if (dc_) {
            if (std::memcmp(&devmode, &current_, sizeof devmode) == 0) return true;
            if (!ResetDCW(dc_, &devmode.dm)) return (*error = Error("the page's settings were refused")), false;
            current_ = devmode;
            return true;
        }
        dc_ = CreateDCW(u"WINSPOOL", job_.printer.c_str(), nullptr, &devmode.dm);
        if (!dc_) return (*error = Error("the printer cannot be used")), false;
        current_ = devmode;
        std::u16string title(job_.title.begin(), job_.title.end());
        DOCINFOW doc{};
        doc.cbSize = sizeof doc;
        doc.lpszDocName = title.c_str();
        const int id = StartDocW(dc_, &doc);
        if (id <= 0) return (*error = Error("the job could not be started")), false;
        job_id_ = static_cast<DWORD>(id);
        started_ = true;
        return true;
    }

    const RasterJob& job_;
    HDC dc_ = nullptr;
    bool started_ = false;
    DWORD job_id_ = 0;
    EXDEVMODE current_{};
};

// The reader's source: the job's descriptor, and whether it has ended.
struct Source {
    int fd;
    bool ended = false;
};

ssize_t ReadSource(void* context, unsigned char* buffer, size_t bytes) {
    auto* source = static_cast<Source*>(context);
    for (;;) {
        const ssize_t n = read(source->fd, buffer, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) source->ended = true;
        return n;
    }
}

// The header's enumerations hold whatever the stream held: read them as
// numbers, never as values of the enumeration.
template <class Enum>
unsigned EnumValue(const Enum& field) {
    static_assert(sizeof(Enum) == sizeof(unsigned));
    unsigned value;
    std::memcpy(&value, &field, sizeof value);
    return value;
}

}  // namespace

bool CheckRasterHeader(const cups_page_header2_t& header, std::string* error) {
    const unsigned space = EnumValue(header.cupsColorSpace);
    const bool grey = space == CUPS_CSPACE_W || space == CUPS_CSPACE_SW;
    if (!grey || header.cupsBitsPerColor != 8 || header.cupsBitsPerPixel != 8 ||
        EnumValue(header.cupsColorOrder) != CUPS_ORDER_CHUNKED) {
        *error = "the raster page is not 8-bit grey (colour space " + std::to_string(space) + ", " +
                 std::to_string(header.cupsBitsPerPixel) + " bits per pixel)";
        return false;
    }
    if (header.HWResolution[0] != EXDM_RESOLUTION || header.HWResolution[1] != EXDM_RESOLUTION) {
        *error = "the raster page is at " + std::to_string(header.HWResolution[0]) + "x" +
                 std::to_string(header.HWResolution[1]) + " dpi, not 203 dpi";
        return false;
    }
    if (header.cupsWidth == 0 || header.cupsHeight == 0 || header.cupsWidth > kMaxRasterWidth ||
        header.cupsHeight > kMaxRasterHeight || header.cupsBytesPerLine < header.cupsWidth ||
        header.cupsBytesPerLine > kMaxRasterWidth) {
        *error = "the raster page's size is out of bounds (" + std::to_string(header.cupsWidth) + "x" +
                 std::to_string(header.cupsHeight) + ", " + std::to_string(header.cupsBytesPerLine) +
                 " bytes a row)";
        return false;
    }
    return true;
}

Columns PrintableColumns(unsigned raster_width, unsigned area_width) {
    if (area_width == 0 || raster_width <= area_width) return {0, raster_width};
    return {(raster_width - area_width) / 2, area_width};
}

bool PrintRaster(int fd, const RasterJob& job, const std::function<void(int)>& page_done, RasterOutcome* outcome,
                 std::string* error) {
    *outcome = {};
    Source source{fd};
    cups_raster_t* raster = cupsRasterOpenIO(ReadSource, &source, CUPS_RASTER_READ);
    if (!raster) return (*error = "the job's data is not CUPS raster"), false;
    bool ok = true;
    {
        EngineDocument document(job);
        cups_page_header2_t header;
        std::vector<uint8_t> pixels;
        while (ok && cupsRasterReadHeader2(raster, &header)) {
            PageSettings settings;
            EXDEVMODE devmode = job.base;
            ok = CheckRasterHeader(header, error) && ReadPageSettings(header, *job.ppd, &settings, error) &&
                 ApplyPageSettings(settings, header, *job.ppd, &devmode, error);
            if (!ok) break;
            const size_t bytes = static_cast<size_t>(header.cupsBytesPerLine) * header.cupsHeight;
            pixels.resize(bytes);
            if (cupsRasterReadPixels(raster, pixels.data(), static_cast<unsigned>(bytes)) != bytes) {
                *error = "page " + std::to_string(outcome->pages + 1) + " of the raster ends early";
                ok = false;
                break;
            }
            ok = document.Page(devmode, pixels, header, error);
            if (!ok) break;
            ++outcome->pages;
            if (page_done) page_done(outcome->pages);
        }
        // A job of several documents reaches the backend as raster streams
        // one after another, and the reader stops at the end of the first.
        unsigned char more = 0;
        const bool others = ok && (!source.ended || ReadSource(&source, &more, 1) > 0);
        if (ok && outcome->pages == 0) {
            *error = "the job holds no pages (the document could not be converted)";
            ok = false;
        }
        if (ok) ok = document.Finish(error);
        if (ok && others) {
            *error = "the job holds more than one document: the first was printed, the others were not (print "
                     "each file as a job of its own)";
            ok = false;
        }
        outcome->job_id = document.job_id();
    }
    cupsRasterClose(raster);
    return ok;
}

}  // namespace qorcups
