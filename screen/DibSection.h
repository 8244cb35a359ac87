// The windowed backend: the framebuffer is the pixel memory of an 8-bit DIB section, copied into
// the window's client area at every present.
#pragma once

#include "platform/win32.h"

class CDibSection {
public:
    CDibSection();
    ~CDibSection();

    void Create(HWND hWnd, int nWidth, int nHeight, int nBits, const BYTE* pPalette);
    void Blit(HWND hWnd);
    void SetPalette(HWND hWnd, const BYTE* pPalette);
    void RealizePalette();
    BYTE* GetBits();

    // For inspection: the section's handle (null until the first Create).
    HBITMAP GetBitmap() const { return m_hBitmap; }

private:
    CDibSection(const CDibSection&) = delete;
    CDibSection& operator=(const CDibSection&) = delete;

    void Release();
    void FillPalettes(const BYTE* pPalette);
    static void SelectAndRealize(HDC hdc, const LOGPALETTE* pLogPalette);

    BITMAPINFO* m_pInfo;        // 40-byte header and 256 colours: 1064 bytes
    LOGPALETTE* m_pLogPalette;  // version, count and 256 entries: 1028 bytes
    HBITMAP m_hBitmap;
    BYTE* m_pBits;
};

extern CDibSection g_Dib;
