#pragma once
#include <cstdio>
#include <cstdlib>

// Stops the run with a message when a property the code promises does not
// hold; libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                         \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)
