#include "platform/host/sdl/frame_log.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace host {

FrameLog::FrameLog(const std::string& path)
{
    if (!path.empty())
        m_pFile = std::fopen(path.c_str(), "w");
    if (m_pFile)
        std::setvbuf(m_pFile, nullptr, _IOLBF, 0);
}

FrameLog::~FrameLog()
{
    if (m_pFile)
        std::fclose(m_pFile);
}

void FrameLog::Log(long nWallMs, long nClockMs, const Picture& shown)
{
    if (!m_pFile)
        return;
    const std::vector<uint8_t>& p = shown.indices;
    int nUniform = -1;
    if (!p.empty() && std::all_of(p.begin(), p.end(), [&](uint8_t b) { return b == p[0]; }))
        nUniform = p[0];
    std::fprintf(m_pFile, "%ld %ld %d\n", nWallMs, nClockMs, nUniform);
}

}  // namespace host
