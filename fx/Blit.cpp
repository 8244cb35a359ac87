#include "fx/Blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

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
        std::memcpy(pScreen + (dy + r) * kScreenW + dx, pPicture->m_pPixels + (sy + r) * nW + sx, static_cast<size_t>(w));
}

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
    // Every row samples the same mask columns, so they are found once; and consecutive rows
    // often sample the same mask row, so its coverage is expanded once into a byte mask that
    // the rows then merge in whole.
    int32_t column[kScreenW];
    int64_t u = u0;
    for (int x = nLeft; x < nRight; ++x, u += du)
        column[x] = static_cast<int32_t>(u >> 16);
    BYTE cover[kScreenW];
    int64_t nCoverRow = -1;
    const int64_t nMaskW = pMask->m_nWidth;
    for (int y = nTop; y < nBottom; ++y, v += dv) {
        if ((v >> 16) != nCoverRow) {
            nCoverRow = v >> 16;
            const BYTE* pSrc = pMask->m_pPixels + nCoverRow * nMaskW;
            for (int x = nLeft; x < nRight; ++x)
                cover[x] = pSrc[column[x]] != 0 ? 0xFF : 0x00;
        }
        BYTE* pDst = pScreen + y * kScreenW;
        for (int x = nLeft; x < nRight; ++x)
            pDst[x] = static_cast<BYTE>((pDst[x] & ~cover[x]) | (kMaskColour & cover[x]));
    }
}
