// Kernel calls of the stand-in: process and thread priority.
#pragma once

#include "types.h"

HANDLE WINAPI GetCurrentProcess();
HANDLE WINAPI GetCurrentThread();
BOOL WINAPI SetPriorityClass(HANDLE hProcess, DWORD dwPriorityClass);
BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority);
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
void WINAPI Sleep(DWORD dwMilliseconds);
