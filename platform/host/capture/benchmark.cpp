#include "platform/host/capture/benchmark.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/host/capture/capture.h"
#include "platform/host/pixels.h"

namespace host {

namespace {

using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::micro>(end - start).count();
}

struct Costs {
    long nFrames = 0;
    double dDrawSum = 0, dDrawMax = 0, dConvertSum = 0, dConvertMax = 0;
    void Add(double dDraw, double dConvert)
    {
        ++nFrames;
        dDrawSum += dDraw;
        dDrawMax = std::max(dDrawMax, dDraw);
        dConvertSum += dConvert;
        dConvertMax = std::max(dConvertMax, dConvert);
    }
};

class MeasuringSink : public CaptureSink {
public:
    explicit MeasuringSink(const std::vector<BenchmarkPart>& parts) : m_parts(parts), m_costs(parts.size()) {}

    bool Tick(const CaptureTick& tick) override
    {
        const Clock::time_point now = Clock::now();
        // What the production did since the last tick came back, but for mixing this tick's sound.
        const double dDraw = std::max(0.0, MicrosecondsSince(m_lastReturn, now) - tick.dMixMicroseconds);
        m_dMix += tick.dMixMicroseconds;
        ++m_nTicks;
        if (tick.bFrameEnd) {
            const double dConvert = Convert(tick.picture);
            if (m_dStartUp < 0) {
                m_dStartUp = dDraw;  // opening the screen, loading the pictures and sounds
            } else {
                if (!m_costs.empty())
                    m_costs[PartAt(tick.nClockMs)].Add(dDraw, dConvert);
                m_all.Add(dDraw, dConvert);
            }
        }
        m_lastReturn = Clock::now();
        return true;
    }

    void Start() { m_start = m_lastReturn = Clock::now(); }
    void Print(const std::string& program) const
    {
        const double dWall = MicrosecondsSince(m_start, Clock::now()) / 1e6;
        const double dVideo = double(m_nTicks) / CaptureHost::kFps;
        std::printf(
            "%s --benchmark: %ld frames (%ld ticks, %.2f s of the production) in %.3f s: %.1f frames a second, "
            "%.1fx real time; mixing %.1f ms in all\n",
            program.c_str(), m_all.nFrames + (m_dStartUp >= 0 ? 1 : 0), m_nTicks, dVideo, dWall,
            dWall > 0 ? m_all.nFrames / dWall : 0.0, dWall > 0 ? dVideo / dWall : 0.0, m_dMix / 1000);
        std::printf("start-up (the screen opened, the pictures and sounds loaded) to the first frame: %.1f ms\n",
                    std::max(m_dStartUp, 0.0) / 1000);
        std::printf("%-22s %7s %10s %10s %12s %12s\n", "scene", "frames", "draw mean", "draw max", "convert mean",
                    "convert max");
        for (size_t i = 0; i < m_parts.size(); ++i)
            PrintRow(m_parts[i].name.c_str(), m_costs[i]);
        PrintRow("all", m_all);
        std::printf(
            "(microseconds a frame: drawing is the production's own work for the frame and the stand-in's\n"
            " present; converting is the 8-bit frame to 32-bit pixels through its palette, as a display does)\n");
        std::fflush(stdout);
    }

private:
    size_t PartAt(long nClockMs) const
    {
        size_t i = m_parts.size() - 1;
        while (i > 0 && nClockMs < m_parts[i].nFromMs)
            --i;
        return i;
    }
    static void PrintRow(const char* pszName, const Costs& c)
    {
        const double n = c.nFrames > 0 ? double(c.nFrames) : 1.0;
        std::printf("%-22s %7ld %10.1f %10.1f %12.1f %12.1f\n", pszName, c.nFrames, c.dDrawSum / n, c.dDrawMax,
                    c.dConvertSum / n, c.dConvertMax);
    }
    double Convert(const CapturePicture& picture)
    {
        if (!picture.pIndices)
            return 0;  // already 32-bit
        const Clock::time_point start = Clock::now();
        const uint32_t* p = m_converter.Convert(picture.pIndices, CaptureHost::kWidth, picture.pPalette,
                                                CaptureHost::kWidth, CaptureHost::kHeight);
        m_nChecksum += p[m_all.nFrames % (CaptureHost::kWidth * CaptureHost::kHeight)];  // keeps the work
        return MicrosecondsSince(start, Clock::now());
    }

    const std::vector<BenchmarkPart> m_parts;
    FrameConverter m_converter;
    std::vector<Costs> m_costs;  // a part's
    Costs m_all;
    long m_nTicks = 0;
    double m_dMix = 0;
    double m_dStartUp = -1;
    uint32_t m_nChecksum = 0;
    Clock::time_point m_start, m_lastReturn;
};

}  // namespace

int RunBenchmark(const std::string& program, const std::vector<BenchmarkPart>& parts, const std::function<int()>& run)
{
    MeasuringSink sink(parts);
    auto pHost = std::make_unique<CaptureHost>(sink);
    Install(std::move(pHost));
    sink.Start();
    int nResult = run();
    sink.Print(program);
    Install(nullptr);
    return nResult;
}

}  // namespace host
