// Records a run of the production to a video file: the capture host installed over an ffmpeg
// encoder, the run, then the file finished. A render never destroys: it is written beside the
// target under a name that says it is unfinished ("NAME.unfinished-PID.EXT") and takes the
// target's name only once it is whole; a file already there is replaced only when asked to; a
// render that a signal stops leaves the target as it was and removes its unfinished file. Problems
// are one line on standard error.
#pragma once

#include <functional>
#include <string>

namespace host {

// The kinds of video a render writes, by the file's ending, as the user is told them.
extern const char* const kVideoKinds;

// Whether path can be a render's target: an ending of kVideoKinds (any case), and no folder or
// other non-file there, nor a file unless bReplace. False with one line of text in error.
bool CheckVideoTarget(const std::string& path, bool bReplace, std::string& error);

// Where a render to path is written until it is whole: beside it, "NAME.unfinished-PID.EXT".
std::string UnfinishedVideo(const std::string& path, long nPid);

// Runs run() on the capture host, writing path with its pictures enlarged nScale times (1 to 6;
// bReplace: over a file already there). Returns run()'s result; 2 when path is no target
// (CheckVideoTarget), and run() is not called; 1 when the file could not be written (run() is not
// called at all if ffmpeg could not even be started). dExpectedSeconds: the run's usual length,
// for the progress line's percentage.
int RecordToVideo(const std::string& path, int nScale, bool bReplace, double dExpectedSeconds,
                  const std::string& program, const std::function<int()>& run);

}  // namespace host
