// The DirectDraw stand-in. One display: the DirectDraw object that sets the exclusive level on a
// window and then a display mode takes it, and the host shows that window as the whole display.
// A primary surface is a chain of a front and a back buffer in system memory; the front is what
// the display shows, converted through the palette attached to the chain. A flip (or the unlock
// of the front when nothing flips) puts a whole frame on the screen and is where the host paces;
// a palette change only replaces the image, so it shows at once without a frame.
#include "platform/standin/ddraw.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <vector>

#include "platform/host/host.h"
#include "platform/standin/faults.h"
#include "platform/standin/testing.h"
#include "platform/standin/window_internal.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDraw2 = {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const IID IID_IDirectDraw4 = {0x9C59509A, 0x39BD, 0x11D1, {0x8C, 0x4A, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};
const IID IID_IDirectDrawSurface4 = {0x0B2B8630, 0xAD35, 0x11D0, {0x8E, 0xA6, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const IID IID_IDirectDrawPalette = {0x6C14DB84, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

namespace {

class Device;
class Palette;
struct Chain;

// Rows of a surface start on 64-byte boundaries, as display memory often does; a width that is
// not a multiple of 64 gives a pitch wider than the row.
const LONG kPitchAlign = 64;
const int kMaxSide = 4096;

struct Display {
    Device* pOwner = nullptr;  // the object holding the exclusive level
    HWND hWnd = nullptr;
    uint32_t id = 0;
    int nWidth = 0, nHeight = 0;  // the mode, 0 while none is set
    bool bActive = true;          // false while the user has switched away
    Chain* pPrimary = nullptr;
};

Display& D()
{
    static auto* d = new Display;  // the screen's objects may be released during exit
    return *d;
}

class Palette final : public ComObject<IDirectDrawPalette> {
public:
    Palette(Device* pDevice, const PALETTEENTRY* pEntries);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE GetEntries(DWORD dwFlags, DWORD dwBase, DWORD dwCount, LPPALETTEENTRY lpEntries) override;
    HRESULT STDMETHODCALLTYPE SetEntries(DWORD dwFlags, DWORD dwStart, DWORD dwCount,
                                         LPPALETTEENTRY lpEntries) override;

    // The colours as the display shows them, 0x00RRGGBB.
    const uint32_t* Colours() const { return m_xrgb; }
    std::set<Chain*> m_chains;  // the chains it is attached to

private:
    ~Palette() override;
    Device* m_pDevice;
    PALETTEENTRY m_entries[256];
    uint32_t m_xrgb[256];
    void TakeColours();
};

class Surface final : public ComObject<IDirectDrawSurface4> {
public:
    // A back buffer starts with no reference: the chain holds it until someone asks for it.
    Surface(Chain* pChain, bool bFront) : ComObject(bFront ? 1 : 0), m_pChain(pChain), m_bFront(bFront) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE Flip(IDirectDrawSurface4* pTarget, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS2 lpCaps, IDirectDrawSurface4** lplpSurface) override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS2 lpCaps) override;
    HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE* lplpPalette) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC2 lpDesc) override;
    HRESULT STDMETHODCALLTYPE IsLost() override;
    HRESULT STDMETHODCALLTYPE Lock(LPRECT lpRect, LPDDSURFACEDESC2 lpDesc, DWORD dwFlags, HANDLE hEvent) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE lpPalette) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPRECT lpRect) override;

    Chain* m_pChain;
    bool m_bFront;
    bool m_bLocked = false;

private:
    friend struct Chain;
    ~Surface() override = default;
    // The chain owns both surfaces: the front's last reference ends the chain, the back's nothing.
    void LastReleased() override;
    std::vector<BYTE>& Pixels();
    DWORD Caps() const;
};

