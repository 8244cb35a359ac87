// The host for the demo on Linux: real SDL2 windows, the exclusive display (over the whole screen
// or in a desktop window) paced at 60 flips a second, the audio device and message boxes.
#pragma once

#include <memory>
#include <string>

#include "platform/host/host.h"

namespace host {

struct SdlOptions {
    // The exclusive display in a desktop window rather than over the whole screen.
    bool bDisplayInWindow = false;
};

// Null with the reason in error when there is no display to open.
std::unique_ptr<Host> MakeSdlHost(std::string& error, const SdlOptions& options = SdlOptions());

}  // namespace host
