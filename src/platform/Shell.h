// The Windows shell: notification-area icons, opening documents, file versions.
#pragma once
#include <cstdint>
#include <string>
#include "platform/WinConstants.h"  // notify-icon commands, show commands

struct TFixedFileVersion {
  uint32_t signature = 0;
  uint32_t fileVersionMS = 0;
  uint32_t fileVersionLS = 0;
};

class IShell {
 public:
  virtual ~IShell() = default;
  // Shell_NotifyIconA with a NOTIFYICONDATAA record of either layout.
  virtual bool NotifyIcon(uint32_t message, const void* record) = 0;
  // ShellExecuteA; the result as the call returns it.
  virtual intptr_t ShellExecute(uintptr_t parent, const std::string& verb, const std::string& file,
                                const std::string& parameters, const std::string& directory,
                                int show) = 0;
  // GetFileVersionInfoSizeA/GetFileVersionInfoA/VerQueryValueA("\"); false
  // when the file has no version information.
  virtual bool FileVersion(const std::string& path, TFixedFileVersion& info) = 0;
  // The user's own local application-data folder (SHGetFolderPathA with
  // CSIDL_LOCAL_APPDATA), without a trailing separator; empty when the
  // system has none to give.
  virtual std::string LocalAppDataFolder() = 0;
};
