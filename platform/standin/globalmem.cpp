#include "globalmem.h"

#include <cstdlib>
#include <cstring>

namespace {

// The size sits in front of the block so that GlobalSize and GlobalFree need no table; the
// header is 16 bytes to keep the block aligned for any type.
struct Header {
    SIZE_T nSize;
    SIZE_T nMagic;
};
constexpr SIZE_T kMagic = 0x476C6F62;

Header* HeaderOf(LPCVOID p)
{
    if (p == nullptr)
        return nullptr;
    Header* pHeader = reinterpret_cast<Header*>(const_cast<char*>(static_cast<const char*>(p))) - 1;
    return pHeader->nMagic == kMagic ? pHeader : nullptr;
}

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    if (dwBytes > SIZE_T(0x7FFFFFFF))
        return nullptr;  // beyond what a 32-bit process could ever be given
    void* pBlock =
        (uFlags & GMEM_ZEROINIT) ? std::calloc(1, sizeof(Header) + dwBytes) : std::malloc(sizeof(Header) + dwBytes);
    if (pBlock == nullptr)
        return nullptr;
    Header* pHeader = static_cast<Header*>(pBlock);
    pHeader->nSize = dwBytes;
    pHeader->nMagic = kMagic;
    return pHeader + 1;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem)
{
    return HeaderOf(hMem) ? hMem : nullptr;
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem)
{
    (void)hMem;
    return FALSE;  // no lock count is kept: every block is unlocked after one unlock
}

HGLOBAL WINAPI GlobalHandle(LPCVOID pMem)
{
    return HeaderOf(pMem) ? const_cast<void*>(pMem) : nullptr;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem)
{
    Header* pHeader = HeaderOf(hMem);
    if (pHeader == nullptr)
        return hMem;  // failure: the handle is given back
    pHeader->nMagic = 0;
    std::free(pHeader);
    return nullptr;
}

SIZE_T WINAPI GlobalSize(HGLOBAL hMem)
{
    Header* pHeader = HeaderOf(hMem);
    return pHeader ? pHeader->nSize : 0;
}
