// Whole 8-bit frames through the display's palette: the colours of the call, rows by their pitch.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <vector>

#include "platform/host/pixels.h"

namespace {

TEST(FrameConverter, TakesTheColoursOfEachCallAndRowsByTheirPitch)
{
    // Two rows of three pixels, five bytes apart: the two bytes past each row are never shown.
    const uint8_t indices[10] = {0, 1, 2, 9, 9, 2, 1, 0, 9, 9};
    std::vector<uint32_t> palette(256, 0x123456u);
    palette[0] = 0xFF000000u;  // the top byte is not a colour
    palette[1] = 0x00FF00u;
    palette[2] = 0x0000FFu;
    host::FrameConverter converter;
    const uint32_t* p = converter.Convert(indices, 5, palette.data(), 3, 2);
    EXPECT_EQ(std::vector<uint32_t>(p, p + 6), (std::vector<uint32_t>{0, 0x00FF00, 0x0000FF, 0x0000FF, 0x00FF00, 0}));

    // The same pixels in a fade's next palette: every pixel follows its entry.
    palette[1] = 0x008000u;
    p = converter.Convert(indices, 5, palette.data(), 3, 2);
    EXPECT_EQ(p[1], 0x008000u);
    EXPECT_EQ(p[4], 0x008000u);

    // Rows bottom-up: a negative pitch from the last row.
    p = converter.Convert(indices + 5, -5, palette.data(), 3, 2);
    EXPECT_EQ(std::vector<uint32_t>(p, p + 6), (std::vector<uint32_t>{0x0000FF, 0x008000, 0, 0, 0x008000, 0x0000FF}));
}

}  // namespace
#endif
