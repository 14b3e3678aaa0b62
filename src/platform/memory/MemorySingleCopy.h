// The one-copy calls as tests want them: a user's session shared by the
// copies a test starts (its named objects, registered messages and the
// top-level windows one copy can find), and one copy's view of it.
#pragma once
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "platform/SingleCopy.h"

struct TMemorySession {
  // A top-level window of some process; `proc` answers what is sent to it
  // (a test hands it to that copy's backend).
  struct Window {
    uintptr_t handle = 0;
    std::string className, caption;
    uint32_t process = 0;
    std::function<intptr_t(uint32_t, uintptr_t, intptr_t)> proc;
    bool hung = false;  // answers nothing: the send times out
  };

  // Names of the objects that exist, with the user whose token made them:
  // a name another user made cannot be opened.
  std::map<std::string, std::string> objects;
  std::map<std::string, uint32_t> messages;
  std::vector<Window> windows;
  // The processes given the foreground right (AllowSetForegroundWindow).
  std::vector<uint32_t> foregroundAllowed;

  uintptr_t AddWindow(const std::string& className, const std::string& caption, uint32_t process,
                      std::function<intptr_t(uint32_t, uintptr_t, intptr_t)> proc);
  void RemoveWindows(uint32_t process);
};

class TMemorySingleCopy : public ISingleCopy {
 public:
  TMemorySingleCopy(TMemorySession& session, std::string userSid)
      : session_(session), userSid_(std::move(userSid)) {}
  // The process ends: the objects it made are gone.
  ~TMemorySingleCopy() override;

  std::string UserSid() override { return userSid_; }
  TClaim CreateNamedObject(const std::string& name) override;
  uint32_t RegisterWindowMessage(const std::string& name) override;
  uintptr_t FindWindow(const std::string& className, const std::string& caption) override;
  bool AllowForegroundFor(uintptr_t window) override;
  std::optional<intptr_t> SendMessageTimeout(uintptr_t window, uint32_t message, uintptr_t wParam,
                                             intptr_t lParam, unsigned timeoutMs) override;
  void Sleep(unsigned ms) override {
    sleptMs += ms;
    if (onSleep) onSleep();
  }

  // What this process did.
  std::vector<std::string> created;  // names it made
  int sends = 0;
  unsigned sleptMs = 0;  // time it spent waiting
  // Runs in each wait: what the other processes do meanwhile.
  std::function<void()> onSleep;

 private:
  TMemorySession& session_;
  std::string userSid_;
};
