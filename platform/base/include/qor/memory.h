// Private heaps, local and global memory blocks. All are malloc-backed and
// thread-safe. Every pointer and handle passed in is looked up before use, so
// a stale or foreign one is rejected with an error instead of touched.
// Local and global blocks are one kind: either family's calls accept both.
#pragma once

#include "qor/base.h"

#include <string.h>

QOR_BEGIN_C

#ifndef ERROR_NOT_LOCKED
#define ERROR_NOT_LOCKED 158L
#endif

#define HEAP_NO_SERIALIZE 0x00000001
#define HEAP_GENERATE_EXCEPTIONS 0x00000004
#define HEAP_ZERO_MEMORY 0x00000008
#define HEAP_REALLOC_IN_PLACE_ONLY 0x00000010

// A heap made with a non-zero maximum refuses to hold more than that many
// bytes in all. HeapDestroy frees every block still allocated. Blocks of 2 GiB
// or more are refused. HeapSize gives (SIZE_T)-1 on failure. Exceptions are
// never raised: HEAP_GENERATE_EXCEPTIONS is ignored.
QORAPI HANDLE HeapCreate(DWORD options, SIZE_T initial_size, SIZE_T maximum_size);
QORAPI BOOL HeapDestroy(HANDLE heap);
QORAPI HANDLE GetProcessHeap(void);
QORAPI LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
QORAPI LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
QORAPI BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
QORAPI SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);
QORAPI BOOL HeapValidate(HANDLE heap, DWORD flags, LPCVOID block);

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_NOCOMPACT 0x0010
#define GMEM_NODISCARD 0x0020
#define GMEM_ZEROINIT 0x0040
#define GMEM_MODIFY 0x0080
#define GMEM_DISCARDABLE 0x0100
#define GMEM_DDESHARE 0x2000
#define GMEM_SHARE 0x2000
#define GMEM_DISCARDED 0x4000
#define GMEM_INVALID_HANDLE 0x8000
#define GMEM_LOCKCOUNT 0x00FF
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_NOCOMPACT 0x0010
#define LMEM_NODISCARD 0x0020
#define LMEM_ZEROINIT 0x0040
#define LMEM_MODIFY 0x0080
#define LMEM_DISCARDABLE 0x0F00
#define LMEM_DISCARDED 0x4000
#define LMEM_INVALID_HANDLE 0x8000
#define LMEM_LOCKCOUNT 0x00FF
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

// GMEM_FIXED returns the block's address itself; GMEM_MOVEABLE returns a
// handle (never an address) that GlobalLock turns into the address, counting
// locks. A moveable block of 0 bytes is born discarded: GlobalLock gives null
// until GlobalReAlloc gives it a size. ReAlloc moves a fixed or locked block
// only when GMEM_MOVEABLE is passed, as the platform does; GMEM_MODIFY with
// GMEM_MOVEABLE turns a fixed block into a moveable one. Free returns null on
// success and the handle itself on failure.
QORAPI HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
QORAPI HGLOBAL GlobalReAlloc(HGLOBAL memory, SIZE_T bytes, UINT flags);
QORAPI HGLOBAL GlobalFree(HGLOBAL memory);
QORAPI LPVOID GlobalLock(HGLOBAL memory);
QORAPI BOOL GlobalUnlock(HGLOBAL memory);
QORAPI SIZE_T GlobalSize(HGLOBAL memory);
QORAPI UINT GlobalFlags(HGLOBAL memory);
QORAPI HGLOBAL GlobalHandle(LPCVOID address);

QORAPI HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
QORAPI HLOCAL LocalReAlloc(HLOCAL memory, SIZE_T bytes, UINT flags);
QORAPI HLOCAL LocalFree(HLOCAL memory);
QORAPI LPVOID LocalLock(HLOCAL memory);
QORAPI BOOL LocalUnlock(HLOCAL memory);
QORAPI SIZE_T LocalSize(HLOCAL memory);
QORAPI UINT LocalFlags(HLOCAL memory);
QORAPI HLOCAL LocalHandle(LPCVOID address);

#define CopyMemory(dest, src, n) memcpy((dest), (src), (n))
#define MoveMemory(dest, src, n) memmove((dest), (src), (n))
#define FillMemory(dest, n, fill) memset((dest), (fill), (n))
#define ZeroMemory(dest, n) memset((dest), 0, (n))

QOR_END_C
