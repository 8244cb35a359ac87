// Records a run of the production to a video file: the capture host installed over an ffmpeg
// encoder, the run, then the file finished. Problems are one line on standard error.
#pragma once

#include <functional>
#include <string>

namespace host {

// Runs run() on the capture host, writing path with its pictures enlarged nScale times (1 to 6).
// Returns run()'s result, or 1 when the file could not be written (and then run() is not called at
// all if ffmpeg could not even be started). dExpectedSeconds: the run's usual length, for the
// progress line's percentage.
int RecordToVideo(const std::string& path, int nScale, double dExpectedSeconds, const std::string& program,
                  const std::function<int()>& run);

}  // namespace host
