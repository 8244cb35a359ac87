#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/Assets.h"
#include "font.h"
#include "screen/Screen.h"

namespace assets {

namespace {

using namespace layout;

constexpr int kW = SCREEN_WIDTH, kH = SCREEN_HEIGHT;
constexpr float kPi = 3.14159265358979f;

Rgb Hex(uint32_t v) { return {((v >> 16) & 255) / 255.0f, ((v >> 8) & 255) / 255.0f, (v & 255) / 255.0f}; }

float Smooth(float e0, float e1, float x) {
    float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

uint32_t HashU(int x, int y, int seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}
float Hash(int x, int y, int seed) { return float(HashU(x, y, seed) & 0xFFFFFF) / float(0xFFFFFF); }

float ValueNoise(float x, float y, int seed) {
    int xi = int(std::floor(x)), yi = int(std::floor(y));
    float fx = x - float(xi), fy = y - float(yi);
    fx = fx * fx * (3 - 2 * fx), fy = fy * fy * (3 - 2 * fy);
    float a = Hash(xi, yi, seed), b = Hash(xi + 1, yi, seed), c = Hash(xi, yi + 1, seed),
          d = Hash(xi + 1, yi + 1, seed);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

float Fbm(float x, float y, int seed, int octaves) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += ValueNoise(x, y, seed + i * 17) * amp;
        norm += amp;
        x *= 2.03f, y *= 2.03f, amp *= 0.5f;
    }
    return sum / norm;
}

// The largest size up to `size` at which the text's ink fits into `maxWidth`.
Mask FitText(Face face, int size, const std::string& text, int pad, int tracking, int maxWidth) {
    Mask m = TextMask(face, size, text, pad, tracking);
    while (m.w - 2 * pad > maxWidth && size > 8) {
        size = size * 95 / 100;
        m = TextMask(face, size, text, pad, tracking);
    }
    return m;
}

// ---------------------------------------------------------------------------------------------
// Display lettering in the manner of a demo logo: the font's outlines slanted, swollen until the
// letters nearly touch and cut by two speed lines; then a dark outline, a bright rim around that,
// a glow and a shadow, and a chrome fill: sky above a horizon line, warm ground below, lit from
// the top left.

Mask DisplayLetters(Face face, int size, const std::string& text, int tracking, float weight, int pad) {
    const float slant = 0.2f;
    Mask m = TextMask(face, size, text, pad, tracking);
    int extra = int(std::ceil(slant * float(m.h)));
    Mask s(m.w + extra, m.h);
    for (int y = 0; y < m.h; ++y) {
        float shift = slant * float(m.h - 1 - y);
        int whole = int(shift);
        float frac = shift - float(whole);
        for (int x = 0; x < m.w; ++x) {
            float v = m.At(x, y);
            s.At(x + whole, y) += v * (1 - frac);
            if (x + whole + 1 < s.w) s.At(x + whole + 1, y) += v * frac;
        }
    }
    Mask heavy = Grow(s, weight);
    int top = heavy.h, bottom = 0;
    for (int y = 0; y < heavy.h; ++y)
        for (int x = 0; x < heavy.w; ++x)
            if (heavy.At(x, y) > 0.5f) top = std::min(top, y), bottom = std::max(bottom, y);
    float span = float(std::max(1, bottom - top));
    for (float at : {0.64f, 0.78f}) {
        float centre = float(top) + span * at, half = std::max(1.2f, span * 0.022f);
        for (int y = 0; y < heavy.h; ++y) {
            float keep = std::clamp(std::fabs(float(y) + 0.5f - centre) - half + 0.5f, 0.0f, 1.0f);
            if (keep < 1)
                for (int x = 0; x < heavy.w; ++x) heavy.At(x, y) *= keep;
        }
    }
    return heavy;
}

// The largest size up to `size` at which the display lettering fits into `maxWidth`.
Mask FitDisplay(Face face, int size, const std::string& text, int tracking, float weight, int pad, int maxWidth) {
    Mask m = DisplayLetters(face, size, text, tracking, weight, pad);
    while (m.w - 2 * pad > maxWidth && size > 8) {
        size = size * 96 / 100;
        m = DisplayLetters(face, size, text, tracking, weight * 0.96f, pad);
    }
    return m;
}

struct Logo {
    std::vector<Rgb> ramp;  // top to bottom of the letters
    Rgb rim, glow;
    float outline = 3, rimWidth = 3, glowStrength = 1.0f;
    int glowRadius = 18;
};

std::vector<Rgb> Chrome(Rgb sky, Rgb ground) {
    return {Hex(0xffffff), Mix(sky, Hex(0xffffff), 0.5f),    sky,    Mix(sky, Hex(0x000010), 0.75f),
            Hex(0x08040c), Mix(ground, Hex(0x000000), 0.3f), ground, Mix(ground, Hex(0xffffff), 0.6f)};
}

// The letters' ink spans rows top..bottom of the mask.
void InkRows(const Mask& m, int& top, int& bottom) {
    top = m.h, bottom = 0;
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x)
            if (m.At(x, y) > 0.5f) top = std::min(top, y), bottom = std::max(bottom, y);
    if (top > bottom) top = 0, bottom = m.h - 1;
}

void DrawLogo(Canvas& c, const Mask& text, int ox, int oy, const Logo& s) {
    Mask inner = Grow(text, s.outline), outer = Grow(text, s.outline + s.rimWidth);
    Paint(c, Blur(outer, s.glowRadius), ox, oy, s.glow, s.glowStrength * 1.4f);
    Paint(c, Blur(outer, 6), ox + 6, oy + 8, Rgb{0, 0, 0}, 0.85f);
    Paint(c, outer, ox, oy, s.rim);
    Paint(c, inner, ox, oy, Rgb{0.02f, 0.01f, 0.04f});
    Mask height = Blur(text, 5);
    int top, bottom;
    InkRows(text, top, bottom);
    float span = float(std::max(1, bottom - top));
    for (int y = 0; y < text.h; ++y) {
        int cy = y + oy;
        if (cy < 0 || cy >= c.h) continue;
        for (int x = 0; x < text.w; ++x) {
            int cx = x + ox;
            float a = text.At(x, y);
            if (cx < 0 || cx >= c.w || a <= 0) continue;
            float nx = height.Clamped(x + 1, y) - height.Clamped(x - 1, y);
            float ny = height.Clamped(x, y + 1) - height.Clamped(x, y - 1);
            float lit = std::clamp(0.5f + (nx + ny) * 2.4f, 0.0f, 1.0f);
            float t = std::clamp((float(y) - float(top)) / span, 0.0f, 1.0f);
            Rgb base = Ramp(s.ramp, t + (nx - ny) * 0.15f);
            Rgb col = base * (0.6f + 0.6f * lit);
            float spec = std::pow(lit, 8.0f) * 0.7f;
            col = col + Rgb{spec, spec, spec};
            c.At(cx, cy) = Mix(c.At(cx, cy), col, a);
        }
    }
}

// Plain heavy lettering for lines under a name: a flat colour with a dark edge and a soft glow.
void DrawLine(Canvas& c, const std::string& text, Face face, int size, int cx, int cy, int maxWidth, Rgb colour,
              Rgb glow, int tracking = 2) {
    Mask m = FitText(face, size, text, 14, tracking, maxWidth);
    int ox = cx - m.w / 2, oy = cy - m.h / 2;
    Paint(c, Blur(m, 10), ox, oy, glow, 0.8f);
    Paint(c, Grow(m, 2.0f), ox, oy, Rgb{0.01f, 0.01f, 0.03f}, 0.9f);
    Paint(c, m, ox, oy, colour);
}

std::vector<uint8_t> All(size_t n) { return std::vector<uint8_t>(n, 1); }

// ---------------------------------------------------------------------------------------------
// The opening picture: a night sky over a glowing grid plain, a striped setting sun and a ridge.

constexpr int kHorizon = 300;

Rgb BackgroundAt(float x, float y) {
    Rgb sky = Ramp({Hex(0x05041a), Hex(0x120b3a), Hex(0x2e1160), Hex(0x6a1a7a), Hex(0xc2306e)}, y / kHorizon);
    if (y < kHorizon) {
        Rgb c = sky;
        // Striped sun sinking into the ridge, hot at the top, magenta at the bottom; it stands
        // where the emblem's window comes to rest.
        float dx = x - kSunX, dy = y - kSunY, r = std::sqrt(dx * dx + dy * dy);
        float glow = std::exp(-std::max(0.0f, r - kSunRadius) / 45.0f);
        c = Mix(c, Hex(0xff5aa0), glow * 0.5f);
        if (r < kSunRadius + 1) {
            float v = (y - (kSunY - kSunRadius)) / (2 * kSunRadius);
            Rgb sun = Ramp({Hex(0xfff2a0), Hex(0xffb040), Hex(0xff4f7a), Hex(0xd02a8a)}, v);
            float band = y > kSunY + 4 ? std::fmod(y - kSunY - 4, 9.0f) : 99;
            float gap = (y - kSunY - 4) / kSunRadius * 5.0f;
            float inside = Smooth(kSunRadius + 0.5f, kSunRadius - 1.0f, r) * (band < gap ? 0.0f : 1.0f);
            c = Mix(c, sun, inside);
        }
        // Far ridge, dark against the sun.
        float ridge = kHorizon - 8 -
                      95 * std::pow(Fbm(x / 110.0f, 3.7f, 11, 6), 2.0f) * (0.25f + 0.75f * std::fabs(x - 320) / 320.0f);
        if (y > ridge) {
            float rim = Smooth(ridge + 3, ridge, y);
            c = Mix(Hex(0x140826), Hex(0x7a2a80), rim * 0.8f);
        }
        // Stars, fewer towards the horizon.
        int sx = int(x) / 3, sy = int(y) / 3;
        float h = Hash(sx, sy, 7);
        if (h > 0.992f && y < 200) {
            float tw = Hash(sx, sy, 9);
            c = c + Rgb{0.6f, 0.6f, 0.8f} * (tw * (1 - y / 220.0f));
        }
        return c;
    }
    // The plain: grid lines that glow, thinning into a haze at the horizon.
    float dz = y - kHorizon;
    float z = 2400.0f / dz;
    float wx = (x - 320) * z / 320.0f;
    float fu = std::fabs(wx * 0.5f - std::round(wx * 0.5f));
    float fv = std::fabs(z * 0.25f - std::round(z * 0.25f));
    float pu = 0.5f * z / 320.0f + 0.02f, pv = 0.25f * z * z / 2400.0f + 0.02f;
    float line = std::max(Smooth(pu * 1.5f, 0, fu), Smooth(pv * 1.5f, 0, fv));
    float haze = std::exp(-dz / 50.0f);
    Rgb floor = Ramp({Hex(0x2a0a40), Hex(0x10062a), Hex(0x06031a)}, dz / 180.0f);
    Rgb gridCol = Mix(Hex(0x40e0ff), Hex(0xff50c0), haze);
    Rgb c = Mix(floor, gridCol, line * (0.9f - 0.5f * haze));
    c = Mix(c, Hex(0xc2306e), haze * 0.8f);
    // The sun's reflection on the plain.
    float refl = std::exp(-std::fabs(x - kSunX) / 45.0f) * std::exp(-dz / 70.0f);
    return Mix(c, Hex(0xff8a60), refl * 0.5f);
}

Canvas PaintBackground() {
    Canvas c(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            // Four samples a pixel keep the grid lines and the sun's stripes smooth.
            Rgb sum{};
            for (int s = 0; s < 4; ++s)
                sum = sum + BackgroundAt(x + 0.25f + 0.5f * (s & 1), y + 0.25f + 0.5f * (s >> 1));
            c.At(x, y) = sum * 0.25f;
        }
    return c;
}

// A perspective floor of glowing lines from a horizon at row `horizon` to the canvas's bottom.
void PaintFloor(Canvas& c, int horizon, int bottom, Rgb near, Rgb far, Rgb haze, float spacing) {
    for (int y = horizon; y < bottom; ++y)
        for (int x = 0; x < c.w; ++x) {
            Rgb sum{};
            for (int s = 0; s < 4; ++s) {
                float fx = x + 0.25f + 0.5f * (s & 1), fy = y + 0.25f + 0.5f * (s >> 1);
                float dz = fy - horizon + 0.5f, z = 1600.0f / dz;
                float wx = (fx - 320) * z / 320.0f / spacing, wz = z / spacing * 0.5f;
                float fu = std::fabs(wx - std::round(wx)), fv = std::fabs(wz - std::round(wz));
                float pu = 0.6f * z / 320.0f / spacing + 0.015f, pv = 0.5f * z * z / 1600.0f / spacing + 0.015f;
                float line = std::max(Smooth(pu * 1.5f, 0, fu), Smooth(pv * 1.5f, 0, fv));
                float h = std::exp(-dz / 26.0f);
                Rgb ground = Mix(Hex(0x06021a), Hex(0x140630), std::min(1.0f, dz / 120.0f));
                Rgb col = Mix(ground, Mix(near, far, h), line * (0.95f - 0.4f * h));
                sum = sum + Mix(col, haze, h * 0.75f);
            }
            c.At(x, y) = sum * 0.25f;
        }
}

// The band: the logo on a dark strip edged with a glowing line, the black lane of the scroller,
// and a grid floor running to the bottom edge under it.
Canvas PaintBand() {
    Canvas c(kW, kBandHeight);
    for (int y = 0; y < kLogoRows; ++y)
        for (int x = 0; x < c.w; ++x) {
            float t = float(y) / kLogoRows;
            Rgb bg = Ramp({Hex(0x0a0620), Hex(0x1a0e3c), Hex(0x0c0726)}, t);
            float scan = (y % 4 == 0) ? 0.8f : 1.0f;
            float edge = std::exp(-std::fabs(float(y) - (kLogoRows - 5)) / 2.0f) +
                         std::exp(-std::fabs(float(y) - 3) / 1.5f) * 0.6f;
            float sweep = 0.5f + 0.5f * std::cos((x - 320) / 320.0f * kPi);
            c.At(x, y) =
                Mix(bg * scan, Mix(Hex(0x3060ff), Hex(0x40e0ff), sweep), std::min(1.0f, edge * (0.5f + 0.5f * sweep)));
        }
    PaintFloor(c, kLaneBottom, kBandHeight, Hex(0xff40c0), Hex(0x40e0ff), Hex(0x8030a0), 1.0f);
    Mask text = FitDisplay(Face::SansBold, 112, "PLIMBRIX", 2, 4.0f, 30, 590);
    Logo style{Chrome(Hex(0x4aa0ff), Hex(0xffa040)), Hex(0x60f0ff), Hex(0x2a70ff), 3, 2.5f, 0.9f, 16};
    int top, bottom;
    InkRows(text, top, bottom);
    DrawLogo(c, text, (kW - text.w) / 2, (kLogoRows - 6) / 2 - (top + bottom) / 2, style);
    // A glowing edge along the bottom: the leading edge as the band drops in over the opening
    // picture, the frame's lower border under the scroller.
    for (int y = kBandHeight - 8; y < kBandHeight; ++y)
        for (int x = 0; x < c.w; ++x) {
            float sweep = 0.5f + 0.5f * std::cos((x - 320) / 320.0f * kPi);
            float edge = std::exp(-std::fabs(float(y) - (kBandHeight - 3)) / 1.5f);
            c.At(x, y) =
                Mix(c.At(x, y), Mix(Hex(0x3060ff), Hex(0x60f0ff), sweep), std::min(1.0f, edge * (0.6f + 0.4f * sweep)));
        }
    // The logo's glow and shadow stop at the lane: the scroller's black covers it anyway.
    for (int y = kLogoRows; y < kLaneBottom; ++y)
        for (int x = 0; x < c.w; ++x) c.At(x, y) = Rgb{};
    return c;
}

// The scroller: fiery lettering on black with its reflection below on a dark polished floor. The
// black is left as index 0, the background's black.
Canvas PaintScroller(std::vector<uint8_t>& select) {
    const int pad = 28, h = kScrollHeight;
    Mask text = FitDisplay(Face::SansBold, 96, "PRESENTS \xB7 STOP THE VADURER", 3, 3.5f, pad, 1500);
    int top, bottom;
    InkRows(text, top, bottom);
    int w = text.w + 40, baseline = 100;  // the letters stand on this row; their reflection hangs below
    Canvas letters(w, h);
    Logo style{Chrome(Hex(0xffb040), Hex(0xff3070)), Hex(0xffe080), Hex(0xff3060), 3, 2.0f, 0.8f, 12};
    DrawLogo(letters, text, 20, baseline - bottom, style);
    Canvas c = letters;
    for (int y = baseline + 4; y < h; ++y) {
        // Squashed to half height, darkened and cooled as it falls away, with a slight ripple.
        float d = float(y - baseline - 4);
        float fade = 0.42f * std::pow(1.0f - d / float(h - baseline - 4), 1.5f);
        int src = baseline - int(d * 1.4f);
        for (int x = 0; x < w; ++x) {
            int sx = std::clamp(x + int(std::lround(1.5f * std::sin(d * 0.7f))), 0, w - 1);
            Rgb r = src >= 0 ? letters.At(sx, src) : Rgb{};
            c.At(x, y) = Rgb{r.r * 0.7f, r.g * 0.8f, r.b + 0.1f * (r.r + r.g)} * fade;
        }
    }
    select.assign(c.px.size(), 0);
    for (size_t i = 0; i < c.px.size(); ++i) {
        const Rgb& p = c.px[i];
        select[i] = (p.r * 0.3f + p.g * 0.59f + p.b * 0.11f) > 0.012f;
    }
    for (int x = 0; x < w; ++x) select[size_t(x)] = 0, select[size_t(h - 1) * w + x] = 0;
    return c;
}

void SetCubeAndFlash(IndexedPicture& pic) {
    pic.SetEntry(kBlack, Rgb{0, 0, 0});
    // An icy white that no part of the warm sun or the violet sky comes near, so the flash and
    // the emblem read clearly over both and over the cube.
    pic.SetEntry(kFlash, Hex(0xa0ffff));
    // Magenta chrome: the face turned to the viewer is brightest; the ramp darkens smoothly to
    // edge-on at 123 and on to the back faces, which the cube never shows.
    for (int i = 0; i < kCubeCount; ++i) {
        float t = float(i) / (kCubeCount - 1);
        pic.SetEntry(kCubeFirst + i,
                     Ramp({Hex(0xffa8e8), Hex(0xe060c8), Hex(0x9a2a9a), Hex(0x501460), Hex(0x1a0628)}, t));
    }
}

// ---------------------------------------------------------------------------------------------
// The emblem: an octagon, the shape of a stop sign, edged with a second thin octagon and opened
// by a round window. When the zoom ends the window rings the sun with an even band of sky. Only
// the silhouette reaches the screen; the shading makes the file itself pleasant to look at.

std::vector<Pt> Octagon(float cx, float cy, float apothem) {
    std::vector<Pt> p;
    float r = apothem / std::cos(kPi / 8);
    for (int i = 0; i < 8; ++i) {
        float a = kPi / 8 + float(i) * kPi / 4;
        p.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return p;
}

Mask EmblemShape(float size, float cx, float cy, float scale) {
    int n = int(std::ceil(size));
    Mask shape(n, n), gap(n, n), window(n, n);
    FillPolygon(shape, Octagon(cx, cy, kEmblemApothem * scale));
    FillPolygon(gap, Octagon(cx, cy, kGapOuter * scale));
    Mask inner(n, n);
    FillPolygon(inner, Octagon(cx, cy, kGapInner * scale));
    Cut(gap, inner);
    Cut(shape, gap);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            // Sixteen samples a pixel, so the window is as round as the pixels allow.
            float cover = 0;
            for (int s = 0; s < 16; ++s) {
                float dx = x + (float(s & 3) + 0.5f) / 4 - cx, dy = y + (float(s >> 2) + 0.5f) / 4 - cy;
                cover += (dx * dx + dy * dy < kWindowRadius * scale * kWindowRadius * scale) ? 1.0f / 16 : 0.0f;
            }
            window.At(x, y) = cover;
        }
    Cut(shape, window);
    return shape;
}

IndexedPicture MakeEmblem() {
    const int n = kEmblemSize;
    IndexedPicture pic(n, n);
    for (int i = 0; i < 256; ++i)
        pic.SetEntry(i, i == 0 ? Rgb{} : Ramp({Hex(0x600818), Hex(0xe02838), Hex(0xfff0e0)}, (i - 1) / 254.0f));
    Mask shape = EmblemShape(float(n), n / 2.0f, n / 2.0f, 1.0f);
    Mask height = Blur(shape, 4);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            if (shape.At(x, y) < 0.5f) continue;
            float lit = std::clamp(0.55f + (height.Clamped(x + 1, y) - height.Clamped(x - 1, y) +
                                            height.Clamped(x, y + 1) - height.Clamped(x, y - 1)) *
                                               2.5f,
                                   0.0f, 1.0f);
            pic.pixels[size_t(y) * n + x] = uint8_t(1 + std::lround(lit * 254));
        }
    return pic;
}

