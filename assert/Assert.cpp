#include "assert/Assert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32.h"

namespace {

// "C:\src\sound\wave.cpp" and "sound/wave.cpp" both become "wave".
std::string BaseName(const char* pszFile)
{
    std::string name = pszFile ? pszFile : "";
    size_t nSlash = name.find_last_of("/\\");
    if (nSlash != std::string::npos)
        name.erase(0, nSlash + 1);
    size_t nDot = name.find_last_of('.');
    if (nDot != std::string::npos && nDot > 0)
        name.erase(nDot);
    return name;
}

}  // namespace

void AssertReport(const char* pszExpression, const char* pszFile, int nLine, const char* pszDataFile)
{
    std::string about;
    if (pszDataFile)
        about = std::string("It was reading \"") + pszDataFile + "\".\n\n";
    char szText[1024];
    std::snprintf(szText, sizeof(szText),
                  "Assertion failed!\n\nExpression: %s\nFile: %s\nLine: %d\n\n%s"
                  "Abort ends the program; Retry or Ignore go on after the check.",
                  pszExpression, BaseName(pszFile).c_str(), nLine, about.c_str());
    int nAnswer = MessageBoxA(NULL, szText, "Assertion failed", MB_ABORTRETRYIGNORE | MB_ICONERROR | MB_TASKMODAL);
    if (nAnswer == IDABORT || nAnswer == 0)
        std::exit(3);  // the runtime's own code for an abandoned assertion
}
