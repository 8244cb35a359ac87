// The fullscreen present path on the SDL host beside a plain copy of one 640 x 480 frame of 32-bit
// pixels (1.2 MB): the framebuffer's copy into the locked back buffer, the conversion through the
// palette and the upload to the host's texture. The flip's wait for the display is not counted.
// Needs a display: run under Xvfb (make bench does).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/host/sdl/sdl.h"
#include "platform/standin/pixels.h"
#include "platform/win32.h"
#include "screen/Screen.h"
#include "screen/ScreenFullscreen.h"

namespace {

const int kW = 640, kH = 480;

void BM_MemcpyFrame32(benchmark::State& state)
{
    std::vector<uint32_t> src(kW * kH, 0x123456), dst(kW * kH);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * 4);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
}
BENCHMARK(BM_MemcpyFrame32);

void BM_ConvertOnly(benchmark::State& state)
{
    std::vector<uint8_t> src(kW * kH);
    for (size_t n = 0; n < src.size(); ++n)
        src[n] = static_cast<uint8_t>(n * 7);
    std::vector<uint32_t> dst(kW * kH);
    standin::PixelTable table;
    PALETTEENTRY entries[256] = {};
    for (int n = 0; n < 256; ++n)
        entries[n].peRed = static_cast<BYTE>(n);
    standin::BuildPixelTable(entries, 256, table);
    for (auto _ : state) {
        standin::ConvertPixels(src.data(), kW, dst.data(), kW, kW, kH, table);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ConvertOnly);

// The screen opened fullscreen on the SDL host, as the production opens it, its image scaled as
// asked (opened again for another way).
bool OpenScreen(host::Scaling scaling = host::Scaling::Fit)
{
    static bool s_bOpen = false;
    static host::Scaling s_scaling = host::Scaling::Fit;
    if (s_bOpen && s_scaling == scaling)
        return true;
    if (s_bOpen) {
        ScreenClose();
        host::Install(nullptr);
        s_bOpen = false;
    }
    std::string error;
    host::SdlOptions options;
    options.scaling = scaling;
    auto pHost = host::MakeSdlHost(error, options);
    if (!pHost)
        return false;
    host::Install(std::move(pHost));
    static bool s_bRegistered = false;
    if (!s_bRegistered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ScreenWndProc;
        wc.lpszClassName = "Screen";
        RegisterClassA(&wc);
        s_bRegistered = true;
    }
    s_bOpen = ScreenOpen(kW, kH, 8, SCREEN_FULLSCREEN);
    s_scaling = scaling;
    return s_bOpen;
}

// The copy of a present: lock, 307200 bytes, unlock of the back buffer (no frame ends there).
void BM_PresentCopy(benchmark::State& state)
{
    if (!OpenScreen()) {
        state.SkipWithError("no display");
        return;
    }
    ScreenClear(3);
    for (auto _ : state) {
        ScreenLockSurface();
        std::memcpy(g_ddsdLock.lpSurface, ScreenGetBuffer(), kW * kH);
        ScreenUnlockSurface();
    }
}
BENCHMARK(BM_PresentCopy);

// The conversion of the visible surface through the palette and its upload to the host's texture:
// what a flip does before it waits for the display, reached here through a palette change.
void BM_ConvertAndUpload(benchmark::State& state)
{
    if (!OpenScreen()) {
        state.SkipWithError("no display");
        return;
    }
    PALETTEENTRY entries[256] = {};
    int n = 0;
    for (auto _ : state) {
        entries[0].peGreen = static_cast<BYTE>(++n);
        g_lpDDPalette->SetEntries(0, 0, 256, entries);
    }
}
BENCHMARK(BM_ConvertAndUpload);

}  // namespace

namespace {

// The same, and the drawing of the scaled image onto the whole display and its present, without
// the wait for the display: what this machine's display costs a frame (under Xvfb, all in
// software). The image shows at the end of a look at the input. Argument 0: the sharp fill (x3
// into a texture, then shrunk smoothly to 1440 x 1080 on a 1920 x 1080 screen); 1: whole factors
// (x2, 1280 x 960).
void BM_ConvertUploadAndShow(benchmark::State& state)
{
    if (!OpenScreen(state.range(0) == 0 ? host::Scaling::Fit : host::Scaling::Whole)) {
        state.SkipWithError("no display");
        return;
    }
    PALETTEENTRY entries[256] = {};
    int n = 0;
    host::Event event;
    for (auto _ : state) {
        entries[0].peGreen = static_cast<BYTE>(++n);
        g_lpDDPalette->SetEntries(0, 0, 256, entries);
        while (host::Current().PollEvent(event)) {}
    }
}
BENCHMARK(BM_ConvertUploadAndShow)->Arg(0)->Arg(1);

}  // namespace

namespace {

// The flips a second this machine's display really shows through the SDL host, and the longest
// gap between two, over five seconds of frames ended the production's way (a flip, then a look at
// the input) at whole factors, the least drawing; the first half second settles the pacing. On a
// display of its own with a core to spare, 60 a second and no gap of two refreshes; the tests
// check the pacing on a clock of their own, where load cannot move it.
void BM_FlipRate(benchmark::State& state)
{
    if (!OpenScreen(host::Scaling::Whole)) {
        state.SkipWithError("no display");
        return;
    }
    using Clock = std::chrono::steady_clock;
    double dRate = 0, dLongestMs = 0;
    for (auto _ : state) {
        std::vector<Clock::time_point> flips;
        const Clock::time_point start = Clock::now();
        for (int n = 0; Clock::now() - start < std::chrono::milliseconds(5500); ++n) {
            ScreenClear(n & 0xFF);
            ScreenUpdate();
            ScreenPumpMessages();
            flips.push_back(Clock::now());
        }
        auto first = std::find_if(flips.begin(), flips.end(),
                                  [&](Clock::time_point t) { return t - start >= std::chrono::milliseconds(500); });
        if (flips.end() - first < 2) {
            state.SkipWithError("too few flips to count");
            return;
        }
        dRate =
            static_cast<double>(flips.end() - first - 1) / std::chrono::duration<double>(flips.back() - *first).count();
        for (auto it = first + 1; it != flips.end(); ++it)
            dLongestMs = std::max(dLongestMs, std::chrono::duration<double, std::milli>(*it - *(it - 1)).count());
    }
    state.counters["flips_per_s"] = dRate;
    state.counters["longest_gap_ms"] = dLongestMs;
    state.SetLabel("aim: 60 flips a second, no gap over 33.3 ms");
}
BENCHMARK(BM_FlipRate)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
