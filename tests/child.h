// Scenarios that end their process (exit from inside dispatch, say) run in a child: the test
// program starts itself again with "--child NAME" and looks at the exit code.
#pragma once

#include <functional>

#ifdef _WIN32
#define TESTS_PLATFORM "windows"
#else
#define TESTS_PLATFORM "native"
#endif

void SetTestProgramPath(const char* pszPath);
int RunChild(const char* pszName);

// Runs the named scenario in a new process; its exit code, or -1 if it could not be started.
int RunChildProcess(const char* pszName);
#ifndef _WIN32
// The same in two halves, for children that run side by side: the new process's id (-1 if it
// could not be started; the environment is this process's as it is now), and its exit code once
// it has ended (-1 where it did not exit).
int StartChildProcess(const char* pszName);
int WaitChildProcess(int nPid);
#endif

struct ChildScenario {
    ChildScenario(const char* pszName, std::function<int()> fn);
};
#define CHILD_SCENARIO(name) \
    static int ChildScenario_##name(); \
    static ChildScenario g_ChildScenario_##name(#name, ChildScenario_##name); \
    static int ChildScenario_##name()
