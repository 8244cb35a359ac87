// Screenshots of the frame being shown: the production's own pixels in that frame's palette (an
// 8-bit paletted PNG), or a frame given as 0x00RRGGBB pixels (an RGB PNG), never the scaled window.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "platform/host/frame_slot.h"

namespace host {

// The user's pictures folder (XDG_PICTURES_DIR of the XDG user-dirs file, $HOME expanded) where it
// names a folder that exists; else the folder the program was started from: VADURER_STARTED_IN
// where the installed launcher, which runs the program in the folder of its files, names it, or
// "." (the current folder). getenv reads the environment.
std::string PicturesFolder(const std::function<const char*(const char*)>& getenv);

// folder/vadurer-YYYY-MM-DD-HHMMSS.png for the local time t, with -2, -3, ... before the
// extension where that name is taken; it is created empty and exclusively, so that nothing is
// ever overwritten. Empty, with the reason in error, where no file could be made.
std::string NewScreenshotFile(const std::string& folder, std::time_t t, std::string& error);

// Writes the frame to path as a PNG; false with the reason in error.
bool WritePng(const std::string& path, const Picture& frame, std::string& error);

}  // namespace host
