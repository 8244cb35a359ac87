#include "tests/child.h"

#include <cstdio>
#include <map>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

std::string g_programPath;

std::map<std::string, std::function<int()>>& Scenarios()
{
    static std::map<std::string, std::function<int()>> scenarios;
    return scenarios;
}

}  // namespace

ChildScenario::ChildScenario(const char* pszName, std::function<int()> fn)
{
    Scenarios()[pszName] = std::move(fn);
}

void SetTestProgramPath(const char* pszPath)
{
    g_programPath = pszPath;
}

int RunChild(const char* pszName)
{
    auto it = Scenarios().find(pszName);
    if (it == Scenarios().end()) {
        std::fprintf(stderr, "no child scenario %s\n", pszName);
        return 125;
    }
    return it->second();
}

int RunChildProcess(const char* pszName)
{
#ifdef _WIN32
    char szPath[MAX_PATH];
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string cmd = std::string("\"") + szPath + "\" --child " + pszName;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
#else
    return WaitChildProcess(StartChildProcess(pszName));
#endif
}

#ifndef _WIN32
int StartChildProcess(const char* pszName)
{
    pid_t pid = fork();
    if (pid == 0) {
        execl(g_programPath.c_str(), g_programPath.c_str(), "--child", pszName, static_cast<char*>(nullptr));
        _exit(126);
    }
    return pid < 0 ? -1 : static_cast<int>(pid);
}

int WaitChildProcess(int nPid)
{
    int status = 0;
    if (nPid < 0 || waitpid(nPid, &status, 0) != nPid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
#endif
