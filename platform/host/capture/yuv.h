// Pictures as the video encoder takes them: planar 4:2:0 (a Y plane, then U and V at half width
// and half height), with the BT.601 matrix at studio range, as ffmpeg would convert them itself.
// Converting here saves ffmpeg a conversion and the pipe two thirds of its bytes; a picture that
// comes as palette indices is converted through tables made once per palette. A picture can be
// enlarged on the way, each pixel becoming a block of nScale × nScale (nearest neighbour): the
// planes are those of the enlarged picture, made without ever making it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

class YuvConverter {
public:
    // The bytes of one nWidth × nHeight picture (both even).
    static size_t Size(int nWidth, int nHeight) { return size_t(nWidth) * size_t(nHeight) * 3 / 2; }

    // From pixels 0x00RRGGBB, rows top to bottom; pOut takes Size(nWidth·nScale, nHeight·nScale).
    void FromXrgb(const uint32_t* pXrgb, int nWidth, int nHeight, uint8_t* pOut, int nScale = 1);
    // From palette indices, rows top to bottom, and their 256 colours 0x00RRGGBB.
    void FromIndices(const uint8_t* pIndices, const uint32_t* pPalette, int nWidth, int nHeight, uint8_t* pOut,
                     int nScale = 1);

private:
    void TakePalette(const uint32_t* pPalette);
    template <typename Pixels>
    void Enlarged(const Pixels& pixels, int nWidth, int nHeight, int nScale, uint8_t* pOut);

    uint32_t m_palette[256] = {};
    bool m_bTables = false;
    uint8_t m_y[256] = {};
    // Blue-difference and red-difference values of each colour before rounding and scaling, so
    // that the four pixels of a block are summed before they are rounded, as for direct colours.
    int32_t m_u[256] = {}, m_v[256] = {};
    // An enlarged picture's: each pixel's luma and differences (pictures of pixels), the source
    // columns under each chroma sample's two columns, a source row's differences, and two source
    // rows' sums of the differences under each chroma sample.
    std::vector<uint8_t> m_pixelY;
    std::vector<int32_t> m_pixelU, m_pixelV;
    std::vector<int> m_left, m_right;
    std::vector<int32_t> m_row, m_sums;
};

}  // namespace host
