// Suites whose code runs on more than one thread say so, and the ThreadSanitizer run takes exactly
// the suites that said so. Natively a test that starts a thread in a suite that did not say so
// fails, so no threaded suite drops out of that run by being forgotten.
#pragma once

#include <string>

bool DeclareThreadedSuite(const char* pszSuite);
#define THREADED_SUITE(suite) static const bool g_bThreadedSuite_##suite = DeclareThreadedSuite(#suite)

// A test filter that runs exactly the declared suites; empty (with the reason in *pError) when a
// declared suite has no tests, which is a misspelt declaration.
std::string ThreadedSuitesFilter(std::string* pError);

// Adds the check that fails a test which starts a thread in an undeclared suite, where the test
// program can count the threads it starts (natively, without sanitizers of its own on the call).
void WatchForUndeclaredThreads();
