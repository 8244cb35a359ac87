// The exclusive display's placement and pacing on the SDL host, kept free of SDL so that they can
// be checked by themselves.
#pragma once

#include <algorithm>
#include <chrono>
#include <thread>

namespace host {

struct FitRect {
    int x = 0, y = 0, nWidth = 0, nHeight = 0;
};

// Where an nWidth × nHeight image goes on an output of nOutW × nOutH: the largest whole scale
// factor that fits, centred; where not even the image's own size fits, the largest rectangle of
// its shape. Never stretched out of shape.
inline FitRect FitImage(int nWidth, int nHeight, int nOutW, int nOutH)
{
    FitRect r;
    if (nWidth <= 0 || nHeight <= 0 || nOutW <= 0 || nOutH <= 0)
        return r;
    int k = std::min(nOutW / nWidth, nOutH / nHeight);
    if (k >= 1) {
        r.nWidth = nWidth * k;
        r.nHeight = nHeight * k;
    } else if (static_cast<long long>(nOutW) * nHeight <= static_cast<long long>(nOutH) * nWidth) {
        r.nWidth = nOutW;
        r.nHeight = static_cast<int>(static_cast<long long>(nOutW) * nHeight / nWidth);
    } else {
        r.nHeight = nOutH;
        r.nWidth = static_cast<int>(static_cast<long long>(nOutH) * nWidth / nHeight);
    }
    r.x = (nOutW - r.nWidth) / 2;
    r.y = (nOutH - r.nHeight) / 2;
    return r;
}

// Flips at 60 per second. Where the display itself refreshes at 60 Hz and the renderer waits for
// it, the display paces the flips; a vsync that turns out not to hold them back (a virtual
// display, a driver that ignores it) hands the pacing to the clock, as does any other rate. The
// clock keeps an absolute schedule, so the average stays at 60 whatever each wait rounds to, and
// starts again from now after a stall rather than catching up in a burst.
class FramePacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::nanoseconds kInterval{16666667};

    void Start(bool bDisplayPaces)
    {
        m_bVsync = bDisplayPaces;
        m_next = Clock::time_point();
        m_last = Clock::time_point();
        m_nFast = 0;
    }

    bool DisplayPaces() const { return m_bVsync; }

    // Before the flip: waits until it is due.
    void WaitForFlip()
    {
        if (m_bVsync)
            return;
        Clock::time_point now = Clock::now();
        if (m_next == Clock::time_point() || now - m_next > 2 * kInterval)
            m_next = now;
        else if (now < m_next)
            std::this_thread::sleep_until(m_next);
    }

    // After the flip.
    void Flipped()
    {
        Clock::time_point now = Clock::now();
        if (m_bVsync && m_last != Clock::time_point()) {
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
    static constexpr int kFastFlipsToDistrust = 5;
    bool m_bVsync = false;
    Clock::time_point m_next, m_last;
    int m_nFast = 0;
};

}  // namespace host
