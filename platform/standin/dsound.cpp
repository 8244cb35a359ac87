#include "platform/standin/dsound.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/host/host.h"
#include "platform/standin/faults.h"
#include "platform/standin/kernel.h"
#include "platform/standin/mixer.h"
#include "platform/standin/testing.h"

const IID IID_IDirectSoundNotify = {0xB0210783, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};
const IID IID_IDirectSoundBuffer = {0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

namespace {

constexpr int kDeviceRate = 44100;
// The most events one pull can signal; more buffers than this crossing offsets in one pull
// cannot happen with the system's one stream and its voices (the rest would wait a pull).
constexpr int kMaxSignals = 64;

// Long enough for any refill on a loaded machine; a thread that takes longer is stuck, and a pull
// in step goes on without waiting for it rather than hang.
constexpr DWORD kSettleTimeoutMs = 10000;

std::atomic<unsigned long long> g_nUnderruns{0};

class Buffer;

// What a device and its buffers share with the host's pull: the mixer and its one lock. It lives
// as long as anything holds it: the device, a buffer, or the pull the host keeps.
struct Core {
    explicit Core(int nRate) : mixer(nRate) {}

    std::mutex mutex;
    standin::Mixer mixer;
    std::vector<Buffer*> byVoice;  // the buffer that owns each mixer voice
    uint64_t nUnderrunsSeen = 0;

    void Pull(int16_t* pSamples, int nFrames);
};

std::atomic<Core*> g_pAudioOwner{nullptr};  // the core whose pull the host now calls

class Buffer final : public ComObject<IDirectSoundBuffer, IDirectSoundNotify> {
public:
    Buffer(std::shared_ptr<Core> pCore, DWORD dwFlags) : m_pCore(std::move(pCore)), m_dwFlags(dwFlags) {}

    // A secondary buffer over these bytes (shared with its duplicates); false if the mixer
    // does not take the format.
    bool Attach(std::shared_ptr<standin::SampleBytes> pBytes, const WAVEFORMATEX& wfx)
    {
        // PCM has no extra format bytes: the 16 fields are all there is to read (a format chunk
        // used in place may end right after them).
        std::memcpy(&m_wfx, &wfx, 16);
        m_wfx.cbSize = 0;
        m_pBytes = std::move(pBytes);
        standin::PcmFormat format{int(wfx.nSamplesPerSec), int(wfx.nChannels), int(wfx.wBitsPerSample)};
        bool bWatch = (m_dwFlags & DSBCAPS_CTRLPOSITIONNOTIFY) != 0;
        std::lock_guard<std::mutex> lock(m_pCore->mutex);
        m_nVoice = m_pCore->mixer.Add(m_pBytes, format, bWatch);
        if (m_nVoice < 0)
            return false;
        if (m_pCore->byVoice.size() <= size_t(m_nVoice))
            m_pCore->byVoice.resize(size_t(m_nVoice) + 1, nullptr);
        m_pCore->byVoice[size_t(m_nVoice)] = this;
        return true;
    }

    Buffer* Duplicate() const
    {
        auto* p = new (std::nothrow) Buffer(m_pCore, m_dwFlags);
        if (p && !p->Attach(m_pBytes, m_wfx)) {
            p->Release();
            p = nullptr;
        }
        return p;
    }

    bool Primary() const { return (m_dwFlags & DSBCAPS_PRIMARYBUFFER) != 0; }
    const WAVEFORMATEX& Format() const { return m_wfx; }
    const std::shared_ptr<Core>& CoreOf() const { return m_pCore; }
    unsigned long Calls() const { return m_nCalls; }
    // Called by the pull, under the lock: the event for notification nIndex (-1: the stop).
    HANDLE EventFor(int nIndex) const { return nIndex < 0 ? m_hStopEvent : m_offsetEvents[size_t(nIndex)]; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* ppv) override
    {
        if (!ppv)
            return E_INVALIDARG;
        *ppv = nullptr;
        if (riid == IID_IDirectSoundBuffer)
            *ppv = static_cast<IDirectSoundBuffer*>(this);
        else if (riid == IID_IDirectSoundNotify && (m_dwFlags & DSBCAPS_CTRLPOSITIONNOTIFY))
            *ppv = static_cast<IDirectSoundNotify*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD pdwPlay, LPDWORD pdwWrite) override
    {
        if (Primary())
            return DSERR_PRIOLEVELNEEDED;
        std::lock_guard<std::mutex> lock(m_pCore->mutex);
        DWORD dwPlay = m_pCore->mixer.Cursor(m_nVoice);
        if (pdwPlay)
            *pdwPlay = dwPlay;
        if (pdwWrite)
            *pdwWrite = WriteCursor(dwPlay);
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD pdwStatus) override
    {
        if (!pdwStatus)
            return DSERR_INVALIDPARAM;
        *pdwStatus = 0;
        if (Primary())
            return DS_OK;
        std::lock_guard<std::mutex> lock(m_pCore->mutex);
        if (m_pCore->mixer.Playing(m_nVoice))
            *pdwStatus = DSBSTATUS_PLAYING | (m_pCore->mixer.Looping(m_nVoice) ? DSBSTATUS_LOOPING : 0);
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE Lock(DWORD dwOffset, DWORD dwBytes, LPVOID* ppv1, LPDWORD pdw1, LPVOID* ppv2,
                                   LPDWORD pdw2, DWORD dwFlags) override
    {
        if (Primary())
            return DSERR_PRIOLEVELNEEDED;
        if (!ppv1 || !pdw1)
            return DSERR_INVALIDPARAM;
        const DWORD cbSize = DWORD(m_pBytes->size());
        {
            // Taken also so that what the caller writes next is ordered after what the pull read.
            std::lock_guard<std::mutex> lock(m_pCore->mutex);
            if (dwFlags & DSBLOCK_FROMWRITECURSOR)
                dwOffset = WriteCursor(m_pCore->mixer.Cursor(m_nVoice));
        }
        if (dwFlags & DSBLOCK_ENTIREBUFFER)
            dwBytes = cbSize;
        if (dwOffset >= cbSize || dwBytes == 0 || dwBytes > cbSize)
            return DSERR_INVALIDPARAM;
        uint8_t* pBase = m_pBytes->data();
        DWORD dwFirst = std::min(dwBytes, cbSize - dwOffset);
        *ppv1 = pBase + dwOffset;
        *pdw1 = dwFirst;
        if (ppv2) {
            // A lock that runs past the end goes on at the buffer's start.
            *ppv2 = dwFirst < dwBytes ? pBase : nullptr;
            if (pdw2)
                *pdw2 = dwBytes - dwFirst;
        }
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE Play(DWORD, DWORD, DWORD dwFlags) override
    {
        if (Primary())
            return DSERR_PRIOLEVELNEEDED;
        std::lock_guard<std::mutex> lock(m_pCore->mutex);
        m_pCore->mixer.Play(m_nVoice, (dwFlags & DSBPLAY_LOOPING) != 0);
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD dwPosition) override
    {
        if (Primary())
            return DSERR_INVALIDCALL;
        if (dwPosition >= m_pBytes->size())
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(m_pCore->mutex);
        m_pCore->mixer.SetCursor(m_nVoice, dwPosition);
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE Stop() override
    {
        if (Primary())
            return DSERR_PRIOLEVELNEEDED;
        HANDLE hStop = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_pCore->mutex);
            ++m_nCalls;
            if (m_pCore->mixer.Playing(m_nVoice))
                hStop = m_hStopEvent;
            m_pCore->mixer.Stop(m_nVoice);
        }
        if (hStop)
            SetEvent(hStop);
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE Unlock(LPVOID pv1, DWORD dw1, LPVOID pv2, DWORD dw2) override
    {
        if (Primary())
            return DSERR_PRIOLEVELNEEDED;
        if (!Inside(pv1, dw1) || (pv2 && !Inside(pv2, dw2)))
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(m_pCore->mutex);
        ++m_nCalls;
        m_pCore->mixer.Written(m_nVoice, Offset(pv1), dw1);
        if (pv2)
            m_pCore->mixer.Written(m_nVoice, Offset(pv2), dw2);
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE SetNotificationPositions(DWORD dwCount, LPCDSBPOSITIONNOTIFY pNotifies) override
    {
        if (dwCount > 0 && !pNotifies)
            return DSERR_INVALIDPARAM;
        std::vector<uint32_t> offsets;
        std::vector<HANDLE> events;
        HANDLE hStop = nullptr;
        for (DWORD i = 0; i < dwCount; ++i) {
            const DSBPOSITIONNOTIFY& n = pNotifies[i];
            if (!n.hEventNotify)
                return DSERR_INVALIDPARAM;
            if (n.dwOffset == DSBPN_OFFSETSTOP) {
                hStop = n.hEventNotify;
            } else if (n.dwOffset < m_pBytes->size()) {
                offsets.push_back(n.dwOffset);
                events.push_back(n.hEventNotify);
            } else {
                return DSERR_INVALIDPARAM;
            }
        }
        std::lock_guard<std::mutex> lock(m_pCore->mutex);
        // As on Windows, positions are armed only while the buffer is stopped.
        if (m_pCore->mixer.Playing(m_nVoice))
            return DSERR_INVALIDCALL;
        m_pCore->mixer.SetNotifications(m_nVoice, offsets.data(), int(offsets.size()));
        m_offsetEvents = std::move(events);
        m_hStopEvent = hStop;
        return DS_OK;
    }

private:
    ~Buffer() override
    {
        if (m_nVoice >= 0) {
            std::lock_guard<std::mutex> lock(m_pCore->mutex);
            m_pCore->mixer.Remove(m_nVoice);
            m_pCore->byVoice[size_t(m_nVoice)] = nullptr;
        }
    }

    // Where the caller may safely write: about 10 ms of audio past the play cursor while playing.
    DWORD WriteCursor(DWORD dwPlay) const
    {
        if (!m_pCore->mixer.Playing(m_nVoice))
            return dwPlay;
        DWORD dwAhead = m_wfx.nAvgBytesPerSec / 100;
        dwAhead -= dwAhead % std::max<DWORD>(m_wfx.nBlockAlign, 1);
        return DWORD((uint64_t(dwPlay) + dwAhead) % m_pBytes->size());
    }
    bool Inside(LPVOID pv, DWORD dw) const
    {
        auto* p = static_cast<uint8_t*>(pv);
        uint8_t* pBase = m_pBytes->data();
        return p >= pBase && p < pBase + m_pBytes->size() && dw <= size_t(pBase + m_pBytes->size() - p);
    }
    DWORD Offset(LPVOID pv) const { return DWORD(static_cast<uint8_t*>(pv) - m_pBytes->data()); }

    std::shared_ptr<Core> m_pCore;
    DWORD m_dwFlags;
    WAVEFORMATEX m_wfx = {};
    std::shared_ptr<standin::SampleBytes> m_pBytes;
    int m_nVoice = -1;
    // Read by the pull under the core's lock.
    std::vector<HANDLE> m_offsetEvents;
    HANDLE m_hStopEvent = nullptr;
    unsigned long m_nCalls = 0;
};

void Core::Pull(int16_t* pSamples, int nFrames)
{
    HANDLE signals[kMaxSignals];
    int nSignals = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        mixer.Mix(pSamples, nFrames);
        mixer.TakeCrossings([&](int nVoice, int nIndex) {
            Buffer* p = size_t(nVoice) < byVoice.size() ? byVoice[size_t(nVoice)] : nullptr;
            HANDLE h = p ? p->EventFor(nIndex) : nullptr;
            if (h && nSignals < kMaxSignals && std::find(signals, signals + nSignals, h) == signals + nSignals)
                signals[nSignals++] = h;
        });
        uint64_t nUnderruns = mixer.Underruns();
        g_nUnderruns += nUnderruns - nUnderrunsSeen;
        nUnderrunsSeen = nUnderruns;
    }
    // Outside the lock: a woken thread goes straight for the buffer.
    for (int i = 0; i < nSignals; ++i)
        SetEvent(signals[i]);
}

// A pull in step with the host's clock, on its main thread. The music's refill thread answers
// each boundary the mix crosses before the next mix, and before the system goes on: whatever it
// writes, it writes at the same point of the sound, however the machine scheduled it.
void PullInStep(Core& core, int16_t* pSamples, int nFrames)
{
    static bool s_bWarned = false;
    bool bSettled = standin::WaitForThreadsToSettle(kSettleTimeoutMs);
    core.Pull(pSamples, nFrames);
    bSettled = standin::WaitForThreadsToSettle(kSettleTimeoutMs) && bSettled;
    if (!bSettled && !s_bWarned) {
        s_bWarned = true;
        std::fprintf(stderr, "vadurer: a sound thread did not answer in time; the sound may differ between renders\n");
    }
}

bool ValidPcm(const WAVEFORMATEX* pwfx)
{
    if (!pwfx || pwfx->wFormatTag != WAVE_FORMAT_PCM || pwfx->nChannels == 0)
        return false;
    if (pwfx->nBlockAlign != pwfx->nChannels * pwfx->wBitsPerSample / 8)
        return false;
    return standin::MixerTakes({int(pwfx->nSamplesPerSec), int(pwfx->nChannels), int(pwfx->wBitsPerSample)});
}

class Device final : public ComObject<IDirectSound> {
public:
    explicit Device(std::shared_ptr<Core> pCore) : m_pCore(std::move(pCore)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, LPVOID* ppv) override
    {
        if (ppv)
            *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC pDesc, LPDIRECTSOUNDBUFFER* ppBuffer,
                                                IUnknown* pOuter) override
    {
        if (!pDesc || !ppBuffer || pOuter || pDesc->dwSize != sizeof(DSBUFFERDESC))
            return DSERR_INVALIDPARAM;
        *ppBuffer = nullptr;
        if (m_dwLevel == 0)
            return DSERR_PRIOLEVELNEEDED;  // the cooperative level comes first
        if (standin::ShouldFail("CreateSoundBuffer"))
            return DSERR_OUTOFMEMORY;
        if (pDesc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            if (pDesc->dwBufferBytes != 0 || pDesc->lpwfxFormat)
                return DSERR_INVALIDPARAM;
            *ppBuffer = new Buffer(m_pCore, pDesc->dwFlags);
            return DS_OK;
        }
        if (!pDesc->lpwfxFormat)
            return DSERR_INVALIDPARAM;
        if (!ValidPcm(pDesc->lpwfxFormat))
            return DSERR_BADFORMAT;
        if (pDesc->dwBufferBytes < DSBSIZE_MIN || pDesc->dwBufferBytes > DSBSIZE_MAX ||
            pDesc->dwBufferBytes < pDesc->lpwfxFormat->nBlockAlign)
            return DSERR_INVALIDPARAM;
        try {
            // A new buffer holds silence of its own format.
            BYTE bSilence = pDesc->lpwfxFormat->wBitsPerSample == 8 ? 0x80 : 0x00;
            auto pBytes = std::make_shared<standin::SampleBytes>(pDesc->dwBufferBytes, bSilence);
            auto* p = new Buffer(m_pCore, pDesc->dwFlags);
            if (!p->Attach(std::move(pBytes), *pDesc->lpwfxFormat)) {
                p->Release();
                return DSERR_BADFORMAT;
            }
            *ppBuffer = p;
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER pOriginal,
                                                   LPDIRECTSOUNDBUFFER* ppDuplicate) override
    {
        if (!pOriginal || !ppDuplicate)
            return DSERR_INVALIDPARAM;
        *ppDuplicate = nullptr;
        auto* pBuffer = static_cast<Buffer*>(pOriginal);
        if (pBuffer->Primary() || pBuffer->CoreOf() != m_pCore)
            return DSERR_INVALIDCALL;
        if (standin::ShouldFail("DuplicateSoundBuffer"))
            return DSERR_OUTOFMEMORY;
        Buffer* p = pBuffer->Duplicate();
        if (!p)
            return DSERR_OUTOFMEMORY;
        *ppDuplicate = p;
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD dwLevel) override
    {
        if (!hwnd || dwLevel < DSSCL_NORMAL || dwLevel > DSSCL_WRITEPRIMARY)
            return DSERR_INVALIDPARAM;
        if (standin::ShouldFail("SetCooperativeLevel"))
            return DSERR_INVALIDPARAM;
        m_dwLevel = dwLevel;
        return DS_OK;
    }

private:
    ~Device() override
    {
        // The host stops pulling before the device goes; buffers still held keep their core.
        Core* pCore = m_pCore.get();
        if (g_pAudioOwner.compare_exchange_strong(pCore, nullptr))
            host::Current().CloseAudio();
    }

    std::shared_ptr<Core> m_pCore;
    DWORD m_dwLevel = 0;
};

}  // namespace

HRESULT WINAPI DirectSoundCreate(LPCGUID pcGuidDevice, LPDIRECTSOUND* ppDS, IUnknown* pUnkOuter)
{
    if (!ppDS || pUnkOuter)
        return DSERR_INVALIDPARAM;
    *ppDS = nullptr;
    if (pcGuidDevice || standin::ShouldFail("DirectSoundCreate"))
        return DSERR_NODRIVER;  // only the default device exists here
    // The device's rate: the host's own where it has one, else the production's sounds' own.
    const int nRate = host::Current().AudioRate() > 0 ? host::Current().AudioRate() : kDeviceRate;
    auto pCore = std::make_shared<Core>(nRate);
    // The pull keeps its own reference, so that whatever the host still calls stays alive.
    std::shared_ptr<Core> pPulled = pCore;
    host::AudioPull pull;
    if (host::Current().PullsInStep())
        pull = [pPulled](int16_t* pSamples, int nFrames) { PullInStep(*pPulled, pSamples, nFrames); };
    else
        pull = [pPulled](int16_t* pSamples, int nFrames) { pPulled->Pull(pSamples, nFrames); };
    if (!host::Current().OpenAudio(nRate, standin::Mixer::kChannels, pull))
        return DSERR_NODRIVER;
    g_pAudioOwner = pCore.get();
    *ppDS = new Device(pCore);
    return DS_OK;
}

namespace standin {

unsigned long long DirectSoundUnderruns()
{
    return g_nUnderruns.load();
}

unsigned long DirectSoundBufferCalls(LPDIRECTSOUNDBUFFER pBuffer)
{
    auto* p = static_cast<Buffer*>(pBuffer);
    std::lock_guard<std::mutex> lock(p->CoreOf()->mutex);
    return p->Calls();
}

}  // namespace standin
