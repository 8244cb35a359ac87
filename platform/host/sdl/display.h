// The exclusive display's placement and pacing on the SDL host, kept free of SDL so that they can
// be checked by themselves.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>

namespace host {

struct FitRect {
    int x = 0, y = 0, nWidth = 0, nHeight = 0;
};

// How the display's image meets a screen or window of another size.
enum class Scaling {
    // At the largest size of the image's shape, its pixels kept sharp: a whole-factor
    // nearest-neighbour step to at least that size, then a smooth step to it (Prescale).
    Fit,
    // At the largest whole factor: exact pixels, black borders.
    Whole,
};

// Where an nWidth × nHeight image goes on an output of nOutW × nOutH at the largest size of its
// shape, centred. Never stretched out of shape.
inline FitRect FillImage(int nWidth, int nHeight, int nOutW, int nOutH)
{
    FitRect r;
    if (nWidth <= 0 || nHeight <= 0 || nOutW <= 0 || nOutH <= 0)
        return r;
    if (static_cast<long long>(nOutW) * nHeight <= static_cast<long long>(nOutH) * nWidth) {
        r.nWidth = nOutW;
        r.nHeight = std::max(1, static_cast<int>(static_cast<long long>(nOutW) * nHeight / nWidth));
    } else {
        r.nHeight = nOutH;
        r.nWidth = std::max(1, static_cast<int>(static_cast<long long>(nOutH) * nWidth / nHeight));
    }
    r.x = (nOutW - r.nWidth) / 2;
    r.y = (nOutH - r.nHeight) / 2;
    return r;
}

// Where an nWidth × nHeight image goes on an output of nOutW × nOutH: the largest whole scale
// factor that fits, centred; where not even the image's own size fits, the largest rectangle of
// its shape. Never stretched out of shape.
inline FitRect FitImage(int nWidth, int nHeight, int nOutW, int nOutH)
{
    if (nWidth <= 0 || nHeight <= 0 || nOutW <= 0 || nOutH <= 0)
        return FitRect();
    int k = std::min(nOutW / nWidth, nOutH / nHeight);
    if (k < 1)
        return FillImage(nWidth, nHeight, nOutW, nOutH);
    FitRect r;
    r.nWidth = nWidth * k;
    r.nHeight = nHeight * k;
    r.x = (nOutW - r.nWidth) / 2;
    r.y = (nOutH - r.nHeight) / 2;
    return r;
}

inline FitRect PlaceImage(Scaling scaling, int nWidth, int nHeight, int nOutW, int nOutH)
{
    return scaling == Scaling::Whole ? FitImage(nWidth, nHeight, nOutW, nOutH)
                                     : FillImage(nWidth, nHeight, nOutW, nOutH);
}

// The whole factor of the nearest-neighbour step that takes an nWidth × nHeight image to its place
// r: the smallest that reaches r's size, so that the smooth step after it only shrinks, by less
// than half. A shrinking straight-line step blends two neighbours only where a sample falls
// between them, within one output pixel of each edge between source pixels: every source pixel
// stays a block of one colour with at most a one-pixel soft edge. Where that would pass the
// largest picture the renderer holds (nMaxW × nMaxH, 0 for no limit), the largest that fits it.
inline int PrescaleFactor(int nWidth, int nHeight, const FitRect& r, int nMaxW = 0, int nMaxH = 0)
{
    if (nWidth <= 0 || nHeight <= 0)
        return 1;
    int k = std::max((r.nWidth + nWidth - 1) / nWidth, (r.nHeight + nHeight - 1) / nHeight);
    if (nMaxW > 0)
        k = std::min(k, nMaxW / nWidth);
    if (nMaxH > 0)
        k = std::min(k, nMaxH / nHeight);
    return std::max(1, k);
}

// What the pacer reads and waits on: the steady clock, or a clock a test steps itself.
struct PacerClock {
    using TimePoint = std::chrono::steady_clock::time_point;
    std::function<TimePoint()> now = [] { return std::chrono::steady_clock::now(); };
    std::function<void(TimePoint)> sleepUntil = [](TimePoint t) { std::this_thread::sleep_until(t); };
};

// Flips at 60 per second. Where the display itself refreshes at 60 Hz and the renderer waits for
// it, the display paces the flips; a vsync that turns out not to hold them back (a virtual
// display, a driver that ignores it) hands the pacing to the clock, as does any other rate. The
// clock keeps an absolute schedule, so the average stays at 60 whatever each wait rounds to, and
// starts again from now after a stall rather than catching up in a burst.
class FramePacer {
public:
    using TimePoint = PacerClock::TimePoint;
    static constexpr std::chrono::nanoseconds kInterval{16666667};
    // Flips this close together, this many in a row, show that a vsync does not hold them back.
    static constexpr int kFastFlipsToDistrust = 5;

    explicit FramePacer(PacerClock clock = PacerClock()) : m_clock(std::move(clock)) {}

    void Start(bool bDisplayPaces)
    {
        m_bVsync = bDisplayPaces;
        m_next = TimePoint();
        m_last = TimePoint();
        m_nFast = 0;
    }

    bool DisplayPaces() const { return m_bVsync; }

    // Before the flip: waits until it is due.
    void WaitForFlip()
    {
        if (m_bVsync)
            return;
        TimePoint now = m_clock.now();
        if (m_next == TimePoint() || now - m_next > 2 * kInterval)
            m_next = now;
        else if (now < m_next)
            m_clock.sleepUntil(m_next);
    }

    // After the flip.
    void Flipped()
    {
        TimePoint now = m_clock.now();
        if (m_bVsync && m_last != TimePoint()) {
            m_nFast = now - m_last < kInterval * 3 / 4 ? m_nFast + 1 : 0;
            if (m_nFast >= kFastFlipsToDistrust) {
                m_bVsync = false;
                m_next = now;
            }
        }
        m_last = now;
        if (!m_bVsync)
            m_next += kInterval;
    }

private:
    PacerClock m_clock;
    bool m_bVsync = false;
    TimePoint m_next, m_last;
    int m_nFast = 0;
};

}  // namespace host
