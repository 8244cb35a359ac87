#include "icon.h"

#include <png.h>

#include <algorithm>
#include <cmath>

#include "bmp.h"
#include "pictures.h"
#include "raster.h"

namespace assets {

namespace {

using namespace layout;

Rgb Hex(uint32_t v) { return {((v >> 16) & 255) / 255.0f, ((v >> 8) & 255) / 255.0f, (v & 255) / 255.0f}; }

uint8_t Byte(float f) { return uint8_t(std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f)); }

void Put16(std::vector<uint8_t>& b, uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void Put32(std::vector<uint8_t>& b, uint32_t v) { Put16(b, v & 0xFFFF), Put16(b, v >> 16); }

// The emblem's parts measured for one icon size, in pixels from the icon's centre.
struct Geometry {
    float centre = 0, apothem = 0, gapOuter = 0, gapInner = 0, window = 0, sun = 0;
    bool gap = false, stripes = false;
};

Geometry Measure(int size) {
    // About a pixel of margin at the small sizes, a little more at the large ones.
    const float margin = std::max(0.5f, float(size) / 64.0f);
    const float scale = (float(size) / 2 - margin) / kEmblemApothem;
    Geometry g;
    g.centre = float(size) / 2;
    g.apothem = kEmblemApothem * scale;
    g.gapOuter = kGapOuter * scale, g.gapInner = kGapInner * scale;
    g.window = kWindowRadius * scale;
    // The sun fills the window as it does when the zoom ends: an even ring of sky around it.
    g.sun = g.window * 0.8f;
    // Details narrower than a pixel or two would only blur the small sizes.
    g.gap = (kGapOuter - kGapInner) * scale >= 1.0f;
    g.stripes = size >= 64;
    return g;
}

// The regular octagon whose sides face the axes and the diagonals, as the emblem's does.
bool InOctagon(float dx, float dy, float apothem) {
    dx = std::fabs(dx), dy = std::fabs(dy);
    return dx <= apothem && dy <= apothem && dx + dy <= apothem * std::sqrt(2.0f);
}

bool InRing(const Geometry& g, float dx, float dy) {
    if (!InOctagon(dx, dy, g.apothem)) return false;
    return !(g.gap && InOctagon(dx, dy, g.gapOuter) && !InOctagon(dx, dy, g.gapInner));
}

// What the window shows: the background's striped sun in its violet sky.
Rgb WindowAt(const Geometry& g, float dx, float dy) {
    Rgb sky = Ramp({Hex(0x120b3a), Hex(0x2e1160), Hex(0x6a1a7a), Hex(0xc2306e)}, (dy + g.window) / (2 * g.window));
    const float r = std::hypot(dx, dy);
    sky = Mix(sky, Hex(0xff5aa0), std::exp(-std::max(0.0f, r - g.sun) / (0.4f * g.sun)) * 0.5f);
    if (r > g.sun) return sky;
    if (g.stripes && dy > g.sun * 0.08f) {
        // Below its middle the gaps between the stripes widen downwards, as on the background.
        const float period = g.sun / 6, down = dy - g.sun * 0.08f;
        if (std::fmod(down, period) < down / g.sun * period * 0.55f) return sky;
    }
    return Ramp({Hex(0xfff2a0), Hex(0xffb040), Hex(0xff4f7a), Hex(0xd02a8a)}, (dy + g.sun) / (2 * g.sun));
}

}  // namespace

RgbaPicture DrawIcon(int size) {
    const Geometry g = Measure(size);
    const int n = 8;  // samples a side in each pixel
    const float share = 1.0f / float(n * n);
    Mask ring(size, size), window(size, size);
    Canvas seen(size, size);  // the window's colour, weighted by its coverage
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            for (int s = 0; s < n * n; ++s) {
                const float dx = float(x) + (float(s % n) + 0.5f) / n - g.centre;
                const float dy = float(y) + (float(s / n) + 0.5f) / n - g.centre;
                if (std::hypot(dx, dy) < g.window) {
                    window.At(x, y) += share;
                    seen.At(x, y) = seen.At(x, y) + WindowAt(g, dx, dy) * share;
                } else if (InRing(g, dx, dy)) {
                    ring.At(x, y) += share;
                }
            }
    // The emblem picture's own shading: a blurred copy of the shape as a height field, lit across.
    const Mask height = Blur(ring, std::max(1, int(std::lround(4.0f * float(size) / kEmblemSize))));
    RgbaPicture out{size, std::vector<uint8_t>(size_t(size) * size * 4, 0)};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float cover = ring.At(x, y) + window.At(x, y);
            if (cover <= 0) continue;
            const float slope = height.Clamped(x + 1, y) - height.Clamped(x - 1, y) + height.Clamped(x, y + 1) -
                                height.Clamped(x, y - 1);
            const float lit = std::clamp(0.55f + slope * 2.5f, 0.0f, 1.0f);
            const Rgb metal = Ramp({Hex(0x600818), Hex(0xe02838), Hex(0xfff0e0)}, lit);
            const Rgb c = (metal * ring.At(x, y) + seen.At(x, y)) * (1.0f / cover);
            uint8_t* p = &out.rgba[(size_t(y) * size + x) * 4];
            p[0] = Byte(c.r), p[1] = Byte(c.g), p[2] = Byte(c.b), p[3] = Byte(cover);
        }
    return out;
}

