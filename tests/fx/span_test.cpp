// The row loops under the filler and the masked quad, every way the processor offers held against
// plain byte-by-byte rules: every length and start, and nothing written outside the run.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "fx/Span.h"
#include "fx/SpanRoutes.h"

namespace {

// Each way this machine can fill spans, with the start-up choice put back afterwards.
class SpanRoutes : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        if (!SpanRouteAvailable(GetParam()))
            GTEST_SKIP() << "this build or processor has no route " << GetParam();
        m_nBefore = SpanSetRoute(GetParam());
        ASSERT_GE(m_nBefore, 0);
    }
    void TearDown() override
    {
        if (m_nBefore >= 0)
            SpanSetRoute(m_nBefore);
    }
    int m_nBefore = -1;
};

TEST_P(SpanRoutes, FillWritesExactlyTheRunAtEveryLengthAndStart)
{
    const int kGuard = 80;
    std::vector<unsigned char> buffer(kGuard + 1200 + kGuard);
    for (int nCount = -3; nCount <= 700; nCount += nCount < 200 ? 1 : 37) {
        for (int nStart = 0; nStart < 64; ++nStart) {
            for (size_t i = 0; i < buffer.size(); ++i)
                buffer[i] = static_cast<unsigned char>(i * 13 + 1);
            unsigned char colour = static_cast<unsigned char>(nCount * 7 + nStart);
            FillSpan(buffer.data() + kGuard + nStart, nCount, colour);
            for (size_t i = 0; i < buffer.size(); ++i) {
                const long nAt = static_cast<long>(i) - kGuard - nStart;
                const unsigned char want = nAt >= 0 && nAt < nCount ? colour : static_cast<unsigned char>(i * 13 + 1);
                ASSERT_EQ(buffer[i], want) << "count " << nCount << " start " << nStart << " byte " << nAt;
            }
        }
    }
}

TEST_P(SpanRoutes, MarkedBitsAndRunCountFollowTheBytes)
{
    std::mt19937 random(GetParam() * 1000 + 7);
    const int lengths[] = {0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128, 129, 256, 639, 1000, 2047, 2048};
    std::vector<unsigned char> row(2048 + 64);
    for (int nDensity : {0, 1, 50, 99, 100}) {
        for (int nColumns : lengths) {
            for (int nTry = 0; nTry < 4; ++nTry) {
                for (unsigned char& b : row)
                    b = static_cast<int>(random() % 100) < nDensity ? static_cast<unsigned char>(1 + random() % 255)
                                                                    : 0;
                // Bytes past the row are set, so that a walk that read them would be seen.
                for (size_t i = static_cast<size_t>(nColumns); i < row.size(); ++i)
                    row[i] = 0xA5;
                std::vector<uint64_t> bits(34, 0x5A5A5A5A5A5A5A5Aull);
                const int nRuns = MarkNonZeroBytes(row.data(), nColumns, bits.data());
                int nWant = 0;
                for (int c = 0; c < nColumns; ++c) {
                    const bool bSet = (bits[c / 64] >> (c % 64)) & 1;
                    ASSERT_EQ(bSet, row[c] != 0) << nColumns << " columns, column " << c;
                    nWant += row[c] != 0 && (c == 0 || row[c - 1] == 0);
                }
                EXPECT_EQ(nRuns, nWant) << nColumns << " columns, density " << nDensity;
                const int nWords = (nColumns + 63) / 64;
                if (nColumns % 64 != 0) {
                    EXPECT_EQ(bits[nWords - 1] >> (nColumns % 64), 0u) << "bits past the row are clear";
                }
                EXPECT_EQ(bits[nWords], 0x5A5A5A5A5A5A5A5Aull) << "no word past the row is written";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, SpanRoutes, testing::Values(SPAN_PLAIN, SPAN_AVX2, SPAN_AVX512),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == SPAN_PLAIN  ? std::string("Plain")
                                    : info.param == SPAN_AVX2 ? std::string("Avx2")
                                                              : std::string("Avx512");
                         });

TEST(Span, BlendTakesTheColourWhereCovered)
{
    std::mt19937 random(3);
    for (int nCount = 0; nCount <= 100; ++nCount) {
        std::vector<unsigned char> dst(nCount + 2), cover(nCount + 2), want;
        for (int i = 0; i < nCount + 2; ++i) {
            dst[i] = static_cast<unsigned char>(random());
            cover[i] = random() & 1 ? 0xFF : 0x00;
        }
        want = dst;
        for (int i = 0; i < nCount; ++i)
            if (cover[i])
                want[i] = 63;
        BlendSpan(dst.data(), cover.data(), nCount, 63);
        ASSERT_EQ(dst, want) << nCount;
    }
}

TEST(Span, AWayTheMachineLacksIsRefused)
{
    EXPECT_EQ(SpanSetRoute(99), -1);
    EXPECT_TRUE(SpanRouteAvailable(SPAN_PLAIN));
}

}  // namespace
