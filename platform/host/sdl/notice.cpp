#include "platform/host/sdl/notice.h"

#include <SDL.h>

#include <algorithm>

namespace host {

namespace {

// In the frame's own pixels: the text's size, the margin from the frame's corner, the padding.
constexpr int kTextPixels = 12, kMargin = 4, kPad = 4;

}  // namespace

Notice::~Notice()
{
    for (auto& entry : m_drawn)
        if (entry.second.pTexture)
            SDL_DestroyTexture(entry.second.pTexture);
}

void Notice::Say(const std::string& text, long nNowMs)
{
    m_text = text;
    ++m_nSerial;
    m_nUntilMs = nNowMs + kShowMs;
}

bool Notice::Draw(SDL_Renderer* pRenderer, const SDL_Rect& frame, int nFrameWidth, long nNowMs)
{
    if (!Showing(nNowMs)) {
        m_bOnScreen = false;
        return false;
    }
    const double dScale = double(frame.w) / std::max(1, nFrameWidth);
    const int nMargin = std::max(1, int(kMargin * dScale)), nPad = std::max(1, int(kPad * dScale));
    const int nPixels = std::max(8, int(kTextPixels * dScale));
    Drawn& d = m_drawn[pRenderer];
    if (!d.pTexture || d.nSerial != m_nSerial || d.nPixels != nPixels) {
        if (d.pTexture)
            SDL_DestroyTexture(d.pTexture);
        d = Drawn();
        if (!m_lettering.Open(nPixels))
            return false;
        Mask mask = m_lettering.Draw(m_lettering.Wrap(m_text, frame.w - 2 * (nMargin + nPad)));
        d.pTexture = MaskTexture(pRenderer, mask, 255, 255, 255);
        d.nSerial = m_nSerial;
        d.nPixels = nPixels;
        d.nWidth = mask.nWidth;
        d.nHeight = mask.nHeight;
        if (!d.pTexture)
            return false;
    }
    SDL_Rect text{frame.x + nMargin + nPad, frame.y + frame.h - nMargin - nPad - d.nHeight, d.nWidth, d.nHeight};
    SDL_Rect box{text.x - nPad, text.y - nPad, text.w + 2 * nPad, text.h + 2 * nPad};
    SDL_SetRenderDrawBlendMode(pRenderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(pRenderer, 0, 0, 0, 160);
    SDL_RenderFillRect(pRenderer, &box);
    SDL_SetRenderDrawBlendMode(pRenderer, SDL_BLENDMODE_NONE);
    SDL_RenderCopy(pRenderer, d.pTexture, nullptr, &text);
    m_bOnScreen = true;
    return true;
}

void Notice::Forget(SDL_Renderer* pRenderer)
{
    auto it = m_drawn.find(pRenderer);
    if (it == m_drawn.end())
        return;
    if (it->second.pTexture)
        SDL_DestroyTexture(it->second.pTexture);
    m_drawn.erase(it);
}

}  // namespace host
