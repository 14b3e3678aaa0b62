// The registry seam over the Windows registry functions (RegOpenKeyExA and
// friends). Handles pass through as HKEY_T; the predefined roots are mapped to
// the platform's sign-extended values on 64-bit.
#pragma once
#include "platform/Registry.h"

class TWin32RegistryApi : public IRegistryApi {
 public:
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

  // Removes a key with everything below it (RegDeleteTreeA). The program
  // never deletes keys; the Windows test suites use it to clear their scratch keys.
  long DeleteTree(HKEY_T parent, const std::string& subKey);
  // The same without RegDeleteTreeA, which systems before Vista lack: each
  // subkey first, as RegDeleteKeyA removes only a key without subkeys.
  long DeleteTreeKeyByKey(HKEY_T parent, const std::string& subKey);
};
