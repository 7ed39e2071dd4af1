#include "spool_client_pack.h"

#include "qor/devmode.h"
#include "qor/strings.h"

namespace qor::spool {

void* Packer::place(const void* data, size_t size) {
    void* at = base_ ? base_ + used_ : nullptr;
    if (base_ && size) std::memcpy(at, data, size);
    used_ = align(used_ + size);
    return at;
}

template <>
char16_t* Packer::str<char16_t>(const std::string& utf8) {
    std::u16string w = utf8_to_wide(utf8);
    return static_cast<char16_t*>(place(w.c_str(), (w.size() + 1) * sizeof(char16_t)));
}

template <>
char* Packer::str<char>(const std::string& utf8) {
    std::string a = utf8_to_ansi(utf8);
    return static_cast<char*>(place(a.c_str(), a.size() + 1));
}

void* Packer::blob(const void* data, size_t size) { return size ? place(data, size) : nullptr; }

namespace {

// The narrow record's layout: the wide one with both 32-character names
// stored as bytes.
constexpr size_t kNameW = CCHDEVICENAME * 2, kNameA = CCHDEVICENAME;
constexpr size_t kFormOffsetW = offsetof(DEVMODEW, dmFormName);
constexpr size_t kFormOffsetA = kFormOffsetW - kNameW + kNameA;
constexpr size_t kPublicW = sizeof(DEVMODEW);
constexpr size_t kPublicA = kPublicW - 2 * (kNameW - kNameA);
static_assert(kPublicA == 156);

void name_to_narrow(const uint8_t* wide, uint8_t* narrow) {
    char16_t name[CCHDEVICENAME + 1] = {};
    std::memcpy(name, wide, kNameW);
    std::string a = utf8_to_ansi(wide_to_utf8(name));
    if (a.size() > kNameA - 1) a.resize(kNameA - 1);
    std::memcpy(narrow, a.c_str(), a.size() + 1);
}

void name_to_wide(const uint8_t* narrow, uint8_t* wide) {
    char name[kNameA + 1] = {};
    std::memcpy(name, narrow, kNameA);
    std::u16string w = utf8_to_wide(ansi_to_utf8(name));
    if (w.size() > CCHDEVICENAME - 1) w.resize(CCHDEVICENAME - 1);
    std::memcpy(wide, w.c_str(), (w.size() + 1) * 2);
}

}  // namespace

std::vector<uint8_t> devmode_wide_to_narrow(const std::vector<uint8_t>& wide) {
    if (wide.size() < kPublicW) return {};
    DEVMODEW head;
    std::memcpy(&head, wide.data(), sizeof head);
    if (head.dmSize < kPublicW || size_t(head.dmSize) + head.dmDriverExtra > wide.size()) return {};
    std::vector<uint8_t> out(kPublicA + head.dmDriverExtra, 0);
    name_to_narrow(wide.data(), out.data());
    std::memcpy(out.data() + kNameA, wide.data() + kNameW, kFormOffsetW - kNameW);
    name_to_narrow(wide.data() + kFormOffsetW, out.data() + kFormOffsetA);
    std::memcpy(out.data() + kFormOffsetA + kNameA, wide.data() + kFormOffsetW + kNameW,
                kPublicW - kFormOffsetW - kNameW);
    uint16_t size_a = static_cast<uint16_t>(kPublicA);
    std::memcpy(out.data() + offsetof(DEVMODEW, dmSize) - (kNameW - kNameA), &size_a, 2);
    std::memcpy(out.data() + kPublicA, wide.data() + head.dmSize, head.dmDriverExtra);
    return out;
}

std::vector<uint8_t> devmode_narrow_to_wide(const void* narrow, size_t available) {
    const auto* in = static_cast<const uint8_t*>(narrow);
    if (!in || available < kPublicA) return {};
    uint16_t size_a, extra;
    std::memcpy(&size_a, in + offsetof(DEVMODEW, dmSize) - (kNameW - kNameA), 2);
    std::memcpy(&extra, in + offsetof(DEVMODEW, dmDriverExtra) - (kNameW - kNameA), 2);
    if (size_a < kPublicA || size_t(size_a) + extra > available) return {};
    std::vector<uint8_t> out(kPublicW + extra, 0);
    name_to_wide(in, out.data());
    std::memcpy(out.data() + kNameW, in + kNameA, kFormOffsetA - kNameA);
    name_to_wide(in + kFormOffsetA, out.data() + kFormOffsetW);
    std::memcpy(out.data() + kFormOffsetW + kNameW, in + kFormOffsetA + kNameA,
                kPublicA - kFormOffsetA - kNameA);
    uint16_t size_w = static_cast<uint16_t>(kPublicW);
    std::memcpy(out.data() + offsetof(DEVMODEW, dmSize), &size_w, 2);
    std::memcpy(out.data() + kPublicW, in + size_a, extra);
    return out;
}

std::vector<uint8_t> devmode_bytes(const DEVMODEW* dm) {
    if (!dm) return {};
    size_t size = size_t(dm->dmSize) + dm->dmDriverExtra;
    if (dm->dmSize < offsetof(DEVMODEW, dmFields) || size > kMaxPrinterData) return {};
    const auto* p = reinterpret_cast<const uint8_t*>(dm);
    return std::vector<uint8_t>(p, p + size);
}

}  // namespace qor::spool
