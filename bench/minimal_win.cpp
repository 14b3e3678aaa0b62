// The smallest window program: one registered class, one top-level window
// titled "Minimal Window" (or the command line), a message loop. It is started
// exactly as Quindle.exe is, so that the difference in their time to a
// visible window is Quindle's own start-up work (scripts/bench). Started with
// another title, it keeps the Wine session up between the measured starts.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "MinimalWindow";
  if (!RegisterClassA(&wc)) return 1;
  // The main window's size and place.
  const char* title = commandLine && *commandLine ? commandLine : "Minimal Window";
  HWND window = CreateWindowExA(0, wc.lpszClassName, title,
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 295, 172,
                                243, 239, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
