#include "platform/memory/MemorySingleCopy.h"

#include <algorithm>

uintptr_t TMemorySession::AddWindow(const std::string& className, const std::string& caption,
                                    uint32_t process,
                                    std::function<intptr_t(uint32_t, uintptr_t, intptr_t)> proc) {
  static uintptr_t next = 0x7000;
  windows.push_back({++next, className, caption, process, std::move(proc)});
  return next;
}

void TMemorySession::RemoveWindows(uint32_t process) {
  windows.erase(std::remove_if(windows.begin(), windows.end(),
                               [process](const Window& w) { return w.process == process; }),
                windows.end());
}

TMemorySingleCopy::~TMemorySingleCopy() {
  for (const std::string& name : created) session_.objects.erase(name);
}

ISingleCopy::TClaim TMemorySingleCopy::CreateNamedObject(const std::string& name) {
  auto it = session_.objects.find(name);
  if (it == session_.objects.end()) {
    session_.objects[name] = userSid_;
    created.push_back(name);
    return TClaim::Created;
  }
  // The default security of an object lets only its maker's user open it.
  return it->second == userSid_ ? TClaim::AlreadyExists : TClaim::Failed;
}

uint32_t TMemorySingleCopy::RegisterWindowMessage(const std::string& name) {
  auto it = session_.messages.find(name);
  if (it != session_.messages.end()) return it->second;
  // Registered messages come from 0xC000 to 0xFFFF.
  const uint32_t id = 0xC000 + static_cast<uint32_t>(session_.messages.size());
  session_.messages[name] = id;
  return id;
}

uintptr_t TMemorySingleCopy::FindWindow(const std::string& className, const std::string& caption) {
  for (const auto& w : session_.windows)
    if (w.className == className && w.caption == caption) return w.handle;
  return 0;
}

bool TMemorySingleCopy::AllowForegroundFor(uintptr_t window) {
  for (const auto& w : session_.windows)
    if (w.handle == window) {
      session_.foregroundAllowed.push_back(w.process);
      return true;
    }
  return false;
}

std::optional<intptr_t> TMemorySingleCopy::SendMessageTimeout(uintptr_t window, uint32_t message,
                                                              uintptr_t wParam, intptr_t lParam,
                                                              unsigned timeoutMs) {
  ++sends;
  for (const auto& w : session_.windows) {
    if (w.handle != window) continue;
    if (w.hung) {
      sleptMs += timeoutMs;
      return std::nullopt;
    }
    // Copied: the window's answer may close windows of the session.
    auto proc = w.proc;
    return proc(message, wParam, lParam);
  }
  return std::nullopt;
}
