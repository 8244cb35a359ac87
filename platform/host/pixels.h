// The one route from 8-bit palette pixels to the 32-bit pixels a display shows: the palette becomes
// a 256-entry table once per change, then each pixel is one lookup. Where the processor can look
// up 64 bytes in one instruction (AVX-512 VBMI), the table is also kept as three 256-byte planes
// and a frame goes 64 pixels at a time; elsewhere two pixels a lookup. The stand-in converts its
// windows' bitmaps this way, and a host the frames of an 8-bit display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

struct PixelTable {
    uint32_t xrgb[256] = {};  // 0x00RRGGBB
    // The same colours as planes of bytes: blue, green, red.
    uint8_t planes[3][256] = {};
    // Every pair of source pixels (first in the low byte) as two display pixels: half the
    // lookups and stores of one a pixel. Built only where the pair route converts (65536
    // entries then, none otherwise); without them each pixel is looked up in xrgb.
    std::vector<uint64_t> pairs;
};

// The table for 256 colours 0x00RRGGBB (the top byte is ignored).
void BuildPixelTable(const uint32_t* pXrgb, PixelTable& table);
// The table once its xrgb entries hold the colours.
void FinishPixelTable(PixelTable& table);

// Converts nWidth × nHeight pixels. Rows are nSrcPitch bytes and nDstPitch pixels apart (either may
// be negative, for bottom-up rows). The caller clips; nothing is checked per pixel.
void ConvertPixels(const uint8_t* pSrc, ptrdiff_t nSrcPitch, uint32_t* pDst, ptrdiff_t nDstPitch, int nWidth,
                   int nHeight, const PixelTable& table);

// Whole 8-bit frames to 32-bit ones, the table built again only when the colours change.
class FrameConverter {
public:
    // nWidth × nHeight pixels 0x00RRGGBB, rows top to bottom; valid until the next call.
    const uint32_t* Convert(const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette, int nWidth,
                            int nHeight);

private:
    PixelTable m_table;
    uint32_t m_colours[256] = {};
    bool m_bBuilt = false;
    std::vector<uint32_t> m_xrgb;
};

}  // namespace host