// ---------------------------------------------------------------------------------------------
// Credit pages: each its own palette, its own layout and a motif for what that member did.

Canvas Nebula(const std::vector<Rgb>& sky, int seed, float strength) {
    Canvas c(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            float n = Fbm(x / 160.0f, y / 160.0f, seed, 5);
            float swirl = Fbm(x / 70.0f + n * 2, y / 70.0f - n, seed + 5, 4);
            float vign = 1 - 0.7f * std::pow(std::hypot((x - 320) / 400.0f, (y - 240) / 320.0f), 2.0f);
            float t = std::clamp((n * 0.6f + swirl * 0.6f - 0.35f) * vign * 1.3f * strength, 0.0f, 1.0f);
            c.At(x, y) = Ramp(sky, t);
            float h = Hash(x, y, seed + 99);
            if (h > 0.9985f) c.At(x, y) = c.At(x, y) + Rgb{0.5f, 0.5f, 0.55f} * Hash(y, x, seed);
        }
    return c;
}

void PaintName(Canvas& c, const std::string& name, int size, int cx, int cy, int maxWidth, const Logo& style) {
    Mask m = FitDisplay(Face::SansBold, size, name, 3, std::max(2.5f, size / 30.0f), 30, maxWidth);
    int top, bottom;
    InkRows(m, top, bottom);
    DrawLogo(c, m, cx - m.w / 2, cy - (top + bottom) / 2, style);
}

