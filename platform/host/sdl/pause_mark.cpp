#include "platform/host/sdl/pause_mark.h"

#include <SDL.h>

#include <algorithm>

namespace host {

namespace {

// Five columns by seven rows, the top row first, the leftmost column the highest of five bits.
constexpr unsigned char kGlyphs[6][7] = {
    {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},  // P
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // A
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},  // U
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E},  // S
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F},  // E
    {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E},  // D
};
// In units of the mark's own pixel: the margin from the frame's corner, the padding inside the
// box, the pause sign's bars, the gap before the word.
constexpr int kMargin = 4, kPad = 4, kBar = 2, kGap = 4, kGlyphW = 5, kGlyphH = 7;
constexpr int kWordW = 6 * (kGlyphW + 1) - 1;
constexpr int kBoxW = kPad + 3 * kBar + kGap + kWordW + kPad, kBoxH = kPad + kGlyphH + kPad;

}  // namespace

void DrawPauseMark(SDL_Renderer* pRenderer, int x, int y, int nShownWidth, int nFrameWidth)
{
    const int u = std::max(1, 2 * nShownWidth / std::max(1, nFrameWidth));
    const int x0 = x + kMargin * u, y0 = y + kMargin * u;
    auto unit = [&](int ux, int uy, int uw, int uh) { return SDL_Rect{x0 + ux * u, y0 + uy * u, uw * u, uh * u}; };
    SDL_SetRenderDrawBlendMode(pRenderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(pRenderer, 0, 0, 0, 160);
    SDL_Rect box = unit(0, 0, kBoxW, kBoxH);
    SDL_RenderFillRect(pRenderer, &box);
    SDL_SetRenderDrawColor(pRenderer, 255, 255, 255, 255);
    SDL_Rect bars[2] = {unit(kPad, kPad, kBar, kGlyphH), unit(kPad + 2 * kBar, kPad, kBar, kGlyphH)};
    SDL_RenderFillRects(pRenderer, bars, 2);
    const int xWord = kPad + 3 * kBar + kGap;
    for (int g = 0; g < 6; ++g)
        for (int row = 0; row < kGlyphH; ++row)
            for (int col = 0; col < kGlyphW; ++col)
                if (kGlyphs[g][row] & (0x10 >> col)) {
                    SDL_Rect dot = unit(xWord + g * (kGlyphW + 1) + col, kPad + row, 1, 1);
                    SDL_RenderFillRect(pRenderer, &dot);
                }
    SDL_SetRenderDrawBlendMode(pRenderer, SDL_BLENDMODE_NONE);
}

}  // namespace host
