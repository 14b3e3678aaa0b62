// Library loading for Windows. Only the system directory is searched: a
// library of the same name in the program's folder or the current directory
// is never picked up in place of the system's own.
#pragma once
#include "platform/LibraryLoader.h"

class TWin32LibraryLoader : public ILibraryLoader {
 public:
  // A bare file name ("rasapi32.dll"); a name with a path in it is refused.
  HMODULE_T LoadLibrary(const std::string& name) override;
  void* GetProcAddress(HMODULE_T library, const std::string& name) override;
  bool FreeLibrary(HMODULE_T library) override;

  // Restricts the search for libraries loaded by bare name, for the rest of
  // the process, to the system folder where the system offers it (true);
  // elsewhere takes the current folder out of the search. Called first thing
  // at start-up.
  static bool RestrictDefaultSearch();
};
