#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "font.h"

namespace assets {

namespace {

using namespace layout;

constexpr int kW = 640, kH = 480;
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
    float a = Hash(xi, yi, seed), b = Hash(xi + 1, yi, seed), c = Hash(xi, yi + 1, seed), d = Hash(xi + 1, yi + 1, seed);
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

// Chrome lettering: a mirror of sky over ground across the letters' height, a bevel lit from the
// top left, a dark rim for legibility and a glow behind.
struct Lettering {
    std::vector<Rgb> ramp;  // top to bottom of the letters
    Rgb glow;
    float glowStrength = 1.0f;
    int glowRadius = 18;
    Rgb rim{0.02f, 0.02f, 0.05f};
    bool shadow = true;
};

void DrawLettering(Canvas& c, const Mask& text, int ox, int oy, const Lettering& s) {
    Mask glow = Blur(text, s.glowRadius);
    Paint(c, glow, ox, oy, s.glow, s.glowStrength * 1.6f);
    if (s.shadow) Paint(c, Blur(text, 5), ox + 5, oy + 6, Rgb{0, 0, 0}, 0.8f);
    Mask rim = Blur(text, 3);
    for (float& v : rim.v) v = std::min(1.0f, v * 3.0f);
    Paint(c, rim, ox, oy, s.rim, 1.0f);
    Mask height = Blur(text, 4);
    int top = text.h, bottom = 0;
    for (int y = 0; y < text.h; ++y)
        for (int x = 0; x < text.w; ++x)
            if (text.At(x, y) > 0.5f) top = std::min(top, y), bottom = std::max(bottom, y);
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
            float lit = std::clamp(0.5f + (nx + ny) * 2.2f, 0.0f, 1.0f);
            float t = std::clamp((float(y) - float(top)) / span, 0.0f, 1.0f);
            Rgb base = Ramp(s.ramp, t + (nx - ny) * 0.25f);
            Rgb col = base * (0.55f + 0.75f * lit);
            float spec = std::pow(lit, 6.0f) * 0.6f;
            col = col + Rgb{spec, spec, spec};
            c.At(cx, cy) = Mix(c.At(cx, cy), col, a);
        }
    }
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

std::vector<uint8_t> All(size_t n) { return std::vector<uint8_t>(n, 1); }

// ---------------------------------------------------------------------------------------------
// The opening picture: a night sky over a glowing grid plain, a striped setting sun and a ridge.

constexpr int kHorizon = 300;

Rgb BackgroundAt(float x, float y) {
    Rgb sky = Ramp({Hex(0x05041a), Hex(0x120b3a), Hex(0x2e1160), Hex(0x6a1a7a), Hex(0xc2306e)}, y / kHorizon);
    if (y < kHorizon) {
        Rgb c = sky;
        // Striped sun sinking into the horizon, hot at the top, magenta at the bottom.
        float dx = x - 320, dy = y - 250, r = std::sqrt(dx * dx + dy * dy);
        float glow = std::exp(-std::max(0.0f, r - 95) / 60.0f);
        c = Mix(c, Hex(0xff5aa0), glow * 0.45f);
        if (r < 100) {
            float v = (y - 150) / 150.0f;
            Rgb sun = Ramp({Hex(0xfff2a0), Hex(0xffb040), Hex(0xff4f7a), Hex(0xd02a8a)}, v);
            float band = y > 215 ? std::fmod(y - 215, 16.0f) : 99;
            float gap = (y - 215) / 85.0f * 7.0f;
            float inside = Smooth(100, 98, r) * (band < gap ? 0.0f : 1.0f);
            c = Mix(c, sun, inside);
        }
        // Far ridge, dark against the sun.
        float ridge = kHorizon - 8 - 95 * std::pow(Fbm(x / 110.0f, 3.7f, 11, 6), 2.0f) * (0.25f + 0.75f * std::fabs(x - 320) / 320.0f);
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
    float refl = std::exp(-std::fabs(x - 320) / 60.0f) * std::exp(-dz / 70.0f);
    return Mix(c, Hex(0xff8a60), refl * 0.5f);
}

Canvas PaintBackground() {
    Canvas c(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            // Four samples a pixel keep the grid lines and the sun's stripes smooth.
            Rgb sum{};
            for (int s = 0; s < 4; ++s) sum = sum + BackgroundAt(x + 0.25f + 0.5f * (s & 1), y + 0.25f + 0.5f * (s >> 1));
            c.At(x, y) = sum * 0.25f;
        }
    return c;
}

// The logo band: chrome lettering on a dark strip edged with a glowing line.
Canvas PaintBand() {
    Canvas c(kW, kBandHeight);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float t = float(y) / c.h;
            Rgb bg = Ramp({Hex(0x0a0620), Hex(0x1a0e3c), Hex(0x0c0726)}, t);
            float scan = (y % 4 == 0) ? 0.85f : 1.0f;
            float edge = std::exp(-std::fabs(float(y) - (c.h - 6)) / 2.5f) * 0.9f + std::exp(-std::fabs(float(y) - 4) / 2.0f) * 0.5f;
            float sweep = 0.5f + 0.5f * std::cos((x - 320) / 320.0f * kPi);
            c.At(x, y) = Mix(bg * scan, Mix(Hex(0x3060ff), Hex(0x40e0ff), sweep), std::min(1.0f, edge * (0.5f + 0.5f * sweep)));
        }
    Mask text = TextMask(Face::SansBold, 104, "PLIMBRIX", 28, 6);
    Lettering style{{Hex(0xffffff), Hex(0xa8d8ff), Hex(0x4a7ab8), Hex(0x1a1a30), Hex(0x8a5a40), Hex(0xffc890), Hex(0xffffff)},
                    Hex(0x3aa8ff), 0.9f, 20};
    DrawLettering(c, text, (kW - text.w) / 2, (kBandHeight - text.h) / 2 - 4, style);
    return c;
}

// The scroller: fiery lettering on black, whose black is left as index 0.
Canvas PaintScroller(std::vector<uint8_t>& select) {
    Mask text = TextMask(Face::SansBold, 84, "PLIMBRIX PRESENTS  \xB7  STOP THE VADURER  \xB7  A 640 X 480 EXPERIENCE", 20, 3);
    int h = kScrollHeight, w = text.w + 40;
    Canvas c(w, h);
    Lettering style{{Hex(0xfff8d0), Hex(0xffd050), Hex(0xff7a20), Hex(0xc01830), Hex(0xff9040), Hex(0xfff0b0)},
                    Hex(0xff3060), 0.8f, 14};
    DrawLettering(c, text, 20, (h - text.h) / 2, style);
    select.assign(c.px.size(), 0);
    for (size_t i = 0; i < c.px.size(); ++i) {
        const Rgb& p = c.px[i];
        select[i] = (p.r * 0.3f + p.g * 0.59f + p.b * 0.11f) > 0.012f;
    }
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
        pic.SetEntry(kCubeFirst + i, Ramp({Hex(0xffa8e8), Hex(0xe060c8), Hex(0x9a2a9a), Hex(0x501460), Hex(0x1a0628)}, t));
    }
}

