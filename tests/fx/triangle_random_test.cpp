// The triangle filler against its rule over random triangles, through every way of filling spans:
// the rows are found one way and the bytes stored another, so the rule is written out here plainly.
#include <algorithm>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "fx/SpanRoutes.h"
#include "fx/Triangle.h"
#include "tests/screen/screen_fixture.h"

namespace {

// The rule as it is stated, for points whose differences stay well inside 16.16.
void TriangleByTheRule(BYTE* pScreen, int x0, int y0, int x1, int y1, int x2, int y2, BYTE colour)
{
    int64_t p[3][2] = {{x0, y0}, {x1, y1}, {x2, y2}};
    if (p[0][1] > p[1][1])
        std::swap(p[0], p[1]);
    if (p[1][1] > p[2][1])
        std::swap(p[1], p[2]);
    if (p[0][1] > p[1][1])
        std::swap(p[0], p[1]);
    if (p[2][1] - p[0][1] <= 0 || p[2][1] < 0 || p[0][1] >= 480)
        return;
    const int64_t xm = p[0][0] + (p[1][1] - p[0][1]) * (p[2][0] - p[0][0]) / (p[2][1] - p[0][1]);
    const int64_t xa = std::min(p[1][0], xm), xb = std::max(p[1][0], xm);
    auto part = [&](int64_t yTop, int64_t yEnd, int64_t L, int64_t dL, int64_t R, int64_t dR) {
        for (int64_t y = yTop; y < yEnd; ++y, L += dL, R += dR) {
            if (y < 0 || y > 478)
                continue;
            for (int64_t x = std::max<int64_t>(L >> 16, 0); x <= std::min<int64_t>((R + 32768) >> 16, 638); ++x)
                pScreen[y * 640 + x] = colour;
        }
    };
    const int64_t nUpper = p[1][1] - p[0][1], nLower = p[2][1] - p[1][1];
    if (p[1][1] >= 0 && nUpper > 0)
        part(p[0][1], p[1][1], p[0][0] * 65536, (xa - p[0][0]) * 65536 / nUpper, p[0][0] * 65536,
             (xb - p[0][0]) * 65536 / nUpper);
    if (nLower > 0)
        part(p[1][1], p[2][1], xa * 65536, (p[2][0] - xa) * 65536 / nLower, xb * 65536,
             (p[2][0] - xb) * 65536 / nLower);
}

class TriangleRandom : public WindowedScreenTest, public testing::WithParamInterface<int> {
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
        WindowedScreenTest::TearDown();
    }
    int m_nBefore = -1;
};

TEST_P(TriangleRandom, RandomTrianglesFollowTheRule)
{
    std::mt19937 random(GetParam() + 99);
    BYTE* pScreen = ScreenGetBuffer();
    std::vector<BYTE> want(307200);
    for (int nTry = 0; nTry < 400; ++nTry) {
        // Small ones inside, large ones across the edges, slivers one or two pixels wide.
        const int nReach = nTry % 3 == 0 ? 5000 : nTry % 3 == 1 ? 800 : 40;
        const int cx = static_cast<int>(random() % 640), cy = static_cast<int>(random() % 480);
        int t[6];
        for (int i = 0; i < 6; ++i)
            t[i] = (i % 2 ? cy : cx) + static_cast<int>(random() % (2 * nReach + 1)) - nReach;
        if (nTry % 10 == 0)
            t[2] = t[0] + 1;
        for (int i = 0; i < 307200; ++i)
            want[i] = pScreen[i] = static_cast<BYTE>(i % 59 + 3);
        const BYTE colour = static_cast<BYTE>(200 + nTry % 50);
        FillTriangle(t[0], t[1], t[2], t[3], t[4], t[5], colour);
        TriangleByTheRule(want.data(), t[0], t[1], t[2], t[3], t[4], t[5], colour);
        ASSERT_TRUE(std::equal(want.begin(), want.end(), pScreen))
            << t[0] << "," << t[1] << " " << t[2] << "," << t[3] << " " << t[4] << "," << t[5];
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, TriangleRandom, testing::Values(SPAN_PLAIN, SPAN_AVX2, SPAN_AVX512),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == SPAN_PLAIN  ? std::string("Plain")
                                    : info.param == SPAN_AVX2 ? std::string("Avx2")
                                                              : std::string("Avx512");
                         });

}  // namespace
