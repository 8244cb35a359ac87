// The mixer's rate conversion: a voice's frames, pulled through a callback, come out at the
// device's rate. Two converters answer it: libsamplerate's fastest band-limited one
// (resampler_sinc.cpp), and a straight-line one (resampler_linear.cpp) for a build that has no
// libsamplerate, the page's. The build chooses which one MakeResampler makes (VADURER_RESAMPLER);
// the tests hold both to the same checks.
#pragma once

#include "platform/standin/below_seam.h"

#include <memory>

namespace standin {

class Resampler {
public:
    // Hands input frames (interleaved floats) over: returns how many frames it put at *ppData,
    // and 0 once the input has ended.
    using Input = long (*)(void* pData, float** ppData);

    virtual ~Resampler() = default;
    // Up to nFrames output frames at dRatio output frames per input frame into pOut; fewer only
    // once the input has ended and its last frames are out. Negative on an impossible request.
    virtual long Read(double dRatio, long nFrames, float* pOut) = 0;
    // Forgets all input: the next output starts at the next input frame.
    virtual void Reset() = 0;
};

using ResamplerMaker = std::unique_ptr<Resampler> (*)(Resampler::Input pfnInput, void* pData, int nChannels);

// Null where the converter cannot be made (no memory, or a number of channels it does not take).
std::unique_ptr<Resampler> MakeLinearResampler(Resampler::Input pfnInput, void* pData, int nChannels);
// Only in builds with libsamplerate.
std::unique_ptr<Resampler> MakeSincResampler(Resampler::Input pfnInput, void* pData, int nChannels);
// The build's converter.
std::unique_ptr<Resampler> MakeResampler(Resampler::Input pfnInput, void* pData, int nChannels);

}  // namespace standin
