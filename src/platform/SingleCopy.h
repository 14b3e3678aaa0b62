// One copy of the program in the user's session: a named object the first
// start holds for as long as it runs, and the calls a second start needs to
// find that copy's window and ask it to come forward. Used before the
// program makes any window of its own, so it is not the toolkit's.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

class ISingleCopy {
 public:
  enum class TClaim {
    Created,        // this process made the object and holds it until it ends
    AlreadyExists,  // another process holds an object of that name
    Failed          // no object could be made or opened (another user's name)
  };

  virtual ~ISingleCopy() = default;
  // The user's security identifier as text ("S-1-5-21-..."), read from the
  // process token; empty when it cannot be read.
  virtual std::string UserSid() = 0;
  // CreateMutexA without initial ownership: ERROR_ALREADY_EXISTS is
  // AlreadyExists. A created object is held until the process ends.
  virtual TClaim CreateNamedObject(const std::string& name) = 0;
  // RegisterWindowMessageA: the same number in every process for a name.
  virtual uint32_t RegisterWindowMessage(const std::string& name) = 0;
  // FindWindowA: a top-level window of that class and caption, shown or
  // hidden; 0 when there is none.
  virtual uintptr_t FindWindow(const std::string& className, const std::string& caption) = 0;
  // AllowSetForegroundWindow for the process that made `window`, so that it
  // may bring its own window to the front: false when this process may not
  // hand that right on or the system has no such call.
  virtual bool AllowForegroundFor(uintptr_t window) = 0;
  // SendMessageTimeoutA with SMTO_ABORTIFHUNG: the window's answer; nothing
  // when it did not answer within `timeoutMs`, seems hung or is gone.
  virtual std::optional<intptr_t> SendMessageTimeout(uintptr_t window, uint32_t message,
                                                     uintptr_t wParam, intptr_t lParam,
                                                     unsigned timeoutMs) = 0;
  // Waits without doing anything (between looks for a window not made yet).
  virtual void Sleep(unsigned ms) = 0;
};
