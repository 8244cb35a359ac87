// DirectDraw for hosts other than Windows: the display taken in exclusive mode at a set size with
// an 8-bit palette, a primary surface with one back buffer, lock, unlock, flip, lost surfaces and
// their restore, over the host's exclusive display. Every interface slot is present in the Windows
// order; the ones the system never calls answer DDERR_UNSUPPORTED.
#pragma once

#include "platform/standin/below_seam.h"

#include "com.h"

#define DD_OK S_OK
#define MAKE_DDHRESULT(code) ((HRESULT)(0x88760000u | (code)))
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(120)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_NODIRECTDRAWHW MAKE_DDHRESULT(563)
#define DDERR_PRIMARYSURFACEALREADYEXISTS MAKE_DDHRESULT(564)
#define DDERR_HWNDALREADYSET MAKE_DDHRESULT(571)
#define DDERR_EXCLUSIVEMODEALREADYSET MAKE_DDHRESULT(581)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_WRONGMODE MAKE_DDHRESULT(587)
#define DDERR_NOTPALETTIZED MAKE_DDHRESULT(589)

#define DDSCL_FULLSCREEN 0x00000001
#define DDSCL_ALLOWREBOOT 0x00000002
#define DDSCL_NOWINDOWCHANGES 0x00000004
#define DDSCL_NORMAL 0x00000008
#define DDSCL_EXCLUSIVE 0x00000010

#define DDSD_CAPS 0x00000001
#define DDSD_HEIGHT 0x00000002
#define DDSD_WIDTH 0x00000004
#define DDSD_PITCH 0x00000008
#define DDSD_BACKBUFFERCOUNT 0x00000020
#define DDSD_LPSURFACE 0x00000800
#define DDSD_PIXELFORMAT 0x00001000

#define DDSCAPS_BACKBUFFER 0x00000004
#define DDSCAPS_COMPLEX 0x00000008
#define DDSCAPS_FLIP 0x00000010
#define DDSCAPS_FRONTBUFFER 0x00000020
#define DDSCAPS_PRIMARYSURFACE 0x00000200
#define DDSCAPS_3DDEVICE 0x00002000
#define DDSCAPS_VISIBLE 0x00008000

#define DDPCAPS_8BIT 0x00000004
#define DDPCAPS_PRIMARYSURFACE 0x00000010
#define DDPCAPS_ALLOW256 0x00000040

#define DDPF_PALETTEINDEXED8 0x00000020
#define DDPF_RGB 0x00000040

#define DDLOCK_WAIT 0x00000001
#define DDFLIP_WAIT 0x00000001

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};
typedef DDSCAPS2* LPDDSCAPS2;

// The Windows layout, field for field; 124 bytes where pointers are 32 bits, a little more where
// they are wider. Callers give its size in dwSize.
struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    union {
        LONG lPitch;
        DWORD dwLinearSize;
    };
    union {
        DWORD dwBackBufferCount;
        DWORD dwDepth;
    };
    union {
        DWORD dwMipMapCount;
        DWORD dwRefreshRate;
        DWORD dwSrcVBHandle;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;
    union {
        DDCOLORKEY ddckCKDestOverlay;
        DWORD dwEmptyFaceColor;
    };
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    union {
        DDPIXELFORMAT ddpfPixelFormat;
        DWORD dwFVF;
    };
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};
typedef DDSURFACEDESC2* LPDDSURFACEDESC2;
static_assert(sizeof(void*) != 4 || sizeof(DDSURFACEDESC2) == 124, "the Windows layout");

typedef PALETTEENTRY* LPPALETTEENTRY;

extern const IID IID_IDirectDraw;
extern const IID IID_IDirectDraw2;
extern const IID IID_IDirectDraw4;
extern const IID IID_IDirectDrawSurface4;
extern const IID IID_IDirectDrawPalette;

#define DD_UNSUPPORTED \
    { \
        return DDERR_UNSUPPORTED; \
    }

struct IDirectDrawPalette : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCaps(LPDWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetEntries(DWORD dwFlags, DWORD dwBase, DWORD dwNumEntries,
                                                 LPPALETTEENTRY lpEntries) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(void*, DWORD, LPPALETTEENTRY) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE SetEntries(DWORD dwFlags, DWORD dwStartingEntry, DWORD dwCount,
                                                 LPPALETTEENTRY lpEntries) = 0;

protected:
    ~IDirectDrawPalette() = default;
};
typedef IDirectDrawPalette* LPDIRECTDRAWPALETTE;

