#include "platform/win32/Win32LibraryLoader.h"

#include <windows.h>

#include "platform/win32/Win32LateBound.h"
#include "platform/win32/Win32System.h"

// windows.h maps these names to their ANSI or wide functions.
#undef LoadLibrary

HMODULE_T TWin32LibraryLoader::LoadLibrary(const std::string& name) {
  if (name.empty() || name.find_first_of("\\/:") != std::string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  std::string directory = TWin32System().SystemDirectory();
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

bool TWin32LibraryLoader::RestrictDefaultSearch() {
  // kernel32 is in every process already; its handle involves no search.
  TWin32LibraryLoader loader;
  HMODULE_T kernel = GetModuleHandleA(LateBound::SetDefaultDllDirectories.library);
  if (auto setDefault = Bind(loader, kernel, LateBound::SetDefaultDllDirectories)) {
    if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
  }
  // Older systems: the program's folder stays in the search, the current
  // folder leaves it.
  if (auto setDirectory = Bind(loader, kernel, LateBound::SetDllDirectoryA)) setDirectory("");
  return false;
}
