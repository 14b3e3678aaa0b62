// The Windows shell: notification-area icons, opening documents and file
// version information (shell32 and version libraries).
#pragma once
#include "platform/Shell.h"

class TWin32Shell : public IShell {
 public:
  bool NotifyIcon(uint32_t message, const void* record) override;
  // Empty verb, parameters or directory are passed as null.
  intptr_t ShellExecute(uintptr_t parent, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& directory,
                        int show) override;
  bool FileVersion(const std::string& path, TFixedFileVersion& info) override;
  std::string LocalAppDataFolder() override;
};
