#include "raster.h"

#include <algorithm>
#include <cmath>

namespace assets {

Rgb Mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Rgb operator*(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }

Rgb Ramp(const std::vector<Rgb>& stops, float t) {
    if (stops.size() == 1) return stops[0];
    t = std::clamp(t, 0.0f, 1.0f) * float(stops.size() - 1);
    size_t i = std::min(size_t(t), stops.size() - 2);
    return Mix(stops[i], stops[i + 1], t - float(i));
}

float Mask::Clamped(int x, int y) const {
    x = std::clamp(x, 0, w - 1);
    y = std::clamp(y, 0, h - 1);
    return At(x, y);
}

static void BoxPass(std::vector<float>& v, int w, int h, int r, bool horizontal) {
    int n = horizontal ? w : h, lines = horizontal ? h : w;
    size_t step = horizontal ? 1 : size_t(w);
    std::vector<float> line(n);
    float scale = 1.0f / float(2 * r + 1);
    for (int l = 0; l < lines; ++l) {
        size_t base = horizontal ? size_t(l) * w : size_t(l);
        for (int i = 0; i < n; ++i) line[i] = v[base + i * step];
        float sum = 0;
        for (int i = -r; i <= r; ++i) sum += line[std::clamp(i, 0, n - 1)];
        for (int i = 0; i < n; ++i) {
            v[base + i * step] = sum * scale;
            sum += line[std::min(i + r + 1, n - 1)] - line[std::max(i - r, 0)];
        }
    }
}

Mask Blur(const Mask& m, int radius) {
    Mask out = m;
    if (radius <= 0) return out;
    int r = std::max(1, radius / 2);
    for (int pass = 0; pass < 3; ++pass) {
        BoxPass(out.v, out.w, out.h, r, true);
        BoxPass(out.v, out.w, out.h, r, false);
    }
    return out;
}

void Paint(Canvas& c, const Mask& m, int ox, int oy, Rgb colour, float strength) {
    for (int y = 0; y < m.h; ++y) {
        int cy = y + oy;
        if (cy < 0 || cy >= c.h) continue;
        for (int x = 0; x < m.w; ++x) {
            int cx = x + ox;
            if (cx < 0 || cx >= c.w) continue;
            float a = std::clamp(m.At(x, y) * strength, 0.0f, 1.0f);
            if (a > 0) c.At(cx, cy) = Mix(c.At(cx, cy), colour, a);
        }
    }
}

static uint8_t ToByte(float f) { return uint8_t(std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f)); }

void IndexedPicture::SetEntry(int i, Rgb c) {
    palette[i * 4 + 0] = ToByte(c.b);
    palette[i * 4 + 1] = ToByte(c.g);
    palette[i * 4 + 2] = ToByte(c.r);
    palette[i * 4 + 3] = 0;
}

Rgb IndexedPicture::Entry(int i) const {
    return {palette[i * 4 + 2] / 255.0f, palette[i * 4 + 1] / 255.0f, palette[i * 4 + 0] / 255.0f};
}

