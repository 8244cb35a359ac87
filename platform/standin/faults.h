// Fault injection into the stand-in, for tests of the system's failure paths: a named call
// fails the next n times it is made, after letting the first nAfter calls through.
#pragma once

#include "platform/standin/below_seam.h"

namespace standin {

void FailCall(const char* pszCall, int nTimes = 1, int nAfter = 0);
void ClearFaults();
// Called by the stand-in's own calls: true if this call is to fail now.
bool ShouldFail(const char* pszCall);

}  // namespace standin
