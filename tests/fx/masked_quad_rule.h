// The masked quad's rule as it is stated, one pixel at a time, for comparing the drawing against:
// every pixel of the rectangle (clipped to all but the screen's last row and column) takes colour
// 63 where the mask's pixel it samples is not 0.
#pragma once

#include <algorithm>
#include <cstdint>

#include "image/Image.h"
#include "platform/win32.h"

inline void MaskedQuadByTheRule(const CImage& mask, BYTE* pScreen, int nLeft, int nTop, int nRight, int nBottom)
{
    if (nRight <= nLeft || nBottom <= nTop)
        return;
    const int64_t du = int64_t{mask.m_nWidth} * 65536 / (int64_t{nRight} - nLeft);
    const int64_t dv = int64_t{mask.m_nHeight} * 65536 / (int64_t{nBottom} - nTop);
    for (int y = std::max(nTop, 0); y < std::min(nBottom, 479); ++y)
        for (int x = std::max(nLeft, 0); x < std::min(nRight, 639); ++x) {
            const int64_t u = (x - int64_t{nLeft}) * du, v = (y - int64_t{nTop}) * dv;
            if (mask.m_pPixels[(v >> 16) * mask.m_nWidth + (u >> 16)] != 0)
                pScreen[y * 640 + x] = 63;
        }
}
