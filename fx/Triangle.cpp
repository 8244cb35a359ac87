#include "fx/Triangle.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "fx/Span.h"
#include "screen/Screen.h"

namespace {

const int kScreenW = SCREEN_WIDTH;
const int kScreenH = SCREEN_HEIGHT;
// The filler leaves the last row and the last column alone.
const int kLastRow = kScreenH - 2;
const int64_t kLastColumn = kScreenW - 2;

struct Point {
    int64_t x, y;
};

// The column of the long edge at row y1, truncated toward zero. The 64-bit product is exact for
// every pair of int differences below 2^31; beyond that, where 16.16 has long lost exactness
// anyway, a double gives a column on the same edge.
int64_t LongEdgeColumn(const Point& p0, const Point& p1, const Point& p2)
{
    const int64_t dy = p1.y - p0.y, dx = p2.x - p0.x, dyAll = p2.y - p0.y;
    int64_t product;
    if (!__builtin_mul_overflow(dy, dx, &product))
        return p0.x + product / dyAll;
    return p0.x + static_cast<int64_t>(static_cast<double>(dy) * static_cast<double>(dx) / static_cast<double>(dyAll));
}

// Rows yTop to yEnd - 1 between a left and a right edge, both given at yTop in 16.16 with their
// per-row steps. Edges are 64-bit so that no coordinate an int can hold overflows them.
void FillPart(BYTE* pScreen, int64_t yTop, int64_t yEnd, int64_t L, int64_t dL, int64_t R, int64_t dR, BYTE colour)
{
    if (yTop < 0) {
        L += -yTop * dL;
        R += -yTop * dR;
        yTop = 0;
    }
    if (yEnd >= kScreenH)
        yEnd = kLastRow + 1;
    for (int64_t y = yTop; y < yEnd; ++y, L += dL, R += dR) {
        int64_t nLeft = L >> 16;
        int64_t nRight = (R + 32768) >> 16;
        if (nLeft < 0)
            nLeft = 0;
        if (nRight > kLastColumn)
            nRight = kLastColumn;
        if (nRight >= nLeft)
            FillSpan(pScreen + y * kScreenW + nLeft, static_cast<int>(nRight - nLeft + 1), colour);
    }
}

}  // namespace

void FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, unsigned char colour)
{
    BYTE* pScreen = ScreenGetBuffer();
    if (!pScreen)
        return;
    Point p[3] = {{x0, y0}, {x1, y1}, {x2, y2}};
    if (p[0].y > p[1].y)
        std::swap(p[0], p[1]);
    if (p[1].y > p[2].y)
        std::swap(p[1], p[2]);
    if (p[0].y > p[1].y)
        std::swap(p[0], p[1]);
    if (p[2].y - p[0].y <= 0 || p[2].y < 0 || p[0].y >= kScreenH)
        return;

    const int64_t xm = LongEdgeColumn(p[0], p[1], p[2]);
    const int64_t xa = std::min(p[1].x, xm), xb = std::max(p[1].x, xm);
    const int64_t nUpper = p[1].y - p[0].y, nLower = p[2].y - p[1].y;
    if (p[1].y >= 0 && nUpper > 0)
        FillPart(pScreen, p[0].y, p[1].y, p[0].x * 65536, ((xa - p[0].x) * 65536) / nUpper, p[0].x * 65536,
                 ((xb - p[0].x) * 65536) / nUpper, colour);
    if (nLower > 0)
        FillPart(pScreen, p[1].y, p[2].y, xa * 65536, ((p[2].x - xa) * 65536) / nLower, xb * 65536,
                 ((p[2].x - xb) * 65536) / nLower, colour);
}
