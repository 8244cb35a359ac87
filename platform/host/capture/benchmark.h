// The production as a benchmark: the capture host's stepped clock (1/60 s a frame, so every frame
// of a real run is drawn and the result is the same on every machine), the sound mixed but not
// played, nothing shown, and each frame converted to 32-bit pixels as a display would. At the end
// one table on standard output: frames, wall time, frames a second, and per scene the mean and
// the slowest frame's cost of drawing and of that conversion.
#pragma once

#include <functional>
#include <string>

namespace host {

// Runs run() on the capture host with the measuring sink and prints the table; returns run()'s
// result.
int RunBenchmark(const std::string& program, const std::function<int()>& run);

}  // namespace host
