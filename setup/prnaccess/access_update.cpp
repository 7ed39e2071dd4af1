// Widening the access rights of the printer.
#include "access_update.h"

#include "qor/memory.h"
#include "qor/spooler.h"

#include <cstring>
#include <vector>

namespace prnaccess {

namespace {

constexpr DWORD kNewAclBase = 1008;
constexpr DWORD kNameSize = 80;
constexpr BYTE kInheritAll = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE;

// Every SID-carrying entry has the same head: header, mask, SID.
bool widen_entry(ACCESS_ALLOWED_ACE* ace) {
    char name[kNameSize], domain[kNameSize];
    DWORD name_size = kNameSize, domain_size = kNameSize;
    SID_NAME_USE use;
    if (!LookupAccountSidA(nullptr, &ace->SidStart, name, &name_size, domain, &domain_size, &use)) return false;
    if (std::strcmp(name, "Everyone") != 0) return true;
    if ((ace->Header.AceFlags & VALID_INHERIT_FLAGS) == 0) {
        ace->Mask |= PRINTER_ALL_ACCESS;
    } else {
        ace->Header.AceFlags |= kInheritAll;
        ace->Mask = GENERIC_ALL;
    }
    return true;
}

}  // namespace

void widen_descriptor(PSECURITY_DESCRIPTOR old, const std::function<void(PSECURITY_DESCRIPTOR)>& write) {
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return;
    BOOL present = FALSE, defaulted = FALSE;
    PACL old_acl = nullptr;
    if (!GetSecurityDescriptorDacl(old, &present, &old_acl, &defaulted)) return;

    DWORD size = kNewAclBase;
    ACL_SIZE_INFORMATION info{};
    if (present && old_acl) {
        if (!GetAclInformation(old_acl, &info, sizeof info, AclSizeInformation)) return;
        size += info.AclBytesInUse;
    }
    // Released once the record is written.
    std::vector<uint8_t> block(size);
    auto* acl = reinterpret_cast<PACL>(block.data());
    if (!InitializeAcl(acl, size, ACL_REVISION)) return;
    for (DWORD i = 0; present && old_acl && i < info.AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(old_acl, i, &ace)) return;
        if (!AddAce(acl, ACL_REVISION, MAXDWORD, ace, static_cast<ACE_HEADER*>(ace)->AceSize)) return;
    }
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace) || !widen_entry(static_cast<ACCESS_ALLOWED_ACE*>(ace))) return;
    }
    if (!SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE)) return;
    if (IsValidSecurityDescriptor(&descriptor)) write(&descriptor);
}

void update_printer_access() {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterA(const_cast<LPSTR>(kPrinterName), &printer, &defaults)) return;
    DWORD needed = 0;
    GetPrinterA(printer, 3, nullptr, 0, &needed);
    HGLOBAL memory = needed ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, needed) : nullptr;
    auto* record = memory ? static_cast<PRINTER_INFO_3*>(GlobalLock(memory)) : nullptr;
    if (record && GetPrinterA(printer, 3, reinterpret_cast<LPBYTE>(record), needed, &needed)) {
        widen_descriptor(record->pSecurityDescriptor, [&](PSECURITY_DESCRIPTOR widened) {
            record->pSecurityDescriptor = widened;
            SetPrinterA(printer, 3, reinterpret_cast<LPBYTE>(record), 0);
        });
    }
    ClosePrinter(printer);
    if (record) GlobalUnlock(memory);
    if (memory) GlobalFree(memory);
}

void run() {
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (needed == 0) return;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count)) return;
    auto* printers = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        const char* driver = printers[i].pDriverName;
        if (driver && std::strncmp(driver, kDriverPrefix, sizeof kDriverPrefix - 1) == 0) update_printer_access();
    }
}

}  // namespace prnaccess
