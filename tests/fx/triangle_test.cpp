// The triangle filler and the cube's faces, on a real windowed screen.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "fx/Cube.h"
#include "fx/Triangle.h"
#include "tests/screen/screen_fixture.h"

namespace {

const BYTE kBack = 0xEE;

class TriangleTest : public WindowedScreenTest {
protected:
    void SetUp() override
    {
        WindowedScreenTest::SetUp();
        m_pScreen = ScreenGetBuffer();
        ScreenClear(kBack);
        g_bZoomDone = false;
    }
    void TearDown() override
    {
        g_bZoomDone = false;
        WindowedScreenTest::TearDown();
    }

    BYTE At(int x, int y) const { return m_pScreen[y * 640 + x]; }
    int Count(BYTE value) const { return static_cast<int>(std::count(m_pScreen, m_pScreen + 307200, value)); }
    std::vector<BYTE> Snapshot() const { return std::vector<BYTE>(m_pScreen, m_pScreen + 307200); }

    // Columns [first, last] of row y hold colour and the rest of the row is the background.
    void ExpectSpan(int y, int first, int last, BYTE colour) const
    {
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(At(x, y), x >= first && x <= last ? colour : kBack) << "row " << y << " column " << x;
    }

    // Frozen where it stands, in the middle of the screen, then turned and projected.
    static void Centre(CCube& cube)
    {
        cube.m_Position.fX = cube.m_Position.fY = cube.m_Position.fZ = 0;
        g_bZoomDone = true;
        cube.Update();
        cube.Project();
    }