// ---------------------------------------------------------------------------------------------
// The emblem: a notched ring around two bold letters; only its silhouette matters to the
// production, its shading makes the file itself pleasant to look at.

IndexedPicture MakeEmblem() {
    const int n = kEmblemSize;
    IndexedPicture pic(n, n);
    for (int i = 0; i < 256; ++i) pic.SetEntry(i, i == 0 ? Rgb{} : Ramp({Hex(0x402000), Hex(0xc08020), Hex(0xfff0b0)}, (i - 1) / 254.0f));
    Mask shape(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float dx = x + 0.5f - n / 2.0f, dy = y + 0.5f - n / 2.0f, r = std::sqrt(dx * dx + dy * dy);
            float ang = std::atan2(dy, dx);
            float notch = std::fabs(std::sin(ang * 4)) < 0.12f ? 1.0f : 0.0f;
            float ring = (r < 126 && r > 104 && notch == 0) ? 1.0f : 0.0f;
            float inner = (r < 98 && r > 92) ? 1.0f : 0.0f;
            shape.At(x, y) = std::max(ring, inner);
        }
    Mask letters = TextMask(Face::SansBold, 118, "SS", 0, -4);
    for (int y = 0; y < letters.h; ++y)
        for (int x = 0; x < letters.w; ++x) {
            int sx = x + (n - letters.w) / 2, sy = y + (n - letters.h) / 2;
            if (sx >= 0 && sx < n && sy >= 0 && sy < n) shape.At(sx, sy) = std::max(shape.At(sx, sy), letters.At(x, y));
        }
    Mask height = Blur(shape, 4);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            if (shape.At(x, y) < 0.5f) continue;
            float lit = std::clamp(0.55f + (height.Clamped(x + 1, y) - height.Clamped(x - 1, y) + height.Clamped(x, y + 1) - height.Clamped(x, y - 1)) * 2.5f, 0.0f, 1.0f);
            pic.pixels[size_t(y) * n + x] = uint8_t(1 + std::lround(lit * 254));
        }
    return pic;
}

