#include "platform/win32/Win32System.h"

#include <windows.h>

#include <vector>

std::string TWin32System::ModuleFileName() {
  // GetModuleFileNameA cuts a long path to the buffer; grow until it fits.
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::string(buffer.data(), n);
    if (buffer.size() >= 32768) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

int TWin32System::PlatformId() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  // Every system this program runs on answers; an NT-family system is the
  // only one a failure could come from.
  if (!GetVersionExA(&info)) return VER_PLATFORM_WIN32_NT_T;
  return static_cast<int>(info.dwPlatformId);
}

std::string TWin32System::SystemDirectory() {
  std::vector<char> buffer(MAX_PATH + 1);
  UINT n = GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
  if (n >= buffer.size()) {
    buffer.resize(n + 1);
    n = GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
  }
  if (n == 0 || n >= buffer.size()) return {};
  return std::string(buffer.data(), n);
}

bool TWin32System::EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  const bool found =
      LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) != 0;
  if (found) {
    TOKEN_PRIVILEGES previous{};
    DWORD returned = 0;
    // Not every caller may hold the privilege; the shutdown request that
    // follows reports the outcome, so this result is not examined.
    AdjustTokenPrivileges(token, FALSE, &privileges, sizeof previous, &previous, &returned);
  }
  CloseHandle(token);
  return found;
}

int TWin32System::ExitWindowsEx(uint32_t flags, uint32_t reason) {
  return ::ExitWindowsEx(flags, reason) ? 1 : 0;
}

void TWin32System::ExitProcess(unsigned code) {
  ::ExitProcess(code);
}
