// WaveLoadFile of a 12 MB file against one fread of the same file: the byte-at-a-time copy out
// of the I/O buffer should cost little beside the file read itself.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "sound/wave.h"

namespace {

const char* const kName = "wave_bench_12mb.wav";
const UINT kBytes = 12u * 1024 * 1024;

void MakeFile()
{
    static bool bMade = false;
    if (bMade)
        return;
    WAVEFORMATEX wfx;
    std::memset(&wfx, 0, sizeof(wfx));
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 2;
    wfx.nSamplesPerSec = 44100;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = 4;
    wfx.nAvgBytesPerSec = 44100 * 4;
    std::vector<BYTE> data(kBytes);
    for (UINT i = 0; i < kBytes; i++)
        data[i] = BYTE(i * 31 + (i >> 9));
    WaveStoreFile(kName, kBytes, kBytes / 4, &wfx, data.data());
    bMade = true;
}

void BM_WaveLoadFile(benchmark::State& state)
{
    MakeFile();
    for (auto _ : state) {
        UINT cb = 0;
        DWORD dwSamples = 0;
        BYTE* pb = NULL;
        WAVEFORMATEX* pwfx = NULL;
        if (WaveLoadFile(kName, &cb, &dwSamples, &pwfx, &pb) != 0 || cb != kBytes) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(pb[cb - 1]);
        GlobalFree(GlobalHandle(pb));
        GlobalFree(GlobalHandle(pwfx));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBytes);
}

void BM_Fread(benchmark::State& state)
{
    MakeFile();
    std::vector<BYTE> buffer(kBytes + 64);
    for (auto _ : state) {
        std::FILE* f = std::fopen(kName, "rb");
        size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
        std::fclose(f);
        benchmark::DoNotOptimize(buffer[n - 1]);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBytes);
}

}  // namespace

BENCHMARK(BM_Fread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaveLoadFile)->Unit(benchmark::kMillisecond);
