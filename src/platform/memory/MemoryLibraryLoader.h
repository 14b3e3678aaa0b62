// In-memory libraries for tests: named libraries with named functions, and
// faults (a missing library, a missing function).
#pragma once
#include <map>
#include <set>
#include <string>
#include "platform/LibraryLoader.h"

class TMemoryLibraryLoader : public ILibraryLoader {
 public:
  // Registers (or extends) a library; names compare without case, as on Windows.
  void AddFunction(const std::string& library, const std::string& name, void* fn);
  template <class Fn>
  void Add(const std::string& library, const std::string& name, Fn fn) {
    AddFunction(library, name, reinterpret_cast<void*>(fn));
  }
  void RemoveLibrary(const std::string& library);
  void RemoveFunction(const std::string& library, const std::string& name);

  int LoadCount(const std::string& library) const;
  int FreeCount(const std::string& library) const;
  int LookupCount(const std::string& name) const;
  bool IsLoaded(const std::string& library) const;

  HMODULE_T LoadLibrary(const std::string& name) override;
  void* GetProcAddress(HMODULE_T library, const std::string& name) override;
  bool FreeLibrary(HMODULE_T library) override;

 private:
  struct Lib {
    std::map<std::string, void*> functions;  // exact names, as exports are
    int loads = 0, frees = 0;
  };
  static std::string Key(const std::string& name);
  std::map<std::string, Lib> libs_;
  std::map<std::string, int> lookups_;
};
