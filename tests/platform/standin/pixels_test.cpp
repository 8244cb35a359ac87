// The pixel conversion: the table, clipping against both sides, and rows walked either way.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "platform/standin/pixels.h"

namespace {

using standin::ClipCopy;
using standin::CopyRect;

TEST(PixelTable, ColourTablesAndPaletteEntriesGiveTheSamePixelsAndMissingEntriesAreBlack)
{
    RGBQUAD colours[3] = {{1, 2, 3, 9}, {0xFF, 0, 0x80, 0}, {0, 0xFF, 0, 0}};
    PALETTEENTRY entries[3] = {{3, 2, 1, 0}, {0x80, 0, 0xFF, PC_NOCOLLAPSE}, {0, 0xFF, 0, 0}};
    standin::PixelTable a, b;
    std::fill(std::begin(a.xrgb), std::end(a.xrgb), 0xDEADBEEFu);
    standin::BuildPixelTable(colours, 3, a);
    standin::BuildPixelTable(entries, 3, b);
    EXPECT_EQ(a.xrgb[0], 0x030201u) << "reserved and flags bytes never reach the pixel";
    EXPECT_EQ(a.xrgb[1], 0x8000FFu);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(a.xrgb[i], b.xrgb[i]) << i;
    EXPECT_EQ(a.xrgb[3], 0u);
    EXPECT_EQ(a.xrgb[255], 0u);
    standin::BuildPixelTable(colours, -5, a);
    EXPECT_EQ(a.xrgb[0], 0u);
}

TEST(ClipCopy, KeepsWhatBothSidesHave)
{
    CopyRect inside = ClipCopy({10, 20, 0, 0, 100, 50}, 640, 480, 640, 480);
    EXPECT_EQ(inside.nWidth, 100);
    EXPECT_EQ(inside.nHeight, 50);

    // Left and top of the destination: the source moves in by as much.
    CopyRect r = ClipCopy({-5, -7, 0, 0, 20, 20}, 640, 480, 640, 480);
    EXPECT_EQ(r.xDst, 0);
    EXPECT_EQ(r.yDst, 0);
    EXPECT_EQ(r.xSrc, 5);
    EXPECT_EQ(r.ySrc, 7);
    EXPECT_EQ(r.nWidth, 15);
    EXPECT_EQ(r.nHeight, 13);

    // Past the source's right and bottom, and a source origin left of the source.
    r = ClipCopy({0, 0, -3, 470, 640, 480}, 640, 480, 640, 480);
    EXPECT_EQ(r.xDst, 3);
    EXPECT_EQ(r.xSrc, 0);
    EXPECT_EQ(r.nWidth, 637);
    EXPECT_EQ(r.nHeight, 10);

    EXPECT_TRUE(ClipCopy({640, 0, 0, 0, 10, 10}, 640, 480, 640, 480).Empty());
    EXPECT_TRUE(ClipCopy({0, 0, 0, 0, -4, 10}, 640, 480, 640, 480).Empty());
    EXPECT_TRUE(ClipCopy({INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX, INT_MAX}, 640, 480, 640, 480).Empty());
    CopyRect huge = ClipCopy({INT_MIN, 0, 0, 0, INT_MAX, INT_MAX}, 640, 480, 640, 480);
    EXPECT_TRUE(huge.Empty()) << "the part left of the screen is longer than the source";
}

TEST(ConvertPixels, EachPixelThroughTheTableRowsEitherWayAndNothingOutsideWritten)
{
    RGBQUAD colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i ^ 0x5A), 0};
    standin::PixelTable table;
    standin::BuildPixelTable(colours, 256, table);
    // 7 × 3 source (odd width, so the four-at-a-time path and the rest both run), rows bottom-up.
    const int w = 7, h = 3;
    std::vector<uint8_t> src(w * h);
    for (int i = 0; i < w * h; ++i)
        src[i] = static_cast<uint8_t>(i * 11);
    std::vector<uint32_t> dst(9 * 5, 0xAAAAAAAAu);
    // Bottom-up: start from the last source row with a negative pitch.
    standin::ConvertPixels(src.data() + (h - 1) * w, -w, dst.data() + 9 + 1, 9, w, h, table);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x) {
            uint32_t px = dst[y * 9 + x];
            bool bInside = x >= 1 && x < 1 + w && y >= 1 && y < 1 + h;
            if (!bInside) {
                ASSERT_EQ(px, 0xAAAAAAAAu) << x << "," << y;
                continue;
            }
            int sy = h - 1 - (y - 1);
            ASSERT_EQ(px, table.xrgb[src[sy * w + (x - 1)]]) << x << "," << y;
        }
}

}  // namespace
#endif
