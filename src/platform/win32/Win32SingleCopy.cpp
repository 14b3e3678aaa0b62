#include "platform/win32/Win32SingleCopy.h"

#include <windows.h>

#include <vector>

#include "platform/win32/Win32LateBound.h"
#include "platform/win32/Win32LibraryLoader.h"

// windows.h maps these names to the ANSI or wide functions.
#undef FindWindow
#undef RegisterWindowMessage
#undef SendMessageTimeout

TWin32SingleCopy::~TWin32SingleCopy() {
  if (held_) CloseHandle(static_cast<HANDLE>(held_));
}

std::string TWin32SingleCopy::UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  std::string text;
  if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    // advapi32 is in the process already (the registry calls import it).
    TWin32LibraryLoader loader;
    HMODULE_T advapi = GetModuleHandleA(LateBound::ConvertSidToStringSidA.library);
    char* sid = nullptr;
    if (auto convert = Bind(loader, advapi, LateBound::ConvertSidToStringSidA);
        convert && convert(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
      text = sid;
      LocalFree(sid);
    }
  }
  CloseHandle(token);
  return text;
}

ISingleCopy::TClaim TWin32SingleCopy::CreateNamedObject(const std::string& name) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  // A copy of the same user's started elevated made the object with an
  // access list this token may not open: Windows then refuses the call with
  // "access denied", which says the name is taken all the same.
  if (!mutex) return GetLastError() == ERROR_ACCESS_DENIED ? TClaim::AlreadyExists : TClaim::Failed;
  // The handle of an object that existed is not kept: the process that
  // made it holds the name, and this one is on its way out.
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return TClaim::AlreadyExists;
  }
  if (held_) CloseHandle(static_cast<HANDLE>(held_));
  held_ = mutex;
  return TClaim::Created;
}

uint32_t TWin32SingleCopy::RegisterWindowMessage(const std::string& name) {
  return RegisterWindowMessageA(name.c_str());
}

uintptr_t TWin32SingleCopy::FindWindow(const std::string& className, const std::string& caption) {
  return reinterpret_cast<uintptr_t>(FindWindowA(className.c_str(), caption.c_str()));
}

bool TWin32SingleCopy::AllowForegroundFor(uintptr_t window) {
  DWORD process = 0;
  if (!GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &process) || !process) return false;
  TWin32LibraryLoader loader;
  HMODULE_T user = GetModuleHandleA(LateBound::AllowSetForegroundWindow.library);
  auto allow = Bind(loader, user, LateBound::AllowSetForegroundWindow);
  return allow && allow(process) != 0;
}

std::optional<intptr_t> TWin32SingleCopy::SendMessageTimeout(uintptr_t window, uint32_t message,
                                                             uintptr_t wParam, intptr_t lParam,
                                                             unsigned timeoutMs) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(reinterpret_cast<HWND>(window), message, wParam, lParam,
                           SMTO_ABORTIFHUNG, timeoutMs, &answer))
    return std::nullopt;
  return static_cast<intptr_t>(answer);
}

void TWin32SingleCopy::Sleep(unsigned ms) {
  ::Sleep(ms);
}