// ---------------------------------------------------------------------------------------------
// Credit pages: each its own palette, a soft nebula in its own hues, a name in chrome, a line
// saying what that member did.

struct CreditStyle {
    std::string title, line1, line2;
    std::vector<Rgb> sky;  // nebula ramp, dark to light
    Lettering letters;
    int seed;
    int size;
};

IndexedPicture MakeCredit(const CreditStyle& s) {
    Canvas c(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            float n = Fbm(x / 160.0f, y / 160.0f, s.seed, 5);
            float swirl = Fbm(x / 70.0f + n * 2, y / 70.0f - n, s.seed + 5, 4);
            float vign = 1 - 0.7f * std::pow(std::hypot((x - 320) / 400.0f, (y - 240) / 320.0f), 2.0f);
            float t = std::clamp((n * 0.6f + swirl * 0.6f - 0.35f) * vign * 1.3f, 0.0f, 1.0f);
            c.At(x, y) = Ramp(s.sky, t);
            float h = Hash(x, y, s.seed + 99);
            if (h > 0.9985f) c.At(x, y) = c.At(x, y) + Rgb{0.5f, 0.5f, 0.55f} * Hash(y, x, s.seed);
        }
    // Two hairlines frame the name.
    for (int x = 60; x < kW - 60; ++x) {
        float fade = std::sin((x - 60) / float(kW - 120) * kPi);
        for (int line : {150, 338}) {
            c.At(x, line) = Mix(c.At(x, line), s.letters.glow + Rgb{0.3f, 0.3f, 0.3f}, fade * 0.8f);
            c.At(x, line + 1) = Mix(c.At(x, line + 1), s.letters.glow, fade * 0.35f);
        }
    }
    Mask title = FitText(Face::SansBold, s.size, s.title, 30, 4, 580);
    DrawLettering(c, title, (kW - title.w) / 2, 244 - title.h / 2, s.letters);
    Lettering plain{{Hex(0xf0f0ff), Hex(0xc0c8e0)}, s.letters.glow, 0.35f, 8, Rgb{0.02f, 0.02f, 0.05f}, false};
    if (!s.line1.empty()) {
        Mask m = FitText(Face::SansExtraLight, 30, s.line1, 12, 6, 560);
        DrawLettering(c, m, (kW - m.w) / 2, 112 - m.h / 2, plain);
    }
    if (!s.line2.empty()) {
        Mask m = FitText(Face::SansExtraLight, 26, s.line2, 12, 4, 560);
        DrawLettering(c, m, (kW - m.w) / 2, 378 - m.h / 2, plain);
    }
    IndexedPicture pic(kW, kH);
    pic.SetEntry(0, Rgb{});
    Quantize(c, All(c.px.size()), pic, 1, 255);
    return pic;
}

