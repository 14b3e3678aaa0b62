// rnaph.dll of the simulated service's Windows 95 family layout holds no code
// of its own: every export is forwarded to rasapi32.dll (rnaph.def), whose
// one service then answers the dialer and the connection monitor alike.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
