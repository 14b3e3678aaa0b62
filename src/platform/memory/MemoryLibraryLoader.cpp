#include "platform/memory/MemoryLibraryLoader.h"

#include <cctype>

std::string TMemoryLibraryLoader::Key(const std::string& name) {
  std::string k;
  for (char c : name) k += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return k;
}

void TMemoryLibraryLoader::AddFunction(const std::string& library, const std::string& name,
                                       void* fn) {
  libs_[Key(library)].functions[name] = fn;
}

void TMemoryLibraryLoader::RemoveLibrary(const std::string& library) {
  libs_.erase(Key(library));
}

void TMemoryLibraryLoader::RemoveFunction(const std::string& library, const std::string& name) {
  auto it = libs_.find(Key(library));
  if (it != libs_.end()) it->second.functions.erase(name);
}

int TMemoryLibraryLoader::LoadCount(const std::string& library) const {
  auto it = libs_.find(Key(library));
  return it == libs_.end() ? 0 : it->second.loads;
}

int TMemoryLibraryLoader::FreeCount(const std::string& library) const {
  auto it = libs_.find(Key(library));
  return it == libs_.end() ? 0 : it->second.frees;
}

bool TMemoryLibraryLoader::IsLoaded(const std::string& library) const {
  auto it = libs_.find(Key(library));
  return it != libs_.end() && it->second.loads > it->second.frees;
}

int TMemoryLibraryLoader::LookupCount(const std::string& name) const {
  auto it = lookups_.find(name);
  return it == lookups_.end() ? 0 : it->second;
}

HMODULE_T TMemoryLibraryLoader::LoadLibrary(const std::string& name) {
  auto it = libs_.find(Key(name));
  if (it == libs_.end()) return nullptr;
  ++it->second.loads;
  return &it->second;
}

void* TMemoryLibraryLoader::GetProcAddress(HMODULE_T library, const std::string& name) {
  ++lookups_[name];
  if (!library) return nullptr;
  for (auto& [k, lib] : libs_) {
    if (&lib != library) continue;
    auto f = lib.functions.find(name);
    return f == lib.functions.end() ? nullptr : f->second;
  }
  return nullptr;
}

bool TMemoryLibraryLoader::FreeLibrary(HMODULE_T library) {
  for (auto& [k, lib] : libs_)
    if (&lib == library) {
      ++lib.frees;
      return true;
    }
  return false;
}
