// The pixel conversion through every way the processor offers, held against one lookup a pixel:
// random colours and pixels, every row length around the 64-pixel steps, rows either way, and
// nothing outside the rectangle written.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/host/pixels.h"
#include "platform/host/pixels_routes.h"

namespace {

class PixelRoutes : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        if (!host::PixelRouteAvailable(GetParam()))
            GTEST_SKIP() << "this build or processor has no route " << GetParam();
        m_nBefore = host::PixelSetRoute(GetParam());
        ASSERT_GE(m_nBefore, 0);
    }
    void TearDown() override
    {
        if (m_nBefore >= 0)
            host::PixelSetRoute(m_nBefore);
    }

    // Converts w × h pixels of a random source into the middle of a larger destination, rows
    // bottom-up when bFlip, and checks every destination pixel.
    void Check(const host::PixelTable& table, int w, int h, bool bFlip)
    {
        const int nSrcPitch = w + 5, nDstPitch = w + 70;
        std::vector<uint8_t> src(static_cast<size_t>(nSrcPitch) * h);
        for (uint8_t& b : src)
            b = static_cast<uint8_t>(m_random());
        std::vector<uint32_t> dst(static_cast<size_t>(nDstPitch) * (h + 2), 0xA5A5A5A5u);
        const uint8_t* pFirst = bFlip ? src.data() + static_cast<size_t>(nSrcPitch) * (h - 1) : src.data();
        host::ConvertPixels(pFirst, bFlip ? -nSrcPitch : nSrcPitch, dst.data() + nDstPitch + 3, nDstPitch, w, h, table);
        for (int y = 0; y < h + 2; ++y)
            for (int x = 0; x < nDstPitch; ++x) {
                const int sx = x - 3, sy = bFlip ? h - y : y - 1;
                const bool bInside = sx >= 0 && sx < w && y >= 1 && y <= h;
                const uint32_t want = bInside ? table.xrgb[src[static_cast<size_t>(sy) * nSrcPitch + sx]] : 0xA5A5A5A5u;
                ASSERT_EQ(dst[static_cast<size_t>(y) * nDstPitch + x], want)
                    << w << " x " << h << (bFlip ? " bottom-up" : "") << " at " << x << "," << y;
            }
    }

    void RandomTable(host::PixelTable& table)
    {
        uint32_t colours[256];
        for (uint32_t& c : colours)
            c = static_cast<uint32_t>(m_random());  // the top byte is left out
        host::BuildPixelTable(colours, table);
    }

    std::mt19937 m_random{static_cast<unsigned>(GetParam() * 31 + 5)};
    int m_nBefore = -1;
};

TEST_P(PixelRoutes, EveryRowLengthAroundTheSteps)
{
    host::PixelTable table;
    RandomTable(table);
    for (int w : {1, 2, 3, 4, 5, 15, 16, 17, 63, 64, 65, 100, 127, 128, 129, 191, 192, 193, 640})
        for (bool bFlip : {false, true})
            ASSERT_NO_FATAL_FAILURE(Check(table, w, 3, bFlip));
}

TEST_P(PixelRoutes, WholeFramesWithNewColoursEachTime)
{
    host::PixelTable table;
    for (int nFrame = 0; nFrame < 4; ++nFrame) {
        RandomTable(table);
        ASSERT_NO_FATAL_FAILURE(Check(table, 640, 480, nFrame % 2 == 1));
    }
}

TEST_P(PixelRoutes, EmptyRectanglesWriteNothing)
{
    host::PixelTable table;
    RandomTable(table);
    uint8_t src[4] = {1, 2, 3, 4};
    uint32_t dst[4] = {7, 7, 7, 7};
    host::ConvertPixels(src, 4, dst, 4, 0, 1, table);
    host::ConvertPixels(src, 4, dst, 4, 4, 0, table);
    host::ConvertPixels(src, 4, dst, 4, -3, 1, table);
    for (uint32_t px : dst)
        EXPECT_EQ(px, 7u);
}

// A table built while the other way was taken, and one never built (all black), convert the
// same way.
TEST_P(PixelRoutes, TablesBuiltEitherWayConvertAlike)
{
    const int nOther = GetParam() == host::PIXEL_PAIRS ? host::PIXEL_VBMI : host::PIXEL_PAIRS;
    host::PixelTable table;
    if (host::PixelSetRoute(nOther) < 0)
        GTEST_SKIP() << "only one way on this machine";
    RandomTable(table);
    host::PixelSetRoute(GetParam());
    ASSERT_NO_FATAL_FAILURE(Check(table, 200, 5, false));
    const host::PixelTable black;
    ASSERT_NO_FATAL_FAILURE(Check(black, 70, 2, true));
}

INSTANTIATE_TEST_SUITE_P(Routes, PixelRoutes, testing::Values(host::PIXEL_PAIRS, host::PIXEL_VBMI),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == host::PIXEL_PAIRS ? std::string("Pairs") : std::string("Vbmi");
                         });

}  // namespace
#endif
