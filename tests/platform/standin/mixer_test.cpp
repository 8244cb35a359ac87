// The stand-in's mixer on its own: what comes out for what goes in (frequency and level through
// the rate converter, saturation), and how cursors, notifications and underruns move with it.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/standin/mixer.h"

namespace {

using standin::Mixer;
using standin::PcmFormat;
using standin::SampleBytes;

constexpr int kRate = 44100;
constexpr double kTwoPi = 2 * 3.14159265358979323846;

// nSeconds of a sine of that frequency and peak (a fraction of full scale), in the format.
std::shared_ptr<SampleBytes> Sine(const PcmFormat& f, double dHz, double dPeak, double dSeconds)
{
    auto p = std::make_shared<SampleBytes>();
    int nFrames = int(f.nRate * dSeconds);
    for (int i = 0; i < nFrames; ++i) {
        double v = dPeak * std::sin(kTwoPi * dHz * i / f.nRate);
        for (int c = 0; c < f.nChannels; ++c) {
            if (f.nBits == 8) {
                p->push_back(uint8_t(std::lround(128 + v * 127)));
            } else {
                int16_t s = int16_t(std::lround(v * 32767));
                p->push_back(uint8_t(s & 0xFF));
                p->push_back(uint8_t((s >> 8) & 0xFF));
            }
        }
    }
    return p;
}

std::vector<int16_t> Pull(Mixer& m, int nFrames)
{
    std::vector<int16_t> out(size_t(nFrames) * 2, 0x5555);
    m.Mix(out.data(), nFrames);
    return out;
}

// Frequency of one channel from its rising zero crossings, interpolated between samples.
double MeasureHz(const std::vector<int16_t>& s, int nChannel, int nFrom, int nTo)
{
    double dFirst = -1, dLast = -1;
    int nCrossings = 0;
    for (int i = nFrom + 1; i < nTo; ++i) {
        double a = s[size_t(2 * (i - 1) + nChannel)], b = s[size_t(2 * i + nChannel)];
        if (a < 0 && b >= 0) {
            double t = (i - 1) + a / (a - b);
            if (dFirst < 0)
                dFirst = t;
            else
                ++nCrossings;
            dLast = t;
        }
    }
    return nCrossings > 0 ? kRate * nCrossings / (dLast - dFirst) : 0;
}

double Rms(const std::vector<int16_t>& s, int nChannel, int nFrom, int nTo)
{
    double d = 0;
    for (int i = nFrom; i < nTo; ++i)
        d += double(s[size_t(2 * i + nChannel)]) * s[size_t(2 * i + nChannel)];
    return std::sqrt(d / (nTo - nFrom));
}

TEST(Mixer, SineComesOutAtItsFrequencyAndLevelInEveryFormat)
{
    double dLowHz = 1e9, dHighHz = 0, dWorstLevel = 0;
    for (int nRate : {8000, 11025, 22050, 32000, 44100, 48000})
        for (int nBits : {8, 16})
            for (int nChannels : {1, 2}) {
                SCOPED_TRACE(testing::Message() << nRate << " Hz, " << nBits << "-bit, " << nChannels << " ch");
                Mixer m(kRate);
                PcmFormat f{nRate, nChannels, nBits};
                int v = m.Add(Sine(f, 1000, 0.5, 1.0), f, false);
                ASSERT_GE(v, 0);
                m.Play(v, false);
                std::vector<int16_t> out = Pull(m, kRate / 2);
                // Past the converter's start-up; both channels carry the tone.
                for (int c = 0; c < 2; ++c) {
                    double dHz = MeasureHz(out, c, 2000, kRate / 2);
                    double dLevel = Rms(out, c, 2000, kRate / 2) / (0.5 * 32767 / std::sqrt(2.0));
                    EXPECT_NEAR(dHz, 1000.0, 1.0);
                    EXPECT_NEAR(dLevel, 1.0, 0.02);
                    dLowHz = std::min(dLowHz, dHz);
                    dHighHz = std::max(dHighHz, dHz);
                    dWorstLevel = std::max(dWorstLevel, std::fabs(dLevel - 1.0));
                }
            }
    std::printf("1 kHz in 24 formats: %.3f to %.3f Hz, level within %.2f %% of the source\n", dLowHz, dHighHz,
                100 * dWorstLevel);
}

TEST(Mixer, SameRateSixteenBitStereoPassesThroughUnchanged)
{
    Mixer m(kRate);
    PcmFormat f{kRate, 2, 16};
    auto p = std::make_shared<SampleBytes>();
    for (int i = 0; i < 4000; ++i)
        p->push_back(uint8_t(i * 7 + (i >> 8)));
    int v = m.Add(p, f, false);
    m.Play(v, false);
    std::vector<int16_t> out = Pull(m, 1100);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(out[size_t(i)], int16_t((*p)[size_t(2 * i)] | ((*p)[size_t(2 * i + 1)] << 8))) << i;
    for (int i = 2000; i < 2200; ++i)
        ASSERT_EQ(out[size_t(i)], 0) << "silence after a one-shot's end";
}

TEST(Mixer, TwoFullScaleVoicesSaturateInsteadOfWrapping)
{
    Mixer m(kRate);
    PcmFormat f{kRate, 1, 16};
    auto p = Sine(f, 441, 1.0, 0.1);
    int a = m.Add(p, f, false), b = m.Add(p, f, false);
    m.Play(a, false);
    m.Play(b, false);
    std::vector<int16_t> out = Pull(m, 4410);
    int nTop = 0, nBottom = 0;
    for (size_t i = 0; i + 1 < out.size(); i += 2) {
        double d = 2 * 32767 * std::sin(kTwoPi * 441 * double(i / 2) / kRate);
        // Where the sum is beyond full scale the output sits at full scale with the right sign.
        if (d > 33000) {
            EXPECT_EQ(out[i], 32767) << i;
            ++nTop;
        }
        if (d < -33000) {
            EXPECT_EQ(out[i], -32768) << i;
            ++nBottom;
        }
    }
    EXPECT_GT(nTop, 1000);
    EXPECT_GT(nBottom, 1000);
}

TEST(Mixer, EightBitSilenceIsZeroAndMonoGoesToBothChannels)
{
    Mixer m(kRate);
    PcmFormat f{kRate, 1, 8};
    auto p = std::make_shared<SampleBytes>(100, 0x80);
    (*p)[10] = 0xFF;
    (*p)[11] = 0x00;
    int v = m.Add(p, f, false);
    m.Play(v, false);
    std::vector<int16_t> out = Pull(m, 50);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[20], 127 * 256);
    EXPECT_EQ(out[21], 127 * 256);
    EXPECT_EQ(out[22], -128 * 256);
    EXPECT_EQ(out[23], -128 * 256);
}

