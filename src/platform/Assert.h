// QUINDLE_ASSERT(condition): an invariant the code relies on. When it does
// not hold, the file, the line and the condition go to the error stream and
// the process ends at once (abort), before anything runs on the broken state.
//
// On in every build, the Windows release builds included: the assertions sit
// where a window is made or a message is routed, and cost a comparison or
// two there; the Windows suites and the end-to-end checks run the program as
// it ships, and a broken invariant in the field is better stopped at its
// place than carried on in a window procedure. Not for conditions a user or
// the system can bring about: those are errors the program reports.
#pragma once
#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void QuindleAssertFailed(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

#define QUINDLE_ASSERT(condition) \
  ((condition) ? static_cast<void>(0) : QuindleAssertFailed(__FILE__, __LINE__, #condition))
