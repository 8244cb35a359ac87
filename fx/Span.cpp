#include "fx/Span.h"

#include <cstdint>
#include <cstring>

#include "fx/SpanRoutes.h"

// The wide stores are compiled only where the processor can be asked for them at run time and
// the calling convention keeps the stack aligned for them: x86-64 outside Windows. Everywhere
// else (the 32-bit Windows build, the browser) the plain code is all there is.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define SPAN_WIDE_STORES 1
#include <immintrin.h>
#else
#define SPAN_WIDE_STORES 0
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__GNUC__)
typedef unsigned char Vector16 __attribute__((vector_size(16)));
#endif

// Fewer than sixteen bytes: two overlapping word stores, or bytes below four. The library's
// memset is not used for short or row-sized runs: a compiler that can bound the count inlines it
// as a string instruction whose start-up costs more than a whole row of vector stores.
inline void FillShort(unsigned char* pDst, int nCount, unsigned char colour)
{
    if (nCount >= 8) {
        uint64_t w = 0x0101010101010101ull * colour;
        std::memcpy(pDst, &w, 8);
        std::memcpy(pDst + nCount - 8, &w, 8);
    } else if (nCount >= 4) {
        uint32_t w = 0x01010101u * colour;
        std::memcpy(pDst, &w, 4);
        std::memcpy(pDst + nCount - 4, &w, 4);
    } else {
        for (int i = 0; i < nCount; ++i)
            pDst[i] = colour;
    }
}

void FillPlain(unsigned char* pDst, int nCount, unsigned char colour)
{
    if (nCount < 16) {
        FillShort(pDst, nCount, colour);
        return;
    }
#if defined(__GNUC__)
    // An unaligned store for the head, aligned pairs through the middle, and an unaligned store
    // that ends exactly at the end; head and tail may overlap what lies between.
    Vector16 v;
    std::memset(&v, colour, sizeof v);
    unsigned char* pEnd = pDst + nCount;
    std::memcpy(pDst, &v, 16);
    unsigned char* p = pDst + (16 - (reinterpret_cast<uintptr_t>(pDst) & 15));
    for (; pEnd - p >= 32; p += 32) {
        std::memcpy(p, &v, 16);
        std::memcpy(p + 16, &v, 16);
    }
    if (pEnd - p >= 16)
        std::memcpy(p, &v, 16);
    std::memcpy(pEnd - 16, &v, 16);
#else
    std::memset(pDst, colour, static_cast<size_t>(nCount));
#endif
}

// Set bits in a word, without a call into the compiler's library.
int CountBits(uint64_t w)
{
    w = w - ((w >> 1) & 0x5555555555555555ull);
    w = (w & 0x3333333333333333ull) + ((w >> 2) & 0x3333333333333333ull);
    w = (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<int>((w * 0x0101010101010101ull) >> 56);
}

// The bits of the bytes from column c to nColumns, one by one, into words cleared first.
void MarkRest(const unsigned char* pRow, int c, int nColumns, uint64_t* pBits)
{
    for (int k = c >> 6; k < (nColumns + 63) >> 6; ++k)
        pBits[k] = 0;
    for (; c < nColumns; ++c)
        pBits[c >> 6] |= uint64_t{pRow[c] != 0} << (c & 63);
}

// A run starts at each set bit whose left neighbour is clear.
uint64_t RunStarts(uint64_t w, uint64_t& nCarry)
{
    const uint64_t nStarts = w & ~((w << 1) | nCarry);
    nCarry = w >> 63;
    return nStarts;
}

// Sixteen bytes a test where the processor has SSE2 (every x86-64, and the 32-bit Windows build).
int MarkPlain(const unsigned char* pRow, int nColumns, uint64_t* pBits)
{
    int c = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; c + 64 <= nColumns; c += 64) {
        const __m128i* p = reinterpret_cast<const __m128i*>(pRow + c);
        uint64_t nZero = 0;
        for (int k = 0; k < 4; ++k) {
            const uint64_t nPart =
                static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(p + k), zero)));
            nZero |= nPart << (16 * k);
        }
        pBits[c >> 6] = ~nZero;
    }
#endif
    MarkRest(pRow, c, nColumns, pBits);
    int nRuns = 0;
    uint64_t nCarry = 0;
    for (int k = 0; k < (nColumns + 63) >> 6; ++k)
        nRuns += CountBits(RunStarts(pBits[k], nCarry));
    return nRuns;
}

#if SPAN_WIDE_STORES

__attribute__((target("avx2"))) void FillAvx2(unsigned char* pDst, int nCount, unsigned char colour)
{
    if (nCount < 32) {
        FillPlain(pDst, nCount, colour);
        return;
    }
    const __m256i v = _mm256_set1_epi8(static_cast<char>(colour));
    unsigned char* pEnd = pDst + nCount;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pDst), v);
    unsigned char* p = pDst + (32 - (reinterpret_cast<uintptr_t>(pDst) & 31));
    for (; pEnd - p >= 32; p += 32)
        _mm256_store_si256(reinterpret_cast<__m256i*>(p), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pEnd - 32), v);
}