    BYTE* m_pScreen = nullptr;
};

TEST_F(TriangleTest, SmallTriangleNarrowsOneColumnPerRow)
{
    FillTriangle(10, 10, 20, 10, 10, 20, 5);
    for (int y = 10; y < 20; ++y)
        ExpectSpan(y, 10, 20 - (y - 10), 5);
    ExpectSpan(20, 0, -1, 5);
    EXPECT_EQ(Count(5), 11 + 10 + 9 + 8 + 7 + 6 + 5 + 4 + 3 + 2) << "the top row is filled, the bottom row is not";
}

TEST_F(TriangleTest, FlatOrOffScreenTrianglesChangeNothing)
{
    FillTriangle(0, 100, 300, 100, 600, 100, 5);
    FillTriangle(0, -50, 300, -1, 600, -20, 5);
    FillTriangle(0, 480, 300, 900, 600, 500, 5);
    EXPECT_EQ(Count(kBack), 307200);
}

TEST_F(TriangleTest, WholeScreenTriangleSparesTheLastRowAndColumn)
{
    FillTriangle(-2000, -2000, 4000, -2000, -2000, 4000, 7);
    for (int y = 0; y < 479; ++y)
        ExpectSpan(y, 0, 638, 7);
    ExpectSpan(479, 0, -1, 7);
}

TEST_F(TriangleTest, PixelsDoNotDependOnOrderOrWinding)
{
    const int tris[][6] = {{13, 7, 301, 95, 40, 411},
                           {600, -30, 20, 250, 330, 470},
                           {-90, 300, 700, 310, 320, 900},
                           {5, 5, 5, 200, 100, 5},
                           {100, 50, 300, 50, 200, 50 + 333}};
    for (const auto& t : tris) {
        ScreenClear(kBack);
        FillTriangle(t[0], t[1], t[2], t[3], t[4], t[5], 9);
        const std::vector<BYTE> want = Snapshot();
        EXPECT_GT(std::count(want.begin(), want.end(), 9), 100);
        int order[3] = {0, 1, 2};
        do {
            ScreenClear(kBack);
            const int* p[3] = {t + 2 * order[0], t + 2 * order[1], t + 2 * order[2]};
            FillTriangle(p[0][0], p[0][1], p[1][0], p[1][1], p[2][0], p[2][1], 9);
            EXPECT_TRUE(Snapshot() == want) << t[0] << "," << t[1] << " in order " << order[0] << order[1] << order[2];
        } while (std::next_permutation(order, order + 3));
    }
}

TEST_F(TriangleTest, ExtremePointsStayInsideTheFramebuffer)
{
    // Far beyond where 16.16 is exact: the shape is not defined, but the last row and column
    // stay untouched and nothing outside the framebuffer is written (the sanitizers watch).
    const int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
    const int tris[][6] = {{kMin, kMin, kMax, 0, 0, kMax},
                           {kMax, kMin, kMin, kMax, kMax, kMax},
                           {0, kMin, 639, 479, kMin, kMax},
                           {320, 240, kMax, 241, kMin, 242}};
    for (const auto& t : tris)
        FillTriangle(t[0], t[1], t[2], t[3], t[4], t[5], 3);
    for (int x = 0; x < 640; ++x)
        ASSERT_EQ(At(x, 479), kBack);
    for (int y = 0; y < 480; ++y)
        ASSERT_EQ(At(639, y), kBack);
    EXPECT_GT(Count(3), 0);
}

TEST_F(TriangleTest, CentredCubeShowsOnlyItsFrontFace)
{
    CCube cube(100.0f);
    Centre(cube);

    FillTriangle(240, 320, 400, 320, 240, 160, 119);
    for (int y = 160; y < 320; ++y)
        ExpectSpan(y, 240, y + 80, 119);

    ScreenClear(kBack);
    cube.Draw();
    for (int y = 0; y < 480; ++y)
        ExpectSpan(y, 240, y >= 160 && y < 320 ? 400 : 239, 119);
    EXPECT_EQ(Count(119), 161 * 160);
}

TEST_F(TriangleTest, TurnedCubeShadesByItsNormals)
{
    CCube cube(100.0f);
    cube.m_fAngleY = 0.6f;
    cube.m_fAngleX = 0.4f;
    Centre(cube);
    cube.Draw();
    // Three faces turn towards the eye; each gets 119 + its normal's share of facing.
    int nVisible = 0;
    for (const CubeFace& f : cube.m_Faces) {
        if (f.Normal.fRotZ >= 0)
            continue;
        ++nVisible;
        EXPECT_GT(Count(static_cast<BYTE>(119 + static_cast<int>((f.Normal.fRotZ + 1) / 2 * 8))), 500);
    }
    EXPECT_EQ(nVisible, 3);
    EXPECT_EQ(Count(kBack) + Count(119) + Count(120) + Count(121) + Count(122) + Count(123), 307200);
}

TEST_F(TriangleTest, EdgeOnAndUnprojectableFacesAreSkipped)
{
    CCube cube(100.0f);
    Centre(cube);
    // Every corner on one row: every face is seen exactly edge-on.
    for (CubeVertex& v : cube.m_Vertices)
        v.fScreenY = 200;
    cube.Draw();
    EXPECT_EQ(Count(kBack), 307200) << "a face seen exactly edge-on is not drawn";

    // Corner 2 belongs to the front face and to two faces turned away; none of them may draw.
    const float kBad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 3e9f,
                          -1e30f};
    for (float f : kBad) {
        cube.Project();
        cube.m_Vertices[2].fScreenX = f;
        ScreenClear(kBack);
        cube.Draw();
        EXPECT_EQ(Count(kBack), 307200) << f;
    }
}

TEST_F(TriangleTest, CubeReachingTheEyeDrawsOnlyWhatProjects)
{
    // Corners at and behind the eye project to infinities and NaNs, or to columns far beyond
    // any int; the faces that have them are left out and nothing else goes wrong.
    for (float fZ : {-400.0f, -450.0f, -600.0f, -399.99f}) {
        ScreenClear(kBack);
        CCube cube(100.0f);
        cube.m_Position.fX = cube.m_Position.fY = 0;
        cube.m_Position.fZ = fZ;
        g_bZoomDone = true;
        cube.Update();
        cube.Project();
        cube.Draw();
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(At(x, 479), kBack) << fZ;
    }
}

}  // namespace
