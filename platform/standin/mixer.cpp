#include "platform/standin/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace standin {

namespace {

inline int SampleAt(const uint8_t* p, int nBits)
{
    if (nBits == 8)
        return (int(p[0]) - 128) * 256;
    return int(int16_t(uint16_t(p[0] | (p[1] << 8))));
}

inline int16_t Saturate(int32_t n)
{
    return int16_t(std::clamp<int32_t>(n, -32768, 32767));
}

}  // namespace

bool MixerTakes(const PcmFormat& f)
{
    return (f.nBits == 8 || f.nBits == 16) && (f.nChannels == 1 || f.nChannels == 2) && f.nRate >= 4000 &&
           f.nRate <= 192000;
}

Mixer::Mixer(int nDeviceRate) : m_nRate(nDeviceRate), m_acc(size_t(kBlock) * kChannels), m_output(size_t(kBlock) * 2)
{
}

Mixer::~Mixer() = default;

int Mixer::Add(std::shared_ptr<SampleBytes> pBytes, const PcmFormat& format, bool bWatch)
{
    if (!pBytes || !MixerTakes(format))
        return -1;
    auto v = std::make_unique<Voice>();
    v->format = format;
    v->nFrameBytes = uint32_t(format.nChannels * format.nBits / 8);
    v->cbSize = uint32_t(pBytes->size());
    if (v->cbSize < v->nFrameBytes)
        return -1;
    v->pBytes = std::move(pBytes);
    v->pMixer = this;
    v->bWatch = bWatch;
    if (bWatch)
        v->fresh.assign(v->cbSize, 0);
    if (format.nRate != m_nRate) {
        v->pSrc = MakeResampler(&Mixer::ResamplerInput, v.get(), format.nChannels);
        if (!v->pSrc)
            return -1;
        v->dRatio = double(m_nRate) / double(format.nRate);
        v->input.assign(size_t(kBlock) * size_t(format.nChannels), 0.0f);
    }
    for (size_t i = 0; i < m_voices.size(); ++i)
        if (!m_voices[i]) {
            m_voices[i] = std::move(v);
            return int(i);
        }
    m_voices.push_back(std::move(v));
    return int(m_voices.size() - 1);
}

void Mixer::Remove(int nVoice)
{
    Voice* v = Find(nVoice);
    if (!v)
        return;
    m_voices[size_t(nVoice)].reset();
}

Mixer::Voice* Mixer::Find(int nVoice) const
{
    if (nVoice < 0 || size_t(nVoice) >= m_voices.size())
        return nullptr;
    return m_voices[size_t(nVoice)].get();
}

void Mixer::Play(int nVoice, bool bLoop)
{
    Voice* v = Find(nVoice);
    if (!v)
        return;
    if (!v->bPlaying && v->pSrc)
        v->pSrc->Reset();  // no tail of an earlier play
    v->bPlaying = true;
    v->bLoop = bLoop;
    v->bInputEnded = false;
}

void Mixer::Stop(int nVoice)
{
    if (Voice* v = Find(nVoice))
        v->bPlaying = false;
}

bool Mixer::Playing(int nVoice) const
{
    Voice* v = Find(nVoice);
    return v && v->bPlaying;
}

bool Mixer::Looping(int nVoice) const
{
    Voice* v = Find(nVoice);
    return v && v->bLoop;
}

uint32_t Mixer::Cursor(int nVoice) const
{
    Voice* v = Find(nVoice);
    return v ? v->dwCursor : 0;
}

void Mixer::SetCursor(int nVoice, uint32_t dwOffset)
{
    Voice* v = Find(nVoice);
    if (!v)
        return;
    dwOffset = std::min(dwOffset, v->cbSize - 1);
    v->dwCursor = dwOffset - dwOffset % v->nFrameBytes;
    v->bInputEnded = false;
    if (v->pSrc)
        v->pSrc->Reset();
}

void Mixer::SetNotifications(int nVoice, const uint32_t* pOffsets, int nCount)
{
    Voice* v = Find(nVoice);
    if (!v)
        return;
    v->offsets.assign(pOffsets, pOffsets + std::max(nCount, 0));
    v->pending.assign(v->offsets.size(), 0);
}

void Mixer::Written(int nVoice, uint32_t dwOffset, uint32_t dwBytes)
{
    Voice* v = Find(nVoice);
    if (!v || !v->bWatch || dwOffset >= v->cbSize)
        return;
    dwBytes = std::min(dwBytes, v->cbSize - dwOffset);
    std::memset(v->fresh.data() + dwOffset, 1, dwBytes);
}

void Mixer::Passed(Voice& v, uint32_t dwFrom, uint32_t dwTo)
{
    for (size_t k = 0; k < v.offsets.size(); ++k)
        if (v.offsets[k] >= dwFrom && v.offsets[k] < dwTo) {
            v.pending[k] = 1;
            v.bAnyPending = true;
        }
    if (v.bWatch) {
        uint8_t* p = v.fresh.data() + dwFrom;
        if (std::memchr(p, 0, dwTo - dwFrom))
            ++m_nUnderruns;
        std::memset(p, 0, dwTo - dwFrom);
    }
}

