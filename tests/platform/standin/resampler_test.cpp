// The mixer's two rate converters, held to the same checks: a voice at another rate than the
// device's keeps its pitch, its length, its level and its channels, however its frames arrive,
// and an ended input gives nothing more until the voice starts again. The straight-line one is
// also checked exactly, since its output can be worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/standin/resampler.h"

namespace {

const double kPi = 3.14159265358979323846;

// Hands out a stretch of interleaved frames in the chunk sizes given, cycling through them.
struct Source {
    std::vector<float> frames;
    int nChannels = 1;
    std::vector<long> chunks{4096};
    size_t nNext = 0, nChunk = 0;

    static long Input(void* pData, float** ppData)
    {
        auto& s = *static_cast<Source*>(pData);
        long nLeft = long(s.frames.size() / size_t(s.nChannels) - s.nNext);
        long n = std::min(nLeft, s.chunks[s.nChunk++ % s.chunks.size()]);
        *ppData = s.frames.data() + s.nNext * size_t(s.nChannels);
        s.nNext += size_t(n);
        return n;
    }
};

std::vector<float> Sine(double dHz, double dRate, int nFrames)
{
    std::vector<float> v(static_cast<size_t>(nFrames));
    for (int i = 0; i < nFrames; ++i)
        v[size_t(i)] = float(0.5 * std::sin(2 * kPi * dHz * i / dRate));
    return v;
}

std::vector<float> ResampleAll(standin::Resampler& r, double dRatio, int nChannels, long nBlock = 512)
{
    std::vector<float> out, block(size_t(nBlock * nChannels));
    for (;;) {
        long n = r.Read(dRatio, nBlock, block.data());
        EXPECT_GE(n, 0);
        if (n <= 0)
            return out;
        out.insert(out.end(), block.begin(), block.begin() + n * nChannels);
        if (n < nBlock)
            return out;
    }
}

// The converters a build has: the straight-line one everywhere, the band-limited one where
// libsamplerate is.
struct Converter {
    const char* pszName;
    standin::ResamplerMaker pfnMake;
};

std::vector<Converter> Converters()
{
    std::vector<Converter> v = {{"linear", &standin::MakeLinearResampler}};
#ifdef VADURER_HAS_SINC_RESAMPLER
    v.push_back({"sinc", &standin::MakeSincResampler});
#endif
    return v;
}

class Resampler : public testing::TestWithParam<Converter> {
protected:
    std::unique_ptr<standin::Resampler> Make(Source& s, int nChannels)
    {
        auto p = GetParam().pfnMake(&Source::Input, &s, nChannels);
        EXPECT_TRUE(p);
        return p;
    }
};

// Where the output of a converted sine crosses zero upwards, in output frames.
std::vector<double> RisingZeroCrossings(const std::vector<float>& v, size_t nFrom, size_t nTo)
{
    std::vector<double> at;
    for (size_t i = nFrom + 1; i < nTo; ++i)
        if (v[i - 1] < 0 && v[i] >= 0)
            at.push_back(double(i - 1) + v[i - 1] / (v[i - 1] - v[i]));
    return at;
}

TEST_P(Resampler, DoublingTheRateKeepsTheSinesPitchLengthAndLevel)
{
    Source s;
    s.frames = Sine(1000, 22050, 22050);
    auto r = Make(s, 1);
    std::vector<float> out = ResampleAll(*r, 2.0, 1);
    EXPECT_NEAR(double(out.size()), 44100.0, 64.0) << "a second stays a second";
    // Away from the ends: 1 kHz at 44100 Hz is a rising zero every 44.1 frames, at full level.
    std::vector<double> zeros = RisingZeroCrossings(out, 2000, 42000);
    ASSERT_GT(zeros.size(), 800u);
    EXPECT_NEAR((zeros.back() - zeros.front()) / double(zeros.size() - 1), 44.1, 0.01);
    float fPeak = *std::max_element(out.begin() + 2000, out.begin() + 42000);
    EXPECT_NEAR(fPeak, 0.5f, 0.01f);
}

TEST_P(Resampler, HowTheInputIsCutIntoChunksChangesNothing)
{
    Source whole, cut;
    whole.frames = cut.frames = Sine(440, 11025, 5000);
    cut.chunks = {1, 7, 300, 2, 55};
    auto a = Make(whole, 1), b = Make(cut, 1);
    std::vector<float> x = ResampleAll(*a, 44100.0 / 11025.0, 1, 100), y = ResampleAll(*b, 44100.0 / 11025.0, 1, 37);
    ASSERT_EQ(x.size(), y.size());
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_NEAR(x[i], y[i], 1e-6) << i;
}

TEST_P(Resampler, StereoChannelsStaySeparate)
{
    Source s;
    s.nChannels = 2;
    for (int i = 0; i < 4000; ++i) {
        s.frames.push_back(0.5f);
        s.frames.push_back(-0.25f);
    }
    auto r = Make(s, 2);
    std::vector<float> out = ResampleAll(*r, 1.5, 2);
    ASSERT_GT(out.size(), 2 * 5900u);
    // Away from the ends, where a band-limited converter rings at the step from and to silence.
    for (size_t i = 2 * 500; i < 2 * 5500; i += 2) {
        ASSERT_NEAR(out[i], 0.5f, 1e-3) << i;
        ASSERT_NEAR(out[i + 1], -0.25f, 1e-3) << i;
    }
}

TEST_P(Resampler, EndedInputGivesNothingMoreUntilResetThenStartsAfresh)
{
    Source s;
    s.frames = Sine(100, 8000, 800);
    auto r = Make(s, 1);
    std::vector<float> first = ResampleAll(*r, 44100.0 / 8000.0, 1);
    ASSERT_FALSE(first.empty());
    float out[64];
    EXPECT_EQ(r->Read(44100.0 / 8000.0, 64, out), 0) << "the input has ended";
    s.nNext = 0;  // the voice rewound
    r->Reset();
    EXPECT_EQ(ResampleAll(*r, 44100.0 / 8000.0, 1), first) << "from the start, as the first time";
}

TEST_P(Resampler, ANumberOfChannelsItCannotTakeMakesNoConverter)
{
    Source s;
    EXPECT_FALSE(GetParam().pfnMake(&Source::Input, &s, 0));
    EXPECT_FALSE(GetParam().pfnMake(&Source::Input, &s, -1));
}

INSTANTIATE_TEST_SUITE_P(Converters, Resampler, testing::ValuesIn(Converters()),
                         [](const testing::TestParamInfo<Converter>& info) { return info.param.pszName; });

// The straight-line converter, worked out by hand.

TEST(LinearResampler, DoublingTheRateStraysFromTheSineOnlyBetweenFrames)
{
    Source s;
    s.frames = Sine(1000, 22050, 22050);
    auto r = standin::MakeLinearResampler(&Source::Input, &s, 1);
    std::vector<float> out = ResampleAll(*r, 2.0, 1);
    // One output frame per half input frame, up to the last input frame.
    ASSERT_EQ(out.size(), size_t(2 * (22050 - 1) + 1));
    double dWorst = 0;
    for (size_t k = 0; k < out.size(); ++k)
        dWorst = std::max(dWorst, std::fabs(out[k] - 0.5 * std::sin(2 * kPi * 1000 * double(k) / 44100)));
    // Between neighbours a straight line strays from a 1 kHz sine sampled at 22050 Hz by at most
    // 0.5 * (1 - cos(pi / 22.05)), about 0.005.
    EXPECT_LT(dWorst, 0.006);
}

TEST(LinearResampler, LoweringTheRateTakesEveryInputFrameInTurn)
{
    Source s;
    for (int i = 0; i < 48000; ++i)
        s.frames.push_back(float(i) / 48000.0f);  // a ramp: interpolated values are exact
    auto r = standin::MakeLinearResampler(&Source::Input, &s, 1);
    const double dRatio = 44100.0 / 48000.0;
    std::vector<float> out = ResampleAll(*r, dRatio, 1);
    EXPECT_NEAR(double(out.size()), 44100.0, 1.0);
    for (size_t k = 0; k < out.size(); k += 997)
        EXPECT_NEAR(out[k], double(k) / dRatio / 48000.0, 1e-5) << k;
}

TEST(LinearResampler, EndsOnTheLastInputFrameAndRefusesARatioOfZero)
{
    Source s;
    s.frames = {0.0f, 1.0f, 2.0f, 3.0f};
    auto r = standin::MakeLinearResampler(&Source::Input, &s, 1);
    float out[16];
    EXPECT_EQ(r->Read(2.0, 16, out), 7);  // 0, .5, 1, ... 3
    EXPECT_FLOAT_EQ(out[6], 3.0f);
    EXPECT_EQ(r->Read(2.0, 16, out), 0);
    s.nNext = 0;
    r->Reset();
    EXPECT_EQ(r->Read(1.0, 2, out), 2);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[1], 1.0f);
    EXPECT_EQ(r->Read(0.0, 2, out), -1);
    EXPECT_FALSE(standin::MakeLinearResampler(&Source::Input, &s, 9)) << "eight channels at most";
}

}  // namespace
