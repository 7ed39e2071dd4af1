// Security identifiers, access-control lists and security descriptors in the
// platform's binary layouts. Unix users and groups appear as S-1-22-1-<uid>
// and S-1-22-2-<gid>; root also counts as a member of Administrators.
#pragma once

#include "qor/base.h"

QOR_BEGIN_C

typedef struct _SID_IDENTIFIER_AUTHORITY {
    BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;

typedef struct _SID {
    BYTE Revision;
    BYTE SubAuthorityCount;
    SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
    DWORD SubAuthority[1];
} SID;
typedef void* PSID;

typedef struct _ACL {
    BYTE AclRevision;
    BYTE Sbz1;
    WORD AclSize;
    WORD AceCount;
    WORD Sbz2;
} ACL, *PACL;

typedef struct _ACE_HEADER {
    BYTE AceType;
    BYTE AceFlags;
    WORD AceSize;
} ACE_HEADER, *PACE_HEADER;

typedef struct _ACCESS_ALLOWED_ACE {
    ACE_HEADER Header;
    DWORD Mask;
    DWORD SidStart;
} ACCESS_ALLOWED_ACE, *PACCESS_ALLOWED_ACE;
typedef ACCESS_ALLOWED_ACE ACCESS_DENIED_ACE;
typedef ACCESS_ALLOWED_ACE* PACCESS_DENIED_ACE;

typedef WORD SECURITY_DESCRIPTOR_CONTROL, *PSECURITY_DESCRIPTOR_CONTROL;

// Absolute form: the parts are pointers anywhere in memory.
typedef struct _SECURITY_DESCRIPTOR {
    BYTE Revision;
    BYTE Sbz1;
    SECURITY_DESCRIPTOR_CONTROL Control;
    PSID Owner;
    PSID Group;
    PACL Sacl;
    PACL Dacl;
} SECURITY_DESCRIPTOR;

// Self-relative form: one block, the parts at offsets from its start (0: absent).
typedef struct _SECURITY_DESCRIPTOR_RELATIVE {
    BYTE Revision;
    BYTE Sbz1;
    SECURITY_DESCRIPTOR_CONTROL Control;
    DWORD Owner;
    DWORD Group;
    DWORD Sacl;
    DWORD Dacl;
} SECURITY_DESCRIPTOR_RELATIVE;

typedef void* PSECURITY_DESCRIPTOR;

typedef enum _ACL_INFORMATION_CLASS { AclRevisionInformation = 1, AclSizeInformation = 2 } ACL_INFORMATION_CLASS;

typedef struct _ACL_REVISION_INFORMATION {
    DWORD AclRevision;
} ACL_REVISION_INFORMATION;

typedef struct _ACL_SIZE_INFORMATION {
    DWORD AceCount;
    DWORD AclBytesInUse;
    DWORD AclBytesFree;
} ACL_SIZE_INFORMATION;

typedef enum _SID_NAME_USE {
    SidTypeUser = 1,
    SidTypeGroup,
    SidTypeDomain,
    SidTypeAlias,
    SidTypeWellKnownGroup,
    SidTypeDeletedAccount,
    SidTypeInvalid,
    SidTypeUnknown
} SID_NAME_USE, *PSID_NAME_USE;

typedef DWORD ACCESS_MASK;

#ifndef MAXDWORD
#define MAXDWORD 0xFFFFFFFFu
#endif
#define SID_REVISION 1
#define SID_MAX_SUB_AUTHORITIES 15
#define SECURITY_MAX_SID_SIZE 68
#define ACL_REVISION 2
#define ACL_REVISION_DS 4
#define SECURITY_DESCRIPTOR_REVISION 1
#define SECURITY_DESCRIPTOR_MIN_LENGTH sizeof(SECURITY_DESCRIPTOR)

#define ACCESS_ALLOWED_ACE_TYPE 0
#define ACCESS_DENIED_ACE_TYPE 1

#define OBJECT_INHERIT_ACE 0x01
#define CONTAINER_INHERIT_ACE 0x02
#define NO_PROPAGATE_INHERIT_ACE 0x04
#define INHERIT_ONLY_ACE 0x08
#define INHERITED_ACE 0x10
#define VALID_INHERIT_FLAGS 0x1F

#define SE_OWNER_DEFAULTED 0x0001
#define SE_GROUP_DEFAULTED 0x0002
#define SE_DACL_PRESENT 0x0004
#define SE_DACL_DEFAULTED 0x0008
#define SE_SACL_PRESENT 0x0010
#define SE_SACL_DEFAULTED 0x0020
#define SE_SELF_RELATIVE 0x8000

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u

#define SECURITY_NULL_SID_AUTHORITY {{0, 0, 0, 0, 0, 0}}
#define SECURITY_WORLD_SID_AUTHORITY {{0, 0, 0, 0, 0, 1}}
#define SECURITY_CREATOR_SID_AUTHORITY {{0, 0, 0, 0, 0, 3}}
#define SECURITY_NT_AUTHORITY {{0, 0, 0, 0, 0, 5}}
#define SECURITY_UNIX_AUTHORITY {{0, 0, 0, 0, 0, 22}}
#define SECURITY_WORLD_RID 0
#define SECURITY_CREATOR_OWNER_RID 0
#define SECURITY_LOCAL_SYSTEM_RID 18
#define SECURITY_BUILTIN_DOMAIN_RID 32
#define DOMAIN_ALIAS_RID_ADMINS 544
#define SECURITY_UNIX_USER_RID 1
#define SECURITY_UNIX_GROUP_RID 2

#define ERROR_UNKNOWN_REVISION 1305L
#define ERROR_NONE_MAPPED 1332L
#define ERROR_INVALID_SID 1337L
#define ERROR_INVALID_ACL 1336L
#define ERROR_ALLOTTED_SPACE_EXCEEDED 1344L
#define ERROR_BAD_DESCRIPTOR_FORMAT 1361L
#define ERROR_INVALID_OWNER 1307L

// SIDs
QORAPI BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0, DWORD s1, DWORD s2,
                                     DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID* sid);
