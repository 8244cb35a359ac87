// The host for the demo on Linux: real SDL2 windows, the exclusive display (over the whole screen
// or in a desktop window) paced at 60 flips a second, the audio device and message boxes, and the
// viewer's controls (platform/host/viewer.h): F11 or Alt+Enter between the whole screen and a
// window, F12 a screenshot, P or Pause a pause.
#pragma once

#include <memory>
#include <string>

#include "platform/host/host.h"
#include "platform/host/sdl/display.h"

namespace host {

struct SdlOptions {
    // The exclusive display in a desktop window rather than over the whole screen, to begin with.
    bool bDisplayInWindow = false;
    // How the display's 640 × 480 image meets the screen or the window: filled at the largest size
    // of its shape with its pixels kept sharp, or at whole factors only.
    Scaling scaling = Scaling::Fit;

    // For measuring and testing (the process entry reads them from the environment):
    // The time from the launch to the first frame, step by step, on standard error.
    bool bReportFirstFrame = false;
    // The launch, in milliseconds of the real-time clock: where whoever started the program took
    // it (bLaunchGiven), or the start of the program's own static objects.
    double dLaunchedAtMs = 0;
    bool bLaunchGiven = false;
    // Where not empty, a line for each frame the display ends: the wall clock's and the
    // production's milliseconds, and the palette index the whole frame shows (-1 for more).
    std::string frameLog;
    // What the display's pacing reads and waits on: the steady clock, or one a test steps.
    PacerClock pacerClock;
};

// Null with the reason in error when there is no display to open.
std::unique_ptr<Host> MakeSdlHost(std::string& error, const SdlOptions& options = SdlOptions());

}  // namespace host
