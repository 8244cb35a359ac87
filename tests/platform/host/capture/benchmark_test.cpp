// The benchmark's table: a row for each part of the run its caller names, the frames counted by
// when they ended on the stepped clock; the host itself knows no part of any production.
#ifndef _WIN32
#include "platform/host/capture/benchmark.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/host/host.h"

namespace {

// A run of nFrames frame ends on a display, 1/60 s apart on the capture host's clock.
int RunFrames(int nFrames)
{
    host::Host& h = host::Current();
    if (!h.OpenWindow(1, "run", 640, 480) || !h.TakeDisplay(1, 640, 480))
        return 1;
    std::vector<uint8_t> indices(640 * 480, 7);
    uint32_t palette[256] = {};
    for (int i = 0; i < nFrames; ++i) {
        h.SetPalettedImage(1, indices.data(), 640, palette, 640, 480);
        h.EndFrame(1);
    }
    h.CloseWindow(1);
    return 42;
}

// The frames of the table's row for name; -1 where it has none.
int FramesInRow(const std::string& table, const std::string& name)
{
    size_t at = table.find("\n" + name + " ");
    if (at == std::string::npos)
        return -1;
    std::istringstream row(table.substr(at + 1 + name.size()));
    int nFrames = -1;
    row >> nFrames;
    return nFrames;
}

TEST(Benchmark, ARowForEachPartItIsGivenWithTheFramesThatEndedInIt)
{
    // 61 frames: the first is the start-up; the clock reads 1000/60 ms a tick before it moves on.
    testing::internal::CaptureStdout();
    int nResult = host::RunBenchmark("bench", {{"first", 0}, {"second half", 500}}, [] { return RunFrames(61); });
    std::string table = testing::internal::GetCapturedStdout();
    EXPECT_EQ(nResult, 42) << "the run's own result";
    EXPECT_NE(table.find("bench --benchmark: 61 frames (61 ticks"), std::string::npos) << table;
    EXPECT_EQ(FramesInRow(table, "first"), 29) << table;  // ticks 1 to 29: 16 to 483 ms
    EXPECT_EQ(FramesInRow(table, "second half"), 31) << table;
    EXPECT_EQ(FramesInRow(table, "all"), 60) << table;
    EXPECT_EQ(table.find("opening fade"), std::string::npos) << "no part of the production's own";
}

TEST(Benchmark, WithoutPartsTheWholeRunIsOneRow)
{
    testing::internal::CaptureStdout();
    host::RunBenchmark("bench", {}, [] { return RunFrames(3); });
    std::string table = testing::internal::GetCapturedStdout();
    EXPECT_EQ(FramesInRow(table, "all"), 2) << table;
}

}  // namespace
#endif
