#include "platform/host/sdl/launch_report.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace host {

double LaunchReport::RealTimeMs()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

void LaunchReport::Mark(Step step)
{
    if (m_bDone || m_bMarked[step])
        return;
    m_bMarked[step] = true;
    m_at[step] = RealTimeMs();
    if (step == kFirstFramePresented)
        Report();
}

void LaunchReport::Report()
{
    m_bDone = true;
    const char* const kNames[kSteps] = {
        "the program and its libraries started, SDL's video", "the window and its renderer", "the display taken",
        "the pictures and sounds loaded, the first frame drawn", "the first frame presented"};
    std::string steps;
    double dBefore = m_dLaunch;
    for (int i = 0; i < kSteps; ++i) {
        if (!m_bMarked[i])
            continue;
        char sz[128];
        std::snprintf(sz, sizeof sz, "%s%s %.0f", steps.empty() ? "" : ", ", kNames[i], m_at[i] - dBefore);
        steps += sz;
        dBefore = m_at[i];
    }
    std::fprintf(stderr, "vadurer: first frame %.0f ms after the launch%s (%s ms)\n",
                 m_at[kFirstFramePresented] - m_dLaunch, m_bLaunchGiven ? "" : " of the program's own code",
                 steps.c_str());
}

}  // namespace host