IndexedPicture Reduce(const Canvas& c) {
    IndexedPicture pic(kW, kH);
    pic.SetEntry(0, Rgb{});
    Quantize(c, All(c.px.size()), pic, 1, 255);
    return pic;
}

// The coder: a wireframe cube turning beside the name.
IndexedPicture MakeCoderPage() {
    Canvas c = Nebula({Hex(0x010208), Hex(0x040c24), Hex(0x0a2050), Hex(0x2060a0)}, 101, 0.8f);
    for (int y = 16; y < kH; y += 32)
        for (int x = 16; x < kW; x += 32) c.At(x, y) = c.At(x, y) + Rgb{0.1f, 0.2f, 0.35f};
    float ax = 0.5f, ay = 0.65f;
    Pt corner[8];
    for (int i = 0; i < 8; ++i) {
        float x = (i & 1) ? 1 : -1, y = (i & 2) ? 1 : -1, z = (i & 4) ? 1 : -1;
        float x1 = x * std::cos(ay) + z * std::sin(ay), z1 = -x * std::sin(ay) + z * std::cos(ay);
        float y1 = y * std::cos(ax) - z1 * std::sin(ax), z2 = y * std::sin(ax) + z1 * std::cos(ax);
        float k = 290.0f / (z2 + 4.6f);
        corner[i] = {160 + x1 * k, 240 + y1 * k};
    }
    Mask lines(kW, kH);
    for (int i = 0; i < 8; ++i)
        for (int bit : {1, 2, 4})
            if (!(i & bit)) StrokeLine(lines, corner[i], corner[i | bit], 3.5f);
    Mask dots(kW, kH);
    for (const Pt& p : corner) StrokeLine(dots, p, p, 10);
    Paint(c, Blur(lines, 14), 0, 0, Hex(0x2080ff), 1.2f);
    Paint(c, lines, 0, 0, Hex(0x80e8ff));
    Paint(c, dots, 0, 0, Hex(0xffffff));
    Logo style{Chrome(Hex(0x4aa0ff), Hex(0xffc080)), Hex(0x80e0ff), Hex(0x2a80ff)};
    PaintName(c, "VORBAX", 110, 462, 205, 300, style);
    DrawLine(c, "CODE", Face::SansBold, 40, 462, 300, 320, Hex(0xe8f4ff), Hex(0x2a80ff), 12);
    DrawLine(c, "the triangles, the fades, the flips", Face::SansCondensedBold, 26, 462, 345, 320, Hex(0xa8d0ff),
             Hex(0x103060));
    return Reduce(c);
}

