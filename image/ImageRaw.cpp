// The raw stream layout: a picture block (width, height, depth, colour count, pixels) and a
// palette block (colour count, depth, table), each at the stream's current position. Counts read
// from a stream are checked before anything is allocated: a negative or impossible size fails.
#include <cstdint>
#include <new>

#include "image/Image.h"

namespace {

const int64_t kMaxPixelBytes = int64_t{256} << 20;
const int64_t kMaxColors = int64_t{1} << 16;

bool WriteInt(FILE* pFile, LONG n)
{
    return std::fwrite(&n, 4, 1, pFile) == 1;
}

bool ReadInt(FILE* pFile, LONG& n)
{
    return std::fread(&n, 4, 1, pFile) == 1;
}

// Width × height × bytes per pixel, or -1 when the fields make no picture that could be held.
int64_t PixelBytes(LONG nWidth, LONG nHeight, LONG nBitCount)
{
    if (nWidth < 0 || nHeight < 0 || nBitCount < 0)
        return -1;
    int64_t nRow = int64_t{nWidth} * (nBitCount / 8);
    if (nRow > kMaxPixelBytes || (nRow > 0 && nHeight > kMaxPixelBytes / nRow))
        return -1;
    return nRow * nHeight;
}

}  // namespace

int CImage::SaveRaw(FILE* pFile)
{
    if (!WriteInt(pFile, m_nWidth) || !WriteInt(pFile, m_nHeight) || !WriteInt(pFile, m_nBitCount) ||
        !WriteInt(pFile, m_nColors))
        return 0;
    int64_t nBytes = PixelBytes(m_nWidth, m_nHeight, m_nBitCount);
    // A picture without pixels writes no item, which counts as a failed transfer.
    if (nBytes <= 0 || !m_pPixels)
        return 0;
    return std::fwrite(m_pPixels, static_cast<size_t>(nBytes), 1, pFile) == 1 ? 1 : 0;
}

int CImage::LoadRaw(FILE* pFile)
{
    if (!ReadInt(pFile, m_nWidth) || !ReadInt(pFile, m_nHeight) || !ReadInt(pFile, m_nBitCount) ||
        !ReadInt(pFile, m_nColors))
        return 0;
    int64_t nBytes = PixelBytes(m_nWidth, m_nHeight, m_nBitCount);
    if (nBytes < 0)
        return 0;
    // A buffer the record already holds is released rather than lost.
    delete[] m_pPixels;
    m_pPixels = new (std::nothrow) BYTE[static_cast<size_t>(nBytes ? nBytes : 1)];
    if (!m_pPixels)
        return 0;
    if (nBytes == 0)
        return 0;  // a transfer of no bytes reads no item
    return std::fread(m_pPixels, static_cast<size_t>(nBytes), 1, pFile) == 1 ? 1 : 0;
}

int CImage::SavePalette(FILE* pFile)
{
    if (!WriteInt(pFile, m_nColors) || !WriteInt(pFile, m_nBitCount))
        return 0;
    if (m_nColors <= 0 || !m_pPalette)
        return 0;
    return std::fwrite(m_pPalette, 4, static_cast<size_t>(m_nColors), pFile) >= 1 ? 1 : 0;
}

int CImage::LoadPalette(FILE* pFile)
{
    if (!ReadInt(pFile, m_nColors) || !ReadInt(pFile, m_nBitCount))
        return 0;
    if (m_nColors < 0 || m_nColors > kMaxColors)
        return 0;
    delete[] m_pPalette;
    m_pPalette = new (std::nothrow) RGBQUAD[m_nColors ? m_nColors : 1];
    if (!m_pPalette)
        return 0;
    size_t nRead = m_nColors ? std::fread(m_pPalette, 4, static_cast<size_t>(m_nColors), pFile) : 0;
    return nRead == static_cast<size_t>(m_nColors) ? 1 : 0;
}
