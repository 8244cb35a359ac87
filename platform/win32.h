// The one header through which the system reaches its platform: the real Windows headers when
// built for Windows, the stand-in for the same calls everywhere else.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <mmsystem.h>
#else
#include "types.h"
#include "kernel.h"
#include "user.h"
#include "gdi.h"
#include "mmio.h"
#include "globalmem.h"
#endif

#include "clock.h"
