// A short text over the frame for a while, where the viewer looks (F12's result): drawn on the
// window after the frame, like the pause mark, never into the frame itself; white on a darkened
// box over the frame's bottom left corner, at the frame's scale.
#pragma once

#include <map>
#include <string>

#include "platform/host/sdl/lettering.h"

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Rect;

namespace host {

class Notice {
public:
    static constexpr long kShowMs = 2000;

    ~Notice();
    // Shows text from nNowMs (wall clock) for kShowMs.
    void Say(const std::string& text, long nNowMs);
    // True while the text is to be seen.
    bool Showing(long nNowMs) const { return !m_text.empty() && nNowMs < m_nUntilMs; }
    // True once the text has gone out of time but a window still shows it: that window is to be
    // shown again without it.
    bool Stale(long nNowMs) const { return m_bOnScreen && !Showing(nNowMs); }
    // Over the frame shown at frame (nFrameWidth of its own pixels wide) on the renderer's output,
    // while showing; says whether it drew.
    bool Draw(SDL_Renderer* pRenderer, const SDL_Rect& frame, int nFrameWidth, long nNowMs);
    // The renderer goes: its texture with it.
    void Forget(SDL_Renderer* pRenderer);

private:
    struct Drawn {
        SDL_Texture* pTexture = nullptr;
        int nSerial = 0, nPixels = 0, nWidth = 0, nHeight = 0;
    };

    std::string m_text;
    int m_nSerial = 0;
    long m_nUntilMs = 0;
    bool m_bOnScreen = false;
    Lettering m_lettering;
    std::map<SDL_Renderer*, Drawn> m_drawn;
};

}  // namespace host
