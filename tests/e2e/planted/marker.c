/* A library planted by tests/e2e/planted_libraries.sh under the name of a
 * system library. Loaded, it notes its own path in the file named by
 * QUINDLE_MARKERS (and on standard error), then declines to load.
 *
 * Built with VERSION_MARKER it stands for version.dll instead: Wine's own
 * user32 imports that library and, told to prefer planted libraries, takes
 * this one whatever the program does. So it loads, offers the library's
 * functions, and notes a call of those the program uses (the ANSI ones). */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static HINSTANCE self_;

static void Note(const char* what) {
  char line[MAX_PATH + 64], log[MAX_PATH];
  DWORD n, length, written;
  HANDLE file;
  n = (DWORD)lstrlenA(lstrcpyA(line, what));
  n += GetModuleFileNameA(self_, line + n, MAX_PATH);
  line[n++] = '\r';
  line[n++] = '\n';
  /* The line has no terminating zero: its length is kept, never measured. */
  length = n;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, length, &written, NULL);
  n = GetEnvironmentVariableA("QUINDLE_MARKERS", log, sizeof log);
  if (n == 0 || n >= sizeof log) return;
  file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, line, length, &written, NULL);
  CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  self_ = self;
#ifdef VERSION_MARKER
  return TRUE;
#else
  Note("planted library loaded: ");
  return FALSE;
#endif
}

#ifdef VERSION_MARKER
__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle) {
  Note("GetFileVersionInfoSizeA called in the planted ");
  return 0;
}
__declspec(dllexport) BOOL WINAPI GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size,
                                                      LPVOID data) {
  Note("GetFileVersionInfoA called in the planted ");
  return FALSE;
}
__declspec(dllexport) BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR sub, LPVOID* value,
                                                 PUINT length) {
  Note("VerQueryValueA called in the planted ");
  return FALSE;
}
__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
  return 0;
}
__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size,
                                                      LPVOID data) {
  return FALSE;
}
__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR sub, LPVOID* value,
                                                 PUINT length) {
  return FALSE;
}
#endif
