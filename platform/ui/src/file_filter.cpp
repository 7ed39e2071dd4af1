#include "file_filter.h"

namespace qorui {

std::vector<FileFilter> read_filters(const char16_t* filter, size_t limit) {
    std::vector<FileFilter> filters;
    if (!filter) return filters;
    size_t at = 0;
    auto next_string = [&](std::u16string& out) {
        out.clear();
        while (at < limit && filter[at]) out.push_back(filter[at++]);
        if (at >= limit) return false;
        ++at;  // the terminator
        return true;
    };
    std::u16string name, patterns;
    while (at < limit && filter[at]) {
        if (!next_string(name) || !next_string(patterns)) break;
        FileFilter entry{name, {}};
        size_t start = 0;
        while (start <= patterns.size()) {
            size_t semicolon = patterns.find(u';', start);
            std::u16string one = patterns.substr(start, semicolon == std::u16string::npos ? std::u16string::npos
                                                                                        : semicolon - start);
            if (!one.empty()) entry.patterns.push_back(one);
            if (semicolon == std::u16string::npos) break;
            start = semicolon + 1;
        }
        filters.push_back(std::move(entry));
    }
    return filters;
}

PathParts path_parts(const std::u16string& path) {
    PathParts parts;
    size_t slash = path.find_last_of(u"/\\");
    parts.name_offset = slash == std::u16string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of(u'.');
    if (dot != std::u16string::npos && dot >= parts.name_offset && dot + 1 < path.size())
        parts.extension_offset = dot + 1;
    return parts;
}

std::u16string with_default_extension(const std::u16string& path, const std::u16string& extension) {
    if (extension.empty() || path_parts(path).extension_offset) return path;
    std::u16string ext = extension[0] == u'.' ? extension.substr(1) : extension;
    return path + u"." + ext;
}

}  // namespace qorui