// A primary surface and its back buffer: two surfaces, two blocks of pixels that trade places at
// each flip. The chain lives as long as its front surface.
struct Chain {
    Device* pDevice = nullptr;
    Surface* pFront = nullptr;
    Surface* pBack = nullptr;  // null for a primary without a back buffer
    int nWidth = 0, nHeight = 0;
    LONG nPitch = 0;
    DWORD dwExtraCaps = 0;  // 3DDEVICE when asked for
    std::vector<BYTE> buffers[2];
    int nFront = 0;  // which block is on the display
    bool bLost = false;
    Palette* pPalette = nullptr;

    ~Chain();
    void Show();
    void ShowFrame();
};

class Device final : public ComObject<IDirectDraw, IDirectDraw4> {
public:
    Device() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE CreatePalette(DWORD dwFlags, LPPALETTEENTRY lpColorTable,
                                            LPDIRECTDRAWPALETTE* lplpPalette, IUnknown* pUnkOuter) override;
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC2 lpDesc, IDirectDrawSurface4** lplpSurface,
                                            IUnknown* pUnkOuter) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hWnd, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP, DWORD dwRefreshRate,
                                             DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override;

    bool Exclusive() const { return D().pOwner == this; }
    void GiveUpDisplay();
    DWORD m_dwLevel = 0;

private:
    ~Device() override;
};

// ---- the display ----

void Chain::Show()
{
    Display& d = D();
    if (d.pPrimary != this || bLost || d.id == 0 || d.nWidth == 0)
        return;
    // An 8-bit display: its pixels and its palette go to the host as they are.
    static const uint32_t s_black[256] = {};
    host::Current().SetPalettedImage(d.id, buffers[nFront].data(), nPitch, pPalette ? pPalette->Colours() : s_black,
                                     nWidth, nHeight);
}

void Chain::ShowFrame()
{
    Show();
    if (D().pPrimary == this && !bLost && D().id != 0)
        host::Current().EndFrame(D().id);
}

Chain::~Chain()
{
    if (D().pPrimary == this)
        D().pPrimary = nullptr;
    if (pPalette) {
        pPalette->m_chains.erase(this);
        pPalette->Release();
    }
    delete pFront;
    delete pBack;
    pDevice->Release();
}

void Device::GiveUpDisplay()
{
    Display& d = D();
    if (d.pOwner != this)
        return;
    if (d.id != 0 && d.nWidth != 0)
        host::Current().ReleaseDisplay(d.id);
    d.pOwner = nullptr;
    d.hWnd = nullptr;
    d.id = 0;
    d.nWidth = d.nHeight = 0;
    d.bActive = true;
}

// ---- palette ----

Palette::Palette(Device* pDevice, const PALETTEENTRY* pEntries) : m_pDevice(pDevice)
{
    std::memcpy(m_entries, pEntries, sizeof m_entries);
    TakeColours();
    m_pDevice->AddRef();
}

void Palette::TakeColours()
{
    for (int i = 0; i < 256; ++i)
        m_xrgb[i] = (uint32_t{m_entries[i].peRed} << 16) | (uint32_t{m_entries[i].peGreen} << 8) | m_entries[i].peBlue;
}

Palette::~Palette()
{
    m_pDevice->Release();
}

HRESULT Palette::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!(riid == IID_IUnknown) && !(riid == IID_IDirectDrawPalette))
        return E_NOINTERFACE;
    *ppv = static_cast<IDirectDrawPalette*>(this);
    AddRef();
    return S_OK;
}

HRESULT Palette::GetEntries(DWORD dwFlags, DWORD dwBase, DWORD dwCount, LPPALETTEENTRY lpEntries)
{
    if (dwFlags != 0 || !lpEntries || dwBase > 256 || dwCount > 256 - dwBase)
        return DDERR_INVALIDPARAMS;
    std::memcpy(lpEntries, m_entries + dwBase, dwCount * sizeof(PALETTEENTRY));
    return DD_OK;
}

