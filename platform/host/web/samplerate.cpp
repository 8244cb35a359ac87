// libsamplerate's callback interface over the web build's straight-line converter. Whatever
// converter is asked for, this one answers.
#include "platform/host/web/samplerate/samplerate.h"

#include <new>

#include "platform/host/web/linear_resampler.h"

struct SRC_STATE_tag {
    web::LinearResampler resampler;
};

namespace {
// libsamplerate's own codes for these failures.
constexpr int kErrMalloc = 1;
constexpr int kErrBadChannels = 12;
}  // namespace

extern "C" SRC_STATE* src_callback_new(src_callback_t func, int, int channels, int* error, void* cb_data)
{
    if (!func || !web::LinearResampler::Takes(channels)) {
        if (error)
            *error = kErrBadChannels;
        return nullptr;
    }
    auto* p = new (std::nothrow) SRC_STATE{web::LinearResampler(func, cb_data, channels)};
    if (error)
        *error = p ? 0 : kErrMalloc;
    return p;
}

extern "C" long src_callback_read(SRC_STATE* state, double src_ratio, long frames, float* data)
{
    return state ? state->resampler.Read(src_ratio, frames, data) : -1;
}

extern "C" SRC_STATE* src_delete(SRC_STATE* state)
{
    delete state;
    return nullptr;
}

extern "C" int src_reset(SRC_STATE* state)
{
    if (!state)
        return 1;
    state->resampler.Reset();
    return 0;
}
