// The registry: a low-level interface shaped like the Win32 calls (a Win32 and
// an in-memory implementation), and TRegistry, the class the program uses.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "platform/WinConstants.h"  // roots, value types, access rights, results

class IRegistryApi {
 public:
  virtual ~IRegistryApi() = default;
  virtual long OpenKey(HKEY_T parent, const std::string& subKey, uint32_t access,
                       HKEY_T* result) = 0;
  virtual long CreateKey(HKEY_T parent, const std::string& subKey, uint32_t access,
                         HKEY_T* result) = 0;
  virtual long CloseKey(HKEY_T key) = 0;
  // Like RegQueryValueExA: data may be null to ask only for type and size.
  virtual long QueryValue(HKEY_T key, const std::string& name, uint32_t* type, uint8_t* data,
                          uint32_t* size) = 0;
  virtual long SetValue(HKEY_T key, const std::string& name, uint32_t type, const uint8_t* data,
                        uint32_t size) = 0;
  virtual long DeleteValue(HKEY_T key, const std::string& name) = 0;
  virtual long QueryInfoKey(HKEY_T key, uint32_t* subKeys, uint32_t* maxSubKeyLen,
                            uint32_t* values) = 0;
  // Like RegEnumKeyExA: nameLen in characters, without the terminator on return.
  virtual long EnumKey(HKEY_T key, uint32_t index, char* name, uint32_t* nameLen) = 0;
};

struct TRegDataInfo {
  uint32_t type = REG_NONE_T;
  uint32_t size = 0;
};

// Opens one key at a time under RootKey. Read and write errors throw
// ERegistryException with the program's texts ("Invalid data type for '%s'",
// "Failed to set data for '%s'", "Failed to create key %s").
class TRegistry {
 public:
  explicit TRegistry(IRegistryApi& api, uint32_t access = KEY_ALL_ACCESS_T);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY_T RootKey() const { return root_; }
  void SetRootKey(HKEY_T root);
  uint32_t Access() const { return access_; }
  void SetAccess(uint32_t access) { access_ = access; }
  HKEY_T CurrentKey() const { return current_; }

  // A key path relative to the current key (or the root when none is open);
  // a leading backslash makes it relative to the root.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  void CloseKey();
  bool KeyExists(const std::string& key);  // opens read-only, as a test
  bool CreateKey(const std::string& key);  // throws "Failed to create key %s"
  bool ValueExists(const std::string& name);
  bool GetDataInfo(const std::string& name, TRegDataInfo& info);
  bool DeleteValue(const std::string& name);
  bool HasSubKeys();
  std::vector<std::string> GetKeyNames();

  int ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name);
  std::string ReadString(const std::string& name);
  void WriteInteger(const std::string& name, int value);
  void WriteBool(const std::string& name, bool value);
  void WriteString(const std::string& name, const std::string& value);
  void WriteExpandString(const std::string& name, const std::string& value);

 private:
  HKEY_T BaseFor(const std::string& key, std::string& relative) const;
  void PutData(const std::string& name, uint32_t type, const uint8_t* data, uint32_t size);

  IRegistryApi& api_;
  uint32_t access_;
  HKEY_T root_ = HKEY_CURRENT_USER_T;
  HKEY_T current_ = 0;
  std::string currentPath_;
};
