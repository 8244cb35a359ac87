// The host for the production in a browser tab (built with emscripten): the page's canvas, its
// keys and mouse, an in-page dialog for message boxes, the page's monotonic clock and Web Audio.
// The system's frame loops block; at each frame end (and at a look at the input when no frame has
// ended for a while) the host hands the page its turn until the display's next refresh, through
// ASYNCIFY. The page's side is platform/host/web/page/.
#pragma once

#include <memory>

#include "platform/host/host.h"

namespace host {

std::unique_ptr<Host> MakeWebHost();

}  // namespace host
