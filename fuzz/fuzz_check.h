// A broken promise in a fuzz harness: says which and where, and aborts so
// that libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                         \
    ((cond) ? (void)0                                                                            \
            : (std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond), \
               std::abort()))
