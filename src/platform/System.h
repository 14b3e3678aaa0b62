// Process and operating-system facts, and the shutdown request.
#pragma once
#include <cstdint>
#include <string>
#include "platform/WinConstants.h"  // platform ids, ExitWindowsEx flags

class ISystem {
 public:
  virtual ~ISystem() = default;
  // The running program's full path, as GetModuleFileNameA reports it.
  virtual std::string ModuleFileName() = 0;
  virtual int PlatformId() = 0;
  virtual std::string SystemDirectory() = 0;
  // OpenProcessToken, LookupPrivilegeValueA("SeShutdownPrivilege") and
  // AdjustTokenPrivileges; false when the token could not be opened or the
  // privilege not looked up. The adjustment's own result is not examined.
  virtual bool EnableShutdownPrivilege() = 0;
  // ExitWindowsEx: non-zero when the request was accepted.
  virtual int ExitWindowsEx(uint32_t flags, uint32_t reason) = 0;
  // ExitProcess: ends the program at once, without returning to any frame
  // below (the end of the session, once everything is saved).
  virtual void ExitProcess(unsigned code) = 0;
};
