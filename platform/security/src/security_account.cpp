// Account names of SIDs: the well-known ones, and Unix users and groups by
// their S-1-22 numbers.
#include "security_layout.h"

#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <vector>

using namespace qor::security;

namespace {

struct Account {
    std::string name, domain;
    SID_NAME_USE use;
};

uint32_t sub_authority(const uint8_t* sid, unsigned index) {
    uint32_t s;
    std::memcpy(&s, sid + 8 + 4 * index, 4);
    return s;
}

std::string user_name(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{}, *found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
    return found->pw_name;
}

std::string group_name(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry{}, *found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
    return found->gr_name;
}

bool find_account(const uint8_t* sid, size_t length, Account& account) {
    struct Known {
        std::vector<uint8_t> sid;
        Account account;
    };
    static const Known known[] = {
        {world_sid(), {"Everyone", "", SidTypeWellKnownGroup}},
        {creator_owner_sid(), {"CREATOR OWNER", "", SidTypeWellKnownGroup}},
        {administrators_sid(), {"Administrators", "BUILTIN", SidTypeAlias}},
        {make_sid(5, {SECURITY_LOCAL_SYSTEM_RID}), {"SYSTEM", "NT AUTHORITY", SidTypeWellKnownGroup}},
    };
    for (const Known& k : known) {
        if (k.sid.size() == length && std::memcmp(k.sid.data(), sid, length) == 0) {
            account = k.account;
            return true;
        }
    }
    if (sid[7] != 22 || sid[1] != 2) return false;
    uint32_t id = sub_authority(sid, 1);
    if (sub_authority(sid, 0) == SECURITY_UNIX_USER_RID) {
        account = {user_name(id), "Unix User", SidTypeUser};
    } else if (sub_authority(sid, 0) == SECURITY_UNIX_GROUP_RID) {
        account = {group_name(id), "Unix Group", SidTypeGroup};
    } else {
        return false;
    }
    return !account.name.empty();
}

}  // namespace

extern "C" QORAPI BOOL LookupAccountSidA(LPCSTR system, PSID sid, LPSTR name, LPDWORD name_size, LPSTR domain,
                                         LPDWORD domain_size, PSID_NAME_USE use) {
    size_t length = sid_length(sid, SECURITY_MAX_SID_SIZE);
    if (!length || !name_size || !domain_size) {
        SetLastError(length ? ERROR_INVALID_PARAMETER : ERROR_INVALID_SID);
        return FALSE;
    }
    if (system && *system) {  // only the local machine's accounts are known
        SetLastError(ERROR_NONE_MAPPED);
        return FALSE;
    }
    Account account;
    if (!find_account(static_cast<const uint8_t*>(sid), length, account)) {
        SetLastError(ERROR_NONE_MAPPED);
        return FALSE;
    }
    // Both sizes are reported when either buffer is too small.
    if (*name_size <= account.name.size() || *domain_size <= account.domain.size() || !name || !domain) {
        *name_size = DWORD(account.name.size() + 1);
        *domain_size = DWORD(account.domain.size() + 1);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(name, account.name.c_str(), account.name.size() + 1);
    std::memcpy(domain, account.domain.c_str(), account.domain.size() + 1);
    *name_size = DWORD(account.name.size());
    *domain_size = DWORD(account.domain.size());
    if (use) *use = account.use;
    return TRUE;
}
