#include "platform/host/pixels.h"

#include <algorithm>
#include <cstring>

#include "platform/host/pixels_routes.h"

#if defined(__GNUC__) && defined(__x86_64__)
#define PIXELS_VBMI 1
#include <immintrin.h>
#else
#define PIXELS_VBMI 0
#endif

namespace host {

namespace {

int FastestRoute()
{
#if PIXELS_VBMI
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw"))
        return PIXEL_VBMI;
#endif
    return PIXEL_PAIRS;
}

// Zero (the portable way) until start-up has asked the processor.
int g_nRoute = FastestRoute();

void BuildPairs(PixelTable& table)
{
    table.pairs.resize(65536);
    const uint32_t* t = table.xrgb;
    uint64_t* p = table.pairs.data();
    for (int second = 0; second < 256; ++second, p += 256) {
        uint64_t high = uint64_t{t[second]} << 32;
        for (int first = 0; first < 256; ++first)
            p[first] = high | t[first];
    }
}

void ConvertByPairs(const uint8_t* pSrc, ptrdiff_t nSrcPitch, uint32_t* pDst, ptrdiff_t nDstPitch, int nWidth,
                    int nHeight, const PixelTable& table)
{
    const uint32_t* t = table.xrgb;
    const uint64_t* pairs = table.pairs.size() == 65536 ? table.pairs.data() : nullptr;
    for (int y = 0; y < nHeight; ++y, pSrc += nSrcPitch, pDst += nDstPitch) {
        int x = 0;
        // Four source pixels a load, two display pixels a lookup and a store (little-endian: the
        // first pixel is the low byte and lands at the lower address).
        for (; pairs && x + 4 <= nWidth; x += 4) {
            uint32_t four;
            std::memcpy(&four, pSrc + x, 4);
            uint64_t a = pairs[four & 0xFFFF], b = pairs[four >> 16];
            std::memcpy(pDst + x, &a, 8);
            std::memcpy(pDst + x + 2, &b, 8);
        }
        for (; x < nWidth; ++x)
            pDst[x] = t[pSrc[x]];
    }
}

#if PIXELS_VBMI

#define PIXELS_VBMI_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// The 256 entries of one plane in four registers.
struct Plane {
    __m512i q[4];
};

PIXELS_VBMI_TARGET inline Plane LoadPlane(const uint8_t* pPlane)
{
    return {{_mm512_loadu_si512(pPlane), _mm512_loadu_si512(pPlane + 64), _mm512_loadu_si512(pPlane + 128),
             _mm512_loadu_si512(pPlane + 192)}};
}

// 64 indices through one plane: the low seven bits pick from the lower or the upper half of the
// table, the high bit picks the half.
PIXELS_VBMI_TARGET inline __m512i LookUp(const Plane& p, __m512i index, __mmask64 high)
{
    return _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(p.q[0], index, p.q[1]),
                                  _mm512_permutex2var_epi8(p.q[2], index, p.q[3]));
}

// Four 128-bit lanes picked from two registers. (The masked form with every lane kept: the plain
// one hands this compiler's warnings an undefined register it then takes for uninitialised.)
#define Lanes(a, b, imm) _mm512_maskz_shuffle_i32x4(static_cast<__mmask16>(0xFFFF), (a), (b), (imm))

// 64 source pixels to 64 display pixels: three planes looked up, then interleaved into blue,
// green, red, 0 per pixel. The unpacks work within 128-bit lanes, so the last four shuffles put
// the lanes back in pixel order.
PIXELS_VBMI_TARGET inline void Convert64(const __m512i index, const Plane& blue, const Plane& green, const Plane& red,
                                         __m512i out[4])
{
    const __mmask64 high = _mm512_movepi8_mask(index);
    const __m512i b = LookUp(blue, index, high), g = LookUp(green, index, high), r = LookUp(red, index, high);
    const __m512i zero = _mm512_setzero_si512();
    const __m512i bgLow = _mm512_unpacklo_epi8(b, g), bgHigh = _mm512_unpackhi_epi8(b, g);
    const __m512i r0Low = _mm512_unpacklo_epi8(r, zero), r0High = _mm512_unpackhi_epi8(r, zero);
    // Lane k of p0 holds pixels 16k to 16k + 3, of p1 16k + 4 to 16k + 7, and so on.
    const __m512i p0 = _mm512_unpacklo_epi16(bgLow, r0Low), p1 = _mm512_unpackhi_epi16(bgLow, r0Low);
    const __m512i p2 = _mm512_unpacklo_epi16(bgHigh, r0High), p3 = _mm512_unpackhi_epi16(bgHigh, r0High);
    const __m512i t0 = Lanes(p0, p1, 0x44), t1 = Lanes(p2, p3, 0x44);
    const __m512i t2 = Lanes(p0, p1, 0xEE), t3 = Lanes(p2, p3, 0xEE);
    out[0] = Lanes(t0, t1, 0x88);
    out[1] = Lanes(t0, t1, 0xDD);
    out[2] = Lanes(t2, t3, 0x88);
    out[3] = Lanes(t2, t3, 0xDD);
}

// The end of a row is read and written under masks, so no byte outside the rectangle is touched.
PIXELS_VBMI_TARGET void ConvertByPlanes(const uint8_t* pSrc, ptrdiff_t nSrcPitch, uint32_t* pDst, ptrdiff_t nDstPitch,
                                        int nWidth, int nHeight, const PixelTable& table)
{
    const Plane blue = LoadPlane(table.planes[0]), green = LoadPlane(table.planes[1]), red = LoadPlane(table.planes[2]);
    __m512i out[4];
    for (int y = 0; y < nHeight; ++y, pSrc += nSrcPitch, pDst += nDstPitch) {
        int x = 0;
        for (; x + 64 <= nWidth; x += 64) {
            Convert64(_mm512_loadu_si512(pSrc + x), blue, green, red, out);
            for (int k = 0; k < 4; ++k)
                _mm512_storeu_si512(pDst + x + 16 * k, out[k]);
        }
        if (x < nWidth) {
            const int nLeft = nWidth - x;
            Convert64(_mm512_maskz_loadu_epi8(~0ull >> (64 - nLeft), pSrc + x), blue, green, red, out);
            for (int k = 0; k < 4 && 16 * k < nLeft; ++k) {
                const int nPart = std::min(16, nLeft - 16 * k);
                _mm512_mask_storeu_epi32(pDst + x + 16 * k, static_cast<__mmask16>(0xFFFFu >> (16 - nPart)), out[k]);
            }
        }
    }
}

#endif

}  // namespace

