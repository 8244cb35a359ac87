// Module resources for hosts other than Windows: a program registers the resources its Windows
// build would carry (today only "WAVE" sounds; standin::RegisterResource in testing.h), and the
// usual calls find, load, lock and size them.
#pragma once

#include "platform/standin/below_seam.h"

#include "types.h"

typedef struct HRSRC__* HRSRC;

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID WINAPI LockResource(HGLOBAL hResData);
DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
BOOL WINAPI FreeResource(HGLOBAL hResData);