const uint8_t* Mixer::Consume(Voice& v, int nFrames, int& nTaken)
{
    uint32_t nLeft = (v.cbSize - v.dwCursor) / v.nFrameBytes;
    if (nLeft == 0) {
        // Only bytes short of a whole frame remain: the end of the buffer.
        Passed(v, v.dwCursor, v.cbSize);
        v.dwCursor = 0;
        if (!v.bLoop) {
            v.bInputEnded = true;
            nTaken = 0;
            return nullptr;
        }
        nLeft = v.cbSize / v.nFrameBytes;
    }
    nTaken = int(std::min<uint32_t>(nLeft, uint32_t(nFrames)));
    const uint8_t* p = v.pBytes->data() + v.dwCursor;
    uint32_t dwTo = v.dwCursor + uint32_t(nTaken) * v.nFrameBytes;
    // The buffer's trailing part-frame goes with its last frame.
    if (v.cbSize - dwTo < v.nFrameBytes)
        dwTo = v.cbSize;
    Passed(v, v.dwCursor, dwTo);
    v.dwCursor = dwTo;
    if (v.dwCursor >= v.cbSize) {
        v.dwCursor = 0;
        if (!v.bLoop)
            v.bInputEnded = true;
    }
    return p;
}

void Mixer::EndOneShot(Voice& v)
{
    // A one-shot that has played out is stopped and rewound, ready to play from its start.
    v.bPlaying = false;
    v.bInputEnded = false;
    v.dwCursor = 0;
    v.bEndedPending = true;
    v.bAnyPending = true;
}

void Mixer::MixDirect(Voice& v, int nFrames)
{
    int32_t* pAcc = m_acc.data();
    const int nBits = v.format.nBits, nBytes = nBits / 8;
    const bool bStereo = v.format.nChannels == 2;
    while (nFrames > 0 && v.bPlaying) {
        int nTaken = 0;
        const uint8_t* p = Consume(v, nFrames, nTaken);
        for (int i = 0; i < nTaken; ++i) {
            int l = SampleAt(p, nBits);
            int r = bStereo ? SampleAt(p + nBytes, nBits) : l;
            p += v.nFrameBytes;
            pAcc[0] += l;
            pAcc[1] += r;
            pAcc += 2;
        }
        nFrames -= nTaken;
        if (v.bInputEnded)
            EndOneShot(v);
    }
}

long Mixer::ResamplerInput(void* pData, float** ppInput)
{
    Voice& v = *static_cast<Voice*>(pData);
    *ppInput = v.input.data();
    if (v.bInputEnded || !v.bPlaying)
        return 0;
    int nTaken = 0;
    // Small steps keep the play cursor (and the notifications) within 5 ms of what is heard.
    const int nStep = std::clamp(v.format.nRate / 200, 16, kBlock);
    const uint8_t* p = v.pMixer->Consume(v, nStep, nTaken);
    const int nBits = v.format.nBits, nBytes = nBits / 8;
    float* pIn = v.input.data();
    for (int i = 0; i < nTaken * v.format.nChannels; ++i, p += nBytes)
        pIn[i] = float(SampleAt(p, nBits)) * (1.0f / 32768.0f);
    return nTaken;
}

void Mixer::MixResampled(Voice& v, int nFrames)
{
    long nGot = v.pSrc->Read(v.dRatio, nFrames, m_output.data());
    if (nGot < 0)
        nGot = 0;
    const bool bStereo = v.format.nChannels == 2;
    const float* pOut = m_output.data();
    int32_t* pAcc = m_acc.data();
    for (long i = 0; i < nGot; ++i) {
        float l = bStereo ? pOut[2 * i] : pOut[i];
        float r = bStereo ? pOut[2 * i + 1] : l;
        pAcc[2 * i] += int32_t(std::lrint(std::clamp(l, -2.0f, 2.0f) * 32768.0f));
        pAcc[2 * i + 1] += int32_t(std::lrint(std::clamp(r, -2.0f, 2.0f) * 32768.0f));
    }
    // Fewer frames than asked: the one-shot's input and the converter's tail are both spent.
    if (nGot < nFrames && v.bPlaying)
        EndOneShot(v);
}

void Mixer::Mix(int16_t* pOut, int nFrames)
{
    while (nFrames > 0) {
        const int n = std::min(nFrames, kBlock);
        std::fill(m_acc.begin(), m_acc.begin() + 2 * n, 0);
        for (auto& p : m_voices) {
            if (!p || !p->bPlaying)
                continue;
            if (p->pSrc)
                MixResampled(*p, n);
            else
                MixDirect(*p, n);
        }
        for (int i = 0; i < 2 * n; ++i)
            pOut[i] = Saturate(m_acc[size_t(i)]);
        pOut += 2 * n;
        nFrames -= n;
    }
}

}  // namespace standin
