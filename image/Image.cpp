// The BMP loader. Sizes in a file are not trusted: every product is formed in 64 bits and an
// impossible picture is "out of memory", never a wrapped or multi-gigabyte allocation.
#include "image/Image.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>

namespace {

// Larger than any picture this system draws by far, small enough to never strain the machine.
const int64_t kMaxPixelBytes = int64_t{256} << 20;

struct File {
    explicit File(const char* pszName) : p(std::fopen(pszName, "rb")) {}
    ~File()
    {
        if (p)
            std::fclose(p);
    }
    FILE* p;
};

bool ReadExactly(FILE* pFile, void* pDest, size_t nBytes)
{
    return std::fread(pDest, 1, nBytes, pFile) == nBytes;
}

// Offsets from the file are 32-bit unsigned and the stream's may be 32-bit signed, so the sum is
// formed in 64 bits; a position the stream's offsets cannot express lies past the end of any file
// it can read, and the next read there is short, as it is on a platform with wider offsets.
void SeekTo(FILE* pFile, int64_t nPosition)
{
    if (nPosition > LONG_MAX)
        std::fseek(pFile, 0, SEEK_END);
    else
        std::fseek(pFile, static_cast<long>(nPosition), SEEK_SET);
}

}  // namespace

CImage::CImage() : m_pPalette(nullptr), m_pPixels(nullptr), m_nWidth(0), m_nHeight(0)
{
}

CImage::~CImage()
{
    delete[] m_pPalette;
    delete[] m_pPixels;
}

void CImage::Free()
{
    delete[] m_pPalette;
    delete[] m_pPixels;
    m_pPalette = nullptr;
    m_pPixels = nullptr;
}

const char* ImageLoadText(int nCode)
{
    switch (nCode) {
    case IMAGE_CANNOT_OPEN: return "the file cannot be opened";
    case IMAGE_NO_MEMORY: return "there is not enough memory for it";
    case IMAGE_SHORT_FILE_HEADER: return "its file header is cut short";
    case IMAGE_SHORT_INFO_HEADER: return "its picture header is cut short";
    case IMAGE_SHORT_COLOUR_TABLE: return "its colour table is cut short";
    case IMAGE_SHORT_PIXEL_ROW: return "its pixel rows are cut short";
    case IMAGE_NOT_8_BITS: return "it is not a picture of 8 bits per pixel";
    case IMAGE_COMPRESSED: return "it is compressed";
    default: return "it could not be read";
    }
}

int CImage::Load(const char* pszFileName)
{
    Free();
    File file(pszFileName);
    if (!file.p)
        return IMAGE_CANNOT_OPEN;
    if (!ReadExactly(file.p, &m_bmfh, sizeof m_bmfh))
        return IMAGE_SHORT_FILE_HEADER;
    long nAfterFileHeader = std::ftell(file.p);
    if (!ReadExactly(file.p, &m_bmih, sizeof m_bmih))
        return IMAGE_SHORT_INFO_HEADER;
    // Beyond 30 bits the count no longer fits; such a depth is refused below in any case.
    m_nColors = m_bmih.biBitCount <= 30 ? static_cast<LONG>(std::pow(2.0, m_bmih.biBitCount)) : INT32_MAX;
    m_nBitCount = m_bmih.biBitCount;

    if (m_nBitCount <= 16) {
        // The table is always read as 256 entries, so it is never smaller than that.
        LONG nEntries = m_nColors < 256 ? 256 : m_nColors;
        m_pPalette = new (std::nothrow) RGBQUAD[nEntries];
        if (!m_pPalette)
            return IMAGE_NO_MEMORY;
        // Headers larger than 40 bytes (the 108- and 124-byte ones) come before the table.
        if (m_bmih.biSize > sizeof m_bmih)
            SeekTo(file.p, int64_t{nAfterFileHeader} + m_bmih.biSize);
        for (int n = 0; n < 256; ++n)
            if (!ReadExactly(file.p, &m_pPalette[n], 4))
                return IMAGE_SHORT_COLOUR_TABLE;
    }

    m_nWidth = m_bmih.biWidth;
    m_nHeight = m_bmih.biHeight;
    int64_t nRows = m_nHeight < 0 ? -int64_t{m_nHeight} : int64_t{m_nHeight};
    int64_t nRowBytes = int64_t{m_nWidth} * (m_nBitCount / 8);
    if (m_nWidth < 0 || nRows > INT32_MAX || nRowBytes > kMaxPixelBytes ||
        (nRowBytes > 0 && nRows > kMaxPixelBytes / nRowBytes))
        return IMAGE_NO_MEMORY;
    int64_t nBytes = nRowBytes * nRows;
    m_pPixels = new (std::nothrow) BYTE[static_cast<size_t>(nBytes)];
    if (!m_pPixels)
        return IMAGE_NO_MEMORY;
    long nPadding = static_cast<long>((nRowBytes + 3) / 4 * 4 - nRowBytes);

    SeekTo(file.p, int64_t{nAfterFileHeader} + m_bmfh.bfOffBits - 14);
    for (int64_t i = 0; i < nRows; ++i) {
        if (m_bmih.biCompression != 0)
            return IMAGE_COMPRESSED;
        if (m_nBitCount != 8)
            return IMAGE_NOT_8_BITS;
        if (m_nWidth == 0)
            break;  // rows of no bytes: nothing to read, however many there are
        int64_t nRow = m_nHeight < 0 ? i : m_nHeight - 1 - i;
        if (!ReadExactly(file.p, m_pPixels + nRow * m_nWidth, static_cast<size_t>(m_nWidth)))
            return IMAGE_SHORT_PIXEL_ROW;
        std::fseek(file.p, nPadding, SEEK_CUR);
    }
    m_nHeight = static_cast<LONG>(nRows);
    return IMAGE_LOADED;
}
