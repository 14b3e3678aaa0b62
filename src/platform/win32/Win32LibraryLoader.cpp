#include "platform/win32/Win32LibraryLoader.h"

#include <windows.h>

#include <vector>

// windows.h maps these names to their ANSI or wide functions.
#undef LoadLibrary

namespace {

std::string SystemDirectoryPath() {
  std::vector<char> buffer(MAX_PATH + 1);
  UINT n = GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
  if (n >= buffer.size()) {
    buffer.resize(n + 1);
    n = GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
  }
  if (n == 0 || n >= buffer.size()) return {};
  return std::string(buffer.data(), n);
}

}  // namespace

HMODULE_T TWin32LibraryLoader::LoadLibrary(const std::string& name) {
  if (name.empty() || name.find_first_of("\\/:") != std::string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  std::string directory = SystemDirectoryPath();
  if (directory.empty()) return nullptr;
  if (directory.back() != '\\') directory += '\\';
  // A full path, so the loader looks nowhere else for the library itself; its
  // own imports come from the system directory too. Systems that predate the
  // search flags refuse them, and there the imports are searched from the
  // library's folder first.
  const std::string path = directory + name;
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
    module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return module;
}

void* TWin32LibraryLoader::GetProcAddress(HMODULE_T library, const std::string& name) {
  if (!library) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
}

bool TWin32LibraryLoader::FreeLibrary(HMODULE_T library) {
  return library && ::FreeLibrary(static_cast<HMODULE>(library)) != 0;
}
