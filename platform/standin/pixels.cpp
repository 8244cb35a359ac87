#include "pixels.h"

#include <algorithm>

namespace standin {

void BuildPixelTable(const RGBQUAD* pColours, int nColours, PixelTable& table)
{
    int n = std::clamp(nColours, 0, 256);
    for (int i = 0; i < n; ++i)
        table.xrgb[i] =
            (uint32_t{pColours[i].rgbRed} << 16) | (uint32_t{pColours[i].rgbGreen} << 8) | pColours[i].rgbBlue;
    std::fill(table.xrgb + n, table.xrgb + 256, 0u);
    host::FinishPixelTable(table);
}

void BuildPixelTable(const PALETTEENTRY* pEntries, int nEntries, PixelTable& table)
{
    int n = std::clamp(nEntries, 0, 256);
    for (int i = 0; i < n; ++i)
        table.xrgb[i] = (uint32_t{pEntries[i].peRed} << 16) | (uint32_t{pEntries[i].peGreen} << 8) | pEntries[i].peBlue;
    std::fill(table.xrgb + n, table.xrgb + 256, 0u);
    host::FinishPixelTable(table);
}

CopyRect ClipCopy(CopyRect r, int nSrcWidth, int nSrcHeight, int nDstWidth, int nDstHeight)
{
    // Moves the left (top) edge in until both sides start inside, then cuts the width (height)
    // to what both have left. 64-bit, so that no edge given overflows.
    auto clip = [](int& dst, int& src, int& len, int srcSize, int dstSize) {
        long long skip = std::max({0LL, -static_cast<long long>(dst), -static_cast<long long>(src)});
        long long d = dst + skip, s = src + skip;
        long long n = std::min({static_cast<long long>(len) - skip, dstSize - d, srcSize - s});
        dst = static_cast<int>(std::min<long long>(d, dstSize));
        src = static_cast<int>(std::min<long long>(s, srcSize));
        len = static_cast<int>(std::max(0LL, n));
    };
    clip(r.xDst, r.xSrc, r.nWidth, nSrcWidth, nDstWidth);
    clip(r.yDst, r.ySrc, r.nHeight, nSrcHeight, nDstHeight);
    if (r.Empty())
        r.nWidth = r.nHeight = 0;
    return r;
}

}  // namespace standin
