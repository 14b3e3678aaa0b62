// The floor of Quindle's start-up figures: a window program that loads and
// shows the platform parts Quindle needs, and nothing of Quindle's own:
//
//   - the common controls 6 (the same manifest as Quindle.exe's, and the same
//     InitCommonControlsEx classes);
//   - Winsock, started as Quindle starts it (version 1.1);
//   - the system folder's rasapi32.dll, loaded by its full path as Quindle's
//     library loader loads it (under scripts/bench, the simulated service);
//   - the system folder's riched20.dll and a RichEdit 2.0 pane (RichEdit20A);
//   - a notification icon (Shell_NotifyIconA) with the program's icon.
//
// Its main window has Quindle's size and place and the title "Quindle Floor".
// Started with the word "ras", it also makes the RAS library's first call as
// Quindle's start-up makes it (the phone book's entries listed), which starts
// the RAS service's work in the process, and its title is "Quindle Floor
// RAS": the floor of a program that must show its entries at once.
// scripts/bench starts it exactly as it starts Quindle.exe, so that what
// Quindle takes beyond it, in time to a visible window and in memory, is
// Quindle's own work.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include <cstring>

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr int kAppIcon = 1;  // floor_win.rc

// A library of the system folder by its full path, its own imports from the
// system folder too (older systems refuse the flag: then the altered search).
HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + lstrlenA(name) >= MAX_PATH) return nullptr;
  path[length] = '\\';
  lstrcpyA(path + length + 1, name);
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
    module = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return module;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

// The entries listed once, with the record size Quindle's build uses; the
// answer does not matter, only the service's work that the call starts.
void ListRasEntries(HMODULE ras) {
  struct TEntryName {
    DWORD dwSize;
    CHAR szEntryName[257];
  };
  using TRasEnumEntriesA = DWORD(WINAPI*)(LPCSTR, LPCSTR, TEntryName*, LPDWORD, LPDWORD);
  auto list = reinterpret_cast<TRasEnumEntriesA>(
      reinterpret_cast<void*>(GetProcAddress(ras, "RasEnumEntriesA")));
  if (!list) return;
  TEntryName names[16] = {};
  names[0].dwSize = sizeof names[0];
  DWORD bytes = sizeof names, count = 0;
  list(nullptr, nullptr, names, &bytes, &count);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  const bool callRas = commandLine && std::strcmp(commandLine, "ras") == 0;
  const char* title = callRas ? "Quindle Floor RAS" : "Quindle Floor";
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  WSADATA winsock;
  const bool sockets = WSAStartup(MAKEWORD(1, 1), &winsock) == 0;
  HMODULE ras = LoadSystemLibrary("rasapi32.dll");
  if (ras && callRas) ListRasEntries(ras);
  HMODULE richEdit = LoadSystemLibrary("riched20.dll");
  if (!richEdit) return 1;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kAppIcon));
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "QuindleFloor";
  if (!RegisterClassA(&wc)) return 1;
  // Quindle's main window: its size and place, and a read-only pane in it.
  HWND window = CreateWindowExA(0, wc.lpszClassName, title,
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 295, 172,
                                243, 239, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  HWND pane = CreateWindowExA(WS_EX_CLIENTEDGE, RICHEDIT_CLASSA, "",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 8, 8,
                              220, 150, window, nullptr, instance, nullptr);
  if (!pane) return 1;

  NOTIFYICONDATAA tray = {};
  tray.cbSize = sizeof tray;
  tray.hWnd = window;
  tray.uID = 1;
  tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  tray.uCallbackMessage = kTrayMessage;
  tray.hIcon = wc.hIcon;
  lstrcpynA(tray.szTip, title, sizeof tray.szTip);
  Shell_NotifyIconA(NIM_ADD, &tray);

  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Shell_NotifyIconA(NIM_DELETE, &tray);
  if (ras) FreeLibrary(ras);
  if (sockets) WSACleanup();
  return static_cast<int>(msg.wParam);
}
