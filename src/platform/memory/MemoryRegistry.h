// An in-memory registry for tests, with faults that can be injected.
#pragma once
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>
#include "platform/Registry.h"

class TMemoryRegistry : public IRegistryApi {
 public:
  TMemoryRegistry();
  ~TMemoryRegistry() override;

  // ---- test set-up and inspection; paths like "HKCU\\SOFTWARE\\Quindle" ----
  void PutDword(const std::string& keyPath, const std::string& name, uint32_t value);
  void PutString(const std::string& keyPath, const std::string& name, const std::string& value,
                 uint32_t type = REG_SZ_T);
  void PutRaw(const std::string& keyPath, const std::string& name, uint32_t type,
              const std::vector<uint8_t>& data);
  void MakeKey(const std::string& keyPath);
  bool HasKey(const std::string& keyPath) const;
  bool HasValue(const std::string& keyPath, const std::string& name) const;
  uint32_t TypeOf(const std::string& keyPath, const std::string& name) const;
  uint32_t Dword(const std::string& keyPath, const std::string& name) const;
  std::string String(const std::string& keyPath, const std::string& name) const;
  std::vector<std::string> ValueNames(const std::string& keyPath) const;
  int OpenHandles() const { return static_cast<int>(handles_.size()); }
  // Every call made, as "Open HKCU\\SOFTWARE access=..." lines, for order tests.
  std::vector<std::string> log;

  // ---- faults ----
  std::set<std::string> deniedKeys;       // cannot be opened for writing or created
  std::set<std::string> uncreatableKeys;  // cannot be created
  std::set<std::string> readOnlyValues;   // "key|name": writes refused
  bool refuseAllWrites = false;
  // Whose token the calls carry. A normal user (as with UAC's filtered
  // token) may read HKEY_LOCAL_MACHINE but not open it for writing, create
  // keys in it, or set or delete its values: each is refused with
  // ERROR_ACCESS_DENIED. Tests that need the machine-wide write say so.
  bool administrator = false;

  // ---- IRegistryApi ----
  long OpenKey(HKEY_T parent, const std::string& subKey, uint32_t access, HKEY_T* result) override;
  long CreateKey(HKEY_T parent, const std::string& subKey, uint32_t access,
                 HKEY_T* result) override;
  long CloseKey(HKEY_T key) override;
  long QueryValue(HKEY_T key, const std::string& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override;
  long SetValue(HKEY_T key, const std::string& name, uint32_t type, const uint8_t* data,
                uint32_t size) override;
  long DeleteValue(HKEY_T key, const std::string& name) override;
  long QueryInfoKey(HKEY_T key, uint32_t* subKeys, uint32_t* maxSubKeyLen,
                    uint32_t* values) override;
  long EnumKey(HKEY_T key, uint32_t index, char* name, uint32_t* nameLen) override;

 private:
  struct Value {
    uint32_t type = REG_NONE_T;
    std::vector<uint8_t> data;
  };
  struct Key {
    std::string name;                                     // as created (case kept)
    std::map<std::string, std::unique_ptr<Key>> subkeys;  // by upper-case name
    std::map<std::string, Value> values;                  // by upper-case name
    std::map<std::string, std::string> valueNames;        // upper -> as written
  };
  struct Handle {
    std::string path;  // canonical upper-case path
    uint32_t access;
  };
  // A write to the machine-wide root that the user's token does not allow.
  bool MachineWideRefused(const std::string& canonicalPath) const;
  Key* Find(const std::string& canonicalPath) const;
  Key* Make(const std::string& path);
  std::string Resolve(HKEY_T parent, const std::string& sub) const;
  static std::string Canon(const std::string& path);
  static std::string Collapse(const std::string& path);
  static std::string Upper(std::string s);

  std::map<std::string, std::unique_ptr<Key>> roots_;
  std::map<HKEY_T, Handle> handles_;
  HKEY_T nextHandle_ = 0x100;
};
