// The time from the launch to the first frame, step by step, on standard error: what starting the
// production costs, measured where a viewer waits for it.
#pragma once

namespace host {

class LaunchReport {
public:
    enum Step { kSdl, kWindow, kDisplay, kFirstFrameAsked, kFirstFramePresented, kSteps };

    // bEnabled false: nothing is measured or said. dLaunchedAtMs: the launch on the real-time
    // clock; bLaunchGiven: whoever started the program took it (else the program's own start).
    LaunchReport(bool bEnabled, double dLaunchedAtMs, bool bLaunchGiven)
        : m_bDone(!bEnabled), m_dLaunch(dLaunchedAtMs), m_bLaunchGiven(bLaunchGiven)
    {
    }

    // The step is reached (the first time counts); the first frame presented says it all.
    void Mark(Step step);

    // Milliseconds of the real-time clock, as the launch is given.
    static double RealTimeMs();

private:
    void Report();

    bool m_bDone;
    double m_dLaunch;
    bool m_bLaunchGiven;
    double m_at[kSteps] = {};
    bool m_bMarked[kSteps] = {};
};

}  // namespace host