// The musician: the name over an oscilloscope trace, level bars along the bottom.
IndexedPicture MakeMusicianPage() {
    Canvas c = Nebula({Hex(0x010604), Hex(0x03180f), Hex(0x083a28), Hex(0x1a7050)}, 202, 0.8f);
    Mask wave(kW, kH);
    Pt last{};
    for (int x = 20; x <= kW - 20; x += 2) {
        float t = float(x - 20) / float(kW - 40);
        float env = std::sin(t * kPi);
        float v = std::sin(t * 38) * 0.6f + std::sin(t * 97 + 1) * 0.3f + std::sin(t * 13) * 0.4f;
        Pt p{float(x), 300 - v * env * 55};
        if (x > 20) StrokeLine(wave, last, p, 3.0f);
        last = p;
    }
    Paint(c, Blur(wave, 12), 0, 0, Hex(0x20ff90), 1.3f);
    Paint(c, wave, 0, 0, Hex(0xc0ffe0));
    Mask bars(kW, kH);
    for (int i = 0; i < 24; ++i) {
        float level = 0.25f + 0.75f * std::fabs(std::sin(i * 1.7f) * std::cos(i * 0.45f));
        float x0 = 80 + i * 20.0f, top = 460 - level * 60;
        FillPolygon(bars, {{x0, top}, {x0 + 14, top}, {x0 + 14, 460}, {x0, 460}});
    }
    Paint(c, Blur(bars, 8), 0, 0, Hex(0x10a060), 0.8f);
    Paint(c, bars, 0, 0, Hex(0x40e0a0));
    Logo style{Chrome(Hex(0x30e0a0), Hex(0xe0ff90)), Hex(0xb0ffd0), Hex(0x10c080)};
    PaintName(c, "MURKGLAVV", 110, 320, 110, 580, style);
    DrawLine(c, "MUSIC AND SOUND", Face::SansBold, 34, 320, 205, 560, Hex(0xe0fff0), Hex(0x10a060), 8);
    DrawLine(c, "every note, every bang, every whoosh", Face::SansCondensedBold, 22, 320, 390, 560, Hex(0xa0f0c8),
             Hex(0x083020));
    return Reduce(c);
}