HRESULT Palette::SetEntries(DWORD dwFlags, DWORD dwStart, DWORD dwCount, LPPALETTEENTRY lpEntries)
{
    if (dwFlags != 0 || !lpEntries || dwStart > 256 || dwCount > 256 - dwStart)
        return DDERR_INVALIDPARAMS;
    if (standin::ShouldFail("IDirectDrawPalette::SetEntries"))
        return DDERR_GENERIC;
    std::memcpy(m_entries + dwStart, lpEntries, dwCount * sizeof(PALETTEENTRY));
    TakeColours();
    // The hardware palette: what the display shows changes now, without a frame.
    for (Chain* pChain : m_chains)
        pChain->Show();
    return DD_OK;
}

// ---- surfaces ----

std::vector<BYTE>& Surface::Pixels()
{
    return m_pChain->buffers[m_bFront ? m_pChain->nFront : 1 - m_pChain->nFront];
}

DWORD Surface::Caps() const
{
    DWORD dw = m_pChain->dwExtraCaps;
    if (m_pChain->pBack)
        dw |= DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    return dw | (m_bFront ? DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE : DDSCAPS_BACKBUFFER);
}

HRESULT Surface::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!(riid == IID_IUnknown) && !(riid == IID_IDirectDrawSurface4))
        return E_NOINTERFACE;
    *ppv = static_cast<IDirectDrawSurface4*>(this);
    AddRef();
    return S_OK;
}

// The back buffer was made with the chain and goes with it; its own count only balances the
// references handed out for it.
void Surface::LastReleased()
{
    if (m_bFront)
        delete m_pChain;
}

HRESULT Surface::Flip(IDirectDrawSurface4* pTarget, DWORD)
{
    Chain& c = *m_pChain;
    if (!m_bFront || !c.pBack || (pTarget && pTarget != c.pBack))
        return DDERR_NOTFLIPPABLE;
    if (c.bLost)
        return DDERR_SURFACELOST;
    if (c.pFront->m_bLocked || c.pBack->m_bLocked)
        return DDERR_SURFACEBUSY;
    if (standin::ShouldFail("IDirectDrawSurface4::Flip"))
        return DDERR_GENERIC;
    c.nFront = 1 - c.nFront;
    c.ShowFrame();
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS2 lpCaps, IDirectDrawSurface4** lplpSurface)
{
    if (!lpCaps || !lplpSurface)
        return DDERR_INVALIDPARAMS;
    *lplpSurface = nullptr;
    if (standin::ShouldFail("IDirectDrawSurface4::GetAttachedSurface"))
        return DDERR_NOTFOUND;
    Surface* pOther = m_bFront ? m_pChain->pBack : nullptr;
    if (!pOther || (pOther->Caps() & lpCaps->dwCaps) != lpCaps->dwCaps)
        return DDERR_NOTFOUND;
    pOther->AddRef();
    *lplpSurface = pOther;
    return DD_OK;
}

HRESULT Surface::GetCaps(LPDDSCAPS2 lpCaps)
{
    if (!lpCaps)
        return DDERR_INVALIDPARAMS;
    *lpCaps = DDSCAPS2{Caps(), 0, 0, 0};
    return DD_OK;
}

HRESULT Surface::GetPalette(LPDIRECTDRAWPALETTE* lplpPalette)
{
    if (!lplpPalette)
        return DDERR_INVALIDPARAMS;
    *lplpPalette = m_pChain->pPalette;
    if (!m_pChain->pPalette)
        return MAKE_DDHRESULT(572);  // DDERR_NOPALETTEATTACHED
    m_pChain->pPalette->AddRef();
    return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC2 lpDesc)
{
    if (!lpDesc || lpDesc->dwSize != sizeof(DDSURFACEDESC2))
        return DDERR_INVALIDPARAMS;
    const Chain& c = *m_pChain;
    std::memset(lpDesc, 0, sizeof *lpDesc);
    lpDesc->dwSize = sizeof *lpDesc;
    lpDesc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    lpDesc->dwWidth = static_cast<DWORD>(c.nWidth);
    lpDesc->dwHeight = static_cast<DWORD>(c.nHeight);
    lpDesc->lPitch = c.nPitch;
    lpDesc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    lpDesc->ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    lpDesc->ddpfPixelFormat.dwRGBBitCount = 8;
    lpDesc->ddsCaps.dwCaps = Caps();
    if (m_bFront && c.pBack)
        lpDesc->dwBackBufferCount = 1;
    return DD_OK;
}