void FinishPixelTable(PixelTable& table)
{
    for (int i = 0; i < 256; ++i) {
        table.planes[0][i] = static_cast<uint8_t>(table.xrgb[i]);
        table.planes[1][i] = static_cast<uint8_t>(table.xrgb[i] >> 8);
        table.planes[2][i] = static_cast<uint8_t>(table.xrgb[i] >> 16);
    }
    if (g_nRoute == PIXEL_PAIRS)
        BuildPairs(table);
    else
        table.pairs.clear();
}

void BuildPixelTable(const uint32_t* pXrgb, PixelTable& table)
{
    for (int i = 0; i < 256; ++i)
        table.xrgb[i] = pXrgb[i] & 0x00FFFFFFu;
    FinishPixelTable(table);
}

void ConvertPixels(const uint8_t* pSrc, ptrdiff_t nSrcPitch, uint32_t* pDst, ptrdiff_t nDstPitch, int nWidth,
                   int nHeight, const PixelTable& table)
{
    if (nWidth <= 0 || nHeight <= 0)
        return;
#if PIXELS_VBMI
    if (g_nRoute == PIXEL_VBMI) {
        ConvertByPlanes(pSrc, nSrcPitch, pDst, nDstPitch, nWidth, nHeight, table);
        return;
    }
#endif
    ConvertByPairs(pSrc, nSrcPitch, pDst, nDstPitch, nWidth, nHeight, table);
}

const uint32_t* FrameConverter::Convert(const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette, int nWidth,
                                        int nHeight)
{
    if (!m_bBuilt || std::memcmp(m_colours, pPalette, sizeof m_colours) != 0) {
        std::memcpy(m_colours, pPalette, sizeof m_colours);
        BuildPixelTable(m_colours, m_table);
        m_bBuilt = true;
    }
    m_xrgb.resize(size_t(std::max(nWidth, 0)) * size_t(std::max(nHeight, 0)));
    ConvertPixels(pIndices, nPitch, m_xrgb.data(), nWidth, nWidth, nHeight, m_table);
    return m_xrgb.data();
}

bool PixelRouteAvailable(int nRoute)
{
    if (nRoute == PIXEL_PAIRS)
        return true;
#if PIXELS_VBMI
    if (nRoute == PIXEL_VBMI)
        return __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");
#endif
    return false;
}

int PixelSetRoute(int nRoute)
{
    if (!PixelRouteAvailable(nRoute))
        return -1;
    int nBefore = g_nRoute;
    g_nRoute = nRoute;
    return nBefore;
}

}  // namespace host
