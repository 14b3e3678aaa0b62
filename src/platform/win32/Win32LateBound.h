// The functions of system libraries that the program binds at run time
// instead of importing them: those older systems lack, and those of a
// library Windows does not protect as a known library, which is loaded from
// the system folder by its full path rather than found by the loader's
// search, which looks in the program's folder first. Each entry names its
// library and takes its type from the system header's own declaration, so
// that a call through it has the real signature.
#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <sddl.h>
#include <winver.h>
#include <shlobj.h>
#include <shellscalingapi.h>
#include <commctrl.h>

// The library loader's own method, not the ANSI or wide function.
#undef LoadLibrary

#include "platform/LibraryLoader.h"

template <class Fn>
struct TLateBound {
  const char* library;
  const char* name;
};

// The function in `library` (loaded by the caller from the system folder);
// null when the library is not loaded or lacks the function.
template <class Fn>
Fn Bind(ILibraryLoader& loader, HMODULE_T library, const TLateBound<Fn>& function) {
  return ProcAs<Fn>(loader.GetProcAddress(library, function.name));
}

// `function` is a name to paste and to spell, which no parentheses may hold.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define QUINDLE_LATE_BOUND(library, function)                   \
  inline constexpr TLateBound<decltype(&::function)> function { \
    library, #function                                          \
  }
// NOLINTEND(bugprone-macro-parentheses)

namespace LateBound {
// Windows 8, and Windows 7 and Vista with update KB2533623.
QUINDLE_LATE_BOUND("kernel32.dll", SetDefaultDllDirectories);
// Windows XP SP1 and later.
QUINDLE_LATE_BOUND("kernel32.dll", SetDllDirectoryA);
// The file version of shell32.dll, which picks the tray icon's record.
QUINDLE_LATE_BOUND("version.dll", GetFileVersionInfoSizeA);
QUINDLE_LATE_BOUND("version.dll", GetFileVersionInfoA);
QUINDLE_LATE_BOUND("version.dll", VerQueryValueA);
// Windows 2000 and later (older systems had it only with a later shell).
QUINDLE_LATE_BOUND("shell32.dll", SHGetFolderPathA);
// Windows 2000 and later: the user's identifier in the one-copy name, and
// the foreground right a second start hands to the copy that runs.
QUINDLE_LATE_BOUND("advapi32.dll", ConvertSidToStringSidA);
QUINDLE_LATE_BOUND("user32.dll", AllowSetForegroundWindow);
// Windows 98 and 2000 and later: the monitor a window is on, and its work area.
QUINDLE_LATE_BOUND("user32.dll", MonitorFromRect);
QUINDLE_LATE_BOUND("user32.dll", GetMonitorInfoA);
// Windows Vista and later: the 64-bit tick count (older systems have only
// the 32-bit one, which wraps), and the registry's delete of a whole tree.
QUINDLE_LATE_BOUND("kernel32.dll", GetTickCount64);
QUINDLE_LATE_BOUND("advapi32.dll", RegDeleteTreeA);
// Windows 7 and later: the shell's restart broadcast let through to the
// tray icon's window of an elevated program.
QUINDLE_LATE_BOUND("user32.dll", ChangeWindowMessageFilterEx);
// Windows 8.1 and later: a monitor's own scale, which a window that follows
// its monitor's dpi is laid out at (shcore.dll is not a known library).
QUINDLE_LATE_BOUND("user32.dll", MonitorFromWindow);
QUINDLE_LATE_BOUND("shcore.dll", GetDpiForMonitor);
// Windows 10 1607 and later: a window's dpi, the system's, and the metrics
// and frame sizes at a given dpi rather than at the system's.
QUINDLE_LATE_BOUND("user32.dll", GetDpiForWindow);
QUINDLE_LATE_BOUND("user32.dll", GetDpiForSystem);
QUINDLE_LATE_BOUND("user32.dll", GetSystemMetricsForDpi);
QUINDLE_LATE_BOUND("user32.dll", AdjustWindowRectExForDpi);
// Windows Vista and later (common controls 6): an icon at the size the
// system's metrics ask for, scaled down from a larger image where the file
// lacks that size, rather than up from a smaller one.
QUINDLE_LATE_BOUND("comctl32.dll", LoadIconMetric);
}  // namespace LateBound

#undef QUINDLE_LATE_BOUND
