#include "pixels.h"

#include <algorithm>
#include <cstring>

namespace standin {

namespace {

void BuildPairs(PixelTable& table)
{
    const uint32_t* t = table.xrgb;
    uint64_t* p = table.pairs.data();
    for (int second = 0; second < 256; ++second, p += 256) {
        uint64_t high = uint64_t{t[second]} << 32;
        for (int first = 0; first < 256; ++first)
            p[first] = high | t[first];
    }
}

}  // namespace

void BuildPixelTable(const RGBQUAD* pColours, int nColours, PixelTable& table)
{
    int n = std::clamp(nColours, 0, 256);
    for (int i = 0; i < n; ++i)
        table.xrgb[i] = (uint32_t{pColours[i].rgbRed} << 16) | (uint32_t{pColours[i].rgbGreen} << 8) |
                        pColours[i].rgbBlue;
    std::fill(table.xrgb + n, table.xrgb + 256, 0u);
    BuildPairs(table);
}

void BuildPixelTable(const PALETTEENTRY* pEntries, int nEntries, PixelTable& table)
{
    int n = std::clamp(nEntries, 0, 256);
    for (int i = 0; i < n; ++i)
        table.xrgb[i] =
            (uint32_t{pEntries[i].peRed} << 16) | (uint32_t{pEntries[i].peGreen} << 8) | pEntries[i].peBlue;
    std::fill(table.xrgb + n, table.xrgb + 256, 0u);
    BuildPairs(table);
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

void ConvertPixels(const uint8_t* pSrc, ptrdiff_t nSrcPitch, uint32_t* pDst, ptrdiff_t nDstPitch, int nWidth,
                   int nHeight, const PixelTable& table)
{
    const uint32_t* t = table.xrgb;
    const uint64_t* pairs = table.pairs.data();
    for (int y = 0; y < nHeight; ++y, pSrc += nSrcPitch, pDst += nDstPitch) {
        int x = 0;
        // Four source pixels a load, two display pixels a lookup and a store (little-endian: the
        // first pixel is the low byte and lands at the lower address).
        for (; x + 4 <= nWidth; x += 4) {
            uint32_t four;
            std::memcpy(&four, pSrc + x, 4);
            uint64_t a = pairs[four & 0xFFFF], b = pairs[four >> 16];
            std::memcpy(pDst + x, &a, 8);
            std::memcpy(pDst + x + 2, &b, 8);
        }
        for (; x < nWidth; ++x)
            pDst[x] = t[pSrc[x]];
    }
}

}  // namespace standin
