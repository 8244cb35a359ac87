// What the tests (and the tools that drive the stand-in the way tests do) reach beyond the Windows
// calls: resetting the stand-in between tests, counts to wait on, resources a Windows build would
// carry in its module, and a way to let the stand-in's threads catch up. The system never
// includes this header.
#pragma once

#include "platform/standin/below_seam.h"

#include <cstddef>

#include "platform/standin/dsound.h"
#include "platform/standin/types.h"

namespace standin {

// Drops every DirectDraw object without a release.
void ResetDirectDraw();
// Destroys every window without messages and forgets classes, queue and input state.
void ResetWindows();
// Messages posted and not yet retrieved.
size_t QueuedMessages();

// Times a stream buffer played bytes that had not been written since it last played them, over
// every device this process opened.
unsigned long long DirectSoundUnderruns();
// Lock/Unlock pairs and Stop calls made on a buffer so far: a test that moves the play cursor
// waits on this to know that the notification thread has answered a boundary.
unsigned long DirectSoundBufferCalls(LPDIRECTSOUNDBUFFER pBuffer);

// True once every thread made by CreateThread is waiting on objects none of which is signalled,
// or has ended; false if that has not come about within dwTimeoutMs (wall time). A pull in step
// (host::Host::PullsInStep) waits on it around each mix.
bool WaitForThreadsToSettle(DWORD dwTimeoutMs);

// Makes nBytes at pData (which stay where they are, unchanged, for as long as the resource is
// registered) the resource of that integer identifier and type in the module (null: the program's
// own), as a Windows build carries it. A second registration of the same name replaces the first.
void RegisterResource(HMODULE hModule, WORD wId, const char* pszType, const void* pData, DWORD nBytes);
void UnregisterResources();

}  // namespace standin
