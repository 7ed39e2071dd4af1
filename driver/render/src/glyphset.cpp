#include "glyphset.h"

#include "common/setbank.h"
#include "qor/module.h"
#include "qor/registry.h"
#include "qor/spooler.h"

#include <cstring>
#include <string>

FD_GLYPHSET* GlyphSetFromResource(const void* data, size_t size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    FD_GLYPHSET_RES_HEADER header;
    if (!data || size < sizeof(header)) return nullptr;
    std::memcpy(&header, bytes, sizeof(header));
    if (header.cRuns == 0 || header.cRuns > 0x10000 || header.cGlyphsSupported > 0x10000 ||
        header.cjThis != sizeof(header) + static_cast<uint64_t>(header.cRuns) * sizeof(WCRUN_RES))
        return nullptr;
    const uint64_t handles_at = header.cjThis;
    if (handles_at + static_cast<uint64_t>(header.cGlyphsSupported) * sizeof(HGLYPH) > size) return nullptr;
    uint64_t total = 0;
    for (ULONG i = 0; i < header.cRuns; ++i) {
        WCRUN_RES run;
        std::memcpy(&run, bytes + sizeof(header) + i * sizeof(run), sizeof(run));
        if (run.cGlyphs == 0 || run.wcLow + static_cast<uint32_t>(run.cGlyphs) > 0x10000) return nullptr;
        total += run.cGlyphs;
    }
    if (total != header.cGlyphsSupported) return nullptr;

    const size_t head = offsetof(FD_GLYPHSET, awcrun) + header.cRuns * sizeof(WCRUN);
    const size_t bytes_needed = head + header.cGlyphsSupported * sizeof(HGLYPH);
    auto* set = static_cast<FD_GLYPHSET*>(EngAllocMem(FL_ZERO_MEMORY, static_cast<ULONG>(bytes_needed), 0));
    if (!set) return nullptr;
    auto* handles = reinterpret_cast<HGLYPH*>(reinterpret_cast<BYTE*>(set) + head);
    std::memcpy(handles, bytes + handles_at, header.cGlyphsSupported * sizeof(HGLYPH));
    set->cjThis = static_cast<ULONG>(head);
    set->flAccel = header.flAccel;
    set->cGlyphsSupported = header.cGlyphsSupported;
    set->cRuns = header.cRuns;
    // Each run's handles follow those of the runs before it.
    WCRUN* runs = set->awcrun;
    size_t next = 0;
    for (ULONG i = 0; i < header.cRuns; ++i) {
        WCRUN_RES run;
        std::memcpy(&run, bytes + sizeof(header) + i * sizeof(run), sizeof(run));
        runs[i].wcLow = run.wcLow;
        runs[i].cGlyphs = run.cGlyphs;
        runs[i].phg = handles + next;
        next += run.cGlyphs;
    }
    return set;
}

FD_GLYPHSET* ComputeRVXGlyphSet(PDEV* pdev) {
    if (!pdev->own_module) return nullptr;
    HRSRC resource = FindResourceW(pdev->own_module, MAKEINTRESOURCEW(GLYPHSET_RESOURCE_ID),
                                   MAKEINTRESOURCEW(GLYPHSET_RESOURCE_TYPE));
    if (!resource) return nullptr;
    HGLOBAL loaded = LoadResource(pdev->own_module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(pdev->own_module, resource);
    return data ? GlyphSetFromResource(data, size) : nullptr;
}

FD_GLYPHSET* CreateGlyphSet(PDEV* pdev, BOOL double_byte) {
    if (double_byte) {
        if (!pdev->glyphset_db) pdev->glyphset_db = ComputeRVXGlyphSet(pdev);
        return pdev->glyphset_db;
    }
    if (!pdev->glyphset_sb) {
        constexpr INT kFirstPrintable = 0x20;
        using qor::setbank::CharacterTable;
        switch (static_cast<CharacterTable>(pdev->character_table)) {
        case CharacterTable::Graphics:
            pdev->glyphset_sb = EngComputeGlyphSet(437, kFirstPrintable, 256 - kFirstPrintable);
            break;
        case CharacterTable::Katakana:
            // Code page 932's single bytes: ASCII and the half-width katakana A1..DF.
            pdev->glyphset_sb = EngComputeGlyphSet(932, kFirstPrintable, 256 - kFirstPrintable);
            break;
        default:
            pdev->glyphset_sb = EngComputeGlyphSet(437, kFirstPrintable, 0x7F - kFirstPrintable);
            break;
        }
    }
    return pdev->glyphset_sb;
}

BYTE PrinterCharacterTable(HANDLE printer) {
    qor::setbank::Bytes settings{};
    DWORD type = 0, needed = 0;
    std::u16string name = qor::setbank::kPrinterDataName;
    if (!printer || GetPrinterDataW(printer, name.data(), &type, settings.data(), static_cast<DWORD>(settings.size()),
                                    &needed) != ERROR_SUCCESS ||
        type != REG_BINARY || needed != settings.size())
        return static_cast<BYTE>(qor::setbank::CharacterTable::Graphics);
    return static_cast<BYTE>(qor::setbank::character_table(settings));
}

void FreeRVXL2GlyphSet(PDEV* pdev) {
    EngFreeMem(pdev->glyphset_sb);
    EngFreeMem(pdev->glyphset_db);
    pdev->glyphset_sb = nullptr;
    pdev->glyphset_db = nullptr;
}
