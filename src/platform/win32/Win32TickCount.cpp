#include "platform/win32/Win32TickCount.h"

#include <windows.h>

#include <atomic>
#if defined(__MINGW32__) && defined(__x86_64__)
#include <excpt.h>
#endif

#include "platform/TickExtender.h"
#include "platform/win32/Win32LateBound.h"
#include "platform/win32/Win32LibraryLoader.h"

namespace {

using TickCount64Fn = decltype(&::GetTickCount64);

// No function-local statics: their first-use guard waits on the thread
// library, whose timed waits call back here. Two threads looking the
// function up at once both find the same answer.
std::atomic<bool> lookedUp{false};
std::atomic<TickCount64Fn> tickCount64{nullptr};
TTickExtender ticks;

}  // namespace

uint64_t Win32TickCount64() {
  if (!lookedUp.load(std::memory_order_acquire)) {
    TWin32LibraryLoader loader;
    // kernel32 is in every process.
    tickCount64.store(Bind(loader, GetModuleHandleA(LateBound::GetTickCount64.library),
                           LateBound::GetTickCount64),
                      std::memory_order_relaxed);
    lookedUp.store(true, std::memory_order_release);
  }
  if (TickCount64Fn bound = tickCount64.load(std::memory_order_relaxed)) return bound();
  return ticks.Extend(GetTickCount());
}

#if defined(__MINGW32__)
namespace {
ULONGLONG WINAPI TickCount64ForThreads() {
  return Win32TickCount64();
}
}  // namespace

// The compiler's thread library (winpthreads, linked in statically) calls
// GetTickCount64 through its import slot for the timeouts of its waits,
// which would make the program's import table name a Vista function and the
// loader refuse to start it on older systems. The slot is defined here, so
// the linker takes it instead of the import library's: those calls come
// here, and reach GetTickCount64 only where the system has it.
extern "C" {
#if defined(__i386__)
ULONGLONG(WINAPI* ThreadsTickCount64Slot)
() __asm__("__imp__GetTickCount64@0") = TickCount64ForThreads;
#else
ULONGLONG(WINAPI* ThreadsTickCount64Slot)() __asm__("__imp_GetTickCount64") = TickCount64ForThreads;
#endif
}

#if defined(__x86_64__)
// The thread library's structured exception handler, __C_specific_handler,
// would come from kernel32.dll, which Microsoft does not document as having
// it; msvcrt.dll has exported it since the first 64-bit Windows. A reference
// from here, in the program's own objects, binds it while the linker reads
// the C runtime's import library, before kernel32's: the thread library's
// reference then finds it bound.
extern "C" void* const CrtSpecificHandler = reinterpret_cast<void*>(&__C_specific_handler);
#endif
#endif
