#pragma once
// A failed property ends the run with a message, so libFuzzer keeps the
// input that broke it.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                          \
  do {                                                                      \
    if (!(condition)) {                                                     \
      std::fprintf(stderr, "property failed: %s: ", #condition);            \
      std::fprintf(stderr, __VA_ARGS__);                                    \
      std::fprintf(stderr, "\n");                                           \
      std::abort();                                                         \
    }                                                                       \
  } while (0)
