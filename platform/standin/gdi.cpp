// The graphics calls of the stand-in. A window's device context draws into that window's client
// image; a copy into it puts a whole frame on the screen, so it ends a frame at the host. Bitmaps
// are 8-bit DIB sections converted through their colour table on the way, as a true-colour
// display does.
#include "platform/standin/gdi.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/host/host.h"
#include "platform/standin/pixels.h"
#include "platform/standin/window_internal.h"

namespace {

struct GdiObject {
    DWORD dwType = 0;
    // OBJ_BITMAP: a DIB section (or the 1 × 1 default bitmap of a memory context).
    int nWidth = 0, nHeight = 0, nBits = 0;
    bool bTopDown = false;
    RGBQUAD colours[256] = {};
    standin::PixelTable table = {};  // the colours as display pixels
    std::vector<BYTE> pixels;
    // OBJ_PAL
    std::vector<PALETTEENTRY> entries;
    // OBJ_DC / OBJ_MEMDC
    HWND hWnd = nullptr;
    HGDIOBJ hBitmap = nullptr;
    HPALETTE hPalette = nullptr;
};

std::map<const void*, std::unique_ptr<GdiObject>>& Objects()
{
    // Never destroyed: the screen's static objects release their bitmaps at exit.
    static auto* objects = new std::map<const void*, std::unique_ptr<GdiObject>>;
    return *objects;
}

// Client images by window number, kept between presents like a window's own surface.
std::map<uint32_t, std::vector<uint32_t>>& Surfaces()
{
    static auto* surfaces = new std::map<uint32_t, std::vector<uint32_t>>;
    return *surfaces;
}

GdiObject* Find(const void* h, DWORD dwType = 0)
{
    auto it = Objects().find(h);
    if (it == Objects().end())
        return nullptr;
    if (dwType != 0 && it->second->dwType != dwType)
        return nullptr;
    return it->second.get();
}

void* Add(std::unique_ptr<GdiObject> p)
{
    void* h = p.get();
    Objects()[h] = std::move(p);
    return h;
}

GdiObject* FindDC(HDC hdc)
{
    GdiObject* p = Find(hdc);
    return p && (p->dwType == OBJ_DC || p->dwType == OBJ_MEMDC) ? p : nullptr;
}

size_t RowBytes(int nWidth, int nBits)
{
    return (static_cast<size_t>(nWidth) * static_cast<size_t>(nBits) + 31) / 32 * 4;
}

// Copies cx × cy 8-bit pixels from a bitmap-shaped source into a window's client image and puts
// it on the screen: a whole frame.
void DrawToWindow(HWND hWnd, int x, int y, int cx, int cy, const BYTE* pSrc, size_t nStride, int nSrcW, int nSrcH,
                  bool bTopDown, int xSrc, int ySrc, const standin::PixelTable& table)
{
    int nClientW = 0, nClientH = 0;
    uint32_t id = standin::WindowId(hWnd);
    if (id == 0 || !standin::WindowClientSize(hWnd, nClientW, nClientH) || nClientW == 0 || nClientH == 0)
        return;
    std::vector<uint32_t>& surface = Surfaces()[id];
    surface.resize(static_cast<size_t>(nClientW) * static_cast<size_t>(nClientH), 0);
    standin::CopyRect r = standin::ClipCopy({x, y, xSrc, ySrc, cx, cy}, nSrcW, nSrcH, nClientW, nClientH);
    if (!r.Empty()) {
        // Bottom-up sources are walked from their last row upwards.
        ptrdiff_t nPitch = static_cast<ptrdiff_t>(nStride);
        const BYTE* pRow = pSrc + nPitch * (bTopDown ? r.ySrc : nSrcH - 1 - r.ySrc) + r.xSrc;
        standin::ConvertPixels(
            pRow, bTopDown ? nPitch : -nPitch,
            surface.data() + static_cast<size_t>(r.yDst) * static_cast<size_t>(nClientW) + static_cast<size_t>(r.xDst),
            nClientW, r.nWidth, r.nHeight, table);
    }
    host::Current().SetImage(id, surface.data(), nClientW, nClientH);
    host::Current().EndFrame(id);
}

HGDIOBJ StockObject(int i)
{
    static auto* stock = new std::map<int, HGDIOBJ>;
    auto it = stock->find(i);
    if (it != stock->end())
        return it->second;
    auto p = std::make_unique<GdiObject>();
    p->dwType = OBJ_BRUSH;
    return (*stock)[i] = Add(std::move(p));
}

}  // namespace

