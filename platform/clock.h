// The millisecond clock that times every step of the production. On Windows it is the runtime's
// clock(), which counts wall time there; elsewhere clock() counts processor time, so the reading
// comes from the installed host (the wall clock, or a clock a test or the video recorder drives).
// Safe to read from any thread.
#pragma once

long ClockMs();

// Puts a source of the test's own in front of the platform's clock; null takes it away.
void ClockSetSource(long (*pfnSource)());
