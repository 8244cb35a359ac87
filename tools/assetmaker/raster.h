// Pictures are painted in floating-point colour first and reduced to palette indices last, so
// every design can use smooth gradients, glows and antialiased lettering without caring which
// palette entries it will end up in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace assets {

struct Rgb {
    float r = 0, g = 0, b = 0;
};

Rgb Mix(Rgb a, Rgb b, float t);
Rgb operator+(Rgb a, Rgb b);
Rgb operator*(Rgb a, float s);

// A gradient through evenly spaced stops, t in [0, 1].
Rgb Ramp(const std::vector<Rgb>& stops, float t);

struct Canvas {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    Canvas(int width, int height) : w(width), h(height), px(size_t(width) * height) {}
    Rgb& At(int x, int y) { return px[size_t(y) * w + x]; }
    const Rgb& At(int x, int y) const { return px[size_t(y) * w + x]; }
};

// Single-channel coverage or height field, 0..1.
struct Mask {
    int w = 0, h = 0;
    std::vector<float> v;
    Mask(int width, int height) : w(width), h(height), v(size_t(width) * height, 0.0f) {}
    float& At(int x, int y) { return v[size_t(y) * w + x]; }
    float At(int x, int y) const { return v[size_t(y) * w + x]; }
    float Clamped(int x, int y) const;
};

// Three box passes approximate a gaussian of the given radius at a cost independent of it.
Mask Blur(const Mask& m, int radius);

// Blends colour over the canvas with the mask as coverage, the mask placed at (ox, oy).
void Paint(Canvas& c, const Mask& m, int ox, int oy, Rgb colour, float strength = 1.0f);

// An 8-bit picture as it goes into a BMP file: 256 colour entries and top-down rows.
struct IndexedPicture {
    int w = 0, h = 0;
    std::array<uint8_t, 256 * 4> palette{};  // blue, green, red, reserved
    std::vector<uint8_t> pixels;             // rows top to bottom, pitch w
    IndexedPicture(int width, int height) : w(width), h(height), pixels(size_t(width) * height, 0) {}
    void SetEntry(int i, Rgb c);
    Rgb Entry(int i) const;
};

// Chooses `count` colours for the selected pixels by median cut, stores them at palette entries
// first..first+count-1, and writes those pixels with error-diffusion dithering. Pixels outside the
// selection keep their index.
void Quantize(const Canvas& c, const std::vector<uint8_t>& select, IndexedPicture& out, int first, int count);

// Only the colour choice of Quantize: fills the entries, leaves the pixels alone.
void ChoosePalette(const Canvas& c, const std::vector<uint8_t>& select, IndexedPicture& out, int first, int count);

// Maps the selected pixels onto palette entries first..first+count-1 as they already stand.
void Remap(const Canvas& c, const std::vector<uint8_t>& select, IndexedPicture& out, int first, int count);

}  // namespace assets

namespace assets {

struct Pt {
    float x = 0, y = 0;
};

// Fills a polygon (non-zero winding) into the mask with 4 x 4 samples a pixel, keeping the larger
// of the coverage and what the mask holds.
void FillPolygon(Mask& m, const std::vector<Pt>& corners);

// A line of the given width with round ends, antialiased, merged like FillPolygon.
void StrokeLine(Mask& m, Pt a, Pt b, float width);

// Each pixel's distance to the nearest pixel whose coverage is at least one half (0 inside).
std::vector<float> DistanceToInk(const Mask& m);

// The shape grown outwards by `by` pixels, with an antialiased edge.
Mask Grow(const Mask& m, float by);

// Coverage of one mask taken out of another, both the same size.
void Cut(Mask& m, const Mask& hole);

}  // namespace assets
