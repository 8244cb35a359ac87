// The recorder's work on its pictures' writer thread: one 640 × 480 frame of palette indices to
// the encoder's 4:2:0 planes, at its own size and enlarged (x3 is 1920 × 1440, 4 MB of planes),
// beside a copy of as many bytes as it writes. At 60 frames a second of video, a frame has 16.7 ms
// of a real-time render; the encoder needs most of the two cores.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/host/capture/yuv.h"

namespace {

const int kW = 640, kH = 480;

void Picture(std::vector<uint8_t>& indices, std::vector<uint32_t>& palette)
{
    indices.resize(size_t(kW) * kH);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<uint8_t>((i * 7) ^ (i >> 9));
    palette.resize(256);
    for (uint32_t n = 0; n < 256; ++n)
        palette[n] = n * 0x010305u & 0xFFFFFF;
}

void BM_PlanesFromIndices(benchmark::State& state)
{
    const int nScale = int(state.range(0));
    std::vector<uint8_t> indices;
    std::vector<uint32_t> palette;
    Picture(indices, palette);
    std::vector<uint8_t> planes(host::YuvConverter::Size(kW * nScale, kH * nScale));
    host::YuvConverter converter;
    for (auto _ : state) {
        converter.FromIndices(indices.data(), palette.data(), kW, kH, planes.data(), nScale);
        benchmark::DoNotOptimize(planes.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(planes.size()));
}
BENCHMARK(BM_PlanesFromIndices)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);

void BM_PlanesFromXrgb(benchmark::State& state)
{
    const int nScale = int(state.range(0));
    std::vector<uint8_t> indices;
    std::vector<uint32_t> palette;
    Picture(indices, palette);
    std::vector<uint32_t> xrgb(indices.size());
    for (size_t i = 0; i < indices.size(); ++i)
        xrgb[i] = palette[indices[i]];
    std::vector<uint8_t> planes(host::YuvConverter::Size(kW * nScale, kH * nScale));
    host::YuvConverter converter;
    for (auto _ : state) {
        converter.FromXrgb(xrgb.data(), kW, kH, planes.data(), nScale);
        benchmark::DoNotOptimize(planes.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(planes.size()));
}
BENCHMARK(BM_PlanesFromXrgb)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

// The least an enlargement writes: its planes' bytes, copied.
void BM_CopyPlanes(benchmark::State& state)
{
    const int nScale = int(state.range(0));
    std::vector<uint8_t> src(host::YuvConverter::Size(kW * nScale, kH * nScale), 1), dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.size()));
}
BENCHMARK(BM_CopyPlanes)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
