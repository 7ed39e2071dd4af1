// The platform's file dialog filter strings ("Text\0*.txt;*.log\0\0")
// and the file name parts a dialog reports. Qt-free.
#pragma once

#include <string>
#include <vector>

namespace qorui {

struct FileFilter {
    std::u16string name;
    std::vector<std::u16string> patterns;
};

// Reads name/pattern pairs up to the double terminator, at most `limit`
// units (a filter without its terminators ends at the limit).
std::vector<FileFilter> read_filters(const char16_t* filter, size_t limit);

// Offsets of the file name and extension in a path (0 when it has none),
// as OPENFILENAME reports them.
struct PathParts {
    size_t name_offset = 0;
    size_t extension_offset = 0;
};
PathParts path_parts(const std::u16string& path);

// The default extension, added when the chosen name has none.
std::u16string with_default_extension(const std::u16string& path, const std::u16string& extension);

}  // namespace qorui
