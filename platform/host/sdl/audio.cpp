#include "platform/host/sdl/audio.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

namespace host {

namespace {

// Small periods: the play cursor, and with it the music's block notifications, moves in steps of
// under 6 ms of audio at 44100 Hz.
constexpr int kPeriod = 256;
// Mixed and thrown away at most this much between two sleeps, so that the music's refill thread
// answers each block the mix crosses before the next.
constexpr int64_t kSkipStep = 2048;
// A device that plays is let fall this far behind the clock (the jitter of its calls) before the
// keeper mixes past what it missed; with no device the keeper keeps the mix at the clock itself.
constexpr long kBehindMs = 100;
// Calls in a row that show a device is playing.
constexpr int kSteadyCalls = 8;
// How often the keeper looks; an output added is looked at at most this often.
constexpr auto kLookEvery = std::chrono::milliseconds(50);
constexpr long kAddedAfterMs = 250;
// How long Close waits for a keeper that is inside SDL (a sound server slow to answer).
constexpr auto kKeeperWait = std::chrono::milliseconds(300);

extern "C" void SilentAlsa(const char*, int, const char*, int, const char*, ...)
{
}

// Says the sound is lost, once, whoever sees it first.
void SayLost(std::atomic<long>& nLostAtMs)
{
    long nNotLost = -1;
    if (nLostAtMs.compare_exchange_strong(nNotLost, WallClockMs()))
        std::fprintf(stderr,
                     "vadurer: sound output lost; the production plays on, and its sound comes back as soon as "
                     "there is an output again\n");
}

}  // namespace

std::mutex& SdlAudioRestartLock()
{
    static std::mutex s_mutex;
    return s_mutex;
}

// What the devices' callbacks and the keeper share. It lives as long as any device that may still
// call, also one that stopped answering and was left open.
struct SdlAudio::Gate {
    std::mutex mutex;  // held across one pull, and by whoever changes which device pulls
    AudioPull pull;    // empty once closed
    int nChannels = 2;
    uint32_t nLive = 0;  // the tap whose device pulls; 0: none
    std::atomic<bool> bHeld{false};
    std::function<long()> clock;
    // Where the mix is against the clock: the frames mixed since the clock read nBaseMs.
    long nBaseMs = 0;
    int64_t nMixed = 0;
    // The live device's calls: since when it is live, how many it made, the wall clock at the
    // last, and how many it had made when its sound was lost.
    long nLiveSinceMs = 0;
    std::atomic<int> nCalls{0};
    std::atomic<long> nLastCallMs{0};
    int nCallsAtLoss = 0;
    // When the sound was lost, while it is; -1 while it plays.
    std::atomic<long> nLostAtMs{-1};
};

// One device's callback data.
struct SdlAudio::Tap {
    std::shared_ptr<Gate> gate;
    uint32_t nId = 0;
};

// The keeper: its thread, the device, and what the host's thread tells it. The device is the
// host's before the thread starts and after it has finished, the thread's between.
struct SdlAudio::Keeper {
    std::shared_ptr<Gate> gate;
    int nRate = 44100, nChannels = 2;
    std::mutex mutex;  // the four below
    std::condition_variable changed;
    bool bStop = false, bFinished = false, bAdded = false;
    uint32_t nRemoved = 0;
    uint32_t nDevice = 0;  // playing; 0 while lost
    Tap* pTap = nullptr;
    uint32_t nNextTap = 1;
    int nAbandoned = 0;  // devices that stopped answering, left open
    long nNextTryMs = 0, nLastTryMs = 0;
    std::vector<int16_t> scratch;
    std::thread thread;

    uint32_t OpenDevice(Tap* pNew);
    void MakeLive(Tap* pNew);
    void Run();
    void KeepInStep();
    void Watch(uint32_t nWasRemoved);
    void Reopen();
    void Listen();
    void Shut();
    bool Stopping()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return bStop;
    }
};

void QuietAlsa()
{
    static bool s_bDone = false;
    if (s_bDone)
        return;
    s_bDone = true;
    // Kept loaded: SDL's own dlopen of the same library then finds it, its handler set.
    void* pLibrary = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!pLibrary)
        return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    auto set = reinterpret_cast<int (*)(Handler)>(dlsym(pLibrary, "snd_lib_error_set_handler"));
    if (set)
        set(&SilentAlsa);
}

bool SdlAudio::Open(int nRate, int nChannels, AudioPull pull)
{
    Close();
    QuietAlsa();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    auto k = std::make_shared<Keeper>();
    k->gate = std::make_shared<Gate>();
    k->gate->pull = std::move(pull);
    k->gate->nChannels = nChannels;
    k->gate->clock = m_clock;
    k->nRate = nRate;
    k->nChannels = nChannels;
    k->scratch.resize(size_t(kPeriod) * size_t(nChannels));
    auto* pTap = new Tap{k->gate, k->nNextTap++};
    k->nDevice = k->OpenDevice(pTap);
    if (k->nDevice == 0) {
        delete pTap;
        return false;
    }
    k->pTap = pTap;
    m_pKeeper = std::move(k);
    return true;
}

