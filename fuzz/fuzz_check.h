// FUZZ_CHECK: an invariant of a fuzz target. The sanitizers catch memory
// and undefined-behaviour faults by themselves; this catches wrong results
// (output past a declared size, a write outside the target directory) and
// turns them into a crash that libFuzzer saves as a reproducer.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                           \
  do {                                                                        \
    if (!(condition)) {                                                       \
      std::fprintf(stderr, "fuzz invariant broken: %s (%s:%d)\n", what,       \
                   __FILE__, __LINE__);                                       \
      std::abort();                                                           \
    }                                                                         \
  } while (0)
