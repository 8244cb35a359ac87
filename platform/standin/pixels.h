// The stand-in's side of showing 8-bit pixels: colour tables and palette entries as the display's
// pixel table (the conversion itself is the display's, platform/host/pixels.h), and the clipping of
// a copy between two rectangles.
#pragma once

#include "platform/standin/below_seam.h"

#include "platform/host/pixels.h"
#include "types.h"

namespace standin {

using host::ConvertPixels;
using host::PixelTable;

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

}  // namespace standin
