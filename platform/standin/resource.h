// Module resources for hosts other than Windows: a program registers the resources its Windows
// build would carry (today only "WAVE" sounds), and the usual calls find, load, lock and size them.
#pragma once

#include "types.h"

typedef struct HRSRC__* HRSRC;

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID WINAPI LockResource(HGLOBAL hResData);
DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
BOOL WINAPI FreeResource(HGLOBAL hResData);

namespace standin {
// Makes nBytes at pData (which stay where they are, unchanged, for as long as the resource is
// registered) the resource of that integer identifier and type in the module (null: the program's
// own). A second registration of the same name replaces the first.
void RegisterResource(HMODULE hModule, WORD wId, const char* pszType, const void* pData, DWORD nBytes);
void UnregisterResources();
}  // namespace standin
