// The system's in-memory picture: an 8-bit palettized BMP with its headers as read, its colour
// table and its pixels, rows top to bottom with a pitch of exactly the width.
#pragma once

#include <cstdio>

#include "platform/win32.h"

class CImage {
public:
    CImage();
    ~CImage();

    // 1 success; 0 cannot open; 2 out of memory; 3 short file header; 4 short info header;
    // 5 short colour table; 6 short pixel row; 7 not 8 bits per pixel; 8 compressed.
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