// Whole cache lines a store; the ends are masked, so no byte outside the run is touched.
__attribute__((target("avx512f,avx512bw"))) void FillAvx512(unsigned char* pDst, int nCount, unsigned char colour)
{
    if (nCount <= 0)
        return;
    const __m512i v = _mm512_set1_epi8(static_cast<char>(colour));
    if (nCount <= 64) {
        _mm512_mask_storeu_epi8(pDst, ~0ull >> (64 - nCount), v);
        return;
    }
    unsigned char* pEnd = pDst + nCount;
    _mm512_storeu_si512(pDst, v);
    unsigned char* p = pDst + (64 - (reinterpret_cast<uintptr_t>(pDst) & 63));
    for (; pEnd - p >= 64; p += 64)
        _mm512_store_si512(p, v);
    if (p < pEnd)
        _mm512_mask_storeu_epi8(p, ~0ull >> (64 - (pEnd - p)), v);
}

__attribute__((target("avx2,popcnt"))) int MarkAvx2(const unsigned char* pRow, int nColumns, uint64_t* pBits)
{
    int c = 0;
    const __m256i zero = _mm256_setzero_si256();
    for (; c + 64 <= nColumns; c += 64) {
        const __m256i* p = reinterpret_cast<const __m256i*>(pRow + c);
        const uint64_t nLow =
            static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(p), zero)));
        const uint64_t nHigh =
            static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(p + 1), zero)));
        pBits[c >> 6] = ~(nLow | (nHigh << 32));
    }
    MarkRest(pRow, c, nColumns, pBits);
    int nRuns = 0;
    uint64_t nCarry = 0;
    for (int k = 0; k < (nColumns + 63) >> 6; ++k)
        nRuns += static_cast<int>(_mm_popcnt_u64(RunStarts(pBits[k], nCarry)));
    return nRuns;
}

// The last part word is read with a masked load, which never touches the bytes past the row.
__attribute__((target("avx512f,avx512bw,popcnt"))) int MarkAvx512(const unsigned char* pRow, int nColumns,
                                                                  uint64_t* pBits)
{
    int c = 0;
    for (; c + 64 <= nColumns; c += 64) {
        const __m512i b = _mm512_loadu_si512(pRow + c);
        pBits[c >> 6] = _mm512_test_epi8_mask(b, b);
    }
    if (c < nColumns) {
        const __m512i b = _mm512_maskz_loadu_epi8(~0ull >> (64 - (nColumns - c)), pRow + c);
        pBits[c >> 6] = _mm512_test_epi8_mask(b, b);
    }
    int nRuns = 0;
    uint64_t nCarry = 0;
    for (int k = 0; k < (nColumns + 63) >> 6; ++k)
        nRuns += static_cast<int>(_mm_popcnt_u64(RunStarts(pBits[k], nCarry)));
    return nRuns;
}

// The wide ways also count bits with the processor's own instruction.
bool Has(int nRoute)
{
    __builtin_cpu_init();
    if (nRoute == SPAN_AVX512)
        return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("popcnt");
    if (nRoute == SPAN_AVX2)
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return nRoute == SPAN_PLAIN;
}

int FastestRoute()
{
    if (Has(SPAN_AVX512))
        return SPAN_AVX512;
    if (Has(SPAN_AVX2))
        return SPAN_AVX2;
    return SPAN_PLAIN;
}

#else

bool Has(int nRoute)
{
    return nRoute == SPAN_PLAIN;
}
int FastestRoute()
{
    return SPAN_PLAIN;
}

#endif

// Zero (the plain way) until start-up has asked the processor, so a fill made before that is
// still right.
int g_nSpanRoute = FastestRoute();

}  // namespace

void FillSpan(unsigned char* pDst, int nCount, unsigned char colour)
{
#if SPAN_WIDE_STORES
    if (g_nSpanRoute == SPAN_AVX512) {
        FillAvx512(pDst, nCount, colour);
        return;
    }
    if (g_nSpanRoute == SPAN_AVX2) {
        FillAvx2(pDst, nCount, colour);
        return;
    }
#endif
    FillPlain(pDst, nCount, colour);
}

int MarkNonZeroBytes(const unsigned char* pRow, int nColumns, uint64_t* pBits)
{
#if SPAN_WIDE_STORES
    if (g_nSpanRoute == SPAN_AVX512)
        return MarkAvx512(pRow, nColumns, pBits);
    if (g_nSpanRoute == SPAN_AVX2)
        return MarkAvx2(pRow, nColumns, pBits);
#endif
    return MarkPlain(pRow, nColumns, pBits);
}

void BlendSpan(unsigned char* pDst, const unsigned char* pCover, int nCount, unsigned char colour)
{
    int i = 0;
#if defined(__GNUC__)
    Vector16 c;
    std::memset(&c, colour, sizeof c);
    for (; i + 16 <= nCount; i += 16) {
        Vector16 d, m;
        std::memcpy(&d, pDst + i, 16);
        std::memcpy(&m, pCover + i, 16);
        d = (d & ~m) | (c & m);
        std::memcpy(pDst + i, &d, 16);
    }
#endif
    for (; i < nCount; ++i)
        pDst[i] = static_cast<unsigned char>((pDst[i] & ~pCover[i]) | (colour & pCover[i]));
}

bool SpanRouteAvailable(int nRoute)
{
    return Has(nRoute);
}

int SpanSetRoute(int nRoute)
{
    if (!SpanRouteAvailable(nRoute))
        return -1;
    int nBefore = g_nSpanRoute;
    g_nSpanRoute = nRoute;
    return nBefore;
}
