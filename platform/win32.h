// The one header through which the system reaches its platform: the real Windows headers when
// built for Windows, the stand-in for the same calls everywhere else.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <mmsystem.h>
// The DirectX 5 interfaces: the 20-byte buffer description, the one the sound code fills.
#ifndef DIRECTSOUND_VERSION
#define DIRECTSOUND_VERSION 0x0500
#endif
#include <dsound.h>
#include <ddraw.h>
typedef LPVOID* LPLPVOID;
#else
#include "standin/types.h"
#include "standin/kernel.h"
#include "standin/user.h"
#include "standin/gdi.h"
#include "standin/mmio.h"
#include "standin/globalmem.h"
#include "standin/dsound.h"
#include "standin/resource.h"
#include "standin/ddraw.h"
#endif

#include "clock.h"
