// The palette-to-display conversion of a whole 640 × 480 frame, beside a copy of the 1.2 MB
// 32-bit frame and beside SDL's own route (an 8-bit surface with a palette blitted to ARGB8888).
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstring>
#include <vector>

#include "platform/standin/pixels.h"
#include "platform/host/pixels_routes.h"

namespace {

const int kW = 640, kH = 480;

std::vector<uint8_t> Frame()
{
    std::vector<uint8_t> frame(kW * kH);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>((i * 7) ^ (i >> 9));
    return frame;
}

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

// The least any conversion does: write the 1.2 MB (it reads only the 300 KB of indices beside).
void BM_MemsetFrame32(benchmark::State& state)
{
    std::vector<uint32_t> dst(kW * kH);
    for (auto _ : state) {
        std::memset(dst.data(), 0x5A, dst.size() * 4);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
}
BENCHMARK(BM_MemsetFrame32);

// range(0): 1 builds the table every frame, as a fade does; 0 keeps it, as a scene does.
void BM_ConvertFrame(benchmark::State& state)
{
    std::vector<uint8_t> src = Frame();
    std::vector<uint32_t> dst(kW * kH);
    RGBQUAD colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i / 2), 0};
    standin::PixelTable table;
    standin::BuildPixelTable(colours, 256, table);
    for (auto _ : state) {
        if (state.range(0))
            standin::BuildPixelTable(colours, 256, table);
        standin::ConvertPixels(src.data(), kW, dst.data(), kW, kW, kH, table);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
}
BENCHMARK(BM_ConvertFrame)->Arg(0)->Arg(1);

// The portable route (two pixels a lookup in the table of pairs), for what a machine without
// AVX-512 VBMI gets; range(0) as above.
void BM_ConvertFramePairs(benchmark::State& state)
{
    const int nBefore = host::PixelSetRoute(host::PIXEL_PAIRS);
    BM_ConvertFrame(state);
    host::PixelSetRoute(nBefore);
}
BENCHMARK(BM_ConvertFramePairs)->Arg(0)->Arg(1);

// range(0) as for BM_ConvertFrame: 1 gives SDL new colours every frame (it then maps its
// palette again), 0 sets them once.
void BM_SdlBlitFrame(benchmark::State& state)
{
    std::vector<uint8_t> src = Frame();
    SDL_Surface* p8 = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_Surface* p32 = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!p8 || !p32) {
        state.SkipWithError("SDL surfaces could not be made");
        return;
    }
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {static_cast<Uint8>(i / 2), static_cast<Uint8>(255 - i), static_cast<Uint8>(i), 255};
    for (int y = 0; y < kH; ++y)
        std::memcpy(static_cast<uint8_t*>(p8->pixels) + y * p8->pitch, src.data() + y * kW, kW);
    SDL_SetPaletteColors(p8->format->palette, colours, 0, 256);
    for (auto _ : state) {
        if (state.range(0))
            SDL_SetPaletteColors(p8->format->palette, colours, 0, 256);
        SDL_BlitSurface(p8, nullptr, p32, nullptr);
        benchmark::DoNotOptimize(p32->pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
    SDL_FreeSurface(p8);
    SDL_FreeSurface(p32);
}
BENCHMARK(BM_SdlBlitFrame)->Arg(0)->Arg(1);

}  // namespace