QORAPI PVOID FreeSid(PSID sid);
QORAPI BOOL IsValidSid(PSID sid);
QORAPI DWORD GetLengthSid(PSID sid);
QORAPI BOOL EqualSid(PSID a, PSID b);
QORAPI BOOL CopySid(DWORD length, PSID destination, PSID source);
QORAPI BOOL LookupAccountSidA(LPCSTR system, PSID sid, LPSTR name, LPDWORD name_size, LPSTR domain,
                              LPDWORD domain_size, PSID_NAME_USE use);

// ACLs
QORAPI BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision);
QORAPI BOOL IsValidAcl(PACL acl);
QORAPI BOOL GetAclInformation(PACL acl, LPVOID information, DWORD length, ACL_INFORMATION_CLASS kind);
QORAPI BOOL GetAce(PACL acl, DWORD index, LPVOID* ace);
QORAPI BOOL AddAce(PACL acl, DWORD revision, DWORD start_index, LPVOID aces, DWORD length);
QORAPI BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD mask, PSID sid);
QORAPI BOOL AddAccessAllowedAceEx(PACL acl, DWORD revision, DWORD flags, DWORD mask, PSID sid);
QORAPI BOOL AddAccessDeniedAce(PACL acl, DWORD revision, DWORD mask, PSID sid);

// Security descriptors (both forms wherever a descriptor is read)
QORAPI BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision);
QORAPI BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR sd);
QORAPI DWORD GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR sd);
QORAPI BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, LPBOOL present, PACL* dacl, LPBOOL defaulted);
QORAPI BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL present, PACL dacl, BOOL defaulted);
QORAPI BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID* owner, LPBOOL defaulted);
QORAPI BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID owner, BOOL defaulted);
QORAPI BOOL GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID* group, LPBOOL defaulted);
QORAPI BOOL SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID group, BOOL defaulted);
QORAPI BOOL GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR sd, PSECURITY_DESCRIPTOR_CONTROL control,
                                         LPDWORD revision);
QORAPI BOOL MakeSelfRelativeSD(PSECURITY_DESCRIPTOR absolute, PSECURITY_DESCRIPTOR relative, LPDWORD length);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(SID_IDENTIFIER_AUTHORITY) == 6);
static_assert(sizeof(SID) == 12 && offsetof(SID, IdentifierAuthority) == 2 && offsetof(SID, SubAuthority) == 8);
static_assert(sizeof(ACL) == 8 && offsetof(ACL, AclSize) == 2 && offsetof(ACL, AceCount) == 4);
static_assert(sizeof(ACE_HEADER) == 4 && offsetof(ACE_HEADER, AceSize) == 2);
static_assert(sizeof(ACCESS_ALLOWED_ACE) == 12 && offsetof(ACCESS_ALLOWED_ACE, Mask) == 4 &&
              offsetof(ACCESS_ALLOWED_ACE, SidStart) == 8);
static_assert(sizeof(SECURITY_DESCRIPTOR_RELATIVE) == 20 && offsetof(SECURITY_DESCRIPTOR_RELATIVE, Owner) == 4 &&
              offsetof(SECURITY_DESCRIPTOR_RELATIVE, Dacl) == 16);
static_assert(sizeof(SECURITY_DESCRIPTOR) == 8 + 4 * sizeof(void*) && offsetof(SECURITY_DESCRIPTOR, Owner) == 8 &&
              offsetof(SECURITY_DESCRIPTOR, Dacl) == 8 + 3 * sizeof(void*));
static_assert(sizeof(ACL_SIZE_INFORMATION) == 12);
#endif
