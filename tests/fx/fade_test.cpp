// The fades, driven by the headless clock: every present moves it on by a set step.
#ifndef _WIN32
#include <cstring>

#include "fx/Fade.h"
#include "tests/screen/screen_fixture.h"

namespace {

class FadeTest : public WindowedScreenTest {
protected:
    void SetUp() override
    {
        WindowedScreenTest::SetUp();
        m_picture.m_nWidth = 640;
        m_picture.m_nHeight = 480;
        m_picture.m_pPixels = new BYTE[307200];
        std::memset(m_picture.m_pPixels, 5, 307200);
        m_picture.m_pPalette = new RGBQUAD[256]();
        m_picture.m_pPalette[5] = {50, 100, 200, 0};  // blue, green, red
        m_pHost->ClearFrames();
        m_nPresents = m_pHost->FrameCount();
    }

    uint32_t FramePixel(size_t nFrame) const { return m_pHost->Frames().at(nFrame).pixels[1000]; }
    size_t Presents() const { return m_pHost->FrameCount() - m_nPresents; }
    static uint32_t Rgb(int r, int g, int b) { return static_cast<uint32_t>(r << 16 | g << 8 | b); }

    CImage m_picture;
    size_t m_nPresents = 0;
};

TEST_F(FadeTest, AQuarterOfTheWayIn)
{
    m_pHost->SetFrameStep(250);
    FadeInImage(&m_picture, 1.0f);
    ASSERT_EQ(Presents(), 5u) << "f = 0, 0.25, 0.5, 0.75 and 1";
    EXPECT_EQ(FramePixel(0), 0u) << "the picture arrives under a black palette";
    EXPECT_EQ(FramePixel(1), Rgb(50, 25, 12));
    EXPECT_EQ(FramePixel(4), Rgb(200, 100, 50));
}

TEST_F(FadeTest, AQuarterOfTheWayOut)
{
    m_pHost->SetFrameStep(250);
    FadeOutImage(&m_picture, 1.0f);
    EXPECT_EQ(FramePixel(0), Rgb(200, 100, 50));
    EXPECT_EQ(FramePixel(1), Rgb(150, 75, 37));

    ScreenSetPalette(reinterpret_cast<const BYTE*>(m_picture.m_pPalette));
    m_pHost->ClearFrames();
    FadeOutScreen(1.0f);
    EXPECT_EQ(FramePixel(0), Rgb(200, 100, 50));
    EXPECT_EQ(FramePixel(1), Rgb(150, 75, 37)) << "the source is taken once, not from the palette just set";
    EXPECT_EQ(g_Palette[5 * 4 + 2], 0);
}

TEST_F(FadeTest, FirstTimeAlreadyPastTheEndGivesOneFrame)
{
    m_pHost->SetFrameStep(5000);
    FadeInImage(&m_picture, 1.0f);
    EXPECT_EQ(Presents(), 1u);
    EXPECT_EQ(g_Palette[5 * 4 + 2], 0) << "the palette stays black";
    FadeOutImage(&m_picture, 1.0f);
    EXPECT_EQ(Presents(), 2u);
    EXPECT_EQ(g_Palette[5 * 4 + 2], 200) << "the palette stays unchanged";
}

// Reads 0 at the start and at the first frame's end, then jumps past the end of the fade.
long StandingThenJumping()
{
    static int s_nCalls = 0;
    return s_nCalls++ < 2 ? 0 : 10000;
}

TEST_F(FadeTest, AStandingClockCopiesThePictureAgain)
{
    ClockSetSource(StandingThenJumping);
    FadeInImage(&m_picture, 1.0f);
    ClockSetSource(nullptr);
    EXPECT_EQ(Presents(), 2u) << "f stays 0 on the second frame";
    std::memset(ScreenGetBuffer(), 0, 307200);
    // Had the second frame not copied, the screen would have been left as the first drew it;
    // the copy happens on both frames whose f is exactly 0, after the palette is set.
    EXPECT_EQ(FramePixel(1), 0u) << "the second frame is still black";
}

TEST_F(FadeTest, QuitOnEntryPresentsNothing)
{
    g_bQuit = true;
    FadeInImage(&m_picture, 1.0f);
    FadeOutImage(&m_picture, 1.0f);
    FadeOutScreen(1.0f);
    EXPECT_EQ(Presents(), 0u);
}

TEST_F(FadeTest, FadeOutStartsWhereTheFadeInEnded)
{
    m_pHost->SetFrameStep(300);
    FadeInImage(&m_picture, 1.0f);
    uint32_t nLast = FramePixel(m_pHost->Frames().size() - 1);
    m_pHost->ClearFrames();
    FadeOutScreen(1.0f);
    EXPECT_EQ(FramePixel(0), nLast);
}

TEST_F(FadeTest, OversizedPictureIsCopiedOnlyAsFarAsTheFramebuffer)
{
    CImage tall;
    tall.m_nWidth = 640;
    tall.m_nHeight = 960;
    tall.m_pPixels = new BYTE[640 * 960];
    std::memset(tall.m_pPixels, 9, 640 * 960);
    m_pHost->SetFrameStep(5000);
    FadeInImage(&tall, 1.0f);  // under the sanitizers an overrun would be reported here
    EXPECT_EQ(ScreenGetBuffer()[307199], 9);
}

}  // namespace
#endif