struct IDirectDrawSurface4 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddAttachedSurface(IDirectDrawSurface4*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE Blt(LPRECT, IDirectDrawSurface4*, LPRECT, DWORD, void*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE BltBatch(void*, DWORD, DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE BltFast(DWORD, DWORD, IDirectDrawSurface4*, LPRECT, DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, IDirectDrawSurface4*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID, void*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, void*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE Flip(IDirectDrawSurface4* lpDDSurfaceTargetOverride, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS2 lpDDSCaps,
                                                         IDirectDrawSurface4** lplpDDAttachedSurface) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS2 lpDDSCaps) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClipper(void**) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetColorKey(DWORD, DDCOLORKEY*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetDC(HDC*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG, LPLONG) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE* lplpDDPalette) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPixelFormat(DDPIXELFORMAT*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC2 lpDDSurfaceDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(void*, LPDDSURFACEDESC2) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE IsLost() = 0;
    virtual HRESULT STDMETHODCALLTYPE Lock(LPRECT lpDestRect, LPDDSURFACEDESC2 lpDDSurfaceDesc, DWORD dwFlags,
                                           HANDLE hEvent) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE Restore() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClipper(void*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE SetColorKey(DWORD, DDCOLORKEY*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE lpDDPalette) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unlock(LPRECT lpSurfaceData) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT, IDirectDrawSurface4*, LPRECT, DWORD, void*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, IDirectDrawSurface4*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetDDInterface(LPVOID*) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE PageLock(DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE PageUnlock(DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE SetSurfaceDesc(LPDDSURFACEDESC2, DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, LPVOID, DWORD, DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, LPVOID, LPDWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetUniquenessValue(LPDWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE ChangeUniquenessValue() DD_UNSUPPORTED;

protected:
    ~IDirectDrawSurface4() = default;
};
typedef IDirectDrawSurface4* LPDIRECTDRAWSURFACE4;

// The slots IDirectDraw and IDirectDraw4 share, up to SetCooperativeLevel.
#define DD_COMMON_SLOTS(SurfaceDesc, Surface) \
    virtual HRESULT STDMETHODCALLTYPE Compact() DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, void**, IUnknown*) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*) \
        DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE CreateSurface(SurfaceDesc*, Surface**, IUnknown*) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE DuplicateSurface(Surface*, Surface**) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, SurfaceDesc*, LPVOID, void*) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, SurfaceDesc*, LPVOID, void*) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE FlipToGDISurface() DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE GetCaps(void*, void*) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE GetDisplayMode(SurfaceDesc*) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD, LPDWORD) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE GetGDISurface(Surface**) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(BOOL*) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE Initialize(GUID*) DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE RestoreDisplayMode() DD_UNSUPPORTED; \
    virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) DD_UNSUPPORTED;

// The first interface, made by DirectDrawCreate; the system only asks it for IDirectDraw4.
struct IDirectDraw : IUnknown {
    DD_COMMON_SLOTS(void, void)
    virtual HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD, DWORD, DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) DD_UNSUPPORTED;

protected:
    ~IDirectDraw() = default;
};
typedef IDirectDraw* LPDIRECTDRAW;

struct IDirectDraw4 : IUnknown {
    DD_COMMON_SLOTS(DDSURFACEDESC2, IDirectDrawSurface4)
    virtual HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD, DWORD, DWORD, DWORD, DWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetAvailableVidMem(LPDDSCAPS2, LPDWORD, LPDWORD) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetSurfaceFromDC(HDC, IDirectDrawSurface4**) DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE RestoreAllSurfaces() DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE TestCooperativeLevel() DD_UNSUPPORTED;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceIdentifier(void*, DWORD) DD_UNSUPPORTED;

protected:
    ~IDirectDraw4() = default;
};
typedef IDirectDraw4* LPDIRECTDRAW4;

#undef DD_COMMON_SLOTS
#undef DD_UNSUPPORTED

// lpGUID null: the primary display, the only one there is.
HRESULT WINAPI DirectDrawCreate(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter);
