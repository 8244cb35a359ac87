// Any bytes as a stream of raw picture and palette blocks for CImage::LoadRaw and
// CImage::LoadPalette, in an order taken from the first byte, into one record. A block that loads
// holds what it claims, is written back byte for byte by the matching save, and a record loaded
// again releases what it held (the leak checker sees the rest).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/Image.h"

namespace {

// The block just read, written again by pSave, must equal the bytes it was read from.
template <typename Save>
void ExpectSavedAgain(CImage& image, Save pSave, const uint8_t* pBlock, size_t nBlock)
{
    char* pOut = nullptr;
    size_t nOut = 0;
    std::FILE* pFile = open_memstream(&pOut, &nOut);
    if (pFile == nullptr)
        return;
    int nSaved = (image.*pSave)(pFile);
    std::fclose(pFile);
    if (nSaved != 1 || nOut != nBlock || std::memcmp(pOut, pBlock, nBlock) != 0)
        __builtin_trap();
    std::free(pOut);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 2)
        return 0;
    unsigned nOrder = pData[0];
    std::FILE* pFile = fmemopen(const_cast<uint8_t*>(pData + 1), nSize - 1, "rb");
    if (pFile == nullptr)
        return 0;
    CImage image;
    for (int nBlock = 0; nBlock < 4; nBlock++) {
        long nStart = std::ftell(pFile);
        bool bPicture = (nOrder >> nBlock & 1) == 0;
        int nResult = bPicture ? image.LoadRaw(pFile) : image.LoadPalette(pFile);
        if (nResult == 0)
            break;
        if (nResult != 1)
            __builtin_trap();
        size_t nRead = static_cast<size_t>(std::ftell(pFile) - nStart);
        const uint8_t* pBlock = pData + 1 + nStart;
        volatile BYTE sum = 0;
        if (bPicture) {
            int64_t nBytes = int64_t{image.m_nWidth} * image.m_nHeight * (image.m_nBitCount / 8);
            if (nBytes <= 0 || static_cast<size_t>(nBytes) + 16 != nRead)
                __builtin_trap();
            for (int64_t i = 0; i < nBytes; i++)
                sum = BYTE(sum + image.m_pPixels[i]);
            ExpectSavedAgain(image, &CImage::SaveRaw, pBlock, nRead);
        } else {
            if (image.m_nColors < 0 || static_cast<size_t>(image.m_nColors) * 4 + 8 != nRead)
                __builtin_trap();
            for (LONG n = 0; n < image.m_nColors; n++)
                sum = BYTE(sum + image.m_pPalette[n].rgbBlue);
            // An empty table loads but does not save: a write of no entries is a failed write.
            if (image.m_nColors > 0)
                ExpectSavedAgain(image, &CImage::SavePalette, pBlock, nRead);
        }
    }
    std::fclose(pFile);
    return 0;
}
