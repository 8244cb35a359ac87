#include "fx/Blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fx/Span.h"
#include "screen/Screen.h"

namespace {

const int kScreenW = SCREEN_WIDTH;
const int kScreenH = SCREEN_HEIGHT;
const BYTE kMaskColour = 63;

bool HasPixels(const CImage* p)
{
    return p && p->m_pPixels && p->m_nWidth > 0 && p->m_nHeight > 0;
}

}  // namespace

void DrawImageClipped(int x, int y, CImage* pPicture)
{
    BYTE* pScreen = ScreenGetBuffer();
    if (!pScreen || !HasPixels(pPicture))
        return;
    const int64_t nW = pPicture->m_nWidth, nH = pPicture->m_nHeight;
    if (x >= kScreenW || (x < 0 && -int64_t{x} >= nW) || y >= kScreenH || (y < 0 && -int64_t{y} >= nH))
        return;
    const int dx = std::max(x, 0), dy = std::max(y, 0);
    const int64_t sx = dx - int64_t{x}, sy = dy - int64_t{y};
    const int w = static_cast<int>(std::min<int64_t>(x + nW, kScreenW) - dx);
    const int h = static_cast<int>(std::min<int64_t>(y + nH, kScreenH) - dy);
    for (int r = 0; r < h; ++r)
        std::memcpy(pScreen + (dy + r) * kScreenW + dx, pPicture->m_pPixels + (sy + r) * nW + sx,
                    static_cast<size_t>(w));
}

