// The stand-in mixer's cost in the production's situations: the music stream alone, the stream
// with four effect voices, and a stream that needs rate conversion. "core_pct" is the share of
// one core that mixing one second of audio takes, in percent (aim: under 0.5).
#include <benchmark/benchmark.h>

#ifndef _WIN32

#include <memory>
#include <vector>

#include "platform/standin/mixer.h"

namespace {

using standin::Mixer;
using standin::PcmFormat;
using standin::SampleBytes;

constexpr int kRate = 44100;
constexpr int kPull = 256;  // the SDL host's period

std::shared_ptr<SampleBytes> Noise(size_t nBytes)
{
    auto p = std::make_shared<SampleBytes>(nBytes);
    uint32_t x = 12345;
    for (auto& b : *p) {
        x = x * 1664525u + 1013904223u;
        b = uint8_t(x >> 24);
    }
    return p;
}

void Run(benchmark::State& state, Mixer& m)
{
    std::vector<int16_t> out(size_t(kPull) * 2);
    int64_t nFrames = 0;
    for (auto _ : state) {
        m.Mix(out.data(), kPull);
        m.TakeCrossings([](int, int) {});
        benchmark::DoNotOptimize(out.data());
        nFrames += kPull;
    }
    state.counters["core_pct"] =
        benchmark::Counter(double(nFrames) / kRate / 100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The music: a looping 44100 Hz stereo buffer of four blocks with five notification offsets.
int AddStream(Mixer& m, const PcmFormat& f)
{
    uint32_t nBlock = uint32_t(f.nRate) * 3 * uint32_t(f.nChannels * f.nBits / 8) / 4;
    int v = m.Add(Noise(size_t(nBlock) * 4), f, true);
    const uint32_t offsets[] = {nBlock, 2 * nBlock, 3 * nBlock, 4 * nBlock - 1};
    m.SetNotifications(v, offsets, 4);
    m.Play(v, true);
    return v;
}

void BM_Stream(benchmark::State& state)
{
    Mixer m(kRate);
    AddStream(m, PcmFormat{kRate, 2, 16});
    Run(state, m);
}
BENCHMARK(BM_Stream);

void BM_StreamAndFourVoices(benchmark::State& state)
{
    Mixer m(kRate);
    AddStream(m, PcmFormat{kRate, 2, 16});
    auto pEffect = Noise(size_t(kRate) * 4);
    for (int i = 0; i < 4; ++i)
        m.Play(m.Add(pEffect, PcmFormat{kRate, 2, 16}, false), true);  // looping: they sound throughout
    Run(state, m);
}
BENCHMARK(BM_StreamAndFourVoices);

void BM_ResampledStreamAndFourVoices(benchmark::State& state)
{
    Mixer m(kRate);
    AddStream(m, PcmFormat{22050, 2, 16});
    auto pEffect = Noise(size_t(22050) * 2);
    for (int i = 0; i < 4; ++i)
        m.Play(m.Add(pEffect, PcmFormat{22050, 1, 16}, false), true);
    Run(state, m);
}
BENCHMARK(BM_ResampledStreamAndFourVoices);

}  // namespace
#endif