// The graphician: the name standing on the horizon of a striped sun over a grid.
IndexedPicture MakeGraphicianPage() {
    Canvas c(kW, kH);
    const int horizon = 290;
    for (int y = 0; y < horizon; ++y)
        for (int x = 0; x < kW; ++x) {
            Rgb sky = Ramp({Hex(0x0a0210), Hex(0x2a0a20), Hex(0x6a1a30), Hex(0xd05030)}, float(y) / horizon);
            float dx = x - 320.0f, dy = y - 250.0f, r = std::sqrt(dx * dx + dy * dy);
            sky = Mix(sky, Hex(0xffa040), std::exp(-std::max(0.0f, r - 120) / 50.0f) * 0.5f);
            if (r < 121) {
                Rgb sun = Ramp({Hex(0xfff8b0), Hex(0xffc040), Hex(0xff7030), Hex(0xd03040)}, (y - 130) / 160.0f);
                float band = y > 200 ? std::fmod(y - 200.0f, 14.0f) : 99;
                float gap = (y - 200) / 90.0f * 8;
                sky = Mix(sky, sun, Smooth(121, 119, r) * (band < gap ? 0.0f : 1.0f));
            }
            c.At(x, y) = sky;
        }
    PaintFloor(c, horizon, kH, Hex(0xffa020), Hex(0xff4080), Hex(0xff8040), 0.8f);
    Logo style{Chrome(Hex(0xffc040), Hex(0xff6040)), Hex(0xfff0a0), Hex(0xff6000)};
    PaintName(c, "TOLBO", 150, 320, 300, 520, style);
    DrawLine(c, "GRAPHICS", Face::SansBold, 40, 320, 60, 560, Hex(0xfff0d0), Hex(0xc04010), 14);
    DrawLine(c, "the sun, the grid, the lettering", Face::SansCondensedBold, 24, 320, 420, 560, Hex(0xfff0d0),
             Hex(0x401008));
    return Reduce(c);
}