TEST(Mixer, LoopingCursorMovesByWhatIsPulledAndReportsOffsetsPassed)
{
    Mixer m(kRate);
    PcmFormat f{kRate, 2, 16};
    auto p = std::make_shared<SampleBytes>(4000, 0);  // 1000 frames
    int v = m.Add(p, f, false);
    const uint32_t offsets[] = {1000, 2000, 3999};
    m.SetNotifications(v, offsets, 3);
    m.Play(v, true);
    std::vector<std::pair<int, int>> seen;
    auto take = [&] { m.TakeCrossings([&](int nVoice, int nIndex) { seen.push_back({nVoice, nIndex}); }); };

    Pull(m, 250);  // bytes 0..999: the first offset is not yet passed
    take();
    EXPECT_EQ(m.Cursor(v), 1000u);
    EXPECT_TRUE(seen.empty());
    Pull(m, 1);  // byte 1000 played
    take();
    EXPECT_EQ(m.Cursor(v), 1004u);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::make_pair(v, 0));
    seen.clear();
    Pull(m, 749);  // on to the end: 2000 and the last byte, then back to 0
    take();
    EXPECT_EQ(m.Cursor(v), 0u);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].second, 1);
    EXPECT_EQ(seen[1].second, 2);
    EXPECT_TRUE(m.Playing(v));
}

