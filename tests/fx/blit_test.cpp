// The clipped copy and the masked quad, on a real windowed screen.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fx/Blit.h"
#include "tests/fx/masked_quad_rule.h"
#include "tests/screen/screen_fixture.h"

namespace {

class BlitTest : public WindowedScreenTest {
protected:
    void SetUp() override
    {
        WindowedScreenTest::SetUp();
        m_pScreen = ScreenGetBuffer();
        ScreenClear(0xEE);
    }

    // A picture whose pixel (x, y) is (x + 3y) % 200 + 1: never 0, never the screen's 0xEE.
    void MakePicture(CImage& image, int nWidth, int nHeight)
    {
        image.m_nWidth = nWidth;
        image.m_nHeight = nHeight;
        image.m_pPixels = new BYTE[static_cast<size_t>(nWidth) * nHeight];
        for (int y = 0; y < nHeight; ++y)
            for (int x = 0; x < nWidth; ++x)
                image.m_pPixels[y * nWidth + x] = static_cast<BYTE>((x + 3 * y) % 200 + 1);
    }

    BYTE At(int x, int y) const { return m_pScreen[y * 640 + x]; }
    static BYTE Pic(int x, int y) { return static_cast<BYTE>((x + 3 * y) % 200 + 1); }

    int CountNot(BYTE value) const
    {
        int n = 0;
        for (int i = 0; i < 307200; ++i)
            n += m_pScreen[i] != value;
        return n;
    }

    BYTE* m_pScreen = nullptr;
};

TEST_F(BlitTest, ClippedAtTheTopLeftAndBottomRight)
{
    CImage picture;
    MakePicture(picture, 100, 100);
    DrawImageClipped(-10, -10, &picture);
    EXPECT_EQ(At(0, 0), Pic(10, 10));
    EXPECT_EQ(At(89, 89), Pic(99, 99));
    EXPECT_EQ(At(90, 0), 0xEE);
    EXPECT_EQ(CountNot(0xEE), 90 * 90);

    ScreenClear(0xEE);
    DrawImageClipped(600, 450, &picture);
    EXPECT_EQ(At(600, 450), Pic(0, 0));
    EXPECT_EQ(At(639, 479), Pic(39, 29)) << "the copy reaches the last column and row";
    EXPECT_EQ(CountNot(0xEE), 40 * 30);
}

TEST_F(BlitTest, WhollyOffScreenDrawsNothing)
{
    CImage picture;
    MakePicture(picture, 100, 100);
    for (auto pos : {std::make_pair(640, 0), std::make_pair(-100, 0), std::make_pair(0, 480), std::make_pair(0, -100)})
        DrawImageClipped(pos.first, pos.second, &picture);
    EXPECT_EQ(CountNot(0xEE), 0);
    CImage empty;
    DrawImageClipped(0, 0, &empty);
    DrawMaskedQuad(&empty, 0, 0, 640, 480);
    EXPECT_EQ(CountNot(0xEE), 0) << "a record without pixels draws nothing";
}

TEST_F(BlitTest, WidePictureShowsItsMiddle)
{
    CImage picture;
    MakePicture(picture, 1000, 10);
    DrawImageClipped(-100, 0, &picture);
    EXPECT_EQ(At(0, 0), Pic(100, 0));
    EXPECT_EQ(At(639, 9), Pic(739, 9));
}

TEST_F(BlitTest, MaskedQuadRepeatsAndSkipsMaskPixels)
{
    CImage mask;
    mask.m_nWidth = mask.m_nHeight = 2;
    mask.m_pPixels = new BYTE[4]{9, 0, 0, 9};
    DrawMaskedQuad(&mask, 0, 0, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(At(x, y), (x < 2) == (y < 2) ? 63 : 0xEE) << x << "," << y;

    ScreenClear(0xEE);
    DrawMaskedQuad(&mask, 0, 0, 4, 0);
    DrawMaskedQuad(&mask, 5, 0, 5, 4);
    EXPECT_EQ(CountNot(0xEE), 0);
}

TEST_F(BlitTest, MaskedQuadStepsFromTheUnclippedRectangle)
{
    CImage mask;
    mask.m_nWidth = 100;
    mask.m_nHeight = 1;
    mask.m_pPixels = new BYTE[100]();
    mask.m_pPixels[5] = 1;  // only column 5 is set
    DrawMaskedQuad(&mask, -10, 0, 190, 1);
    EXPECT_EQ(At(0, 0), 63) << "screen column 0 shows mask column 5";
    EXPECT_EQ(At(1, 0), 63) << "each mask column covers two screen columns";
    EXPECT_EQ(At(2, 0), 0xEE);
}

TEST_F(BlitTest, MaskedQuadNeverWritesTheLastColumnOrRow)
{
    CImage mask;
    MakePicture(mask, 64, 48);
    DrawMaskedQuad(&mask, 0, 0, 640, 480);
    EXPECT_EQ(At(638, 478), 63);
    EXPECT_EQ(At(639, 0), 0xEE);
    EXPECT_EQ(At(0, 479), 0xEE);
    EXPECT_EQ(CountNot(0xEE), 639 * 479);
    DrawMaskedQuad(&mask, -100000, -100000, 100000, 100000);
    EXPECT_EQ(At(639, 479), 0xEE);
}

TEST_F(BlitTest, MaskedQuadMatchesItsRuleAtEveryScale)
{
    CImage mask;
    MakePicture(mask, 37, 23);
    for (int i = 0; i < 37 * 23; ++i)
        mask.m_pPixels[i] = (i * 7919 % 5 == 0) ? 0 : mask.m_pPixels[i];  // scattered holes
    const int rects[][4] = {{0, 0, 640, 480},  {-50, -20, 700, 530},  {100, 100, 137, 123}, {10, 300, 20, 305},
                            {-1000, 5, 30, 6}, {600, 450, 2000, 900}, {3, 3, 620, 7},       {320, -300, 321, 470}};
    std::vector<BYTE> want(307200);
    for (const auto& r : rects) {
        for (int i = 0; i < 307200; ++i)
            want[i] = m_pScreen[i] = static_cast<BYTE>(i % 61 + 100);
        DrawMaskedQuad(&mask, r[0], r[1], r[2], r[3]);
        MaskedQuadByTheRule(mask, want.data(), r[0], r[1], r[2], r[3]);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), m_pScreen))
            << r[0] << "," << r[1] << "," << r[2] << "," << r[3];
    }
}

}  // namespace
