// libsamplerate's fastest band-limited converter: clean enough for effects and music at any of
// the rates a WAVE file here has, at a cost measured in bench/.
#include <samplerate.h>

#include <new>

#include "platform/standin/resampler.h"

namespace standin {

namespace {

class SincResampler final : public Resampler {
public:
    explicit SincResampler(SRC_STATE* pState) : m_pState(pState) {}
    ~SincResampler() override { src_delete(m_pState); }
    SincResampler(const SincResampler&) = delete;
    SincResampler& operator=(const SincResampler&) = delete;

    long Read(double dRatio, long nFrames, float* pOut) override
    {
        return src_callback_read(m_pState, dRatio, nFrames, pOut);
    }
    void Reset() override { src_reset(m_pState); }

private:
    SRC_STATE* m_pState;
};

}  // namespace

std::unique_ptr<Resampler> MakeSincResampler(Resampler::Input pfnInput, void* pData, int nChannels)
{
    if (!pfnInput || nChannels < 1)
        return nullptr;  // the library would stop the program on these
    int nError = 0;
    SRC_STATE* pState = src_callback_new(pfnInput, SRC_SINC_FASTEST, nChannels, &nError, pData);
    if (!pState)
        return nullptr;
    std::unique_ptr<Resampler> p(new (std::nothrow) SincResampler(pState));
    if (!p)
        src_delete(pState);
    return p;
}

}  // namespace standin
