// Process and operating-system facts and the shutdown request, from the
// Windows API (module file name, version, system directory, process token).
#pragma once
#include "platform/System.h"

class TWin32System : public ISystem {
 public:
  std::string ModuleFileName() override;
  int PlatformId() override;
  std::string SystemDirectory() override;
  bool EnableShutdownPrivilege() override;
  int ExitWindowsEx(uint32_t flags, uint32_t reason) override;
  void ExitProcess(unsigned code) override;
};
