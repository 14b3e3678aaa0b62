#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include "platform/win32/Win32LateBound.h"
#include "platform/win32/Win32LibraryLoader.h"

namespace {

// The predefined roots are 32-bit values that the platform sign-extends on
// 64-bit targets; HKEY_T keeps them as the plain 0x8000000x numbers.
HKEY ToHkey(HKEY_T key) {
  if (key >= HKEY_CLASSES_ROOT_T && key <= 0x800000FFu) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(key)));
  }
  return reinterpret_cast<HKEY>(key);
}

HKEY_T FromHkey(HKEY key) {
  return reinterpret_cast<HKEY_T>(key);
}

}  // namespace

long TWin32RegistryApi::OpenKey(HKEY_T parent, const std::string& subKey, uint32_t access,
                                HKEY_T* result) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(ToHkey(parent), subKey.c_str(), 0, access, &key);
  *result = rc == ERROR_SUCCESS ? FromHkey(key) : 0;
  return rc;
}

long TWin32RegistryApi::CreateKey(HKEY_T parent, const std::string& subKey, uint32_t access,
                                  HKEY_T* result) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(ToHkey(parent), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            access, nullptr, &key, nullptr);
  *result = rc == ERROR_SUCCESS ? FromHkey(key) : 0;
  return rc;
}

long TWin32RegistryApi::CloseKey(HKEY_T key) {
  return RegCloseKey(ToHkey(key));
}

long TWin32RegistryApi::QueryValue(HKEY_T key, const std::string& name, uint32_t* type,
                                   uint8_t* data, uint32_t* size) {
  DWORD t = 0;
  DWORD n = size ? *size : 0;
  LONG rc = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &t, data, size ? &n : nullptr);
  if (type) *type = t;
  if (size) *size = n;
  return rc;
}

long TWin32RegistryApi::SetValue(HKEY_T key, const std::string& name, uint32_t type,
                                 const uint8_t* data, uint32_t size) {
  return RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data, size);
}

long TWin32RegistryApi::DeleteValue(HKEY_T key, const std::string& name) {
  return RegDeleteValueA(ToHkey(key), name.c_str());
}

long TWin32RegistryApi::QueryInfoKey(HKEY_T key, uint32_t* subKeys, uint32_t* maxSubKeyLen,
                                     uint32_t* values) {
  DWORD s = 0, m = 0, v = 0;
  LONG rc = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &s, &m, nullptr, &v, nullptr,
                             nullptr, nullptr, nullptr);
  if (subKeys) *subKeys = s;
  if (maxSubKeyLen) *maxSubKeyLen = m;
  if (values) *values = v;
  return rc;
}

long TWin32RegistryApi::EnumKey(HKEY_T key, uint32_t index, char* name, uint32_t* nameLen) {
  DWORD n = *nameLen;
  LONG rc = RegEnumKeyExA(ToHkey(key), index, name, &n, nullptr, nullptr, nullptr, nullptr);
  *nameLen = n;
  return rc;
}

long TWin32RegistryApi::DeleteTree(HKEY_T parent, const std::string& subKey) {
  // Windows Vista on.
  static TWin32LibraryLoader loader;
  static const auto deleteTree =
      Bind(loader, GetModuleHandleA(LateBound::RegDeleteTreeA.library), LateBound::RegDeleteTreeA);
  if (deleteTree) return deleteTree(ToHkey(parent), subKey.c_str());
  return DeleteTreeKeyByKey(parent, subKey);
}

long TWin32RegistryApi::DeleteTreeKeyByKey(HKEY_T parent, const std::string& subKey) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(ToHkey(parent), subKey.c_str(), 0, KEY_READ | KEY_WRITE, &key);
  if (rc != ERROR_SUCCESS) return rc;
  char name[256];
  for (;;) {
    DWORD length = sizeof name;
    // Always the first: the one before it has just gone.
    rc = RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    rc = DeleteTreeKeyByKey(FromHkey(key), name);
    if (rc != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (rc != ERROR_NO_MORE_ITEMS) return rc;
  return RegDeleteKeyA(ToHkey(parent), subKey.c_str());
}
