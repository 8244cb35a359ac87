#include "clock.h"

#ifdef _WIN32
#include <ctime>
#else
#include <chrono>
#endif

namespace {

long PlatformClockMs()
{
#ifdef _WIN32
    return static_cast<long>(clock());  // CLOCKS_PER_SEC is 1000 on Windows
#else
    static const auto start = std::chrono::steady_clock::now();
    auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
#endif
}

long (*g_pfnClockSource)() = nullptr;

}  // namespace

long ClockMs()
{
    return g_pfnClockSource ? g_pfnClockSource() : PlatformClockMs();
}

void ClockSetSource(long (*pfnSource)())
{
    g_pfnClockSource = pfnSource;
}
