// The one-copy calls for Windows: a mutex in the session's namespace, the
// user's identifier from the process token, and the window calls a second
// start makes before it ends (it makes no window of its own).
#pragma once
#include "platform/SingleCopy.h"

class TWin32SingleCopy : public ISingleCopy {
 public:
  TWin32SingleCopy() = default;
  TWin32SingleCopy(const TWin32SingleCopy&) = delete;
  TWin32SingleCopy& operator=(const TWin32SingleCopy&) = delete;
  // Closes the objects this process made: another start may take the name.
  ~TWin32SingleCopy() override;

  std::string UserSid() override;
  TClaim CreateNamedObject(const std::string& name) override;
  uint32_t RegisterWindowMessage(const std::string& name) override;
  uintptr_t FindWindow(const std::string& className, const std::string& caption) override;
  bool AllowForegroundFor(uintptr_t window) override;
  std::optional<intptr_t> SendMessageTimeout(uintptr_t window, uint32_t message, uintptr_t wParam,
                                             intptr_t lParam, unsigned timeoutMs) override;
  void Sleep(unsigned ms) override;

 private:
  void* held_ = nullptr;  // the mutex this process made
};
