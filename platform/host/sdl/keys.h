// The key map: which of the machine's keys is which key of the production (codes.h).
#pragma once

namespace host {

// The key code for an SDL scancode; 0 for a key the production has no code for.
int VirtualKey(int nScancode);

}  // namespace host
