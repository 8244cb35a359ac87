// The drawing effects against the plain memory operations that touch the same bytes, in the same
// run: a full-screen triangle and a full-screen masked quad beside memset and memcpy of the
// framebuffer, a 640-wide picture beside memcpy, and one fade frame's palette.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "fx/Blit.h"
#include "fx/Fade.h"
#include "fx/SpanRoutes.h"
#include "fx/Triangle.h"
#include "screen/Screen.h"

namespace {

const int kPixels = 640 * 480;
// What the filler and the quad write: rows 0 to 478, columns 0 to 638.
const int kDrawn = 639 * 479;

std::vector<BYTE>& Framebuffer()
{
    static std::vector<BYTE> s_screen(kPixels);
    g_pFramebuffer = s_screen.data();
    g_nWidth = 640;
    g_nHeight = 480;
    return s_screen;
}

void PerPixel(benchmark::State& state, int nPixels)
{
    state.counters["ns/pixel"] = benchmark::Counter(static_cast<double>(nPixels) * state.iterations(),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<int64_t>(nPixels) * state.iterations());
}

void BM_FillTriangleFullScreen(benchmark::State& state)
{
    Framebuffer();
    for (auto _ : state) {
        FillTriangle(-2000, -2000, 4000, -2000, -2000, 4000, 119);
        benchmark::ClobberMemory();
    }
    PerPixel(state, kDrawn);
}

void BM_MemsetScreen(benchmark::State& state)
{
    std::vector<BYTE>& screen = Framebuffer();
    for (auto _ : state) {
        std::memset(screen.data(), 119, kDrawn);
        benchmark::ClobberMemory();
    }
    PerPixel(state, kDrawn);
}

// An emblem-like mask: a filled disc of 256 x 256, stretched over the whole screen.
CImage& Mask()
{
    static CImage s_mask;
    if (!s_mask.m_pPixels) {
        s_mask.m_nWidth = s_mask.m_nHeight = 256;
        s_mask.m_pPixels = new BYTE[256 * 256];
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                s_mask.m_pPixels[y * 256 + x] = (x - 128) * (x - 128) + (y - 128) * (y - 128) < 120 * 120 ? 5 : 0;
    }
    return s_mask;
}

void BM_DrawMaskedQuadFullScreen(benchmark::State& state)
{
    Framebuffer();
    for (auto _ : state) {
        DrawMaskedQuad(&Mask(), 0, 0, 640, 480);
        benchmark::ClobberMemory();
    }
    PerPixel(state, kDrawn);
}

// The same stretch with other masks, for the costs the disc does not show: 0 nothing set (the walk
// alone), 1 everything set (every byte written), 2 a dithered mask (a run every other column,
// merged through a coverage row).
CImage& OtherMask(int nKind)
{
    static CImage s_masks[3];
    CImage& mask = s_masks[nKind];
    if (!mask.m_pPixels) {
        mask.m_nWidth = mask.m_nHeight = 256;
        mask.m_pPixels = new BYTE[256 * 256];
        for (int i = 0; i < 256 * 256; ++i)
            mask.m_pPixels[i] = nKind == 0 ? 0 : nKind == 1 ? 9 : static_cast<BYTE>(((i ^ (i >> 8)) & 1) * 9);
    }
    return mask;
}

void BM_DrawMaskedQuadOtherMasks(benchmark::State& state)
{
    Framebuffer();
    CImage& mask = OtherMask(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        DrawMaskedQuad(&mask, 0, 0, 640, 480);
        benchmark::ClobberMemory();
    }
    PerPixel(state, kDrawn);
}

// The triangle and the disc through each way of filling spans the machine has (range(0): 0 plain,
// 1 AVX2, 2 AVX-512), for what a machine without the wider stores gets.
void BM_FillTriangleByRoute(benchmark::State& state)
{
    Framebuffer();
    const int nBefore = SpanSetRoute(static_cast<int>(state.range(0)));
    if (nBefore < 0) {
        state.SkipWithError("not on this machine");
        return;
    }
    for (auto _ : state) {
        FillTriangle(-2000, -2000, 4000, -2000, -2000, 4000, 119);
        benchmark::ClobberMemory();
    }
    SpanSetRoute(nBefore);
    PerPixel(state, kDrawn);
}

void BM_DrawMaskedQuadByRoute(benchmark::State& state)
{
    Framebuffer();
    const int nBefore = SpanSetRoute(static_cast<int>(state.range(0)));
    if (nBefore < 0) {
        state.SkipWithError("not on this machine");
        return;
    }
    for (auto _ : state) {
        DrawMaskedQuad(&Mask(), 0, 0, 640, 480);
        benchmark::ClobberMemory();
    }
    SpanSetRoute(nBefore);
    PerPixel(state, kDrawn);
}

void BM_MemcpyScreen(benchmark::State& state)
{
    std::vector<BYTE>& screen = Framebuffer();
    static std::vector<BYTE> s_source(kPixels, 7);
    for (auto _ : state) {
        std::memcpy(screen.data(), s_source.data(), kPixels);
        benchmark::ClobberMemory();
    }
    PerPixel(state, kPixels);
}

void BM_DrawImageClipped640(benchmark::State& state)
{
    Framebuffer();
    static CImage s_picture;
    if (!s_picture.m_pPixels) {
        s_picture.m_nWidth = 640;
        s_picture.m_nHeight = 480;
        s_picture.m_pPixels = new BYTE[kPixels];
        std::memset(s_picture.m_pPixels, 7, kPixels);
    }
    for (auto _ : state) {
        DrawImageClipped(0, 0, &s_picture);
        benchmark::ClobberMemory();
    }
    PerPixel(state, kPixels);
}

void BM_FadeFramePalette(benchmark::State& state)
{
    BYTE source[1024], out[1024];
    for (int i = 0; i < 1024; ++i)
        source[i] = static_cast<BYTE>(i * 7);
    double dScale = 0.25;
    for (auto _ : state) {
        ScalePalette(source, dScale, out);
        benchmark::DoNotOptimize(out);
        dScale = dScale < 0.9 ? dScale + 0.01 : 0.1;
    }
}

void BM_MemcpyPalette(benchmark::State& state)
{
    BYTE source[1024], out[1024];
    std::memset(source, 3, sizeof source);
    for (auto _ : state) {
        std::memcpy(out, source, sizeof out);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_FillTriangleFullScreen);
BENCHMARK(BM_MemsetScreen);
BENCHMARK(BM_DrawMaskedQuadFullScreen);
BENCHMARK(BM_DrawMaskedQuadOtherMasks)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_FillTriangleByRoute)->Arg(SPAN_PLAIN)->Arg(SPAN_AVX2)->Arg(SPAN_AVX512);
BENCHMARK(BM_DrawMaskedQuadByRoute)->Arg(SPAN_PLAIN)->Arg(SPAN_AVX2)->Arg(SPAN_AVX512);
BENCHMARK(BM_MemcpyScreen);
BENCHMARK(BM_DrawImageClipped640);
BENCHMARK(BM_FadeFramePalette);
BENCHMARK(BM_MemcpyPalette);
