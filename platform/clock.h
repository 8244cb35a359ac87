// The millisecond clock that times every step of the production. On Windows it is the runtime's
// clock(), which counts wall time there; elsewhere clock() counts processor time, so the stand-in
// reads a monotonic wall clock instead. Tests and the video recorder put their own source in.
#pragma once

long ClockMs();

// Replaces the clock's source; null brings back the platform's own.
void ClockSetSource(long (*pfnSource)());