namespace {

// Rows and columns of the screen against the mask, once the rectangle is clipped: screen columns
// nLeft to nRight - 1 sample mask columns (u0 + (x - nLeft) * du) >> 16, rows nTop to nBottom - 1
// sample mask rows (v0 + (y - nTop) * dv) >> 16.
struct Stretch {
    int nLeft, nTop, nRight, nBottom;
    int64_t u0, du, v0, dv;
};

// The mask column each screen column samples.
void SampleColumns(const Stretch& s, int32_t* pColumn)
{
    int64_t u = s.u0;
    for (int x = s.nLeft; x < s.nRight; ++x, u += s.du)
        pColumn[x] = static_cast<int32_t>(u >> 16);
}

// The other way round, for the nColumns mask columns from nFirst on: pFirstX[c] is the first
// screen column whose sample is nFirst + c or beyond, and pFirstX[nColumns] is nRight. Screen
// columns pFirstX[a] to pFirstX[b] - 1 are then exactly those that sample mask columns a to b - 1
// (none, when the stretch skips them all).
void FirstColumns(const Stretch& s, int64_t nFirst, int nColumns, int* pFirstX)
{
    pFirstX[nColumns] = s.nRight;
    if (s.du <= 65536) {
        // Neighbouring columns sample the same mask column or the next one, so every mask column
        // is sampled; walking from the right, the last column to write an entry is its first.
        int64_t u = s.u0 + (s.nRight - 1 - s.nLeft) * s.du;
        for (int x = s.nRight - 1; x >= s.nLeft; --x, u -= s.du)
            pFirstX[(u >> 16) - nFirst] = x;
        return;
    }
    int c = 0;
    int64_t u = s.u0;
    for (int x = s.nLeft; x < s.nRight; ++x, u += s.du) {
        const int nSample = static_cast<int>((u >> 16) - nFirst);
        while (c <= nSample)
            pFirstX[c++] = x;
    }
}

// The first column from c on whose bit is set (or, with bInvert, clear), or nColumns.
int NextBit(const uint64_t* pBits, int c, int nColumns, bool bInvert)
{
    if (c >= nColumns)
        return nColumns;
    const uint64_t nFlip = bInvert ? ~0ull : 0ull;
    const int nWords = (nColumns + 63) >> 6;
    int k = c >> 6;
    uint64_t w = (pBits[k] ^ nFlip) & (~0ull << (c & 63));
    while (w == 0) {
        if (++k >= nWords)
            return nColumns;
        w = pBits[k] ^ nFlip;
    }
    return std::min(k * 64 + __builtin_ctzll(w), nColumns);
}

// Screen columns [nStart, nEnd) of a row that become the mask colour.
struct ScreenRun {
    int nStart, nEnd;
};

// The runs of set bits as the screen columns that sample them, runs that meet on the screen
// joined; pRuns has room for one screen run per run of bits.
int FindRuns(const uint64_t* pBits, int nColumns, const int* pFirstX, ScreenRun* pRuns)
{
    int nRuns = 0;
    for (int a = NextBit(pBits, 0, nColumns, false); a < nColumns;) {
        const int b = NextBit(pBits, a, nColumns, true);
        const int nStart = pFirstX[a], nEnd = pFirstX[b];
        if (nStart < nEnd) {
            if (nRuns > 0 && pRuns[nRuns - 1].nEnd == nStart)
                pRuns[nRuns - 1].nEnd = nEnd;
            else
                pRuns[nRuns++] = {nStart, nEnd};
        }
        a = NextBit(pBits, b, nColumns, false);
    }
    return nRuns;
}

// The widest stretch of mask columns that the visible columns may sample for the runs to be
// looked for; masks spread wider than that over the rectangle go pixel by pixel throughout.
const int kMaxRunColumns = 2048;
// A mask row with more runs than this goes pixel by pixel: a coverage row merged in whole costs
// the same however the mask is cut up. (Counted in the mask: on the screen there can only be
// fewer, where runs are skipped or meet.)
const int kMaxFilledRuns = 32;

// Each mask row that some screen row samples is looked at once. As runs of set pixels, when it
// has few: the screen rows that sample it fill those runs and write nothing else. Otherwise as a
// coverage row of 0xFF and 0 per screen column, which those screen rows merge in whole.
void DrawMaskedRows(const CImage* pMask, BYTE* pScreen, const Stretch& s)
{
    const int64_t nFirst = s.u0 >> 16;
    const int64_t nSpread = ((s.u0 + (s.nRight - 1 - s.nLeft) * s.du) >> 16) - nFirst + 1;
    const bool bRuns = nSpread <= kMaxRunColumns;
    const int nColumns = bRuns ? static_cast<int>(nSpread) : 0;
    int firstX[kMaxRunColumns + 1];
    if (bRuns)
        FirstColumns(s, nFirst, nColumns, firstX);
    int32_t column[kScreenW];
    bool bSampled = false;
    uint64_t bits[kMaxRunColumns / 64];
    ScreenRun runs[kMaxFilledRuns];
    BYTE cover[kScreenW];
    int nRuns = 0;
    bool bCover = false;
    int64_t nMaskRow = -1, v = s.v0;
    const int64_t nMaskW = pMask->m_nWidth;
    for (int y = s.nTop; y < s.nBottom; ++y, v += s.dv) {
        if ((v >> 16) != nMaskRow) {
            nMaskRow = v >> 16;
            const BYTE* pSrc = pMask->m_pPixels + nMaskRow * nMaskW;
            bCover = true;
            if (bRuns) {
                bCover = MarkNonZeroBytes(pSrc + nFirst, nColumns, bits) > kMaxFilledRuns;
                if (!bCover)
                    nRuns = FindRuns(bits, nColumns, firstX, runs);
            }
            if (bCover) {
                if (!bSampled) {
                    SampleColumns(s, column);
                    bSampled = true;
                }
                for (int x = s.nLeft; x < s.nRight; ++x)
                    cover[x] = pSrc[column[x]] != 0 ? 0xFF : 0x00;
            }
        }
        BYTE* pRow = pScreen + y * kScreenW;
        if (bCover) {
            BlendSpan(pRow + s.nLeft, cover + s.nLeft, s.nRight - s.nLeft, kMaskColour);
            continue;
        }
        for (int i = 0; i < nRuns; ++i)
            FillSpan(pRow + runs[i].nStart, runs[i].nEnd - runs[i].nStart, kMaskColour);
    }
}

}  // namespace

// 16.16 steps through the mask, from the whole unclipped rectangle, so the whole mask always
// spreads over the whole rectangle. The limits stop at column 638 and row 478.
void DrawMaskedQuad(CImage* pMask, int nLeft, int nTop, int nRight, int nBottom)
{
    BYTE* pScreen = ScreenGetBuffer();
    if (!pScreen || !HasPixels(pMask) || nRight <= nLeft || nBottom <= nTop)
        return;
    const int64_t du = (int64_t{pMask->m_nWidth} * 65536) / (int64_t{nRight} - nLeft);
    const int64_t dv = (int64_t{pMask->m_nHeight} * 65536) / (int64_t{nBottom} - nTop);
    if (nRight < 0 || nLeft >= kScreenW || nBottom < 0 || nTop >= kScreenH)
        return;
    int64_t u0 = 0, v = 0;
    if (nLeft < 0) {
        u0 = -int64_t{nLeft} * du;
        nLeft = 0;
    }
    if (nRight >= kScreenW)
        nRight = kScreenW - 1;
    if (nTop < 0) {
        v = -int64_t{nTop} * dv;
        nTop = 0;
    }
    if (nBottom >= kScreenH)
        nBottom = kScreenH - 1;
    if (nLeft >= nRight || nTop >= nBottom)
        return;
    DrawMaskedRows(pMask, pScreen, Stretch{nLeft, nTop, nRight, nBottom, u0, du, v, dv});
}