void SdlAudio::Start()
{
    std::shared_ptr<Keeper> k = m_pKeeper;
    if (!k || k->thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(k->gate->mutex);
        k->gate->nBaseMs = k->gate->clock();
        k->gate->nMixed = 0;
    }
    k->MakeLive(k->pTap);
    SDL_PauseAudioDevice(k->nDevice, 0);
    // The thread holds the keeper too: should it be inside SDL when the audio closes, it is let
    // finish on its own.
    k->thread = std::thread([k] { k->Run(); });
}

void SdlAudio::Close()
{
    std::shared_ptr<Keeper> k = std::move(m_pKeeper);
    if (!k)
        return;
    bool bFinished = true;
    if (k->thread.joinable()) {
        {
            std::unique_lock<std::mutex> lock(k->mutex);
            k->bStop = true;
            k->changed.notify_all();
            bFinished = k->changed.wait_for(lock, kKeeperWait, [&] { return k->bFinished; });
        }
        if (bFinished)
            k->thread.join();
        else
            k->thread.detach();  // it shuts what it opens once SDL lets it go
    }
    if (bFinished) {
        std::lock_guard<std::mutex> restart(SdlAudioRestartLock());
        k->Shut();
    }
    std::lock_guard<std::mutex> lock(k->gate->mutex);
    k->gate->pull = nullptr;
    k->gate->nLive = 0;
}

void SdlAudio::Hold(bool bHeld)
{
    if (m_pKeeper)
        m_pKeeper->gate->bHeld.store(bHeld, std::memory_order_release);
}

void SdlAudio::DeviceAdded()
{
    if (!m_pKeeper)
        return;
    std::lock_guard<std::mutex> lock(m_pKeeper->mutex);
    m_pKeeper->bAdded = true;
    m_pKeeper->changed.notify_all();
}

void SdlAudio::DeviceRemoved(uint32_t nDevice)
{
    if (!m_pKeeper)
        return;
    std::lock_guard<std::mutex> lock(m_pKeeper->mutex);
    m_pKeeper->nRemoved = nDevice;
    m_pKeeper->changed.notify_all();
}

void SdlAudio::Callback(void* pUser, uint8_t* pStream, int nBytes)
{
    auto* pTap = static_cast<Tap*>(pUser);
    Gate& g = *pTap->gate;
    SDL_memset(pStream, 0, static_cast<size_t>(nBytes));
    std::lock_guard<std::mutex> lock(g.mutex);
    if (pTap->nId != g.nLive || !g.pull)
        return;  // a device given up on, or the audio closed
    g.nLastCallMs.store(WallClockMs(), std::memory_order_relaxed);
    g.nCalls.fetch_add(1, std::memory_order_relaxed);
    if (g.bHeld.load(std::memory_order_acquire))
        return;
    const int nFrames = nBytes / (2 * g.nChannels);
    g.pull(reinterpret_cast<int16_t*>(pStream), nFrames);
    g.nMixed += nFrames;
}

uint32_t SdlAudio::Keeper::OpenDevice(Tap* pNew)
{
    SDL_AudioSpec want = {};
    want.freq = nRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(nChannels);
    want.samples = kPeriod;
    want.callback = &SdlAudio::Callback;
    want.userdata = pNew;
    return SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
}

void SdlAudio::Keeper::MakeLive(Tap* pNew)
{
    std::lock_guard<std::mutex> lock(gate->mutex);
    gate->nLive = pNew->nId;
    gate->nCalls = 0;
    gate->nCallsAtLoss = 0;
    gate->nLiveSinceMs = WallClockMs();
    gate->nLastCallMs = gate->nLiveSinceMs;
}

void SdlAudio::Keeper::Run()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!bStop) {
        changed.wait_for(lock, kLookEvery, [&] { return bStop || bAdded || nRemoved != 0; });
        if (bStop)
            break;
        const bool bWasAdded = std::exchange(bAdded, false);
        const uint32_t nWasRemoved = std::exchange(nRemoved, 0);
        lock.unlock();
        KeepInStep();
        const long nNow = WallClockMs();
        if (nDevice != 0)
            Watch(nWasRemoved);
        else if (nNow >= nNextTryMs || (bWasAdded && nNow - nLastTryMs >= kAddedAfterMs))
            Reopen();
        Listen();
        lock.lock();
    }
    lock.unlock();
    {
        std::lock_guard<std::mutex> restart(SdlAudioRestartLock());
        Shut();
    }
    lock.lock();
    bFinished = true;
    changed.notify_all();
}

