// EngComputeGlyphSet: the glyph set of a code page's single-byte codes,
// glyph handle = the code.
#include "gdi_objects.h"
#include "qor/guard.h"
#include "qor/strings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>


extern "C" QORAPI FD_GLYPHSET* EngComputeGlyphSet(INT code_page, INT first, INT count) {
    return qor::guarded(static_cast<FD_GLYPHSET*>(nullptr), [&]() -> FD_GLYPHSET* {
        if (first < 0 || count <= 0 || first + count > 256) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        std::vector<std::pair<char16_t, HGLYPH>> chars;
        for (INT code = first; code < first + count; ++code) {
            char byte = static_cast<char>(code);
            WCHAR wide = 0;
            if (code == 0) {
                chars.emplace_back(u'\0', 0);
                continue;
            }
            if (MultiByteToWideChar(static_cast<UINT>(code_page), 0, &byte, 1, &wide, 1) == 1) {
                chars.emplace_back(wide, static_cast<HGLYPH>(code));
            }
        }
        std::sort(chars.begin(), chars.end());
        chars.erase(std::unique(chars.begin(), chars.end(),
                                [](const auto& a, const auto& b) { return a.first == b.first; }),
                    chars.end());
        size_t runs = 0;
        for (size_t i = 0; i < chars.size(); ++i) {
            if (i == 0 || chars[i].first != chars[i - 1].first + 1) ++runs;
        }
        size_t head = offsetof(FD_GLYPHSET, awcrun) + std::max<size_t>(runs, 1) * sizeof(WCRUN);
        size_t total = head + chars.size() * sizeof(HGLYPH);
        auto* set = static_cast<FD_GLYPHSET*>(EngAllocMem(FL_ZERO_MEMORY, static_cast<ULONG>(total), 0));
        if (!set) return nullptr;
        auto* handles = reinterpret_cast<HGLYPH*>(reinterpret_cast<uint8_t*>(set) + head);
        set->cjThis = static_cast<ULONG>(head);
        set->cGlyphsSupported = static_cast<ULONG>(chars.size());
        set->cRuns = static_cast<ULONG>(runs);
        WCRUN* run = nullptr;
        for (size_t i = 0; i < chars.size(); ++i) {
            if (i == 0 || chars[i].first != chars[i - 1].first + 1) {
                run = run ? run + 1 : set->awcrun;
                run->wcLow = chars[i].first;
                run->phg = handles + i;
            }
            ++run->cGlyphs;
            handles[i] = chars[i].second;
        }
        return set;
    });
}