HGDIOBJ WINAPI GetStockObject(int i)
{
    return i >= 0 && i <= 19 ? StockObject(i) : nullptr;
}

HDC WINAPI GetDC(HWND hWnd)
{
    if (hWnd && standin::WindowId(hWnd) == 0)
        return nullptr;
    auto p = std::make_unique<GdiObject>();
    p->dwType = OBJ_DC;
    p->hWnd = hWnd;
    return static_cast<HDC>(Add(std::move(p)));
}

int WINAPI ReleaseDC(HWND, HDC hDC)
{
    GdiObject* p = Find(hDC, OBJ_DC);
    if (!p)
        return 0;
    Objects().erase(hDC);
    return 1;
}

HDC WINAPI CreateCompatibleDC(HDC)
{
    auto bitmap = std::make_unique<GdiObject>();
    bitmap->dwType = OBJ_BITMAP;
    bitmap->nWidth = bitmap->nHeight = 1;
    bitmap->nBits = 1;
    auto p = std::make_unique<GdiObject>();
    p->dwType = OBJ_MEMDC;
    p->hBitmap = Add(std::move(bitmap));
    return static_cast<HDC>(Add(std::move(p)));
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    GdiObject* p = Find(hdc);
    if (!p || (p->dwType != OBJ_DC && p->dwType != OBJ_MEMDC))
        return FALSE;
    Objects().erase(hdc);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    GdiObject* pDC = FindDC(hdc);
    GdiObject* pObj = Find(h);
    if (!pDC || !pObj)
        return nullptr;
    if (pObj->dwType == OBJ_BITMAP) {
        if (pDC->dwType != OBJ_MEMDC)
            return nullptr;
        HGDIOBJ hPrev = pDC->hBitmap;
        pDC->hBitmap = h;
        return hPrev;
    }
    return StockObject(BLACK_BRUSH);  // brushes: the context's default
}

BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    GdiObject* p = Find(ho);
    if (!p || p->dwType == OBJ_DC || p->dwType == OBJ_MEMDC)
        return FALSE;
    Objects().erase(ho);
    return TRUE;
}

DWORD WINAPI GetObjectType(HGDIOBJ h)
{
    GdiObject* p = Find(h);
    return p ? p->dwType : 0;
}

HBITMAP WINAPI CreateDIBSection(HDC, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE, DWORD)
{
    if (ppvBits)
        *ppvBits = nullptr;
    if (!pbmi || usage != DIB_RGB_COLORS)
        return nullptr;
    const BITMAPINFOHEADER& h = pbmi->bmiHeader;
    // The stand-in keeps 8-bit sections only: that is what the screen asks for.
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biBitCount != 8 || h.biCompression != BI_RGB || h.biWidth <= 0 ||
        h.biHeight == 0 || h.biWidth > 32767 || h.biHeight > 32767 || h.biHeight < -32767)
        return nullptr;
    auto p = std::make_unique<GdiObject>();
    p->dwType = OBJ_BITMAP;
    p->nWidth = h.biWidth;
    p->nHeight = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    p->bTopDown = h.biHeight < 0;
    p->nBits = 8;
    DWORD nColours = h.biClrUsed == 0 || h.biClrUsed > 256 ? 256 : h.biClrUsed;
    std::memcpy(p->colours, pbmi->bmiColors, nColours * sizeof(RGBQUAD));
    standin::BuildPixelTable(p->colours, 256, p->table);
    p->pixels.assign(RowBytes(p->nWidth, 8) * static_cast<size_t>(p->nHeight), 0);
    if (ppvBits)
        *ppvBits = p->pixels.data();
    return static_cast<HBITMAP>(Add(std::move(p)));
}

