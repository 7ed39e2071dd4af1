#include "devmode_ops.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr WORD kHeaderSize = offsetof(DEVMODEW, dmFields) + sizeof(DWORD);

}  // namespace

WORD GetDevModeSpecVersion(const DEVMODEW* devmode) {
    if (!devmode || devmode->dmSize < kHeaderSize) return 0;
    switch (devmode->dmSize) {
    case 188: return 0x0320;
    case 212: return 0x0400;
    case EXDM_PUBLIC_SIZE: return EXDM_SPEC_VERSION;
    default: return devmode->dmSpecVersion;
    }
}

DWORD CopyDevMode(const DEVMODEW* source, DEVMODEW* destination) {
    if (!GetDevModeSpecVersion(source) || !GetDevModeSpecVersion(destination)) return 0;
    const WORD source_size = source->dmSize, source_extra = source->dmDriverExtra;
    const WORD size = destination->dmSize, extra = destination->dmDriverExtra;
    const WORD driver_version = destination->dmDriverVersion;

    const size_t public_bytes = std::min(source_size, size);
    std::memmove(destination, source, public_bytes);
    destination->dmSize = size;
    destination->dmDriverExtra = extra;
    destination->dmDriverVersion = driver_version;
    destination->dmSpecVersion = GetDevModeSpecVersion(destination);

    const size_t private_bytes = std::min(source_extra, extra);
    std::memmove(reinterpret_cast<BYTE*>(destination) + size,
                 reinterpret_cast<const BYTE*>(source) + source_size, private_bytes);
    return static_cast<DWORD>(public_bytes + private_bytes);
}

BOOL CopyDevModeOut(const EXDEVMODE& current, const DEVMODEW* input, DEVMODEW* output) {
    if (!output) return FALSE;
    if (!input) {
        const size_t bytes = std::min<size_t>(size_t(current.dm.dmSize) + current.dm.dmDriverExtra, EXDM_SIZE);
        std::memmove(output, &current, bytes);
        return TRUE;
    }
    if (!GetDevModeSpecVersion(input)) return FALSE;
    const DEVMODEW& by_size = input->dmSize < current.dm.dmSize ? *input : current.dm;
    const DEVMODEW& by_extra = input->dmDriverExtra < current.dm.dmDriverExtra ? *input : current.dm;
    const WORD spec_version = by_size.dmSpecVersion, size = by_size.dmSize;
    const WORD driver_version = by_extra.dmDriverVersion, extra = by_extra.dmDriverExtra;
    output->dmSpecVersion = spec_version;
    output->dmSize = size;
    output->dmDriverVersion = driver_version;
    output->dmDriverExtra = extra;
    return CopyDevMode(&current.dm, output) != 0;
}
