// Pictures as the video encoder takes them: planar 4:2:0 (a Y plane, then U and V at half width
// and half height), with the BT.601 matrix at studio range, as ffmpeg would convert them itself.
// Converting here saves ffmpeg a conversion and the pipe two thirds of its bytes; a picture that
// comes as palette indices is converted through tables made once per palette.
#pragma once

#include <cstddef>
#include <cstdint>

namespace host {

class YuvConverter {
public:
    // The bytes of one nWidth × nHeight picture (both even).
    static size_t Size(int nWidth, int nHeight) { return size_t(nWidth) * size_t(nHeight) * 3 / 2; }

    // From pixels 0x00RRGGBB, rows top to bottom.
    void FromXrgb(const uint32_t* pXrgb, int nWidth, int nHeight, uint8_t* pOut);
    // From palette indices, rows top to bottom, and their 256 colours 0x00RRGGBB.
    void FromIndices(const uint8_t* pIndices, const uint32_t* pPalette, int nWidth, int nHeight, uint8_t* pOut);

private:
    void TakePalette(const uint32_t* pPalette);

    uint32_t m_palette[256] = {};
    bool m_bTables = false;
    uint8_t m_y[256] = {};
    // Blue-difference and red-difference values of each colour before rounding and scaling, so
    // that the four pixels of a block are summed before they are rounded, as for direct colours.
    int32_t m_u[256] = {}, m_v[256] = {};
};

}  // namespace host
