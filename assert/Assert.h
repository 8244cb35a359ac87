// The program-wide assertion report: a failed check shows its expression, the source file's
// base name and a line, and the user either stops the program or lets it go on after the check.
#pragma once

// Shows the report; returns only when the user chose to go on (Retry or Ignore). A check about a
// file the program reads names that file too.
void AssertReport(const char* pszExpression, const char* pszFile, int nLine, const char* pszDataFile = nullptr);

// The line is given by the caller so that a report names the same place whatever the layout of
// the source; the file is this source file's base name.
#define ASSERT_AT(expr, nLine) \
    do { \
        if (!(expr)) \
            AssertReport(#expr, __FILE__, (nLine)); \
    } while (0)
#define ASSERT_FILE_AT(expr, nLine, pszDataFile) \
    do { \
        if (!(expr)) \
            AssertReport(#expr, __FILE__, (nLine), (pszDataFile)); \
    } while (0)