std::vector<CreditStyle> CreditStyles() {
    std::vector<Rgb> chrome = {Hex(0xffffff), Hex(0xb8e0ff), Hex(0x5080c0), Hex(0x181830), Hex(0x906040), Hex(0xffd8a0), Hex(0xffffff)};
    std::vector<Rgb> gold = {Hex(0xfffff0), Hex(0xffe080), Hex(0xc08020), Hex(0x402008), Hex(0xb07020), Hex(0xffe8a0), Hex(0xffffff)};
    std::vector<Rgb> jade = {Hex(0xf0fff8), Hex(0x90ffd0), Hex(0x20a070), Hex(0x04281c), Hex(0x308860), Hex(0xc0ffe0), Hex(0xffffff)};
    std::vector<Rgb> rose = {Hex(0xfff0ff), Hex(0xffb0e8), Hex(0xc04090), Hex(0x300828), Hex(0xa03878), Hex(0xffc8f0), Hex(0xffffff)};
    return {
        {"Vorbax", "code and cube", "the triangles, the fades, the flips",
         {Hex(0x010208), Hex(0x061230), Hex(0x10306a), Hex(0x2a70b0), Hex(0x90d8ff)}, {chrome, Hex(0x2a80ff), 1.0f, 20}, 101, 120},
        {"MurkGlavv", "music and sound", "every note, every bang, every whoosh",
         {Hex(0x010604), Hex(0x04201a), Hex(0x0a4a38), Hex(0x20906a), Hex(0xa0ffd8)}, {jade, Hex(0x20e0a0), 1.0f, 20}, 202, 104},
        {"tolbo", "graphics", "the sun, the grid, the lettering",
         {Hex(0x080200), Hex(0x2a0c02), Hex(0x6a2808), Hex(0xc06a18), Hex(0xffd890)}, {gold, Hex(0xff8a20), 1.0f, 20}, 303, 130},
        {"zemmi", "design and direction", "the timing of it all",
         {Hex(0x060108), Hex(0x220634), Hex(0x501468), Hex(0xa040a0), Hex(0xffb0f0)}, {rose, Hex(0xe040ff), 1.0f, 20}, 404, 130},
        {"Dedicated", "this production is", "to everyone who still codes for the thrill of it",
         {Hex(0x080102), Hex(0x2a0610), Hex(0x601428), Hex(0xa83040), Hex(0xffc0a0)}, {gold, Hex(0xff4060), 1.0f, 20}, 505, 100},
        {"THE END", "stop the vadurer", "plimbrix  \xB7  thanks for watching",
         {Hex(0x05041a), Hex(0x120b3a), Hex(0x2e1160), Hex(0x6a1a7a), Hex(0xff70a0)}, {chrome, Hex(0xff50c0), 1.0f, 22}, 606, 120},
    };
}

}  // namespace

std::vector<NamedPicture> MakePictures() {
    Canvas background = PaintBackground();
    Canvas band = PaintBand();
    std::vector<uint8_t> scrollSelect;
    Canvas scroller = PaintScroller(scrollSelect);

    // The band and the scroller are drawn while the background's colours are in force, so their
    // colours are chosen into reserved ranges of that one table.
    IndexedPicture back(kW, kH);
    SetCubeAndFlash(back);
    Quantize(background, All(background.px.size()), back, kBackFirst, kBackCount);
    IndexedPicture bandPic(band.w, band.h), scrollPic(scroller.w, scroller.h);
    ChoosePalette(band, All(band.px.size()), back, kBandFirst, kBandCount);
    ChoosePalette(scroller, scrollSelect, back, kScrollFirst, kScrollCount);
    bandPic.palette = back.palette, scrollPic.palette = back.palette;
    Remap(band, All(band.px.size()), bandPic, kBandFirst, kBandCount);
    Remap(scroller, scrollSelect, scrollPic, kScrollFirst, kScrollCount);

    std::vector<NamedPicture> out;
    out.push_back({"3Z-ER-AVE.bmp", std::move(back)});
    out.push_back({"SS.bmp", MakeEmblem()});
    out.push_back({"Plimbrix.bmp", std::move(bandPic)});
    out.push_back({"Presents.bmp", std::move(scrollPic)});
    const char* const files[] = {"Vorbax.bmp", "MurkGlavv.bmp", "tolbo.bmp", "zemmi.bmp", "Dedicate.bmp", "TheEnd.bmp"};
    std::vector<CreditStyle> styles = CreditStyles();
    for (size_t i = 0; i < styles.size(); ++i) out.push_back({files[i], MakeCredit(styles[i])});
    return out;
}

}  // namespace assets
