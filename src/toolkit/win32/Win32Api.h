// The Windows headers as the toolkit's Win32 backend uses them: ANSI calls
// only, and without the macros that would rename the backend's own methods
// (MessageBox, SendMessage, ...) to their A or W variants; and the loader
// that takes the system libraries the backend needs from the system folder.
#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <richedit.h>

#undef MessageBox
#undef SendMessage
#undef PostMessage
#undef DefWindowProc
#undef RegisterWindowMessage
#undef CreateWindow
#undef LoadIcon
#undef LoadLibrary

#include "platform/win32/Win32LibraryLoader.h"
#include "toolkit/Backend.h"

// The system's window and icon handles as the backend hands them out, and back.
inline HWND NativeWindow(TWindowHandle window) {
  return reinterpret_cast<HWND>(window.Raw());
}
inline TWindowHandle WindowHandleOf(HWND window) {
  return TWindowHandle(reinterpret_cast<uintptr_t>(window));
}
inline HICON NativeIcon(TIconHandle icon) {
  return reinterpret_cast<HICON>(icon.Raw());
}
inline TIconHandle IconHandleOf(HICON icon) {
  return TIconHandle(reinterpret_cast<uintptr_t>(icon));
}
