// A program world over the real Windows backend: an application whose error
// reports are recorded instead of shown, a bounded message pump, and keys
// posted as the keyboard driver would post them.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/win32/Win32Api.h"
#include "toolkit/win32/Win32Backend.h"

// Message boxes are recorded (a box would wait for a user who is not there).
class TRecordingWin32Backend : public TWin32Backend {
 public:
  std::vector<std::string> messages;
  int MessageBox(TWindowHandle, const std::string& text, const std::string&, unsigned) override {
    messages.push_back(text);
    return IDOK_T;
  }
};

struct TWin32World {
  TRecordingWin32Backend backend;
  std::unique_ptr<TApplication> app;

  TWin32World() {
    app = std::make_unique<TApplication>(backend, TPlatform{});
    app->SetTitle("Quindle");
    backend.SetApplication(app.get());
  }
  ~TWin32World() {
    app.reset();
    backend.SetApplication(nullptr);
  }

  // Runs the real message loop until `done`, at most `limitMs`; returns done().
  bool PumpUntil(const std::function<bool()>& done, unsigned limitMs = 5000) {
    bool expired = false;
    uintptr_t limit = backend.StartTimer(limitMs, [&] { expired = true; });
    backend.RunUntil([&] { return done() || expired; });
    backend.StopTimer(limit);
    return done();
  }
};

inline HWND Hwnd(TWindowHandle h) {
  return reinterpret_cast<HWND>(h.Raw());
}

// A key press and release posted to a window; the loop's TranslateMessage
// makes the character messages from them, as for real typing.
inline void PostKey(HWND window, WORD vk) {
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, 0)) << 16;
  PostMessageA(window, WM_KEYDOWN, vk, scan | 1);
  PostMessageA(window, WM_KEYUP, vk, scan | 1 | (LPARAM{3} << 30));
}

// Lower-case letters, digits and unshifted punctuation.
inline void PostText(HWND window, const std::string& text) {
  for (char c : text) PostKey(window, static_cast<WORD>(VkKeyScanA(c) & 0xFF));
}

inline std::string TextOf(HWND window) {
  char buffer[1024] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}
