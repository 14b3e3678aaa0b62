// Quindle's start-up in its steps, on the real Windows platform and backend
// with the installed RAS library, as the program entry runs them: the time
// from the process's creation to the end of each step and the process's
// working set after it. scripts/bench runs it beside the floor figures to say
// what Quindle's own code does before its window shows.
//
//   startup_steps_win.exe           the program entry's steps
//   startup_steps_win.exe floor     first, as a step of their own, the
//                                   platform parts the floor program loads
//                                   (floor_win.cpp; all but its tray icon)
//   startup_steps_win.exe lookup    first, the monitor's host name and
//                                   address lookup
//   startup_steps_win.exe ras       first, the RAS library's first call (the
//                                   entries listed), which starts the service
//
// The first steps come in this order: floor, lookup, ras.
//
// It ends the process once the main window has been shown and drawn: nothing
// is saved.
#include <windows.h>
#define PSAPI_VERSION 2
#include <psapi.h>
// windows.h maps this name to its ANSI or wide function.
#undef LoadLibrary

#include <cstdio>
#include <cstring>
#include <string>

#include "app/Unit1.h"
#include "platform/win32/Win32Platform.h"
#include "ras/RasTypes.h"
#include "settings/Unit2.h"
#include "toolkit/Application.h"
#include "toolkit/win32/Win32Backend.h"

namespace {

uint64_t FileTimeUnits(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// Milliseconds since the process was created.
double SinceCreation() {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  return (FileTimeUnits(now) - FileTimeUnits(created)) / 10000.0;
}

size_t WorkingSetKb() {
  PROCESS_MEMORY_COUNTERS counters;
  std::memset(&counters, 0, sizeof counters);
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.WorkingSetSize / 1024;
}

double lastMs = 0;
size_t lastKb = 0;

void Step(const char* name) {
  const double ms = SinceCreation();
  const size_t kb = WorkingSetKb();
  std::printf("%-40s %8.1f ms %+8.1f ms %8zu kB %+7ld kB\n", name, ms, ms - lastMs, kb,
              static_cast<long>(kb) - static_cast<long>(lastKb));
  std::fflush(stdout);
  lastMs = ms;
  lastKb = kb;
}

}  // namespace

int main(int argc, char** argv) {
  bool floorFirst = false, lookupFirst = false, rasFirst = false;
  for (int i = 1; i < argc; ++i) {
    floorFirst = floorFirst || std::strcmp(argv[i], "floor") == 0;
    lookupFirst = lookupFirst || std::strcmp(argv[i], "lookup") == 0;
    rasFirst = rasFirst || std::strcmp(argv[i], "ras") == 0;
  }
  std::printf("%-40s %11s %11s %11s %10s\n", "step", "at", "took", "working set", "grew");
  Step("process created to main()");
  TWin32LibraryLoader::RestrictDefaultSearch();
  TWin32Platform platform;
  TWin32Backend backend;
  TApplication app(backend, platform.Seams());
  backend.SetApplication(&app);
  Step("platform and backend");
  if (floorFirst) {
    platform.sockets.Startup(0x0101);
    platform.libraries.LoadLibrary("rasapi32.dll");
    platform.libraries.LoadLibrary("riched20.dll");
    CreateWindowExA(WS_EX_CLIENTEDGE, "RichEdit20A", "",
                    WS_POPUP | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0, 0, 220, 150, nullptr,
                    nullptr, GetModuleHandleA(nullptr), nullptr);
    Step("the floor's parts (no tray icon)");
  }
  if (lookupFirst) {
    platform.sockets.Startup(0x0101);
    char name[256] = {};
    if (platform.sockets.GetHostName(name, 255) == 0) platform.sockets.FirstAddressOf(name);
    Step("host name and address lookup");
  }
  if (rasFirst) {
    HMODULE_T ras = platform.libraries.LoadLibrary("rasapi32.dll");
    if (void* p = platform.libraries.GetProcAddress(ras, "RasEnumEntriesA")) {
      RASENTRYNAMEA names[4];
      std::memset(names, 0, sizeof names);
      names[0].dwSize = sizeof names[0];
      uint32_t bytes = sizeof names, count = 0;
      ProcAs<RasEnumEntriesA_t>(p)(nullptr, nullptr, names, &bytes, &count);
    }
    Step("the RAS service's first call");
  }
  // The steps of CreateQuindle (app/Program.cpp), one at a time.
  app.SetTitle("Quindle");
  auto* mainWindow = app.CreateForm<TForm1>();
  Step("main window (TForm1)");
  auto* settings = app.CreateForm<TSettingsForm>(mainWindow->Link());
  mainWindow->SetSettingsForm(settings);
  Step("settings dialog (TSettingsForm)");
  mainWindow->Show();
  app.ProcessMessages();
  Step("main window shown and drawn");
  std::fflush(stdout);
  ExitProcess(0);
}
