#include "screen/DibSection.h"

#include <cstring>
#include <new>

namespace {
const size_t kInfoBytes = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
const size_t kLogPaletteBytes = 4 + 256 * sizeof(PALETTEENTRY);
static_assert(kInfoBytes == 1064 && kLogPaletteBytes == 1028, "block sizes");
}  // namespace

// Constructed before WinMain and destroyed by the atexit list, also after an exit from inside
// message dispatch.
CDibSection g_Dib;

CDibSection::CDibSection() : m_pInfo(nullptr), m_pLogPalette(nullptr), m_hBitmap(nullptr), m_pBits(nullptr)
{
}

CDibSection::~CDibSection()
{
    Release();
}

void CDibSection::Release()
{
    delete[] reinterpret_cast<BYTE*>(m_pInfo);
    delete[] reinterpret_cast<BYTE*>(m_pLogPalette);
    if (m_hBitmap)
        DeleteObject(m_hBitmap);
    m_pInfo = nullptr;
    m_pLogPalette = nullptr;
    m_hBitmap = nullptr;
    m_pBits = nullptr;
}

void CDibSection::FillPalettes(const BYTE* pPalette)
{
    std::memcpy(m_pInfo->bmiColors, pPalette, 256 * sizeof(RGBQUAD));
    m_pLogPalette->palVersion = 0x300;
    m_pLogPalette->palNumEntries = 256;
    for (int n = 0; n < 256; ++n) {
        PALETTEENTRY& e = m_pLogPalette->palPalEntry[n];
        e.peRed = pPalette[n * 4 + 2];
        e.peGreen = pPalette[n * 4 + 1];
        e.peBlue = pPalette[n * 4 + 0];
        e.peFlags = PC_NOCOLLAPSE;
    }
}

void CDibSection::SelectAndRealize(HDC hdc, const LOGPALETTE* pLogPalette)
{
    HPALETTE hPalette = CreatePalette(pLogPalette);
    SelectPalette(hdc, hPalette, FALSE);
    ::RealizePalette(hdc);
    DeleteObject(hPalette);
}

void CDibSection::Create(HWND hWnd, int nWidth, int nHeight, int nBits, const BYTE* pPalette)
{
    // A second section replaces the first as a whole; the caller takes the new pixel memory.
    Release();
    HDC hdc = GetDC(hWnd);
    m_pInfo = reinterpret_cast<BITMAPINFO*>(new BYTE[kInfoBytes]());
    m_pLogPalette = reinterpret_cast<LOGPALETTE*>(new BYTE[kLogPaletteBytes]());

    BITMAPINFOHEADER& h = m_pInfo->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = nWidth;
    h.biHeight = nHeight < 0 ? nHeight : -nHeight;  // top-down: row 0 is the top of the window
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(nBits);
    h.biCompression = BI_RGB;
    h.biClrUsed = 256;
    h.biClrImportant = 256;

    if (pPalette) {
        FillPalettes(pPalette);
        SelectAndRealize(hdc, m_pLogPalette);
    }
    void* pBits = nullptr;
    m_hBitmap = CreateDIBSection(hdc, m_pInfo, DIB_RGB_COLORS, &pBits, nullptr, 0);
    m_pBits = static_cast<BYTE*>(pBits);
    ReleaseDC(hWnd, hdc);
}

void CDibSection::Blit(HWND hWnd)
{
    HDC hdc = GetDC(hWnd);
    RECT rc = {0, 0, 0, 0};
    GetClientRect(hWnd, &rc);
    HDC hdcMem = CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = SelectObject(hdcMem, m_hBitmap);
    BitBlt(hdc, 0, 0, rc.right - rc.left, rc.bottom - rc.top, hdcMem, 0, 0, SRCCOPY);
    SelectObject(hdcMem, hOld);
    DeleteDC(hdcMem);
    ReleaseDC(hWnd, hdc);
}

void CDibSection::SetPalette(HWND hWnd, const BYTE* pPalette)
{
    HDC hdc = GetDC(hWnd);
    if (pPalette && m_pInfo) {
        FillPalettes(pPalette);
        SelectAndRealize(hdc, m_pLogPalette);
        // The section keeps its pixel memory; only its colour table changes.
        HDC hdcMem = CreateCompatibleDC(nullptr);
        HGDIOBJ hOld = SelectObject(hdcMem, m_hBitmap);
        SetDIBColorTable(hdcMem, 0, 256, m_pInfo->bmiColors);
        SelectObject(hdcMem, hOld);
        DeleteDC(hdcMem);
    }
    ReleaseDC(hWnd, hdc);
}

void CDibSection::RealizePalette()
{
    if (!m_pLogPalette)
        return;
    HWND hWnd = GetActiveWindow();
    HDC hdc = GetDC(hWnd);
    HPALETTE hPalette = CreatePalette(m_pLogPalette);
    SelectPalette(hdc, hPalette, FALSE);
    ::RealizePalette(hdc);
    ReleaseDC(hWnd, hdc);
    DeleteObject(hPalette);
}

BYTE* CDibSection::GetBits()
{
    return m_pBits;
}
