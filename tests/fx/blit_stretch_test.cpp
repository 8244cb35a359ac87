// The masked quad against its rule, pixel by pixel, over random masks and rectangles: masks with
// few runs a row (drawn run by run), cut-up masks (merged through a coverage row), masks spread
// far wider than the screen (looked up pixel by pixel), each through every way of filling spans.
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "fx/Blit.h"
#include "fx/SpanRoutes.h"
#include "tests/fx/masked_quad_rule.h"
#include "tests/screen/screen_fixture.h"

namespace {

class BlitStretch : public WindowedScreenTest, public testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        WindowedScreenTest::SetUp();
        if (!SpanRouteAvailable(GetParam()))
            GTEST_SKIP() << "this build or processor has no route " << GetParam();
        m_nBefore = SpanSetRoute(GetParam());
    }
    void TearDown() override
    {
        if (m_nBefore >= 0)
            SpanSetRoute(m_nBefore);
        delete[] m_mask.m_pPixels;
        m_mask.m_pPixels = nullptr;
        WindowedScreenTest::TearDown();
    }

    // Shapes: 0 blobs (a few runs a row), 1 noise of the given density, 2 stripes every other
    // column (as cut up as a row can be), 3 all set, 4 none set.
    void MakeMask(int nWidth, int nHeight, int nShape, int nDensity)
    {
        delete[] m_mask.m_pPixels;
        m_mask.m_nWidth = nWidth;
        m_mask.m_nHeight = nHeight;
        m_mask.m_pPixels = new BYTE[static_cast<size_t>(nWidth) * nHeight];
        const int cx = static_cast<int>(m_random() % nWidth), cy = static_cast<int>(m_random() % nHeight);
        const int64_t r2 = (int64_t{nWidth} * nWidth + int64_t{nHeight} * nHeight) / 9;
        for (int y = 0; y < nHeight; ++y)
            for (int x = 0; x < nWidth; ++x) {
                bool bSet = false;
                switch (nShape) {
                case 0:
                    bSet = int64_t{x - cx} * (x - cx) + int64_t{y - cy} * (y - cy) < r2 || (x / 7 + y / 5) % 9 == 0;
                    break;
                case 1: bSet = static_cast<int>(m_random() % 100) < nDensity; break;
                case 2: bSet = (x + y) % 2 == 0; break;
                case 3: bSet = true; break;
                default: break;
                }
                m_mask.m_pPixels[static_cast<size_t>(y) * nWidth + x] =
                    bSet ? static_cast<BYTE>(1 + m_random() % 255) : 0;
            }
    }

    // One draw against the rule, over a screen of varied bytes.
    void Check(int nLeft, int nTop, int nRight, int nBottom)
    {
        BYTE* pScreen = ScreenGetBuffer();
        std::vector<BYTE> want(307200);
        for (int i = 0; i < 307200; ++i)
            want[i] = pScreen[i] = static_cast<BYTE>(i % 61 + 100);
        DrawMaskedQuad(&m_mask, nLeft, nTop, nRight, nBottom);
        MaskedQuadByTheRule(m_mask, want.data(), nLeft, nTop, nRight, nBottom);
        ASSERT_TRUE(std::equal(want.begin(), want.end(), pScreen))
            << m_mask.m_nWidth << "x" << m_mask.m_nHeight << " into " << nLeft << "," << nTop << "," << nRight << ","
            << nBottom;
    }

    int RandomIn(int nLow, int nHigh)
    {
        return nLow + static_cast<int>(m_random() % static_cast<unsigned>(nHigh - nLow + 1));
    }

    CImage m_mask;
    std::mt19937 m_random{12345};
    int m_nBefore = -1;
};

TEST_P(BlitStretch, RandomMasksAndRectanglesFollowTheRule)
{
    for (int nTry = 0; nTry < 300; ++nTry) {
        const int nShape = nTry % 5;
        MakeMask(RandomIn(1, nTry % 7 == 0 ? 700 : 300), RandomIn(1, 300), nShape, RandomIn(1, 99));
        // Rectangles inside, across the edges, much larger and much smaller than the screen.
        const int nSpan = nTry % 3 == 0 ? 4000 : nTry % 3 == 1 ? 700 : 60;
        const int nLeft = RandomIn(-nSpan, 640), nTop = RandomIn(-nSpan, 480);
        ASSERT_NO_FATAL_FAILURE(Check(nLeft, nTop, nLeft + RandomIn(1, 2 * nSpan), nTop + RandomIn(1, 2 * nSpan)));
    }
}

TEST_P(BlitStretch, TheDemosStretchesFollowTheRule)
{
    // An emblem-like mask growing from a point to past the screen, as the opening scene draws it.
    MakeMask(256, 256, 0, 0);
    for (int nHalf = 1; nHalf < 900; nHalf += 7)
        ASSERT_NO_FATAL_FAILURE(Check(320 - nHalf, 240 - nHalf, 320 + nHalf, 240 + nHalf));
    MakeMask(256, 256, 2, 0);
    for (int nHalf = 3; nHalf < 900; nHalf += 61)
        ASSERT_NO_FATAL_FAILURE(Check(300 - nHalf, 250 - nHalf, 300 + nHalf, 250 + nHalf));
}

TEST_P(BlitStretch, MasksFarWiderThanTheScreenAreLookedUpPixelByPixel)
{
    // 5000 mask columns onto 639 screen columns: more than a run walk takes.
    MakeMask(5000, 40, 0, 0);
    ASSERT_NO_FATAL_FAILURE(Check(0, 0, 640, 480));
    ASSERT_NO_FATAL_FAILURE(Check(-300, 5, 400, 30));
    MakeMask(5000, 3, 1, 30);
    ASSERT_NO_FATAL_FAILURE(Check(-20, -1, 700, 479));
    // Just at and just past the widest walk: the 639 visible columns sample mask columns 0 to
    // 2047 of a 4108-wide mask, and 0 to 2048 of a 4109-wide one.
    MakeMask(4108, 8, 1, 50);
    ASSERT_NO_FATAL_FAILURE(Check(0, 0, 1280, 10));
    MakeMask(4109, 8, 1, 50);
    ASSERT_NO_FATAL_FAILURE(Check(0, 0, 1280, 10));
}

TEST_P(BlitStretch, OneColumnOrRowAndTheLastOnes)
{
    MakeMask(3, 1, 3, 0);
    ASSERT_NO_FATAL_FAILURE(Check(638, 0, 639, 480));  // one column, the last one drawn
    ASSERT_NO_FATAL_FAILURE(Check(639, 0, 700, 480));  // starts at the column never drawn
    ASSERT_NO_FATAL_FAILURE(Check(0, 478, 640, 479));
    ASSERT_NO_FATAL_FAILURE(Check(0, 479, 640, 900));
    ASSERT_NO_FATAL_FAILURE(Check(-5, -5, 0, 0));
    MakeMask(1, 1, 3, 0);
    ASSERT_NO_FATAL_FAILURE(Check(-100000, -100000, 100000, 100000));
}

INSTANTIATE_TEST_SUITE_P(Routes, BlitStretch, testing::Values(SPAN_PLAIN, SPAN_AVX2, SPAN_AVX512),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == SPAN_PLAIN  ? std::string("Plain")
                                    : info.param == SPAN_AVX2 ? std::string("Avx2")
                                                              : std::string("Avx512");
                         });

}  // namespace
