#include "platform/win32/Win32Shell.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/win32/Win32LateBound.h"
#include "platform/win32/Win32LibraryLoader.h"

// windows.h maps this name to the ANSI or wide function.
#undef ShellExecute

namespace {

const char* OrNull(const std::string& s) {
  return s.empty() ? nullptr : s.c_str();
}

}  // namespace

bool TWin32Shell::NotifyIcon(uint32_t message, const void* record) {
  // The record is built by the caller in either of the two layouts that
  // shell32 accepts; its first field gives its size.
  return Shell_NotifyIconA(message, static_cast<PNOTIFYICONDATAA>(const_cast<void*>(record))) != 0;
}

intptr_t TWin32Shell::ShellExecute(uintptr_t parent, const std::string& verb,
                                   const std::string& file, const std::string& parameters,
                                   const std::string& directory, int show) {
  HINSTANCE result = ShellExecuteA(reinterpret_cast<HWND>(parent), OrNull(verb), file.c_str(),
                                   OrNull(parameters), OrNull(directory), show);
  return reinterpret_cast<intptr_t>(result);
}

bool TWin32Shell::FileVersion(const std::string& path, TFixedFileVersion& info) {
  // The version library is not one Windows protects as known: it is loaded
  // from the system folder by its full path, once, and kept.
  static TWin32LibraryLoader loader;
  static const HMODULE_T library = loader.LoadLibrary(LateBound::GetFileVersionInfoSizeA.library);
  static const auto getSize = Bind(loader, library, LateBound::GetFileVersionInfoSizeA);
  static const auto getInfo = Bind(loader, library, LateBound::GetFileVersionInfoA);
  static const auto queryValue = Bind(loader, library, LateBound::VerQueryValueA);
  if (!getSize || !getInfo || !queryValue) return false;

  DWORD ignored = 0;
  DWORD size = getSize(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<char> block(size);
  if (!getInfo(path.c_str(), 0, size, block.data())) return false;
  void* fixed = nullptr;
  UINT length = 0;
  if (!queryValue(block.data(), "\\", &fixed, &length) || !fixed ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  const auto* v = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  info.signature = v->dwSignature;
  info.fileVersionMS = v->dwFileVersionMS;
  info.fileVersionLS = v->dwFileVersionLS;
  return true;
}

std::string TWin32Shell::LocalAppDataFolder() {
  // shell32 is loaded already (the notification icon); it is taken by its
  // full path in the system folder all the same, as every late-bound one.
  static TWin32LibraryLoader loader;
  static const HMODULE_T library = loader.LoadLibrary(LateBound::SHGetFolderPathA.library);
  static const auto getFolderPath = Bind(loader, library, LateBound::SHGetFolderPathA);
  if (!getFolderPath) return {};
  char path[MAX_PATH + 1] = {};
  if (getFolderPath(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
    return {};
  std::string folder(path);
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}