HRESULT Surface::IsLost()
{
    return m_pChain->bLost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT Surface::Lock(LPRECT lpRect, LPDDSURFACEDESC2 lpDesc, DWORD, HANDLE)
{
    if (!lpDesc || lpDesc->dwSize != sizeof(DDSURFACEDESC2))
        return DDERR_INVALIDPARAMS;
    Chain& c = *m_pChain;
    if (lpRect && (lpRect->left < 0 || lpRect->top < 0 || lpRect->right > c.nWidth || lpRect->bottom > c.nHeight ||
                   lpRect->left >= lpRect->right || lpRect->top >= lpRect->bottom))
        return DDERR_INVALIDPARAMS;
    if (c.bLost)
        return DDERR_SURFACELOST;
    if (m_bLocked)
        return DDERR_SURFACEBUSY;
    if (standin::ShouldFail("IDirectDrawSurface4::Lock"))
        return DDERR_SURFACEBUSY;
    GetSurfaceDesc(lpDesc);
    lpDesc->dwFlags |= DDSD_LPSURFACE;
    BYTE* p = Pixels().data();
    if (lpRect)
        p += static_cast<ptrdiff_t>(lpRect->top) * c.nPitch + lpRect->left;
    lpDesc->lpSurface = p;
    m_bLocked = true;
    return DD_OK;
}

HRESULT Surface::Restore()
{
    Chain& c = *m_pChain;
    if (!c.bLost)
        return DD_OK;
    if (!D().bActive || D().pPrimary != &c)
        return DDERR_WRONGMODE;  // the display is still someone else's
    if (standin::ShouldFail("IDirectDrawSurface4::Restore"))
        return DDERR_WRONGMODE;
    // The memory comes back, its contents do not.
    for (auto& buffer : c.buffers)
        std::fill(buffer.begin(), buffer.end(), BYTE{0});
    c.bLost = false;
    c.Show();
    return DD_OK;
}

HRESULT Surface::SetPalette(LPDIRECTDRAWPALETTE lpPalette)
{
    Chain& c = *m_pChain;
    if (standin::ShouldFail("IDirectDrawSurface4::SetPalette"))
        return DDERR_GENERIC;
    auto* pNew = static_cast<Palette*>(lpPalette);
    if (pNew == c.pPalette)
        return DD_OK;
    if (c.pPalette) {
        c.pPalette->m_chains.erase(&c);
        c.pPalette->Release();
    }
    c.pPalette = pNew;
    if (pNew) {
        pNew->AddRef();
        pNew->m_chains.insert(&c);
    }
    c.Show();
    return DD_OK;
}

HRESULT Surface::Unlock(LPRECT)
{
    if (!m_bLocked)
        return DDERR_NOTLOCKED;
    m_bLocked = false;
    // Drawing straight into the visible surface: the frame is on the screen now.
    if (m_bFront)
        m_pChain->ShowFrame();
    return DD_OK;
}

// ---- the DirectDraw object ----

Device::~Device()
{
    GiveUpDisplay();
}

HRESULT Device::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (standin::ShouldFail("IDirectDraw::QueryInterface"))
        return E_NOINTERFACE;
    if (riid == IID_IUnknown || riid == IID_IDirectDraw)
        *ppv = static_cast<IDirectDraw*>(this);
    else if (riid == IID_IDirectDraw4)
        *ppv = static_cast<IDirectDraw4*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT Device::SetCooperativeLevel(HWND hWnd, DWORD dwFlags)
{
    bool bExclusive = (dwFlags & DDSCL_EXCLUSIVE) != 0;
    bool bFullscreen = (dwFlags & DDSCL_FULLSCREEN) != 0;
    bool bNormal = (dwFlags & DDSCL_NORMAL) != 0;
    if (bExclusive != bFullscreen || bNormal == bExclusive)
        return DDERR_INVALIDPARAMS;
    if (bExclusive && standin::WindowId(hWnd) == 0)
        return DDERR_INVALIDPARAMS;
    if (standin::ShouldFail("IDirectDraw4::SetCooperativeLevel"))
        return DDERR_EXCLUSIVEMODEALREADYSET;
    Display& d = D();
    if (bNormal) {
        GiveUpDisplay();
    } else {
        if (d.pOwner && d.pOwner != this)
            return DDERR_EXCLUSIVEMODEALREADYSET;
        if (d.pOwner == this && d.hWnd != hWnd)
            return DDERR_HWNDALREADYSET;
        d.pOwner = this;
        d.hWnd = hWnd;
        d.id = standin::WindowId(hWnd);
        // Taking the display brings its window to the front, where the keyboard goes.
        standin::ActivateWindow(hWnd);
    }
    m_dwLevel = dwFlags;
    return DD_OK;
}

HRESULT Device::SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP)
{
    return SetDisplayMode(dwWidth, dwHeight, dwBPP, 0, 0);
}

