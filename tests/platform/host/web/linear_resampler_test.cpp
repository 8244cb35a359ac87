// The web build's rate conversion, run natively: it stands in for libsamplerate there, so the
// mixer's voices at other rates than the device's keep their pitch, length and channels.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/host/web/linear_resampler.h"

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

std::vector<float> ReadAll(web::LinearResampler& r, double dRatio, int nChannels, long nBlock = 512)
{
    std::vector<float> out, block(size_t(nBlock * nChannels));
    for (;;) {
        long n = r.Read(dRatio, nBlock, block.data());
        EXPECT_GE(n, 0);
        out.insert(out.end(), block.begin(), block.begin() + n * nChannels);
        if (n < nBlock)
            return out;
    }
}

}  // namespace

TEST(WebResampler, DoublingTheRateKeepsTheSineItsLengthAndItsLevel)
{
    Source s;
    s.frames = Sine(1000, 22050, 22050);
    web::LinearResampler r(&Source::Input, &s, 1);
    std::vector<float> out = ReadAll(r, 2.0, 1);
    // One output frame per half input frame, up to the last input frame.
    ASSERT_EQ(out.size(), size_t(2 * (22050 - 1) + 1));
    double dWorst = 0;
    for (size_t k = 0; k < out.size(); ++k)
        dWorst = std::max(dWorst, std::fabs(out[k] - 0.5 * std::sin(2 * kPi * 1000 * double(k) / 44100)));
    // Between neighbours a straight line strays from a 1 kHz sine sampled at 22050 Hz by at most
    // 0.5 * (1 - cos(pi / 22.05)), about 0.005.
    EXPECT_LT(dWorst, 0.006);
}

TEST(WebResampler, LoweringTheRateTakesEveryInputFrameInTurn)
{
    Source s;
    for (int i = 0; i < 48000; ++i)
        s.frames.push_back(float(i) / 48000.0f);  // a ramp: interpolated values are exact
    web::LinearResampler r(&Source::Input, &s, 1);
    const double dRatio = 44100.0 / 48000.0;
    std::vector<float> out = ReadAll(r, dRatio, 1);
    EXPECT_NEAR(double(out.size()), 44100.0, 1.0);
    for (size_t k = 0; k < out.size(); k += 997)
        EXPECT_NEAR(out[k], double(k) / dRatio / 48000.0, 1e-5) << k;
}

TEST(WebResampler, HowTheInputIsCutIntoChunksChangesNothing)
{
    Source whole, cut;
    whole.frames = cut.frames = Sine(440, 11025, 5000);
    cut.chunks = {1, 7, 300, 2, 55};
    web::LinearResampler a(&Source::Input, &whole, 1), b(&Source::Input, &cut, 1);
    EXPECT_EQ(ReadAll(a, 44100.0 / 11025.0, 1, 100), ReadAll(b, 44100.0 / 11025.0, 1, 37));
}

TEST(WebResampler, StereoChannelsStaySeparate)
{
    Source s;
    s.nChannels = 2;
    for (int i = 0; i < 1000; ++i) {
        s.frames.push_back(0.5f);
        s.frames.push_back(-0.25f);
    }
    web::LinearResampler r(&Source::Input, &s, 2);
    std::vector<float> out = ReadAll(r, 1.5, 2);
    ASSERT_GT(out.size(), 2000u);
    for (size_t i = 0; i < out.size(); i += 2) {
        EXPECT_FLOAT_EQ(out[i], 0.5f);
        EXPECT_FLOAT_EQ(out[i + 1], -0.25f);
    }
}

TEST(WebResampler, EndedInputGivesNothingMoreUntilResetThenStartsAfresh)
{
    Source s;
    s.frames = {0.0f, 1.0f, 2.0f, 3.0f};
    web::LinearResampler r(&Source::Input, &s, 1);
    float out[16];
    EXPECT_EQ(r.Read(2.0, 16, out), 7);  // 0, .5, 1, ... 3
    EXPECT_FLOAT_EQ(out[6], 3.0f);
    EXPECT_EQ(r.Read(2.0, 16, out), 0);
    s.nNext = 0;  // the voice rewound
    r.Reset();
    EXPECT_EQ(r.Read(1.0, 2, out), 2);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[1], 1.0f);
    EXPECT_EQ(r.Read(0.0, 2, out), -1);
    EXPECT_FALSE(web::LinearResampler::Takes(0));
    EXPECT_FALSE(web::LinearResampler::Takes(web::LinearResampler::kMaxChannels + 1));
}
