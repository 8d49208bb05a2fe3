// A promise a fuzz target checks: a broken one names its file and line
// before the fuzzer records the input.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void FuzzCheck(bool ok, const char* file, int line) {
    if (ok) return;
    std::fprintf(stderr, "%s:%d: check failed\n", file, line);
    std::abort();
}

#define Require(ok) FuzzCheck((ok), __FILE__, __LINE__)
