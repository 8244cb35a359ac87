#include "clock.h"

#include <atomic>

#ifdef _WIN32
#include <ctime>
#else
#include "platform/host/host.h"
#endif

namespace {

std::atomic<long (*)()> g_pfnClockSource{nullptr};

long PlatformClockMs()
{
#ifdef _WIN32
    return static_cast<long>(clock());  // CLOCKS_PER_SEC is 1000 on Windows
#else
    return host::Current().NowMs();
#endif
}

}  // namespace

long ClockMs()
{
    long (*pfnSource)() = g_pfnClockSource.load(std::memory_order_acquire);
    return pfnSource ? pfnSource() : PlatformClockMs();
}

void ClockSetSource(long (*pfnSource)())
{
    g_pfnClockSource.store(pfnSource, std::memory_order_release);
}
