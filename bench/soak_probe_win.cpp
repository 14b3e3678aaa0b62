// Looks at a running Quindle.exe from outside, for the long run under Wine
// (scripts/soak-wine): finds its main window, then prints one line of what
// its process holds, or the text of its log pane.
//
//   soak_probe_win.exe            handles=N syshandles=N gdi=N user=N windows=N workingset=N
//   private=N soak_probe_win.exe --pane     the pane's text, as the control gives it
//
// The counts come from the system as any tool would read them:
// GetProcessHandleCount and the system's handle list (the process's open
// kernel handles), GetGuiResources
// (its GDI and USER objects), the windows of its threads found by enumerating
// every top-level window and its children, and GetProcessMemoryInfo. The
// pane's text is read with WM_GETTEXT, which the system copies across
// processes. Exit status 2 when Quindle's window is not there.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <richedit.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct TCount {
  DWORD pid = 0;
  unsigned windows = 0;
};

BOOL CALLBACK CountChild(HWND, LPARAM data) {
  ++reinterpret_cast<TCount*>(data)->windows;
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM data) {
  auto* count = reinterpret_cast<TCount*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != count->pid) return TRUE;
  ++count->windows;
  // EnumChildWindows visits the children's children too.
  EnumChildWindows(window, CountChild, data);
  return TRUE;
}

// The process's open handles as the system's handle list gives them: Wine
// leaves GetProcessHandleCount at 0 for another process, but lists every
// handle of its server's table here. -1 when the list cannot be had.
long HandlesInSystemList(DWORD pid) {
  std::vector<unsigned char> buffer(1 << 20);
  for (int tries = 0; tries < 8; ++tries) {
    ULONG needed = 0;
    NTSTATUS status = NtQuerySystemInformation(SystemHandleInformation, buffer.data(),
                                               static_cast<ULONG>(buffer.size()), &needed);
    if (status == static_cast<NTSTATUS>(0xC0000004L)) {  // STATUS_INFO_LENGTH_MISMATCH
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
      continue;
    }
    if (status < 0) return -1;
    const auto* list = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
    long count = 0;
    for (ULONG i = 0; i < list->Count; ++i)
      if (list->Handle[i].OwnerPid == pid) ++count;
    return count;
  }
  return -1;
}

// The main window's rich edit control: the one child of that class.
BOOL CALLBACK FindPane(HWND window, LPARAM data) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::strcmp(name, RICHEDIT_CLASSA) != 0) return TRUE;
  *reinterpret_cast<HWND*>(data) = window;
  return FALSE;
}

int PrintPane(HWND main) {
  HWND pane = nullptr;
  EnumChildWindows(main, FindPane, reinterpret_cast<LPARAM>(&pane));
  if (!pane) {
    std::fprintf(stderr, "no log pane in Quindle's window\n");
    return 2;
  }
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(pane, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 10000, &length))
    return 3;
  std::vector<char> text(length + 2);
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(pane, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 10000, &copied))
    return 3;
  // The bytes as they are: no line-end translation on the way out.
  _setmode(_fileno(stdout), _O_BINARY);
  std::fwrite(text.data(), 1, copied, stdout);
  return 0;
}

int PrintCounts(HWND main) {
  TCount count;
  GetWindowThreadProcessId(main, &count.pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, count.pid);
  if (!process) {
    std::fprintf(stderr, "cannot open the process %lu (%lu)\n",
                 static_cast<unsigned long>(count.pid), GetLastError());
    return 3;
  }
  DWORD handles = 0;
  if (!GetProcessHandleCount(process, &handles)) handles = 0;
  DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
  DWORD user = GetGuiResources(process, GR_USEROBJECTS);
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  CloseHandle(process);
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
  std::printf(
      "handles=%lu syshandles=%ld gdi=%lu user=%lu windows=%u workingset=%llu private=%llu\n",
      static_cast<unsigned long>(handles), HandlesInSystemList(count.pid),
      static_cast<unsigned long>(gdi), static_cast<unsigned long>(user), count.windows,
      static_cast<unsigned long long>(memory.WorkingSetSize),
      static_cast<unsigned long long>(memory.PrivateUsage));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  HWND main = FindWindowA("QuindleForm", "Quindle");
  if (!main) {
    std::fprintf(stderr, "Quindle's window is not there\n");
    return 2;
  }
  if (argc > 1 && std::strcmp(argv[1], "--pane") == 0) return PrintPane(main);
  return PrintCounts(main);
}
