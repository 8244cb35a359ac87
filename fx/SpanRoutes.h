// The ways FillSpan can store its bytes, for the tests that hold every way the machine has against
// the plain one. The drawing code never chooses: the fastest way the processor offers is taken
// once, at start-up. The pixel conversion's ways are named alike (platform/host/pixels_routes.h:
// PixelRouteAvailable, PixelSetRoute, PIXEL_*).
#pragma once

#define SPAN_PLAIN 0   // portable code: sixteen bytes a store where the compiler has vectors
#define SPAN_AVX2 1    // 32-byte stores (x86-64 with AVX2)
#define SPAN_AVX512 2  // 64-byte stores and masked ends (x86-64 with AVX-512BW)

// Whether this build and this processor can fill spans that way.
bool SpanRouteAvailable(int nRoute);
// Makes every later FillSpan use that way; returns the way used before, or -1 (and changes
// nothing) when the way is not available.
int SpanSetRoute(int nRoute);
