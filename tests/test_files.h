// Whole files for the tests: read and written in one go, and (natively) made by the tools whose
// files no one here wrote — ImageMagick, sox, ffmpeg.
#pragma once

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace testfiles {

typedef std::vector<unsigned char> Bytes;

// The whole file, or nothing if it cannot be opened.
inline Bytes ReadAll(const std::string& name)
{
    Bytes b;
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (f == nullptr)
        return b;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        b.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
    return b;
}

inline bool WriteAll(const std::string& name, const Bytes& b)
{
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool bOk = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && bOk;
}

// A file name as a test name: everything but letters and digits becomes '_'.
inline std::string TestName(const char* pszFile)
{
    std::string s = pszFile;
    for (char& c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return s;
}

#ifndef _WIN32
inline bool RunShell(const std::string& line)
{
    return std::system((line + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a tool's shell line, whose %s is the output path, after making the path's folder.
inline bool MakeWithTool(const char* pszMake, const std::string& path)
{
    char szLine[512];
    std::snprintf(szLine, sizeof(szLine), pszMake, path.c_str());
    const size_t nSlash = path.find_last_of('/');
    return (nSlash == std::string::npos || RunShell("mkdir -p " + path.substr(0, nSlash))) && RunShell(szLine);
}
#endif

}  // namespace testfiles
