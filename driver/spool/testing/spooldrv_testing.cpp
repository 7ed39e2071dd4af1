#include "spooldrv_testing.h"

#include "exports.h"
#include "output.h"
#include "common/jobstream.h"

#include <cstdio>
#include <cstring>
#include <mutex>


namespace spooltest {

namespace {

struct RecorderState {
    std::mutex lock;
    std::vector<Bytes> writes;
    DWORD fail_error = 0;
    bool count_only = false;
    uint64_t bytes = 0;
};

RecorderState& State() {
    static RecorderState state;
    return state;
}

BOOL RecordWrite(HANDLE, LPVOID buffer, DWORD size, LPDWORD written) {
    RecorderState& s = State();
    std::lock_guard<std::mutex> lock(s.lock);
    if (s.fail_error) {
        *written = 0;
        SetLastError(s.fail_error);
        return FALSE;
    }
    s.bytes += size;
    if (!s.count_only) {
        const auto* p = static_cast<const uint8_t*>(buffer);
        s.writes.emplace_back(p, p + size);
    }
    *written = size;
    return TRUE;
}

Bytes Record(WORD type, const void* payload, DWORD length, DWORD header_length) {
    RecordHeader header{type, 0, header_length};
    Bytes bytes(sizeof(header) + length);
    std::memcpy(bytes.data(), &header, sizeof(header));
    if (length) std::memcpy(bytes.data() + sizeof(header), payload, length);
    return bytes;
}

}  // namespace

EXDEVMODE MakeDevmode(LONG area_width, LONG area_length) {
    EXDEVMODE dm;
    std::memset(&dm, 0, sizeof(dm));
    dm.dm.dmSpecVersion = EXDM_SPEC_VERSION;
    dm.dm.dmDriverVersion = EXDM_DRIVER_VERSION;
    dm.dm.dmSize = EXDM_PUBLIC_SIZE;
    dm.dm.dmDriverExtra = EXDM_PRIVATE_SIZE;
    dm.dm.dmFields = EXDM_DEFAULT_FIELDS;
    dm.dm.dmOrientation = DMORIENT_PORTRAIT;
    dm.dm.dmDitherType = 1;
    dm.SettingsSignature = EXDM_SETTINGS_SIGNATURE;
    dm.PrivateSize = EXDM_PRIVATE_SIZE;
    dm.PrivateSize2 = EXDM_PRIVATE_SIZE;
    dm.Density = 3;
    dm.Bright = EXDM_NEUTRAL_BRIGHT;
    PaperMetrix paper;
    std::memset(&paper, 0, sizeof(paper));
    paper.AreaWidth = area_width;
    paper.AreaLength = area_length;
    paper.AreaWidthMM = area_width / 8;
    paper.AreaLengthMM = area_length / 8;
    dm.CurrentPaper = paper;
    return dm;
}

Bytes DevmodeRecord(const EXDEVMODE& devmode) {
    return Record(JOB_RECORD_DEVMODE, &devmode, sizeof(devmode), sizeof(devmode));
}
Bytes EndPageRecord() { return Record(JOB_RECORD_END_PAGE, nullptr, 0, 0); }
Bytes BandRecord() { return Record(JOB_RECORD_BAND, nullptr, 0, 0); }
Bytes PassThroughRecord(const Bytes& data) {
    return Record(JOB_RECORD_PASSTHROUGH, data.data(), static_cast<DWORD>(data.size()),
                  static_cast<DWORD>(data.size()));
}

Bytes TextRecord(const EXDEVMODE& devmode, LONG x0, LONG y0, LONG width, LONG height, bool double_byte,
                 const std::vector<TextItemSpec>& items) {
    TextRecordHeader header;
    std::memset(&header, 0, sizeof(header));
    header.header.type = JOB_RECORD_TEXT;
    const PaperMetrix paper = devmode.CurrentPaper;
    header.area_width = static_cast<DWORD>(paper.AreaWidth);
    header.area_length = static_cast<DWORD>(paper.AreaLength);
    header.x0 = x0;
    header.y0 = y0;
    header.width = width;
    header.height = height;
    header.item_bytes = static_cast<DWORD>(items.size() * sizeof(TextItem));
    header.double_byte = header.double_byte2 = double_byte ? 1 : 0;
    header.item_count = static_cast<DWORD>(items.size());
    Bytes bytes(sizeof(header) + items.size() * sizeof(TextItem));
    std::memcpy(bytes.data(), &header, sizeof(header));
    for (size_t i = 0; i < items.size(); ++i) {
        TextItem item{items[i].x, items[i].y, items[i].lead, items[i].code, 0};
        std::memcpy(bytes.data() + sizeof(header) + i * sizeof(TextItem), &item, sizeof(item));
    }
    return bytes;
}

Recorder::Recorder() {
    clear();
    fail_with(0);
    count_only(false);
    SetPrinterWrite(&RecordWrite);
}
Recorder::~Recorder() { SetPrinterWrite(nullptr); }

const std::vector<Bytes>& Recorder::writes() const { return State().writes; }

Bytes Recorder::all() const {
    Bytes bytes;
    for (const Bytes& w : State().writes) bytes.insert(bytes.end(), w.begin(), w.end());
    return bytes;
}

void Recorder::clear() {
    std::lock_guard<std::mutex> lock(State().lock);
    State().writes.clear();
    State().bytes = 0;
}

void Recorder::fail_with(DWORD error) {
    std::lock_guard<std::mutex> lock(State().lock);
    State().fail_error = error;
}

void Recorder::count_only(bool on) {
    std::lock_guard<std::mutex> lock(State().lock);
    State().count_only = on;
}

uint64_t Recorder::bytes() const { return State().bytes; }

Job::Job(HANDLE printer) : handle(DrvSplStartDoc(printer, 7)) {}
Job::~Job() {
    if (handle) {
        DrvSplEndDoc(handle);
        DrvSplClose(handle);
    }
}

BOOL Job::write(const Bytes& bytes, DWORD* written) {
    return write(bytes.data(), static_cast<DWORD>(bytes.size()), written);
}

BOOL Job::write(const void* bytes, DWORD length, DWORD* written) {
    DWORD ignored = 0;
    return DrvSplWritePrinter(handle, const_cast<void*>(bytes), length, written ? written : &ignored);
}

GreyImage::GreyImage(LONG image_width, LONG image_rows)
    : width(image_width), rows(image_rows), stride((static_cast<size_t>(image_width) + 3) & ~size_t{3}),
      pixels(stride * static_cast<size_t>(image_rows), 0xFF) {}

void GreyImage::Paint(LONG x, LONG y, LONG w, LONG h, uint8_t grey) {
    for (LONG r = y; r < y + h; ++r)
        std::memset(pixels.data() + static_cast<size_t>(r) * stride + static_cast<size_t>(x), grey,
                    static_cast<size_t>(w));
}

void PrintPage(Job& job, const EXDEVMODE& devmode, const GreyImage& image) {
    job.write(DevmodeRecord(devmode));
    job.write(BandRecord());
    job.write(image.pixels);
    job.write(EndPageRecord());
}

Bytes JobStartBytes() {
    static const char kStart[] =
        "\x1D\x61\x1E\x1B\x40\x13\x28(QOR ZEM-D Linux driver)\x12\x3D\x01\x1D\x50\xCB\xCB";
    return Bytes(kStart, kStart + sizeof(kStart) - 1);
}

size_t Find(const Bytes& haystack, const Bytes& needle, size_t from) {
    if (needle.empty() || haystack.size() < needle.size()) return std::string::npos;
    for (size_t i = from; i + needle.size() <= haystack.size(); ++i)
        if (std::memcmp(haystack.data() + i, needle.data(), needle.size()) == 0) return i;
    return std::string::npos;
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    char digits[4];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof(digits), "%02X ", b);
        text += digits;
    }
    if (!text.empty()) text.pop_back();
    return text;
}

}  // namespace spooltest
