#include "assert/Assert.h"

#include <cerrno>
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

// A file that did not load is named where the user looks too, beside the box: one line of
// standard error that says why, where it can tell.
void NameOnStderr(const char* pszExpression, const std::string& file, int nLine, const char* pszDataFile)
{
    std::FILE* pFile = std::fopen(pszDataFile, "rb");
    std::string why = pFile ? "it is not a file this program can play" : std::strerror(errno);
    if (pFile)
        std::fclose(pFile);
    std::fprintf(stderr, "vadurer: \"%s\" did not load: %s (the check \"%s\" failed in %s, line %d)\n", pszDataFile,
                 why.c_str(), pszExpression, file.c_str(), nLine);
}

}  // namespace

void AssertReport(const char* pszExpression, const char* pszFile, int nLine, const char* pszDataFile)
{
    std::string about;
    if (pszDataFile) {
        about = std::string("It was reading \"") + pszDataFile + "\".\n\n";
        NameOnStderr(pszExpression, BaseName(pszFile), nLine, pszDataFile);
    }
    char szText[1024];
    std::snprintf(szText, sizeof(szText),
                  "Assertion failed!\n\nExpression: %s\nFile: %s\nLine: %d\n\n%s"
                  "Abort ends the program; Retry or Ignore go on after the check.",
                  pszExpression, BaseName(pszFile).c_str(), nLine, about.c_str());
    int nAnswer = MessageBoxA(NULL, szText, "Assertion failed", MB_ABORTRETRYIGNORE | MB_ICONERROR | MB_TASKMODAL);
    if (nAnswer == IDABORT || nAnswer == 0)
        std::exit(3);  // the runtime's own code for an abandoned assertion
}