HRESULT Device::SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP, DWORD, DWORD dwFlags)
{
    if (!Exclusive())
        return DDERR_NOEXCLUSIVEMODE;
    // Palette modes only: the display converts through the hardware palette.
    if (dwBPP != 8 || dwWidth == 0 || dwHeight == 0 || dwWidth > kMaxSide || dwHeight > kMaxSide || dwFlags != 0)
        return DDERR_INVALIDMODE;
    if (standin::ShouldFail("IDirectDraw4::SetDisplayMode"))
        return DDERR_INVALIDMODE;
    Display& d = D();
    if (d.pPrimary)
        d.pPrimary->bLost = true;  // a mode change loses what was made for the old one
    if (!host::Current().TakeDisplay(d.id, static_cast<int>(dwWidth), static_cast<int>(dwHeight)))
        return DDERR_INVALIDMODE;
    d.nWidth = static_cast<int>(dwWidth);
    d.nHeight = static_cast<int>(dwHeight);
    d.bActive = true;
    return DD_OK;
}

HRESULT Device::RestoreDisplayMode()
{
    Display& d = D();
    if (!Exclusive() || d.nWidth == 0)
        return DD_OK;
    host::Current().ReleaseDisplay(d.id);
    d.nWidth = d.nHeight = 0;
    if (d.pPrimary)
        d.pPrimary->bLost = true;
    return DD_OK;
}

HRESULT Device::CreatePalette(DWORD dwFlags, LPPALETTEENTRY lpColorTable, LPDIRECTDRAWPALETTE* lplpPalette,
                              IUnknown* pUnkOuter)
{
    if (!lplpPalette || !lpColorTable || pUnkOuter)
        return DDERR_INVALIDPARAMS;
    *lplpPalette = nullptr;
    if (m_dwLevel == 0)
        return DDERR_NOCOOPERATIVELEVELSET;
    if (!(dwFlags & DDPCAPS_8BIT))
        return DDERR_UNSUPPORTED;  // only 256-entry palettes
    if (standin::ShouldFail("IDirectDraw4::CreatePalette"))
        return DDERR_OUTOFMEMORY;
    *lplpPalette = new Palette(this, lpColorTable);
    return DD_OK;
}

