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
#include <charconv>
#include <cstdio>
#include <cstdlib>

// fputs, not fprintf: the Windows builds' fprintf is MinGW-w64's own
// formatter, which locks the stream through C runtime exports (_lock,
// _unlock) that the oldest Windows a build supports is not shown to have;
// fputs adds no import to the program.
[[noreturn]] inline void QuindleAssertFailed(const char* file, int line, const char* condition) {
  char number[16] = {};
  std::to_chars(number, number + sizeof number - 1, line);
  const char* const parts[] = {file, ":", number, ": invariant failed: ", condition, "\n"};
  for (const char* part : parts) std::fputs(part, stderr);
  std::fflush(stderr);
  std::abort();
}

#define QUINDLE_ASSERT(condition) \
  ((condition) ? static_cast<void>(0) : QuindleAssertFailed(__FILE__, __LINE__, #condition))