TEST(Mixer, OneShotStopsAtItsEndRewoundAndSaysSo)
{
    for (int nRate : {kRate, 22050}) {
        SCOPED_TRACE(nRate);
        Mixer m(kRate);
        PcmFormat f{nRate, 1, 16};
        int v = m.Add(Sine(f, 500, 0.5, 0.05), f, false);
        m.Play(v, false);
        Pull(m, 1000);
        EXPECT_TRUE(m.Playing(v));
        std::vector<std::pair<int, int>> seen;
        m.TakeCrossings([&](int a, int b) { seen.push_back({a, b}); });
        EXPECT_TRUE(seen.empty());
        std::vector<int16_t> out = Pull(m, 4000);
        EXPECT_FALSE(m.Playing(v));
        EXPECT_EQ(m.Cursor(v), 0u);
        m.TakeCrossings([&](int a, int b) { seen.push_back({a, b}); });
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0], std::make_pair(v, -1));
        EXPECT_EQ(out.back(), 0);
        // Played again, it starts from its beginning.
        m.Play(v, false);
        Pull(m, 100);
        EXPECT_TRUE(m.Playing(v));
    }
}

TEST(Mixer, StopKeepsThePositionAndSetCursorMovesIt)
{
    Mixer m(kRate);
    PcmFormat f{kRate, 2, 16};
    int v = m.Add(std::make_shared<SampleBytes>(4000, 0), f, false);
    m.Play(v, true);
    Pull(m, 100);
    m.Stop(v);
    Pull(m, 100);
    EXPECT_EQ(m.Cursor(v), 400u);
    m.SetCursor(v, 1002);
    EXPECT_EQ(m.Cursor(v), 1000u) << "a cursor falls on a frame";
    m.SetCursor(v, 999999);
    EXPECT_LT(m.Cursor(v), 4000u);
}

TEST(Mixer, WatchedVoiceCountsUnderrunsOnlyForBytesNotWrittenAgain)
{
    Mixer m(kRate);
    PcmFormat f{kRate, 2, 16};
    int v = m.Add(std::make_shared<SampleBytes>(4000, 0), f, true);
    m.Written(v, 0, 4000);
    m.Play(v, true);
    Pull(m, 1000);  // the whole buffer once: all written
    EXPECT_EQ(m.Underruns(), 0u);
    m.Written(v, 0, 2000);
    Pull(m, 500);  // the half written again
    EXPECT_EQ(m.Underruns(), 0u);
    Pull(m, 10);  // stale bytes
    EXPECT_EQ(m.Underruns(), 1u);
}

// The cursor of a buffer that is resampled still moves in steps of a few milliseconds.
TEST(Mixer, ResampledCursorMovesInStepsOfUnderTenMilliseconds)
{
    for (int nRate : {8000, 22050, 48000}) {
        SCOPED_TRACE(nRate);
        Mixer m(kRate);
        PcmFormat f{nRate, 2, 16};
        int v = m.Add(Sine(f, 1000, 0.5, 1.0), f, false);
        m.Play(v, true);
        uint32_t dwLast = 0, dwMaxStep = 0;
        for (int i = 0; i < 4410; ++i) {
            Pull(m, 10);
            uint32_t dw = m.Cursor(v);
            if (dw >= dwLast)
                dwMaxStep = std::max(dwMaxStep, dw - dwLast);
            dwLast = dw;
        }
        EXPECT_GT(dwLast, 0u);
        EXPECT_LE(dwMaxStep, uint32_t(nRate) * 4 / 100) << "10 ms of the buffer's own bytes";
    }
}

TEST(Mixer, RefusesFormatsItCannotPlay)
{
    Mixer m(kRate);
    auto p = std::make_shared<SampleBytes>(100, 0);
    EXPECT_LT(m.Add(p, PcmFormat{kRate, 2, 24}, false), 0);
    EXPECT_LT(m.Add(p, PcmFormat{kRate, 3, 16}, false), 0);
    EXPECT_LT(m.Add(p, PcmFormat{0, 2, 16}, false), 0);
    EXPECT_LT(m.Add(std::make_shared<SampleBytes>(3, 0), PcmFormat{kRate, 2, 16}, false), 0) << "less than a frame";
    EXPECT_GE(m.Add(p, PcmFormat{kRate, 2, 16}, false), 0);
}

}  // namespace
#endif