std::vector<uint8_t> EncodePng(const RgbaPicture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.size);
    image.height = png_uint_32(picture.size);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t bytes = 0;
    if (!png_image_write_to_memory(&image, nullptr, &bytes, 0, picture.rgba.data(), 0, nullptr)) return {};
    std::vector<uint8_t> out(bytes);
    if (!png_image_write_to_memory(&image, out.data(), &bytes, 0, picture.rgba.data(), 0, nullptr)) return {};
    out.resize(bytes);
    return out;
}

namespace {

// An icon's bitmap: its header gives twice the height, for the colours and the mask below them;
// the colours as blue, green, red, alpha, rows bottom-up; then the 1-bit mask (set: transparent)
// that Windows uses where it ignores alpha, rows padded to 32 bits.
std::vector<uint8_t> IcoBitmap(const RgbaPicture& p) {
    const uint32_t n = uint32_t(p.size), maskStride = (n + 31) / 32 * 4;
    std::vector<uint8_t> b;
    Put32(b, 40), Put32(b, n), Put32(b, 2 * n), Put16(b, 1), Put16(b, 32);
    Put32(b, 0), Put32(b, n * n * 4 + maskStride * n), Put32(b, 0), Put32(b, 0), Put32(b, 0), Put32(b, 0);
    for (uint32_t y = n; y-- > 0;)
        for (uint32_t x = 0; x < n; ++x) {
            const uint8_t* c = &p.rgba[(size_t(y) * n + x) * 4];
            b.push_back(c[2]), b.push_back(c[1]), b.push_back(c[0]), b.push_back(c[3]);
        }
    for (uint32_t y = n; y-- > 0;) {
        std::vector<uint8_t> row(maskStride, 0);
        for (uint32_t x = 0; x < n; ++x)
            if (p.rgba[(size_t(y) * n + x) * 4 + 3] == 0) row[x / 8] |= uint8_t(0x80 >> (x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

}  // namespace

std::vector<uint8_t> EncodeIco(const std::vector<RgbaPicture>& pictures) {
    std::vector<std::vector<uint8_t>> images;
    for (const RgbaPicture& p : pictures) {
        images.push_back(p.size >= 256 ? EncodePng(p) : IcoBitmap(p));
        if (images.back().empty()) return {};
    }
    std::vector<uint8_t> b;
    Put16(b, 0), Put16(b, 1), Put16(b, uint32_t(pictures.size()));
    uint32_t offset = uint32_t(6 + 16 * pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        const uint8_t side = uint8_t(pictures[i].size & 255);  // 0 stands for 256
        b.push_back(side), b.push_back(side), b.push_back(0), b.push_back(0);
        Put16(b, 1), Put16(b, 32), Put32(b, uint32_t(images[i].size())), Put32(b, offset);
        offset += uint32_t(images[i].size());
    }
    for (const std::vector<uint8_t>& image : images) b.insert(b.end(), image.begin(), image.end());
    return b;
}

namespace {

bool WriteIconFile(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes,
                   std::string& error) {
    const std::string path = folder + "/" + name;
    if (bytes.empty()) {
        error = "cannot encode " + path;
        return false;
    }
    if (!WriteFile(path, bytes)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

bool MakeWebIcons(const std::string& folder, std::string& error) {
    std::vector<RgbaPicture> favicon;
    for (int size : kFaviconSizes) favicon.push_back(DrawIcon(size));
    if (!WriteIconFile(folder, "favicon.ico", EncodeIco(favicon), error)) return false;
    for (int size : kWebPngSizes)
        if (!WriteIconFile(folder, "icon-" + std::to_string(size) + ".png", EncodePng(DrawIcon(size)), error))
            return false;
    return true;
}

bool MakeIcons(const std::string& folder, std::string& error) {
    auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        return WriteIconFile(folder, name, bytes, error);
    };
    std::vector<RgbaPicture> sizes;
    for (int size : kIcoSizes) sizes.push_back(DrawIcon(size));
    if (!write("vadurer.ico", EncodeIco(sizes))) return false;
    for (int size : kPngSizes)
        if (!write("vadurer-" + std::to_string(size) + ".png", EncodePng(DrawIcon(size)))) return false;
    return true;
}

}  // namespace assets