// Where the mix has fallen behind the clock (no device, or one that does not keep up), what it
// missed is mixed and thrown away, a step at a time.
void SdlAudio::Keeper::KeepInStep()
{
    bool bCatching = false;
    for (;;) {
        const long nClock = gate->clock();
        std::unique_lock<std::mutex> lock(gate->mutex);
        const int64_t nLeeway = gate->nLive != 0 ? int64_t(kBehindMs) * nRate / 1000 : kPeriod;
        const int64_t nBehind = int64_t(nClock - gate->nBaseMs) * nRate / 1000 - gate->nMixed;
        if (!gate->pull || nBehind < (bCatching ? int64_t(kPeriod) : nLeeway))
            return;
        bCatching = true;
        const int64_t nStep = std::min(nBehind, kSkipStep);
        for (int64_t nDone = 0; nDone < nStep; nDone += kPeriod)
            gate->pull(scratch.data(), static_cast<int>(std::min<int64_t>(kPeriod, nStep - nDone)));
        gate->nMixed += nStep;
        lock.unlock();
        if (Stopping())
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// SDL says the device is gone when it was removed or lost its sound server; it is given up.
void SdlAudio::Keeper::Watch(uint32_t nWasRemoved)
{
    if (nWasRemoved != nDevice && SDL_GetAudioDeviceStatus(nDevice) != SDL_AUDIO_STOPPED)
        return;
    {
        std::lock_guard<std::mutex> restart(SdlAudioRestartLock());
        Shut();
    }
    SayLost(gate->nLostAtMs);
    nNextTryMs = WallClockMs() + kRetryMs;
}

// Started afresh, SDL connects to the sound server as it is now, or to whichever output is there;
// it cannot while a device it would close does not answer.
void SdlAudio::Keeper::Reopen()
{
    const long nNow = WallClockMs();
    nLastTryMs = nNow;
    nNextTryMs = nNow + kRetryMs;
    std::lock_guard<std::mutex> restart(SdlAudioRestartLock());
    if (nAbandoned == 0) {
        // Only what is started is stopped: SDL would stop its events with an audio that failed
        // to start.
        if (SDL_WasInit(SDL_INIT_AUDIO) != 0)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return;
    }
    auto* pNew = new Tap{gate, nNextTap++};
    const uint32_t nNew = OpenDevice(pNew);
    if (nNew == 0) {
        delete pNew;
        return;
    }
    nDevice = nNew;
    pTap = pNew;
    MakeLive(pNew);
    SDL_PauseAudioDevice(nDevice, 0);
}

// The sound is lost too where the live device's callback stopped coming, or never came steadily;
// it is back once calls come steadily again, from it or from a device opened since.
void SdlAudio::Keeper::Listen()
{
    const long nNow = WallClockMs();
    bool bLost = false;
    long nBackAfterMs = -1;
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        if (gate->nLive == 0)
            return;
        const int nCalls = gate->nCalls.load();
        const long nLostAtMs = gate->nLostAtMs.load();
        if (nLostAtMs < 0) {
            bLost = nCalls >= kSteadyCalls ? nNow - gate->nLastCallMs.load() > kStallMs
                                           : nNow - gate->nLiveSinceMs > kStartMs;
            if (bLost)
                gate->nCallsAtLoss = nCalls;
        } else if (nCalls >= gate->nCallsAtLoss + kSteadyCalls && nNow - gate->nLastCallMs.load() <= kStallMs) {
            gate->nLostAtMs = -1;
            nBackAfterMs = nNow - nLostAtMs;
        }
    }
    // Said outside the lock: standard error may be slow, and the callback is not to wait on it.
    if (bLost)
        SayLost(gate->nLostAtMs);
    if (nBackAfterMs >= 0)
        std::fprintf(stderr, "vadurer: sound output back, %ld ms after it was lost\n", nBackAfterMs);
}

// The device goes: closed where it answers, left open where closing it would wait on it. The
// caller holds the restart lock.
void SdlAudio::Keeper::Shut()
{
    if (nDevice == 0)
        return;
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->nLive = 0;
    }
    const bool bStalled = WallClockMs() - gate->nLastCallMs.load(std::memory_order_relaxed) > kStallMs &&
                          SDL_GetAudioDeviceStatus(nDevice) != SDL_AUDIO_STOPPED;
    if (bStalled) {
        ++nAbandoned;  // its tap stays for a callback that may yet come
    } else {
        SDL_CloseAudioDevice(nDevice);
        delete pTap;
    }
    nDevice = 0;
    pTap = nullptr;
}

}  // namespace host
