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

// The pixels of an enlarged picture's source: palette indices through the tables, or each
// pixel's values worked out beforehand.
struct IndexedPixels {
    const uint8_t* pIndices;
    const uint8_t* pY;
    const int32_t *pU, *pV;
    uint8_t Y(size_t i) const { return pY[pIndices[i]]; }
    int32_t U(size_t i) const { return pU[pIndices[i]]; }
    int32_t V(size_t i) const { return pV[pIndices[i]]; }
};
struct PlanePixels {
    const uint8_t* pY;
    const int32_t *pU, *pV;
    uint8_t Y(size_t i) const { return pY[i]; }
    int32_t U(size_t i) const { return pU[i]; }
    int32_t V(size_t i) const { return pV[i]; }
};

// One source row's luma, each value nScale times (2 to 8): eight copies stored at once, each store
// overlapping the next, while the eight bytes stay inside the row; the last few byte by byte.
template <typename Pixels>
void WidenLuma(const Pixels& pixels, size_t nFirst, int nWidth, int nScale, uint8_t* pOut)
{
    // The pixels whose eight bytes fit the row.
    const int nWide = nWidth * nScale >= 8 ? (nWidth * nScale - 8) / nScale + 1 : 0;
    int x = 0;
    for (; x < nWide; ++x, pOut += nScale) {
        const uint64_t eight = 0x0101010101010101ull * pixels.Y(nFirst + size_t(x));
        std::memcpy(pOut, &eight, sizeof eight);
    }
    for (; x < nWidth; ++x, pOut += nScale)
        std::memset(pOut, pixels.Y(nFirst + size_t(x)), size_t(nScale));
}

}  // namespace

// The enlarged picture's planes. Luma: each source row widened once, then copied to the other
// rows of its blocks. Chroma: a sample covers the enlarged picture's columns 2x and 2x + 1 and rows
// 2y and 2y + 1, which lie over source columns 2x / n and (2x + 1) / n and rows likewise: one
// source pixel where n is even, two neighbours across a block's edge where n is odd. The sums of
// the two columns are made once for each source row (a chroma row needs two of them, the next
// mostly the same), and a chroma row over the same two source rows as the one before is a copy.
template <typename Pixels>
void YuvConverter::Enlarged(const Pixels& pixels, int nWidth, int nHeight, int nScale, uint8_t* pOut)
{
    const int nW = nWidth * nScale, nH = nHeight * nScale, nCw = nW / 2, nCh = nH / 2;
    uint8_t* pY = pOut;
    uint8_t* pU = pOut + size_t(nW) * size_t(nH);
    uint8_t* pV = pU + size_t(nCw) * size_t(nCh);
    for (int y = 0; y < nHeight; ++y) {
        uint8_t* pRow = pY + size_t(y) * size_t(nScale) * size_t(nW);
        WidenLuma(pixels, size_t(y) * size_t(nWidth), nWidth, nScale, pRow);
        for (int k = 1; k < nScale; ++k)
            std::memcpy(pRow + size_t(k) * size_t(nW), pRow, size_t(nW));
    }

    m_left.resize(size_t(nCw));
    m_right.resize(size_t(nCw));
    for (int x = 0; x < nCw; ++x) {
        m_left[size_t(x)] = 2 * x / nScale;
        m_right[size_t(x)] = (2 * x + 1) / nScale;
    }
    // Two source rows' column sums, U then V, each nCw long; which rows they are.
    m_sums.resize(size_t(nCw) * 4);
    m_row.resize(size_t(nWidth) * 2);
    int nHeld[2] = {-1, -1};
    auto sums = [&](int nRow) -> const int32_t* {
        const int nSlot = nHeld[0] == nRow ? 0 : nHeld[1] == nRow ? 1 : nHeld[0] < nHeld[1] ? 0 : 1;
        int32_t* pSums = m_sums.data() + size_t(nSlot) * size_t(nCw) * 2;
        if (nHeld[nSlot] != nRow) {
            nHeld[nSlot] = nRow;
            int32_t* pRowU = m_row.data();
            int32_t* pRowV = pRowU + nWidth;
            const size_t nFirst = size_t(nRow) * size_t(nWidth);
            for (int x = 0; x < nWidth; ++x) {
                pRowU[x] = pixels.U(nFirst + size_t(x));
                pRowV[x] = pixels.V(nFirst + size_t(x));
            }
            for (int x = 0; x < nCw; ++x) {
                const int l = m_left[size_t(x)], r = m_right[size_t(x)];
                pSums[x] = pRowU[l] + pRowU[r];
                pSums[nCw + x] = pRowV[l] + pRowV[r];
            }
        }
        return pSums;
    };
    int nLastTop = -1, nLastBottom = -1;
    for (int y = 0; y < nCh; ++y) {
        uint8_t* pURow = pU + size_t(y) * size_t(nCw);
        uint8_t* pVRow = pV + size_t(y) * size_t(nCw);
        const int nTop = 2 * y / nScale, nBottom = (2 * y + 1) / nScale;
        if (nTop == nLastTop && nBottom == nLastBottom) {
            std::memcpy(pURow, pURow - nCw, size_t(nCw));
            std::memcpy(pVRow, pVRow - nCw, size_t(nCw));
            continue;
        }
        nLastTop = nTop;
        nLastBottom = nBottom;
        const int32_t* pTop = sums(nTop);
        const int32_t* pBottom = sums(nBottom);
        for (int x = 0; x < nCw; ++x) {
            pURow[x] = Chroma(pTop[x] + pBottom[x]);
            pVRow[x] = Chroma(pTop[nCw + x] + pBottom[nCw + x]);
        }
    }
}

void YuvConverter::FromXrgb(const uint32_t* pXrgb, int nWidth, int nHeight, uint8_t* pOut, int nScale)
{
    if (nScale > 1) {
        const size_t n = size_t(nWidth) * size_t(nHeight);
        m_pixelY.resize(n);
        m_pixelU.resize(n);
        m_pixelV.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const uint32_t c = pXrgb[i];
            m_pixelY[i] = Luma(Red(c), Green(c), Blue(c));
            m_pixelU[i] = BlueDifference(Red(c), Green(c), Blue(c));
            m_pixelV[i] = RedDifference(Red(c), Green(c), Blue(c));
        }
        Enlarged(PlanePixels{m_pixelY.data(), m_pixelU.data(), m_pixelV.data()}, nWidth, nHeight, nScale, pOut);
        return;
    }
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
                               uint8_t* pOut, int nScale)
{
    TakePalette(pPalette);
    if (nScale > 1) {
        Enlarged(IndexedPixels{pIndices, m_y, m_u, m_v}, nWidth, nHeight, nScale, pOut);
        return;
    }
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
