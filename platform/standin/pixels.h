// The one route from 8-bit palette pixels to the 32-bit pixels a host shows: the palette becomes
// a 256-entry table once per change, then each pixel is one lookup. Where the processor can look
// up 64 bytes in one instruction (AVX-512 VBMI), the table is also kept as three 256-byte planes
// and a frame goes 64 pixels at a time; elsewhere two pixels a lookup.
#pragma once

#include "platform/standin/below_seam.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "types.h"

namespace standin {

struct PixelTable {
    uint32_t xrgb[256] = {};  // 0x00RRGGBB
    // The same colours as planes of bytes: blue, green, red.
    uint8_t planes[3][256] = {};
    // Every pair of source pixels (first in the low byte) as two display pixels: half the
    // lookups and stores of one a pixel. Built only where the pair route converts (65536
    // entries then, none otherwise); without them each pixel is looked up in xrgb.
    std::vector<uint64_t> pairs;
};

// From a colour table (blue, green, red, reserved); entries from nColours on are black.
void BuildPixelTable(const RGBQUAD* pColours, int nColours, PixelTable& table);
// From palette entries (red, green, blue, flags).
void BuildPixelTable(const PALETTEENTRY* pEntries, int nEntries, PixelTable& table);

// A rectangle to copy, clipped against both sides: nWidth × nHeight pixels from (xSrc, ySrc) of
// the source to (xDst, yDst) of the destination. Empty when nothing is left.
struct CopyRect {
    int xDst = 0, yDst = 0, xSrc = 0, ySrc = 0, nWidth = 0, nHeight = 0;
    bool Empty() const { return nWidth <= 0 || nHeight <= 0; }
};
CopyRect ClipCopy(CopyRect rect, int nSrcWidth, int nSrcHeight, int nDstWidth, int nDstHeight);

// Converts nWidth × nHeight pixels. Rows are nSrcPitch bytes and nDstPitch pixels apart (either may
// be negative, for bottom-up rows). The caller clips; nothing is checked per pixel.
void ConvertPixels(const uint8_t* pSrc, ptrdiff_t nSrcPitch, uint32_t* pDst, ptrdiff_t nDstPitch, int nWidth,
                   int nHeight, const PixelTable& table);

}  // namespace standin