HRESULT Device::CreateSurface(LPDDSURFACEDESC2 lpDesc, IDirectDrawSurface4** lplpSurface, IUnknown* pUnkOuter)
{
    if (!lpDesc || !lplpSurface || pUnkOuter || lpDesc->dwSize != sizeof(DDSURFACEDESC2))
        return DDERR_INVALIDPARAMS;
    *lplpSurface = nullptr;
    if (m_dwLevel == 0)
        return DDERR_NOCOOPERATIVELEVELSET;
    DWORD dwCaps = (lpDesc->dwFlags & DDSD_CAPS) ? lpDesc->ddsCaps.dwCaps : 0;
    // The subset: the primary surface, alone or with one back buffer to flip with.
    if (!(dwCaps & DDSCAPS_PRIMARYSURFACE))
        return DDERR_UNSUPPORTED;
    bool bFlip = (dwCaps & DDSCAPS_FLIP) != 0;
    DWORD nBack = (lpDesc->dwFlags & DDSD_BACKBUFFERCOUNT) ? lpDesc->dwBackBufferCount : 0;
    if (bFlip != (nBack > 0) || (bFlip && !(dwCaps & DDSCAPS_COMPLEX)))
        return DDERR_INVALIDCAPS;
    if (nBack > 1)
        return DDERR_UNSUPPORTED;
    Display& d = D();
    if (!Exclusive())
        return DDERR_NOEXCLUSIVEMODE;
    if (d.nWidth == 0)
        return DDERR_UNSUPPORTED;  // the desktop's own format is not a palette one
    if (d.pPrimary)
        return DDERR_PRIMARYSURFACEALREADYEXISTS;
    if (standin::ShouldFail("IDirectDraw4::CreateSurface"))
        return DDERR_OUTOFMEMORY;

    auto* pChain = new Chain;
    pChain->pDevice = this;
    AddRef();  // objects made from a device keep it alive, as IDirectDraw4's surfaces do
    pChain->nWidth = d.nWidth;
    pChain->nHeight = d.nHeight;
    pChain->nPitch = (d.nWidth + kPitchAlign - 1) / kPitchAlign * kPitchAlign;
    pChain->dwExtraCaps = dwCaps & DDSCAPS_3DDEVICE;
    for (auto& buffer : pChain->buffers)
        buffer.assign(static_cast<size_t>(pChain->nPitch) * static_cast<size_t>(d.nHeight), 0);
    pChain->pFront = new Surface(pChain, true);
    if (bFlip)
        pChain->pBack = new Surface(pChain, false);
    d.pPrimary = pChain;
    pChain->Show();
    *lplpSurface = pChain->pFront;
    return DD_OK;
}

}  // namespace

HRESULT WINAPI DirectDrawCreate(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter)
{
    if (!lplpDD)
        return DDERR_INVALIDPARAMS;
    *lplpDD = nullptr;
    if (pUnkOuter)
        return DDERR_INVALIDPARAMS;
    if (lpGUID)
        return MAKE_DDHRESULT(561);  // DDERR_INVALIDDIRECTDRAWGUID: there is one display
    if (standin::ShouldFail("DirectDrawCreate"))
        return DDERR_NODIRECTDRAWHW;
    *lplpDD = static_cast<IDirectDraw*>(new Device);
    return DD_OK;
}

namespace standin {

bool DisplayModeSize(int& nWidth, int& nHeight)
{
    const Display& d = D();
    if (d.nWidth == 0)
        return false;
    nWidth = d.nWidth;
    nHeight = d.nHeight;
    return true;
}

void DisplayActivated(bool bActive)
{
    Display& d = D();
    if (!d.pOwner || d.nWidth == 0)
        return;
    if (!bActive && d.pPrimary)
        d.pPrimary->bLost = true;
    d.bActive = bActive;
}

void ResetDirectDraw()
{
    Display& d = D();
    if (d.id != 0 && d.nWidth != 0)
        host::Current().ReleaseDisplay(d.id);
    // The objects leak on purpose: a test may still hold pointers to them.
    d = Display();
}

}  // namespace standin
