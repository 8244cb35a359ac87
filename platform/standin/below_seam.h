// Every stand-in header includes this one. A host is built with VADURER_HOST and reaches what is
// below the seam only through platform/host/host.h: a host that includes a stand-in header does
// not build.
#pragma once

#ifdef VADURER_HOST
#error "a host reaches the stand-in only through platform/host/host.h"
#endif