namespace {

constexpr int kBits = 5, kSide = 1 << kBits, kCells = kSide * kSide * kSide;

struct Cell {
    double n = 0, r = 0, g = 0, b = 0;
    int idx = 0;
    int Axis(int a) const {
        return a == 0 ? idx >> (2 * kBits) : a == 1 ? (idx >> kBits) & (kSide - 1) : idx & (kSide - 1);
    }
};

struct Box {
    std::vector<Cell> cells;
    double weight = 0;
    int Extent(int axis) const {
        int lo = kSide, hi = -1;
        for (const Cell& c : cells) lo = std::min(lo, c.Axis(axis)), hi = std::max(hi, c.Axis(axis));
        return hi - lo;
    }
};

int Cell5(float f) { return std::clamp(int(f * kSide), 0, kSide - 1); }

std::vector<Rgb> MedianCut(const Canvas& c, const std::vector<uint8_t>& select, int count) {
    std::vector<Cell> hist(kCells);
    for (size_t i = 0; i < c.px.size(); ++i) {
        if (!select[i]) continue;
        const Rgb& p = c.px[i];
        int idx = (Cell5(p.r) << (2 * kBits)) | (Cell5(p.g) << kBits) | Cell5(p.b);
        Cell& cell = hist[idx];
        cell.n += 1, cell.r += p.r, cell.g += p.g, cell.b += p.b, cell.idx = idx;
    }
    std::vector<Box> boxes(1);
    for (const Cell& cell : hist)
        if (cell.n > 0) boxes[0].cells.push_back(cell), boxes[0].weight += cell.n;
    if (boxes[0].cells.empty()) return {};
    while (int(boxes.size()) < count) {
        // Split the box where a single colour would do the most harm: many pixels over a wide span.
        int best = -1, bestAxis = 0;
        double bestScore = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].cells.size() < 2) continue;
            for (int a = 0; a < 3; ++a) {
                double score = std::sqrt(boxes[i].weight) * boxes[i].Extent(a) * (a == 1 ? 1.2 : 1.0);
                if (score > bestScore) bestScore = score, best = int(i), bestAxis = a;
            }
        }
        if (best < 0) break;
        Box& box = boxes[best];
        std::stable_sort(box.cells.begin(), box.cells.end(),
                         [&](const Cell& p, const Cell& q) { return p.Axis(bestAxis) < q.Axis(bestAxis); });
        double half = box.weight / 2, run = 0;
        size_t cut = 1;
        for (size_t i = 0; i + 1 < box.cells.size(); ++i) {
            run += box.cells[i].n;
            cut = i + 1;
            if (run >= half) break;
        }
        Box other;
        other.cells.assign(box.cells.begin() + long(cut), box.cells.end());
        box.cells.resize(cut);
        box.weight = 0;
        for (const Cell& cell : box.cells) box.weight += cell.n;
        for (const Cell& cell : other.cells) other.weight += cell.n;
        boxes.push_back(std::move(other));
    }
    std::vector<Rgb> colours;
    for (const Box& box : boxes) {
        double n = 0, r = 0, g = 0, b = 0;
        for (const Cell& cell : box.cells) n += cell.n, r += cell.r, g += cell.g, b += cell.b;
        colours.push_back({float(r / n), float(g / n), float(b / n)});
    }
    // Darkest first, so the ranges of the palette read as ramps.
    std::stable_sort(colours.begin(), colours.end(), [](const Rgb& p, const Rgb& q) {
        return p.r * 0.3f + p.g * 0.59f + p.b * 0.11f < q.r * 0.3f + q.g * 0.59f + q.b * 0.11f;
    });
    return colours;
}

// Nearest palette entry of a range, remembered per cell of a 64-level colour cube.
class Nearest {
public:
    Nearest(const IndexedPicture& pic, int first, int count)
        : m_first(first), m_count(count), m_memo(64 * 64 * 64, -1) {
        for (int i = 0; i < count; ++i) m_colours.push_back(pic.Entry(first + i));
    }
    int Find(Rgb p) {
        int r = std::clamp(int(p.r * 64), 0, 63), g = std::clamp(int(p.g * 64), 0, 63),
            b = std::clamp(int(p.b * 64), 0, 63);
        int key = (r << 12) | (g << 6) | b;
        if (m_memo[key] >= 0) return m_memo[key];
        float cr = (r + 0.5f) / 64, cg = (g + 0.5f) / 64, cb = (b + 0.5f) / 64;
        int best = 0;
        float bestD = 1e9f;
        for (int i = 0; i < m_count; ++i) {
            const Rgb& q = m_colours[i];
            float d =
                (q.r - cr) * (q.r - cr) * 0.30f + (q.g - cg) * (q.g - cg) * 0.59f + (q.b - cb) * (q.b - cb) * 0.11f;
            if (d < bestD) bestD = d, best = i;
        }
        return m_memo[key] = int16_t(m_first + best);
    }

private:
    int m_first, m_count;
    std::vector<Rgb> m_colours;
    std::vector<int16_t> m_memo;
};

}  // namespace