UINT WINAPI SetDIBColorTable(HDC hdc, UINT iStart, UINT cEntries, const RGBQUAD* prgbq)
{
    GdiObject* pDC = Find(hdc, OBJ_MEMDC);
    GdiObject* pBitmap = pDC ? Find(pDC->hBitmap, OBJ_BITMAP) : nullptr;
    if (!pBitmap || pBitmap->nBits != 8 || !prgbq || iStart >= 256)
        return 0;
    UINT n = std::min<UINT>(cEntries, 256 - iStart);
    std::memcpy(pBitmap->colours + iStart, prgbq, n * sizeof(RGBQUAD));
    standin::BuildPixelTable(pBitmap->colours, 256, pBitmap->table);
    return n;
}

HPALETTE WINAPI CreatePalette(const LOGPALETTE* plpal)
{
    if (!plpal || plpal->palVersion != 0x300 || plpal->palNumEntries == 0)
        return nullptr;
    auto p = std::make_unique<GdiObject>();
    p->dwType = OBJ_PAL;
    p->entries.assign(plpal->palPalEntry, plpal->palPalEntry + plpal->palNumEntries);
    return static_cast<HPALETTE>(Add(std::move(p)));
}

HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE hPal, BOOL)
{
    GdiObject* pDC = FindDC(hdc);
    if (!pDC || !Find(hPal, OBJ_PAL))
        return nullptr;
    HPALETTE hPrev = pDC->hPalette ? pDC->hPalette : static_cast<HPALETTE>(StockObject(DEFAULT_PALETTE));
    pDC->hPalette = hPal;
    return hPrev;
}

UINT WINAPI RealizePalette(HDC hdc)
{
    // A true-colour display has no system palette to map into: nothing changes.
    return FindDC(hdc) ? 0 : static_cast<UINT>(-1);
}

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop)
{
    GdiObject* pDest = Find(hdc, OBJ_DC);
    GdiObject* pSrcDC = Find(hdcSrc, OBJ_MEMDC);
    GdiObject* pBitmap = pSrcDC ? Find(pSrcDC->hBitmap, OBJ_BITMAP) : nullptr;
    if (!pDest || !pBitmap || rop != SRCCOPY)
        return FALSE;
    if (pBitmap->nBits != 8)
        return TRUE;  // the default 1 × 1 bitmap draws nothing worth keeping
    DrawToWindow(pDest->hWnd, x, y, cx, cy, pBitmap->pixels.data(), RowBytes(pBitmap->nWidth, 8), pBitmap->nWidth,
                 pBitmap->nHeight, pBitmap->bTopDown, x1, y1, pBitmap->table);
    return TRUE;
}

int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc, UINT StartScan,
                             UINT cLines, const void* lpvBits, const BITMAPINFO* lpbmi, UINT ColorUse)
{
    GdiObject* pDest = Find(hdc, OBJ_DC);
    if (!pDest || !lpvBits || !lpbmi || ColorUse != DIB_RGB_COLORS)
        return 0;
    const BITMAPINFOHEADER& bh = lpbmi->bmiHeader;
    if (bh.biBitCount != 8 || bh.biCompression != BI_RGB || bh.biWidth <= 0 || bh.biHeight == 0 || StartScan != 0)
        return 0;
    int nHeight = bh.biHeight < 0 ? -bh.biHeight : bh.biHeight;
    int nLines = static_cast<int>(std::min<UINT>(cLines, static_cast<UINT>(nHeight)));
    DWORD nColours = bh.biClrUsed == 0 || bh.biClrUsed > 256 ? 256 : bh.biClrUsed;
    standin::PixelTable table;
    standin::BuildPixelTable(lpbmi->bmiColors, static_cast<int>(nColours), table);
    DrawToWindow(pDest->hWnd, xDest, yDest, static_cast<int>(w), static_cast<int>(h), static_cast<const BYTE*>(lpvBits),
                 RowBytes(bh.biWidth, 8), bh.biWidth, nLines, bh.biHeight < 0, xSrc, ySrc, table);
    return nLines;
}
