// The straight-line converter, for the page, where there is no libsamplerate. The page opens its
// audio at the mixer's own 44100 Hz, so the production's sounds (all 44100 Hz) are copied straight
// and never come here; a WAVE at another rate is converted by straight-line interpolation between
// neighbouring frames, which is plainly audible as duller on high notes but keeps pitch and length
// exactly. Free of the browser, so that it is checked natively.
#include <cstring>
#include <new>

#include "platform/standin/resampler.h"

namespace standin {

namespace {

class LinearResampler final : public Resampler {
public:
    static constexpr int kMaxChannels = 8;

    LinearResampler(Input pfnInput, void* pData, int nChannels)
        : m_pfnInput(pfnInput), m_pData(pData), m_nChannels(nChannels)
    {
    }

    void Reset() override
    {
        m_pIn = nullptr;
        m_nInLeft = 0;
        m_bEnded = false;
        m_nHave = 0;
        m_dPos = 0.0;
    }

    // Output frame k lies at input time k / dRatio.
    long Read(double dRatio, long nFrames, float* pOut) override
    {
        if (dRatio <= 0.0 || nFrames < 0 || !pOut)
            return -1;
        while (m_nHave < 2) {
            if (!Next(m_nHave == 0 ? m_prev : m_cur))
                return 0;
            ++m_nHave;
        }
        const double dStep = 1.0 / dRatio;
        long k = 0;
        while (k < nFrames) {
            while (m_dPos >= 1.0) {
                float next[kMaxChannels];
                if (!Next(next))
                    break;
                std::memcpy(m_prev, m_cur, sizeof m_prev);
                std::memcpy(m_cur, next, sizeof m_cur);
                m_dPos -= 1.0;
            }
            // Past the last input frame; exactly on it is still the last frame itself.
            if (m_dPos > 1.0)
                return k;
            const float t = static_cast<float>(m_dPos);
            for (int c = 0; c < m_nChannels; ++c)
                pOut[k * m_nChannels + c] = m_prev[c] + (m_cur[c] - m_prev[c]) * t;
            ++k;
            m_dPos += dStep;
        }
        return k;
    }

private:
    bool Next(float* pFrame)
    {
        if (m_nInLeft == 0) {
            if (m_bEnded)
                return false;
            float* p = nullptr;
            long n = m_pfnInput(m_pData, &p);
            if (n <= 0 || !p) {
                m_bEnded = true;
                return false;
            }
            m_pIn = p;
            m_nInLeft = n;
        }
        std::memcpy(pFrame, m_pIn, sizeof(float) * static_cast<size_t>(m_nChannels));
        m_pIn += m_nChannels;
        --m_nInLeft;
        return true;
    }

    Input m_pfnInput;
    void* m_pData;
    int m_nChannels;
    const float* m_pIn = nullptr;
    long m_nInLeft = 0;
    bool m_bEnded = false;
    int m_nHave = 0;  // of m_prev and m_cur, how many hold input
    double m_dPos = 0.0;
    float m_prev[kMaxChannels] = {};
    float m_cur[kMaxChannels] = {};
};

}  // namespace

std::unique_ptr<Resampler> MakeLinearResampler(Resampler::Input pfnInput, void* pData, int nChannels)
{
    if (!pfnInput || nChannels < 1 || nChannels > LinearResampler::kMaxChannels)
        return nullptr;
    return std::unique_ptr<Resampler>(new (std::nothrow) LinearResampler(pfnInput, pData, nChannels));
}

}  // namespace standin
