// A line for each frame the display ends, for the pacing checks: the wall clock's and the
// production's milliseconds, and the one palette index the whole frame shows (-1 for more).
#pragma once

#include <cstdio>
#include <string>

#include "platform/host/frame_slot.h"

namespace host {

class FrameLog {
public:
    // An empty path logs nothing.
    explicit FrameLog(const std::string& path);
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    void Log(long nWallMs, long nClockMs, const Picture& shown);

private:
    FILE* m_pFile = nullptr;
};

}  // namespace host