// The director: the name high on the left, a timeline of keyframes across the bottom.
IndexedPicture MakeDirectorPage() {
    Canvas c = Nebula({Hex(0x060108), Hex(0x1a0528), Hex(0x3c1050), Hex(0x803890)}, 404, 0.8f);
    Mask ruler(kW, kH), keys(kW, kH);
    StrokeLine(ruler, {40, 370}, {600, 370}, 3);
    for (int i = 0; i <= 56; ++i) {
        float x = 40 + i * 10.0f, len = i % 10 == 0 ? 22 : i % 5 == 0 ? 14 : 7;
        StrokeLine(ruler, {x, 370}, {x, 370 + len}, 2);
    }
    for (float x : {70.0f, 180.0f, 260.0f, 330.0f, 460.0f, 570.0f})
        FillPolygon(keys, {{x, 348}, {x + 11, 359}, {x, 370}, {x - 11, 359}});
    StrokeLine(ruler, {400, 320}, {400, 420}, 3);
    Paint(c, Blur(ruler, 10), 0, 0, Hex(0xc040ff), 0.9f);
    Paint(c, ruler, 0, 0, Hex(0xf0c0ff));
    Paint(c, Blur(keys, 10), 0, 0, Hex(0xff60d0), 1.2f);
    Paint(c, keys, 0, 0, Hex(0xffe0f8));
    Logo style{Chrome(Hex(0xe060ff), Hex(0xffa0c0)), Hex(0xffc0f0), Hex(0xc040ff)};
    PaintName(c, "ZEMMI", 140, 250, 150, 420, style);
    DrawLine(c, "DESIGN AND DIRECTION", Face::SansBold, 32, 380, 260, 440, Hex(0xfff0ff), Hex(0x9030c0), 6);
    DrawLine(c, "the timing of it all", Face::SansCondensedBold, 24, 320, 445, 560, Hex(0xf0c8ff), Hex(0x401050));
    return Reduce(c);
}

