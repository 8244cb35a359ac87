// The ways ConvertPixels can go, for the tests that hold each way the machine has against the
// plain one. The program never chooses: the fastest way the processor offers is taken once. Named
// as the drawing's own ways are (fx/SpanRoutes.h: SpanRouteAvailable, SpanSetRoute, SPAN_*).
#pragma once

namespace host {

enum PixelRoute {
    PIXEL_PAIRS = 0,  // portable: two pixels a lookup in a 65536-entry table of pairs
    PIXEL_VBMI = 1,   // x86-64 with AVX-512 VBMI: 64 pixels a step, byte planes in registers
};

bool PixelRouteAvailable(int nRoute);
// Makes every later BuildPixelTable and ConvertPixels go that way; returns the way taken
// before, or -1 (and changes nothing) when the way is not available. Every table converts
// right either way; only a table built while the pair route is taken carries its pairs.
int PixelSetRoute(int nRoute);

}  // namespace host
