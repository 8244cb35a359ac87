// The part of libsamplerate's callback interface that the mixer uses, for the web build, where
// platform/host/web/samplerate.cpp answers it (see linear_resampler.h for why).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SRC_STATE_tag SRC_STATE;
typedef long (*src_callback_t)(void* cb_data, float** data);

enum {
    SRC_SINC_BEST_QUALITY = 0,
    SRC_SINC_MEDIUM_QUALITY = 1,
    SRC_SINC_FASTEST = 2,
    SRC_ZERO_ORDER_HOLD = 3,
    SRC_LINEAR = 4
};

SRC_STATE* src_callback_new(src_callback_t func, int converter_type, int channels, int* error, void* cb_data);
long src_callback_read(SRC_STATE* state, double src_ratio, long frames, float* data);
SRC_STATE* src_delete(SRC_STATE* state);
int src_reset(SRC_STATE* state);

#ifdef __cplusplus
}
#endif