// The dedication: rays rising behind it, every line large enough to read at a glance.
IndexedPicture MakeDedicationPage() {
    Canvas c = Nebula({Hex(0x080102), Hex(0x2a0610), Hex(0x601428), Hex(0xa83040)}, 505, 0.7f);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            float a = std::atan2(float(x - 320), float(560 - y));
            float ray = Smooth(0.3f, 0.7f, 0.5f + 0.5f * std::cos(a * 18));
            float fall = std::exp(-std::hypot(x - 320.0f, 560.0f - y) / 420.0f);
            c.At(x, y) = Mix(c.At(x, y), Hex(0xff9050), ray * fall * 0.35f);
        }
    Logo style{Chrome(Hex(0xffd060), Hex(0xff5060)), Hex(0xffe0a0), Hex(0xff4060)};
    DrawLine(c, "THIS PRODUCTION IS", Face::SansBold, 34, 320, 95, 560, Hex(0xfff0e0), Hex(0xc02040), 8);
    PaintName(c, "DEDICATED", 110, 320, 200, 580, style);
    DrawLine(c, "TO EVERYONE WHO STILL CODES", Face::SansBold, 34, 320, 320, 580, Hex(0xfff0e0), Hex(0xc02040), 3);
    DrawLine(c, "FOR THE THRILL OF IT", Face::SansBold, 34, 320, 372, 580, Hex(0xffe0a0), Hex(0xc02040), 3);
    return Reduce(c);
}

