// The production as a benchmark: the capture host's stepped clock (1/60 s a frame, so every frame
// of a real run is drawn and the result is the same on every machine), the sound mixed but not
// played, nothing shown, and each frame converted to 32-bit pixels as a display would. At the end
// one table on standard output: frames, wall time, frames a second, and per scene the mean and
// the slowest frame's cost of drawing and of that conversion.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace host {

// A part of the run the table has a row for, by when it begins on the production's clock. The
// production's own parts come from whoever runs it: the host knows nothing of its scenes.
struct BenchmarkPart {
    std::string name;
    long nFromMs = 0;
};

// Runs run() on the capture host with the measuring sink and prints the table, a row for each
// part (in the order they begin; none: the whole run alone); returns run()'s result.
int RunBenchmark(const std::string& program, const std::vector<BenchmarkPart>& parts, const std::function<int()>& run);

}  // namespace host
