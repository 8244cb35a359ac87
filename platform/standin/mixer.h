// The stand-in's software mixer: PCM buffers in, device frames (16-bit stereo) out. It knows no
// threads and no COM; whoever owns it (the DirectSound stand-in) keeps one lock around every call,
// the pull included. Everything that allocates (adding a voice, arming notifications) happens on
// the caller's side; Mix never allocates and never blocks.
#pragma once

#include "platform/standin/below_seam.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/standin/resampler.h"

namespace standin {

struct PcmFormat {
    int nRate = 0;      // frames per second
    int nChannels = 0;  // 1 or 2
    int nBits = 0;      // 8 (unsigned) or 16 (signed)
};

// True for the formats the mixer plays: 8- or 16-bit PCM, mono or stereo, 4000 to 192000 Hz.
bool MixerTakes(const PcmFormat& format);

// The bytes of a buffer; duplicated voices share one.
using SampleBytes = std::vector<uint8_t>;

class Mixer {
public:
    static constexpr int kChannels = 2;
    explicit Mixer(int nDeviceRate);
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    int Rate() const { return m_nRate; }

    // A voice over the given bytes (whose size is a multiple of the format's frame), stopped at
    // offset 0. bWatch: count an underrun whenever the voice plays bytes not written (Written)
    // since it last played them. Returns the voice's id, or -1 when the format is not taken or
    // the resampler cannot be made.
    int Add(std::shared_ptr<SampleBytes> pBytes, const PcmFormat& format, bool bWatch);
    void Remove(int nVoice);

    void Play(int nVoice, bool bLoop);
    void Stop(int nVoice);
    bool Playing(int nVoice) const;
    bool Looping(int nVoice) const;
    uint32_t Cursor(int nVoice) const;
    void SetCursor(int nVoice, uint32_t dwOffset);
    // Offsets whose passing is reported (bytes into the buffer; at or past the end: never).
    void SetNotifications(int nVoice, const uint32_t* pOffsets, int nCount);
    // The caller has written these bytes of the voice's buffer.
    void Written(int nVoice, uint32_t dwOffset, uint32_t dwBytes);

    // Adds every playing voice into nFrames stereo frames, saturating at full scale.
    void Mix(int16_t* pOut, int nFrames);

    // What the last Mix calls did, each reported once: fn(voice, index) for each notification
    // offset passed (index into the offsets given), and fn(voice, -1) for a voice that stopped by
    // itself at the end of a one-shot play.
    template <typename Fn>
    void TakeCrossings(Fn fn)
    {
        for (size_t i = 0; i < m_voices.size(); ++i) {
            Voice* v = m_voices[i].get();
            if (!v || !v->bAnyPending)
                continue;
            for (size_t k = 0; k < v->pending.size(); ++k)
                if (v->pending[k]) {
                    v->pending[k] = 0;
                    fn(int(i), int(k));
                }
            if (v->bEndedPending) {
                v->bEndedPending = false;
                fn(int(i), -1);
            }
            v->bAnyPending = false;
        }
    }

    // Times a watched voice played bytes that were not written since it last played them.
    uint64_t Underruns() const { return m_nUnderruns; }

private:
    static constexpr int kBlock = 512;  // frames mixed per step; the most the resampler takes at once

    struct Voice {
        std::shared_ptr<SampleBytes> pBytes;
        PcmFormat format;
        uint32_t nFrameBytes = 0;
        uint32_t cbSize = 0;
        uint32_t dwCursor = 0;
        bool bPlaying = false, bLoop = false;
        bool bInputEnded = false;  // a one-shot has given the resampler its last frame
        std::vector<uint32_t> offsets;
        std::vector<uint8_t> pending;
        bool bEndedPending = false, bAnyPending = false;
        bool bWatch = false;
        std::vector<uint8_t> fresh;  // per byte: written since last played
        std::unique_ptr<Resampler> pSrc;
        double dRatio = 1.0;
        std::vector<float> input;  // the resampler's input, kBlock frames
        Mixer* pMixer = nullptr;
    };

    Voice* Find(int nVoice) const;
    // Takes up to nFrames frames from the voice's cursor (stopping at the buffer's end): returns
    // their address and count, moves the cursor and notes what was passed.
    const uint8_t* Consume(Voice& v, int nFrames, int& nTaken);
    void Passed(Voice& v, uint32_t dwFrom, uint32_t dwTo);
    void EndOneShot(Voice& v);
    void MixDirect(Voice& v, int nFrames);
    void MixResampled(Voice& v, int nFrames);
    static long ResamplerInput(void* pData, float** ppInput);

    int m_nRate;
    std::vector<std::unique_ptr<Voice>> m_voices;
    std::vector<int32_t> m_acc;   // kBlock stereo frames
    std::vector<float> m_output;  // the resampler's output, kBlock frames of up to 2 channels
    uint64_t m_nUnderruns = 0;
};

}  // namespace standin
