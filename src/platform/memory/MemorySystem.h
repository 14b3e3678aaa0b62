// The operating system as tests want it: settable facts and a recorded shutdown.
#pragma once
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>
#include "platform/Shell.h"
#include "platform/Sockets.h"
#include "platform/System.h"

class TMemorySystem : public ISystem {
 public:
  std::string ModuleFileName() override { return moduleFileName; }
  int PlatformId() override { return platformId; }
  std::string SystemDirectory() override { return systemDirectory; }
  bool EnableShutdownPrivilege() override {
    ++privilegeRequests;
    return privilegeAvailable;
  }
  int ExitWindowsEx(uint32_t flags, uint32_t reason) override {
    if (onShutdown) onShutdown(flags);
    shutdowns.push_back(flags);
    return acceptShutdown ? 1 : 0;
  }
  // Recorded; a test's process goes on, so `onExit` lets it look at what was
  // saved at the moment the real one would have ended.
  void ExitProcess(unsigned code) override {
    exitCodes.push_back(code);
    if (onExit) onExit();
  }

  std::string moduleFileName = "C:\\Program Files\\Quindle\\Quindle.exe";
  int platformId = VER_PLATFORM_WIN32_NT_T;
  std::string systemDirectory = "C:\\windows\\system32";
  bool privilegeAvailable = true;
  bool acceptShutdown = true;
  int privilegeRequests = 0;
  std::vector<uint32_t> shutdowns;           // flags of each ExitWindowsEx
  std::function<void(uint32_t)> onShutdown;  // runs as ExitWindowsEx is called
  std::vector<unsigned> exitCodes;           // each ExitProcess
  std::function<void()> onExit;
};

struct TNotifyCall {
  uint32_t message;
  std::vector<uint8_t> record;  // the bytes of the record as sent
};

// The notification area keeps one icon per window and identifier, as the
// shell does: an add of an icon already there, and a modify or delete of one
// that is not, are refused.
class TMemoryShell : public IShell {
 public:
  bool NotifyIcon(uint32_t message, const void* record) override;
  intptr_t ShellExecute(uintptr_t parent, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& directory,
                        int show) override;
  bool FileVersion(const std::string& path, TFixedFileVersion& info) override;
  std::string LocalAppDataFolder() override { return localAppData; }
  // The user's local application-data folder; none by default.
  std::string localAppData;

  // An icon is in the notification area (any window's, any identifier).
  bool IconShown() const { return !icons.empty(); }
  // The shell restarted: every icon is gone, nobody is told.
  void LoseAllIcons() { icons.clear(); }

  std::vector<TNotifyCall> notifyCalls;
  // The icons in the notification area: (window, identifier).
  std::set<std::pair<uintptr_t, uint32_t>> icons;
  // Faults: every add refused while refuseAdds holds (the shell not started
  // yet, or too busy to answer), or only the next refuseNextAdds of them. A
  // refused add leaves the icon out.
  bool refuseAdds = false;
  int refuseNextAdds = 0;
  // The next addsTimingOut adds are carried out but reported as failed, as
  // when the shell answers after the caller's wait has run out.
  int addsTimingOut = 0;
  struct Execute {
    uintptr_t parent;
    std::string verb, file, parameters, directory;
    int show;
  };
  std::vector<Execute> executes;
  // shell32.dll's version; an empty path means the file does not exist.
  std::string versionedFile = "C:\\windows\\system32\\shell32.dll";
  bool hasVersionInfo = true;
  uint32_t shellMajor = 6;
};

class TMemorySockets : public ISockets {
 public:
  int Startup(uint16_t version) override {
    startups.push_back(version);
    return 0;
  }
  int Cleanup() override {
    ++cleanups;
    return 0;
  }
  int GetHostName(char* buffer, int length) override;
  std::optional<std::array<uint8_t, 4>> FirstAddressOf(const std::string& name) override;

  std::string hostName = "quindle-pc";
  bool hostNameFails = false;
  std::optional<std::array<uint8_t, 4>> address = std::array<uint8_t, 4>{192, 168, 1, 20};
  std::vector<uint16_t> startups;
  int cleanups = 0;
};
