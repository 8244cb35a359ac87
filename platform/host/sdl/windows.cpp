// The SDL host's windows and their frames: each image is kept as it came (for a screenshot and the
// frame log) and uploaded to the window's texture; it shows at the next frame end or look at the
// input.
#include <SDL.h>

#include <algorithm>

#include "platform/host/sdl/pause_mark.h"
#include "platform/host/sdl/sdl_host.h"

namespace host {

bool SdlHost::OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight)
{
    Win w;
    w.pacer = FramePacer(m_pacerClock);
    m_launch.Mark(LaunchReport::kSdl);
    w.pWindow = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, std::max(1, nWidth),
                                 std::max(1, nHeight), SDL_WINDOW_HIDDEN);
    if (!w.pWindow)
        return false;
    w.pRenderer = SDL_CreateRenderer(w.pWindow, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!w.pRenderer)
        w.pRenderer = SDL_CreateRenderer(w.pWindow, -1, SDL_RENDERER_SOFTWARE);
    if (!w.pRenderer) {
        SDL_DestroyWindow(w.pWindow);
        return false;
    }
    w.nClientW = std::max(1, nWidth);
    w.nClientH = std::max(1, nHeight);
    SDL_RenderSetLogicalSize(w.pRenderer, w.nClientW, w.nClientH);
    m_windows[id] = w;
    m_bySdlId[SDL_GetWindowID(w.pWindow)] = id;
    m_launch.Mark(LaunchReport::kWindow);
    return true;
}

void SdlHost::ShowWindow(uint32_t id)
{
    if (Win* w = Find(id)) {
        w->bShown = true;
        SDL_ShowWindow(w->pWindow);
    }
}

void SdlHost::HideWindow(uint32_t id)
{
    if (Win* w = Find(id)) {
        w->bShown = false;
        if (!w->bDisplay)
            SDL_HideWindow(w->pWindow);
    }
}

void SdlHost::CloseWindow(uint32_t id)
{
    auto it = m_windows.find(id);
    if (it == m_windows.end())
        return;
    m_bySdlId.erase(SDL_GetWindowID(it->second.pWindow));
    Release(it->second);
    m_windows.erase(it);
}

void SdlHost::SetTitle(uint32_t id, const std::string& title)
{
    if (Win* w = Find(id))
        SDL_SetWindowTitle(w->pWindow, title.c_str());
}

void SdlHost::SetImage(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight)
{
    Win* w = Find(id);
    if (!w)
        return;
    w->frame.SetImage(pXrgb, nWidth, nHeight);
    Upload(*w, pXrgb, nWidth, nHeight);
}

void SdlHost::SetPalettedImage(uint32_t id, const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette,
                               int nWidth, int nHeight)
{
    Win* w = Find(id);
    if (!w || nWidth <= 0 || nHeight <= 0)
        return;
    w->frame.SetPalettedImage(pIndices, nPitch, pPalette, nWidth, nHeight);
    Upload(*w, m_converter.Convert(pIndices, nPitch, pPalette, nWidth, nHeight), nWidth, nHeight);
}

void SdlHost::EndFrame(uint32_t id)
{
    Win* w = Find(id);
    if (!w)
        return;
    m_launch.Mark(LaunchReport::kFirstFrameAsked);
    if (!w->bDisplay) {
        Show(*w);
    } else {
        w->pacer.WaitForFlip();
        Show(*w);
        w->pacer.Flipped();
        m_frameLog.Log(WallClockMs(), m_viewer.Now(), w->frame.Shown());
    }
    m_launch.Mark(LaunchReport::kFirstFramePresented);
}

void SdlHost::SetCursorVisible(bool bVisible)
{
    m_bCursorWanted = bVisible;
    UpdateCursor();
}

void SdlHost::SetMouseCapture(uint32_t, bool bCapture)
{
    SDL_CaptureMouse(bCapture ? SDL_TRUE : SDL_FALSE);
}

SdlHost::Win* SdlHost::Find(uint32_t id)
{
    auto it = m_windows.find(id);
    return it == m_windows.end() ? nullptr : &it->second;
}

// The window's texture takes the image.
void SdlHost::Upload(Win& w, const uint32_t* pXrgb, int nWidth, int nHeight)
{
    if (!w.pTexture || w.nTexW != nWidth || w.nTexH != nHeight) {
        if (w.pTexture)
            SDL_DestroyTexture(w.pTexture);
        w.pTexture =
            SDL_CreateTexture(w.pRenderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, nWidth, nHeight);
        w.nTexW = nWidth;
        w.nTexH = nHeight;
    }
    if (w.pTexture)
        SDL_UpdateTexture(w.pTexture, nullptr, pXrgb, nWidth * 4);
}

