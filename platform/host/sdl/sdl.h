// The host for the demo on Linux: real SDL2 windows (the pop-up one fullscreen), vsync, the audio
// device and message boxes.
#pragma once

#include <memory>
#include <string>

#include "platform/host/host.h"

namespace host {

// Null with the reason in error when there is no display to open.
std::unique_ptr<Host> MakeSdlHost(std::string& error);

}  // namespace host
