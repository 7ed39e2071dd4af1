// Reading a description file from disk: a read-only view of the whole file,
// parsed in place and released before returning.
#include "common/ppd.h"

#include "qor/kernel.h"

namespace {

// Closes a handle without disturbing the last error of the failure that
// led here.
void CloseKeepingError(HANDLE handle) {
    DWORD dwError = GetLastError();
    CloseHandle(handle);
    SetLastError(dwError);
}

}  // namespace

BOOL MAPFILE(LPCWSTR path, LPVOID* view, LPVOID* read, LPDWORD size) {
    if (!path || !view || !read) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *view = nullptr;
    *read = nullptr;
    if (size) *size = 0;

    HANDLE hFile = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE || hFile == nullptr) return FALSE;

    DWORD dwHigh = 0;
    SetLastError(NO_ERROR);
    DWORD dwSize = GetFileSize(hFile, &dwHigh);
    if (dwSize == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        CloseKeepingError(hFile);
        return FALSE;
    }
    if (dwHigh != 0) {
        // A description is a few kilobytes; a file of 4 GiB or more is not one.
        CloseHandle(hFile);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (dwSize == 0) {
        // Nothing to map; the platform refuses empty mappings too.
        CloseHandle(hFile);
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }

    HANDLE hMapping = CreateFileMappingW(hFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!hMapping) {
        CloseKeepingError(hFile);
        return FALSE;
    }
    CloseHandle(hFile);

    LPVOID pView = MapViewOfFile(hMapping, FILE_MAP_READ, 0, 0, 0);
    CloseKeepingError(hMapping);
    if (!pView) return FALSE;

    *view = pView;
    *read = pView;
    if (size) *size = dwSize;
    return TRUE;
}

BOOL PPD_Init(PpdData* ppd, LPCWSTR path) {
    if (!ppd || !path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LPVOID pView = nullptr;
    LPVOID pRead = nullptr;
    DWORD cbSize = 0;
    if (!MAPFILE(path, &pView, &pRead, &cbSize)) return FALSE;
    PPD_Parse(ppd, pRead, cbSize);
    UnmapViewOfFile(pView);
    return TRUE;
}
