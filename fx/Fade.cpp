#include "fx/Fade.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "screen/Screen.h"

namespace {

// Source colours as blue, green, red, reserved; a picture without a table fades from black.
void TakeColours(const CImage* pPicture, BYTE* pSource)
{
    if (pPicture && pPicture->m_pPalette)
        std::memcpy(pSource, pPicture->m_pPalette, 256 * 4);
    else
        std::memset(pSource, 0, 256 * 4);
}

// The picture is copied as one block, but never past the framebuffer.
void CopyPicture(const CImage* pPicture)
{
    BYTE* pScreen = ScreenGetBuffer();
    if (!pScreen || !pPicture || !pPicture->m_pPixels || pPicture->m_nWidth <= 0 || pPicture->m_nHeight <= 0)
        return;
    int64_t nBytes = int64_t{pPicture->m_nWidth} * pPicture->m_nHeight;
    int64_t nScreen = int64_t{ScreenGetWidth()} * ScreenGetHeight();
    std::memcpy(pScreen, pPicture->m_pPixels, static_cast<size_t>(std::min(nBytes, nScreen)));
}

// One frame loop: the palette is the source scaled by f (in) or 1 - f (out), truncated.
void Fade(const CImage* pPicture, const BYTE* pFixedSource, bool bIn, float fSeconds)
{
    int nStart = static_cast<int>(ClockMs());
    float f = 0.0f;
    bool bDone = false;
    BYTE source[256 * 4];
    BYTE out[256 * 4];
    while (!bDone && !g_bQuit) {
        if (pFixedSource)
            std::memcpy(source, pFixedSource, sizeof source);
        else
            TakeColours(pPicture, source);
        ScalePalette(source, bIn ? static_cast<double>(f) : 1.0 - static_cast<double>(f), out);
        ScreenSetPalette(out);
        if (pPicture && f == 0.0f)
            CopyPicture(pPicture);
        ScreenUpdate();
        ScreenPumpMessages();
        int nElapsed = std::abs(static_cast<int>(ClockMs()) - nStart);
        f = static_cast<float>(nElapsed / 1000.0 / fSeconds);
        if (f > 1.0f)
            bDone = true;
    }
}

}  // namespace

void ScalePalette(const BYTE* pSource, double dScale, BYTE* pOut)
{
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c)
            pOut[i * 4 + c] = static_cast<BYTE>(static_cast<int>(pSource[i * 4 + c] * dScale));
        pOut[i * 4 + 3] = 0;
    }
}

void FadeInImage(CImage* pPicture, float fSeconds)
{
    Fade(pPicture, nullptr, true, fSeconds);
}

void FadeOutImage(CImage* pPicture, float fSeconds)
{
    Fade(pPicture, nullptr, false, fSeconds);
}

void FadeOutScreen(float fSeconds)
{
    // Taken once: the fade's own palettes land in g_Palette and must not feed back.
    BYTE source[256 * 4];
    std::memcpy(source, g_Palette, sizeof source);
    Fade(nullptr, source, false, fSeconds);
}
