// What the CUPS backend takes from outside: its device URI, and the page
// headers of the raster CUPS hands it (settings, paper, pixel layout).
#include "device_uri.h"
#include "option_defaults.h"
#include "page_settings.h"
#include "raster_job.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

const PpdData& Description() {
    static PpdBlock* block = [] {
        auto* b = new PpdBlock;
        std::memset(b, 0, sizeof(PpdBlock));
        PPD_AttachTables(b);
        const std::string path = QOR_DATA_DIR "/qorn5001.ppd";
        const std::u16string wide(path.begin(), path.end());
        PPD_Init(&b->data, wide.c_str());
        return b;
    }();
    return block->data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    (void)qorcups::ParseDeviceUri(std::string(reinterpret_cast<const char*>(input), size));
    cups_page_header2_t header;
    std::memset(&header, 0, sizeof header);
    std::memcpy(&header, input, size < sizeof header ? size : sizeof header);
    std::string error;
    (void)qorcups::CheckRasterHeader(header, &error);
    (void)qorcups::PrintableColumns(header.cupsWidth, header.cupsHeight);
    qorcups::PageSettings settings;
    EXDEVMODE devmode;
    if (qorcups::ReadPageSettings(header, Description(), &settings, &error) &&
        qorcups::DeviceModeDefaults(Description(), u"Fuzz", &devmode))
        (void)qorcups::ApplyPageSettings(settings, header, Description(), &devmode, &error);
    return 0;
}
