// Loading libraries and finding their functions at run time.
#pragma once
#include <string>
#include "platform/WinConstants.h"  // HMODULE_T

class ILibraryLoader {
 public:
  virtual ~ILibraryLoader() = default;
  // A system library by file name; null when it cannot be loaded.
  virtual HMODULE_T LoadLibrary(const std::string& name) = 0;
  // Null when the library has no such export.
  virtual void* GetProcAddress(HMODULE_T library, const std::string& name) = 0;
  virtual bool FreeLibrary(HMODULE_T library) = 0;
};

// Casts a looked-up symbol to its function pointer type.
template <class Fn>
Fn ProcAs(void* p) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}