void Remap(const Canvas& c, const std::vector<uint8_t>& select, IndexedPicture& out, int first, int count) {
    Nearest nearest(out, first, count);
    std::vector<Rgb> err(size_t(c.w + 2)), next(size_t(c.w + 2));
    for (int y = 0; y < c.h; ++y) {
        std::fill(next.begin(), next.end(), Rgb{});
        for (int x = 0; x < c.w; ++x) {
            size_t i = size_t(y) * c.w + x;
            if (!select[i]) continue;
            Rgb want = c.px[i] + err[x + 1];
            want = {std::clamp(want.r, 0.0f, 1.0f), std::clamp(want.g, 0.0f, 1.0f), std::clamp(want.b, 0.0f, 1.0f)};
            int idx = nearest.Find(want);
            out.pixels[i] = uint8_t(idx);
            Rgb got = out.Entry(idx);
            Rgb e{want.r - got.r, want.g - got.g, want.b - got.b};
            err[x + 2] = err[x + 2] + e * (7.0f / 16);
            next[x] = next[x] + e * (3.0f / 16);
            next[x + 1] = next[x + 1] + e * (5.0f / 16);
            next[x + 2] = next[x + 2] + e * (1.0f / 16);
        }
        std::swap(err, next);
    }
}

void ChoosePalette(const Canvas& c, const std::vector<uint8_t>& select, IndexedPicture& out, int first, int count) {
    std::vector<Rgb> colours = MedianCut(c, select, count);
    if (colours.empty()) colours.push_back({});
    for (int i = 0; i < count; ++i) out.SetEntry(first + i, colours[std::min<size_t>(i, colours.size() - 1)]);
}

void Quantize(const Canvas& c, const std::vector<uint8_t>& select, IndexedPicture& out, int first, int count) {
    ChoosePalette(c, select, out, first, count);
    Remap(c, select, out, first, count);
}

}  // namespace assets

namespace assets {

void FillPolygon(Mask& m, const std::vector<Pt>& corners) {
    if (corners.size() < 3) return;
    float minY = corners[0].y, maxY = corners[0].y;
    for (const Pt& p : corners) minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    int y0 = std::max(0, int(std::floor(minY))), y1 = std::min(m.h - 1, int(std::ceil(maxY)));
    std::vector<float> cover(size_t(m.w));
    std::vector<std::pair<float, int>> crossings;
    for (int y = y0; y <= y1; ++y) {
        std::fill(cover.begin(), cover.end(), 0.0f);
        for (int sub = 0; sub < 4; ++sub) {
            float sy = float(y) + (float(sub) + 0.5f) / 4;
            crossings.clear();
            for (size_t i = 0; i < corners.size(); ++i) {
                Pt a = corners[i], b = corners[(i + 1) % corners.size()];
                if ((a.y <= sy) == (b.y <= sy)) continue;
                float x = a.x + (sy - a.y) / (b.y - a.y) * (b.x - a.x);
                crossings.push_back({x, a.y < b.y ? 1 : -1});
            }
            std::sort(crossings.begin(), crossings.end());
            int winding = 0;
            for (size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += crossings[i].second;
                if (winding == 0) continue;
                // Four samples across each pixel between the two crossings.
                float xa = crossings[i].first, xb = crossings[i + 1].first;
                int ca = std::max(0, int(std::floor(xa))), cb = std::min(m.w - 1, int(std::floor(xb)));
                for (int x = ca; x <= cb; ++x)
                    for (int s = 0; s < 4; ++s) {
                        float sx = float(x) + (float(s) + 0.5f) / 4;
                        if (sx >= xa && sx < xb) cover[size_t(x)] += 1.0f / 16;
                    }
            }
        }
        for (int x = 0; x < m.w; ++x) m.At(x, y) = std::max(m.At(x, y), std::min(1.0f, cover[size_t(x)]));
    }
}

void StrokeLine(Mask& m, Pt a, Pt b, float width) {
    float half = width / 2;
    int x0 = std::max(0, int(std::min(a.x, b.x) - half - 2)),
        x1 = std::min(m.w - 1, int(std::max(a.x, b.x) + half + 2));
    int y0 = std::max(0, int(std::min(a.y, b.y) - half - 2)),
        y1 = std::min(m.h - 1, int(std::max(a.y, b.y) + half + 2));
    float dx = b.x - a.x, dy = b.y - a.y, len2 = std::max(1e-6f, dx * dx + dy * dy);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float px = float(x) + 0.5f - a.x, py = float(y) + 0.5f - a.y;
            float t = std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f);
            float d = std::hypot(px - t * dx, py - t * dy);
            float c = std::clamp(half + 0.5f - d, 0.0f, 1.0f);
            m.At(x, y) = std::max(m.At(x, y), c);
        }
}

