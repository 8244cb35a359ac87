// The system's in-memory picture: an 8-bit palettized BMP with its headers as read, its colour
// table and its pixels, rows top to bottom with a pitch of exactly the width.
#pragma once

#include <cstdio>

#include "platform/win32.h"

// CImage::Load's results.
enum {
    IMAGE_CANNOT_OPEN = 0,
    IMAGE_LOADED = 1,
    IMAGE_NO_MEMORY = 2,
    IMAGE_SHORT_FILE_HEADER = 3,
    IMAGE_SHORT_INFO_HEADER = 4,
    IMAGE_SHORT_COLOUR_TABLE = 5,
    IMAGE_SHORT_PIXEL_ROW = 6,
    IMAGE_NOT_8_BITS = 7,
    IMAGE_COMPRESSED = 8
};
// What a failed load's result means, as the end of a sentence about the file ("the file cannot
// be opened", "it is compressed"); any other number: "it could not be read".
const char* ImageLoadText(int nCode);

class CImage {
public:
    CImage();
    ~CImage();

    // IMAGE_LOADED, or what went wrong (the IMAGE_ codes above).
    int Load(const char* pszFileName);
    void Free();

    // The raw layout, at the stream's current position; 1 success, 0 failure.
    int SaveRaw(FILE* pFile);
    int LoadRaw(FILE* pFile);
    int SavePalette(FILE* pFile);
    int LoadPalette(FILE* pFile);

    BITMAPFILEHEADER m_bmfh;
    BITMAPINFOHEADER m_bmih;
    RGBQUAD* m_pPalette;
    BYTE* m_pPixels;
    LONG m_nWidth;
    LONG m_nHeight;
    LONG m_nColors;
    LONG m_nBitCount;

private:
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;
};