void SdlHost::Show(Win& w)
{
    w.frame.Show();
    if (!w.pTexture)
        return;
    if (w.bDisplay) {
        int nOutW = 0, nOutH = 0;
        SDL_GetRendererOutputSize(w.pRenderer, &nOutW, &nOutH);
        FitRect f = PlaceImage(m_scaling, w.nTexW, w.nTexH, nOutW, nOutH);
        SDL_Texture* pShown = w.pTexture;
        if (m_scaling == Scaling::Fit)
            pShown = Prescaled(w, f);
        SDL_SetRenderDrawColor(w.pRenderer, 0, 0, 0, 255);
        SDL_RenderClear(w.pRenderer);
        SDL_Rect dst = {f.x, f.y, f.nWidth, f.nHeight};
        SDL_RenderCopy(w.pRenderer, pShown, nullptr, &dst);
        if (m_viewer.Paused())
            DrawPauseMark(w.pRenderer, dst.x, dst.y, dst.w, w.nTexW);
        m_notice.Draw(w.pRenderer, dst, w.nTexW, WallClockMs());
    } else {
        SDL_SetRenderDrawColor(w.pRenderer, 0, 0, 0, 255);
        SDL_RenderClear(w.pRenderer);
        SDL_RenderCopy(w.pRenderer, w.pTexture, nullptr, nullptr);
        m_notice.Draw(w.pRenderer, SDL_Rect{0, 0, w.nClientW, w.nClientH}, w.nTexW, WallClockMs());
    }
    SDL_RenderPresent(w.pRenderer);
}

// A notice whose time is over leaves the windows that showed it, also where the production
// presents nothing for a while.
void SdlHost::ShowWhereNoticeIsStale()
{
    if (!m_notice.Stale(WallClockMs()))
        return;
    for (auto& entry : m_windows)
        if (entry.second.pTexture && (entry.second.bDisplay || entry.second.bShown))
            Show(entry.second);
}

// The texture that goes to the display's place in the sharp fill: the image itself where a whole
// factor reaches the place exactly (drawn with nearest neighbours: exact pixels) or where the
// place is smaller than the image (shrunk smoothly); else the image drawn with nearest neighbours
// into a texture of a whole factor at least the place's size, which the renderer then shrinks
// smoothly into the place (PrescaleFactor says why that keeps the pixels sharp). Where the renderer
// cannot draw into a texture, the image goes smoothly to its place.
SDL_Texture* SdlHost::Prescaled(Win& w, const FitRect& place)
{
    SDL_RendererInfo info = {};
    SDL_GetRendererInfo(w.pRenderer, &info);
    const int k = PrescaleFactor(w.nTexW, w.nTexH, place, info.max_texture_width, info.max_texture_height);
    const int nW = w.nTexW * k, nH = w.nTexH * k;
    const bool bExact = nW == place.nWidth && nH == place.nHeight;
    SDL_SetTextureScaleMode(w.pTexture, bExact ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    if (bExact || k == 1 || !SDL_RenderTargetSupported(w.pRenderer))
        return w.pTexture;
    if (!w.pPrescaled || w.nPreW != nW || w.nPreH != nH) {
        if (w.pPrescaled)
            SDL_DestroyTexture(w.pPrescaled);
        w.pPrescaled = SDL_CreateTexture(w.pRenderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET, nW, nH);
        w.nPreW = nW;
        w.nPreH = nH;
        if (w.pPrescaled)
            SDL_SetTextureScaleMode(w.pPrescaled, SDL_ScaleModeLinear);
    }
    if (!w.pPrescaled || SDL_SetRenderTarget(w.pRenderer, w.pPrescaled) != 0)
        return w.pTexture;
    SDL_SetTextureScaleMode(w.pTexture, SDL_ScaleModeNearest);
    SDL_RenderCopy(w.pRenderer, w.pTexture, nullptr, nullptr);
    SDL_SetRenderTarget(w.pRenderer, nullptr);
    return w.pPrescaled;
}

void SdlHost::Release(Win& w)
{
    m_notice.Forget(w.pRenderer);
    if (w.pPrescaled)
        SDL_DestroyTexture(w.pPrescaled);
    if (w.pTexture)
        SDL_DestroyTexture(w.pTexture);
    if (w.pRenderer)
        SDL_DestroyRenderer(w.pRenderer);
    if (w.pWindow)
        SDL_DestroyWindow(w.pWindow);
    w = Win();
}

}  // namespace host
