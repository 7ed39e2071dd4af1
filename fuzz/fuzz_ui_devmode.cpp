// The interface driver's conversions and merges with hostile records: a
// caller's record and an output header of any bytes, each buffer as large
// as its record claims, against the installed description's shape.
#include "context.h"
#include "convert.h"
#include "devmode_ops.h"

#include "qor/ddiui.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char kDescription[] =
    "DefPaper=768\r\nDefUserPaper=12\r\nDefOrient=1\r\nDefBin=1\r\nDefDither=3\r\n"
    "NumPaper=2\r\n"
    "768;\"80 x 297 mm\";80;297;72;297;0;640;2376;576;2376;32;32;0;0;0\r\n"
    "257;\"58 x 100 mm\";58;2147483647;54;100;0;464;800;432;800;16;16;0;0;0\r\n"
    "NumUserDef=1\r\n"
    "256;\"80 mm\";80;100;72;100;0;640;799;576;799;32;32;0;0;0\r\n";

const PpdData& Parsed() {
    static const Description description = [] {
        Description parsed;
        PPD_Parse(&parsed.ppd(), kDescription, sizeof(kDescription) - 1);
        return parsed;
    }();
    return description.ppd();
}

// A record of the given bytes, in a buffer as large as it claims.
std::vector<uint8_t> Record(const uint8_t* data, size_t size) {
    std::vector<uint8_t> record(std::max<size_t>(size, offsetof(DEVMODEW, dmFields)), 0);
    std::memcpy(record.data(), data, size);
    WORD dm_size, extra;
    std::memcpy(&dm_size, record.data() + offsetof(DEVMODEW, dmSize), 2);
    std::memcpy(&extra, record.data() + offsetof(DEVMODEW, dmDriverExtra), 2);
    record.resize(std::max(record.size(), size_t(dm_size) + extra), 0);
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3 || size > 8192) return 0;
    const uint8_t mode = data[0];
    const uint8_t* rest = data + 2;
    const size_t rest_size = size - 2;
    const size_t split = std::min<size_t>(rest_size, size_t(data[1]) * 4);
    std::vector<uint8_t> in = Record(rest, split);
    std::vector<uint8_t> out = Record(rest + split, rest_size - split);
    auto* in_record = reinterpret_cast<DEVMODEW*>(in.data());
    auto* out_record = reinterpret_cast<DEVMODEW*>(out.data());
    const PpdData& ppd = Parsed();

    // The output buffer's true size as the count, or a claim beyond it for
    // the modes that check the count against fixed sizes.
    out.resize(std::max<size_t>(out.size(), EXDM_SIZE), 0);
    out_record = reinterpret_cast<DEVMODEW*>(out.data());
    LONG count = static_cast<LONG>(out.size());
    const DWORD modes[] = {CDM_CONVERT, CDM_CONVERT351, CDM_DRIVER_DEFAULT, 0};
    ConvertDevMode(nullptr, in_record, out_record, &count, modes[mode & 3], ppd);

    EXDEVMODE current;
    std::memset(&current, 0, sizeof(current));
    EngSetDefaultEXDEVMODE(&current, u"QOR ZEM-D", &ppd);
    if (MergeDevMode(&current, in_record, ppd) && current.dm.dmCopies != 1) std::abort();
    if (current.dm.dmSize != EXDM_PUBLIC_SIZE || current.dm.dmDriverExtra != EXDM_PRIVATE_SIZE) std::abort();
    std::vector<uint8_t> copy(std::max<size_t>(in.size(), EXDM_SIZE), 0);
    std::memcpy(copy.data(), in.data(), std::min(in.size(), copy.size()));
    CopyDevModeOut(current, in_record, reinterpret_cast<DEVMODEW*>(copy.data()));
    return 0;
}
