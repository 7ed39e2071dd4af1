// VS_VERSIONINFO: the fixed file information, then StringFileInfo and
// VarFileInfo blocks. Every node is wLength, wValueLength, wType, its key,
// padding to 32 bits, its value and its children (each 32-bit aligned).
#include "rc_templates.h"

namespace qorrc {
namespace {

constexpr uint32_t fixed_signature = 0xFEEF04BD, fixed_struct_version = 0x00010000;
constexpr uint16_t fixed_info_size = 52;

void node(Bytes& out, const VersionNode& n);

size_t begin_node(Bytes& out, const std::u16string& key, uint16_t value_length, uint16_t type) {
    out.align(4);
    size_t start = out.size();
    out.u16(0);  // wLength, patched at the end
    out.u16(value_length);
    out.u16(type);
    out.wide(key);
    out.align(4);
    return start;
}

void end_node(Bytes& out, size_t start) {
    size_t length = out.size() - start;
    if (length > 0xFFFF) throw Failure{"version record longer than 65535 bytes"};
    out.patch16(start, static_cast<uint16_t>(length));
}

void node(Bytes& out, const VersionNode& n) {
    if (n.is_block) {
        size_t start = begin_node(out, n.key, 0, 1);
        for (const VersionNode& child : n.children) node(out, child);
        end_node(out, start);
    } else if (n.is_text) {
        // A text's value length counts its characters with the terminator.
        size_t start = begin_node(out, n.key, static_cast<uint16_t>(n.text.size() + 1), 1);
        out.wide(n.text);
        end_node(out, start);
    } else {
        size_t start = begin_node(out, n.key, static_cast<uint16_t>(n.binary.size()), 0);
        out.append(n.binary);
        end_node(out, start);
    }
}

}  // namespace

std::vector<unsigned char> write_version(const Version& v) {
    Bytes out;
    size_t start = begin_node(out, u"VS_VERSION_INFO", fixed_info_size, 0);
    size_t fixed = out.size();
    out.u32(fixed_signature);
    out.u32(fixed_struct_version);
    out.u32(v.file_version[0]);
    out.u32(v.file_version[1]);
    out.u32(v.product_version[0]);
    out.u32(v.product_version[1]);
    out.u32(v.flags_mask);
    out.u32(v.flags);
    out.u32(v.os);
    out.u32(v.type);
    out.u32(v.subtype);
    out.u32(0);  // file date
    out.u32(0);
    if (out.size() - fixed != fixed_info_size) throw Failure{"fixed file information layout"};
    for (const VersionNode& child : v.children) node(out, child);
    end_node(out, start);
    return std::move(out.data());
}

}  // namespace qorrc
