#include "platform/host/capture/yuv.h"

#include <cstring>

namespace host {

namespace {

// BT.601 at studio range in 8.8 fixed point: Y from 16 to 235, U and V from 16 to 240 about 128.
inline uint8_t Luma(int r, int g, int b)
{
    return static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}
inline int32_t BlueDifference(int r, int g, int b)
{
    return -38 * r - 74 * g + 112 * b;
}
inline int32_t RedDifference(int r, int g, int b)
{
    return 112 * r - 94 * g - 18 * b;
}
// The chroma of a 2 × 2 block from the sum of its four differences: their mean, rounded.
inline uint8_t Chroma(int32_t nSum)
{
    return static_cast<uint8_t>(((nSum + 512) >> 10) + 128);
}

inline int Red(uint32_t c)
{
    return int((c >> 16) & 0xFF);
}
inline int Green(uint32_t c)
{
    return int((c >> 8) & 0xFF);
}
inline int Blue(uint32_t c)
{
    return int(c & 0xFF);
}

}  // namespace

void YuvConverter::FromXrgb(const uint32_t* pXrgb, int nWidth, int nHeight, uint8_t* pOut)
{
    uint8_t* pY = pOut;
    uint8_t* pU = pOut + size_t(nWidth) * size_t(nHeight);
    uint8_t* pV = pU + size_t(nWidth / 2) * size_t(nHeight / 2);
    for (int y = 0; y < nHeight; y += 2) {
        const uint32_t* pTop = pXrgb + size_t(y) * size_t(nWidth);
        const uint32_t* pBottom = pTop + nWidth;
        uint8_t* pYTop = pY + size_t(y) * size_t(nWidth);
        uint8_t* pYBottom = pYTop + nWidth;
        uint8_t* pURow = pU + size_t(y / 2) * size_t(nWidth / 2);
        uint8_t* pVRow = pV + size_t(y / 2) * size_t(nWidth / 2);
        for (int x = 0; x < nWidth; x += 2) {
            const uint32_t a = pTop[x], b = pTop[x + 1], c = pBottom[x], d = pBottom[x + 1];
            pYTop[x] = Luma(Red(a), Green(a), Blue(a));
            pYTop[x + 1] = Luma(Red(b), Green(b), Blue(b));
            pYBottom[x] = Luma(Red(c), Green(c), Blue(c));
            pYBottom[x + 1] = Luma(Red(d), Green(d), Blue(d));
            const int r = Red(a) + Red(b) + Red(c) + Red(d);
            const int g = Green(a) + Green(b) + Green(c) + Green(d);
            const int bl = Blue(a) + Blue(b) + Blue(c) + Blue(d);
            pURow[x / 2] = Chroma(BlueDifference(r, g, bl));
            pVRow[x / 2] = Chroma(RedDifference(r, g, bl));
        }
    }
}

void YuvConverter::TakePalette(const uint32_t* pPalette)
{
    if (m_bTables && std::memcmp(m_palette, pPalette, sizeof m_palette) == 0)
        return;
    std::memcpy(m_palette, pPalette, sizeof m_palette);
    for (int i = 0; i < 256; ++i) {
        const uint32_t c = m_palette[i];
        m_y[i] = Luma(Red(c), Green(c), Blue(c));
        m_u[i] = BlueDifference(Red(c), Green(c), Blue(c));
        m_v[i] = RedDifference(Red(c), Green(c), Blue(c));
    }
    m_bTables = true;
}

void YuvConverter::FromIndices(const uint8_t* pIndices, const uint32_t* pPalette, int nWidth, int nHeight,
                               uint8_t* pOut)
{
    TakePalette(pPalette);
    uint8_t* pY = pOut;
    uint8_t* pU = pOut + size_t(nWidth) * size_t(nHeight);
    uint8_t* pV = pU + size_t(nWidth / 2) * size_t(nHeight / 2);
    for (int y = 0; y < nHeight; y += 2) {
        const uint8_t* pTop = pIndices + size_t(y) * size_t(nWidth);
        const uint8_t* pBottom = pTop + nWidth;
        uint8_t* pYTop = pY + size_t(y) * size_t(nWidth);
        uint8_t* pYBottom = pYTop + nWidth;
        uint8_t* pURow = pU + size_t(y / 2) * size_t(nWidth / 2);
        uint8_t* pVRow = pV + size_t(y / 2) * size_t(nWidth / 2);
        for (int x = 0; x < nWidth; x += 2) {
            const uint8_t a = pTop[x], b = pTop[x + 1], c = pBottom[x], d = pBottom[x + 1];
            pYTop[x] = m_y[a];
            pYTop[x + 1] = m_y[b];
            pYBottom[x] = m_y[c];
            pYBottom[x + 1] = m_y[d];
            pURow[x / 2] = Chroma(m_u[a] + m_u[b] + m_u[c] + m_u[d]);
            pVRow[x / 2] = Chroma(m_v[a] + m_v[b] + m_v[c] + m_v[d]);
        }
    }
}

}  // namespace host
