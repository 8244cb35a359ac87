// The converter this build mixes with: the band-limited one wherever libsamplerate is, the
// straight-line one elsewhere (CMake's VADURER_RESAMPLER).
#include "platform/standin/resampler.h"

namespace standin {

std::unique_ptr<Resampler> MakeResampler(Resampler::Input pfnInput, void* pData, int nChannels)
{
#ifdef VADURER_LINEAR_RESAMPLER
    return MakeLinearResampler(pfnInput, pData, nChannels);
#else
    return MakeSincResampler(pfnInput, pData, nChannels);
#endif
}

}  // namespace standin
