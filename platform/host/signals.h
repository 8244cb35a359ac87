// The signals that ask a program to end (SIGTERM, SIGINT, SIGHUP) end the run the way closing its
// window does: the production's own quit path runs, its sound stops, and the process ends with
// 128 + the signal's number, as shells expect. The handlers only take note; the hosts look at the
// note where they look at their input, and the process entry sets the exit code. A second signal
// while the first is being answered ends the process at once.
#pragma once

#include <string>

namespace host {

// Installs the handlers (once, on the main thread, before any thread is started).
void CatchEndSignals();
// The first such signal caught, 0 while none was; any thread.
int EndSignal();
// A descriptor that becomes readable once a signal was caught, for a thread that waits in poll();
// -1 before CatchEndSignals.
int EndSignalFd();
// A file to remove should a second signal end the process at once (empty: none); main thread.
void RemoveOnSecondSignal(const std::string& path);

}  // namespace host