namespace {

// One line of the squared distance transform: the lower envelope of parabolas.
void Envelope(const std::vector<float>& f, std::vector<float>& d) {
    size_t n = f.size();
    std::vector<int> v(n);
    std::vector<float> z(n + 1);
    int k = 0;
    v[0] = 0, z[0] = -1e30f, z[1] = 1e30f;
    for (int q = 1; q < int(n); ++q) {
        float s;
        while (true) {
            int p = v[size_t(k)];
            s = ((f[size_t(q)] + float(q) * q) - (f[size_t(p)] + float(p) * p)) / float(2 * q - 2 * p);
            if (s > z[size_t(k)] || k == 0) break;
            --k;
        }
        if (s <= z[size_t(k)]) s = z[size_t(k)];
        ++k;
        v[size_t(k)] = q, z[size_t(k)] = s, z[size_t(k) + 1] = 1e30f;
    }
    k = 0;
    for (int q = 0; q < int(n); ++q) {
        while (z[size_t(k) + 1] < float(q)) ++k;
        int p = v[size_t(k)];
        d[size_t(q)] = float(q - p) * float(q - p) + f[size_t(p)];
    }
}

}  // namespace

std::vector<float> DistanceToInk(const Mask& m) {
    const float far = 1e12f;
    std::vector<float> g(m.v.size());
    for (size_t i = 0; i < g.size(); ++i) g[i] = m.v[i] >= 0.5f ? 0.0f : far;
    std::vector<float> f, d;
    f.resize(size_t(m.h)), d.resize(size_t(m.h));
    for (int x = 0; x < m.w; ++x) {
        for (int y = 0; y < m.h; ++y) f[size_t(y)] = g[size_t(y) * m.w + x];
        Envelope(f, d);
        for (int y = 0; y < m.h; ++y) g[size_t(y) * m.w + x] = d[size_t(y)];
    }
    f.resize(size_t(m.w)), d.resize(size_t(m.w));
    for (int y = 0; y < m.h; ++y) {
        std::copy_n(g.begin() + long(y) * m.w, m.w, f.begin());
        Envelope(f, d);
        for (int x = 0; x < m.w; ++x) g[size_t(y) * m.w + x] = std::sqrt(d[size_t(x)]);
    }
    return g;
}

Mask Grow(const Mask& m, float by) {
    std::vector<float> dist = DistanceToInk(m);
    Mask out(m.w, m.h);
    for (size_t i = 0; i < out.v.size(); ++i) out.v[i] = std::max(m.v[i], std::clamp(by + 0.5f - dist[i], 0.0f, 1.0f));
    return out;
}

void Cut(Mask& m, const Mask& hole) {
    for (size_t i = 0; i < m.v.size() && i < hole.v.size(); ++i) m.v[i] = std::min(m.v[i], 1.0f - hole.v[i]);
}

}  // namespace assets