// The end: the emblem with the sun in its window, over the last words.
IndexedPicture MakeEndPage() {
    Canvas c = Nebula({Hex(0x05041a), Hex(0x120b3a), Hex(0x2e1160), Hex(0x6a1a7a)}, 606, 0.8f);
    const float cx = 320, cy = 170, scale = 0.62f;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            float r = std::hypot(x + 0.5f - cx, y + 0.5f - cy), sr = kSunRadius * 183 / 256.0f / 0.715f * scale * 0.9f;
            c.At(x, y) = Mix(c.At(x, y), Hex(0xff5aa0), std::exp(-std::max(0.0f, r - sr) / 40.0f) * 0.5f);
            if (r < sr + 1) {
                Rgb sun =
                    Ramp({Hex(0xfff2a0), Hex(0xffb040), Hex(0xff4f7a), Hex(0xd02a8a)}, (y - (cy - sr)) / (2 * sr));
                float band = y > cy + 3 ? std::fmod(y - cy - 3, 8.0f) : 99;
                c.At(x, y) =
                    Mix(c.At(x, y), sun, Smooth(sr + 0.5f, sr - 1, r) * (band < (y - cy) / sr * 4.5f ? 0.0f : 1.0f));
            }
        }
    float size = kEmblemSize * scale;
    Mask emblem = EmblemShape(size, size / 2, size / 2, scale);
    int ox = int(cx - size / 2), oy = int(cy - size / 2);
    Paint(c, Blur(emblem, 16), ox, oy, Hex(0xff3050), 1.2f);
    Logo shine{Chrome(Hex(0xff6070), Hex(0xffb0a0)), Hex(0xffe0e0), Hex(0xff3050), 2, 2, 0.6f, 10};
    DrawLogo(c, emblem, ox, oy, shine);
    Logo style{Chrome(Hex(0x4aa0ff), Hex(0xffa040)), Hex(0x60f0ff), Hex(0xff50c0)};
    PaintName(c, "THE END", 120, 320, 355, 560, style);
    DrawLine(c, "STOP THE VADURER  \xB7  PLIMBRIX", Face::SansBold, 24, 320, 445, 560, Hex(0xf0e8ff), Hex(0x8030a0), 4);
    return Reduce(c);
}

}  // namespace

std::vector<NamedPicture> MakePictures() {
    Canvas background = PaintBackground();
    Canvas band = PaintBand();
    std::vector<uint8_t> scrollSelect;
    Canvas scroller = PaintScroller(scrollSelect);

    // The band and the scroller are drawn while the background's colours are in force, so their
    // colours are chosen into reserved ranges of that one table. The scroller's lane in the band
    // stays index 0, like the scroller's own ground.
    IndexedPicture back(kW, kH);
    SetCubeAndFlash(back);
    Quantize(background, All(background.px.size()), back, kBackFirst, kBackCount);
    IndexedPicture bandPic(band.w, band.h), scrollPic(scroller.w, scroller.h);
    std::vector<uint8_t> bandSelect(band.px.size(), 1);
    std::fill(bandSelect.begin() + long(kLogoRows) * kW, bandSelect.begin() + long(kLaneBottom) * kW, 0);
    ChoosePalette(band, bandSelect, back, kBandFirst, kBandCount);
    ChoosePalette(scroller, scrollSelect, back, kScrollFirst, kScrollCount);
    bandPic.palette = back.palette, scrollPic.palette = back.palette;
    Remap(band, bandSelect, bandPic, kBandFirst, kBandCount);
    Remap(scroller, scrollSelect, scrollPic, kScrollFirst, kScrollCount);

    std::vector<NamedPicture> out;
    out.push_back({g_pszPictureFiles[0], std::move(back)});
    out.push_back({g_pszPictureFiles[1], MakeEmblem()});
    out.push_back({g_pszPictureFiles[2], std::move(bandPic)});
    out.push_back({g_pszPictureFiles[3], std::move(scrollPic)});
    out.push_back({g_pszPictureFiles[4], MakeCoderPage()});
    out.push_back({g_pszPictureFiles[5], MakeMusicianPage()});
    out.push_back({g_pszPictureFiles[6], MakeGraphicianPage()});
    out.push_back({g_pszPictureFiles[7], MakeDirectorPage()});
    out.push_back({g_pszPictureFiles[8], MakeDedicationPage()});
    out.push_back({g_pszPictureFiles[9], MakeEndPage()});
    return out;
}

}  // namespace assets
