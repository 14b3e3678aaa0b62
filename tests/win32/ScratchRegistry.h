// The real registry with the program's places moved into a scratch key, for
// the suites that run the program's forms over the real registry.
#pragma once
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/Win32Registry.h"
#include "toolkit/win32/Win32Api.h"

inline bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1,
                                                b.c_str(), -1) == CSTR_EQUAL;
}

// The real registry with the program's places moved into a scratch key:
// HKCU\SOFTWARE is HKCU\SOFTWARE\<scratch>, the machine-wide Run key is
// <scratch>\Run and the current user's <scratch>\UserRun, so that a test
// never touches a real user's settings.
class TScratchRegistry : public IRegistryApi {
 public:
  TScratchRegistry() {
    std::random_device random;
    base = "SOFTWARE\\QuindleSettingsTest" + std::to_string(random());
    for (const std::string& key : {base, base + "\\Run"}) {
      HKEY_T h = 0;
      real.CreateKey(HKEY_CURRENT_USER_T, key, KEY_ALL_ACCESS_T, &h);
      real.CloseKey(h);
    }
  }
  ~TScratchRegistry() override { real.DeleteTree(HKEY_CURRENT_USER_T, base); }

  long OpenKey(HKEY_T parent, const std::string& subKey, uint32_t access, HKEY_T* result) override {
    Map(parent, subKey);
    return real.OpenKey(mappedParent_, mapped_, access, result);
  }
  long CreateKey(HKEY_T parent, const std::string& subKey, uint32_t access,
                 HKEY_T* result) override {
    Map(parent, subKey);
    return real.CreateKey(mappedParent_, mapped_, access, result);
  }
  long CloseKey(HKEY_T key) override { return real.CloseKey(key); }
  long QueryValue(HKEY_T key, const std::string& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override {
    return real.QueryValue(key, name, type, data, size);
  }
  long SetValue(HKEY_T key, const std::string& name, uint32_t type, const uint8_t* data,
                uint32_t size) override {
    return real.SetValue(key, name, type, data, size);
  }
  long DeleteValue(HKEY_T key, const std::string& name) override {
    return real.DeleteValue(key, name);
  }
  long QueryInfoKey(HKEY_T key, uint32_t* subKeys, uint32_t* maxSubKeyLen,
                    uint32_t* values) override {
    return real.QueryInfoKey(key, subKeys, maxSubKeyLen, values);
  }
  long EnumKey(HKEY_T key, uint32_t index, char* name, uint32_t* nameLen) override {
    return real.EnumKey(key, index, name, nameLen);
  }

  // ---- set-up and inspection of the scratch key ----
  std::string SettingsKey() const { return base + "\\Quindle"; }
  std::string RunKey() const { return base + "\\Run"; }
  std::string UserRunKey() const { return base + "\\UserRun"; }
  // Lets everyone read the stand-in for the machine-wide Run key, and delete
  // it, but not change its values: the key as a normal user meets the real
  // one. Refusals come from the registry's own access check.
  void RefuseWritesToRunKey() {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, RunKey().c_str(), 0, WRITE_DAC, &key),
              ERROR_SUCCESS);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    alignas(DWORD) unsigned char aclBuffer[256];
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    SECURITY_DESCRIPTOR sd;
    const bool made = InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION) &&
                      AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | DELETE, everyone) &&
                      InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
                      SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    const LONG rc = made ? RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd) : -1;
    FreeSid(everyone);
    RegCloseKey(key);
    ASSERT_EQ(rc, ERROR_SUCCESS);
  }
  void Put(const std::string& key, const std::string& name, uint32_t type,
           const std::vector<uint8_t>& data) {
    HKEY_T h = 0;
    ASSERT_EQ(real.CreateKey(HKEY_CURRENT_USER_T, key, KEY_ALL_ACCESS_T, &h), ERROR_SUCCESS_T);
    real.SetValue(h, name, type, data.data(), static_cast<uint32_t>(data.size()));
    real.CloseKey(h);
  }
  void PutText(const std::string& name, const std::string& text, uint32_t type = REG_SZ_T) {
    std::vector<uint8_t> d(text.begin(), text.end());
    d.push_back(0);
    Put(SettingsKey(), name, type, d);
  }
  void PutDword(const std::string& name, uint32_t v) {
    Put(SettingsKey(), name, REG_DWORD_T,
        {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  }
  // The type and bytes of a value; type REG_NONE when it is missing.
  std::pair<uint32_t, std::vector<uint8_t>> Get(const std::string& key, const std::string& name) {
    HKEY_T h = 0;
    if (real.OpenKey(HKEY_CURRENT_USER_T, key, KEY_READ_T, &h) != ERROR_SUCCESS_T) return {};
    uint32_t type = REG_NONE_T, size = 0;
    std::vector<uint8_t> data;
    if (real.QueryValue(h, name, &type, nullptr, &size) == ERROR_SUCCESS_T) {
      data.resize(size);
      real.QueryValue(h, name, &type, data.data(), &size);
    } else {
      type = REG_NONE_T;
    }
    real.CloseKey(h);
    return {type, data};
  }
  uint32_t Dword(const std::string& name) {
    auto [type, d] = Get(SettingsKey(), name);
    return type == REG_DWORD_T && d.size() == 4
               ? d[0] | d[1] << 8 | d[2] << 16 | uint32_t(d[3]) << 24
               : 0xDEADBEEF;
  }
  static std::string AsText(const std::vector<uint8_t>& d) {
    // Up to the first NUL, where the stored string ends.
    return std::string(d.begin(), d.end()).c_str();  // NOLINT(readability-redundant-string-cstr)
  }

  TWin32RegistryApi real;
  std::string base;

 private:
  void Map(HKEY_T parent, const std::string& sub) {
    mappedParent_ = parent;
    mapped_ = sub;
    if (parent == HKEY_CURRENT_USER_T && SameName(sub, "SOFTWARE")) {
      mapped_ = base;
    } else if (SameName(sub, "Software\\Microsoft\\Windows\\CurrentVersion\\Run")) {
      if (parent == HKEY_LOCAL_MACHINE_T) mapped_ = base + "\\Run";
      if (parent == HKEY_CURRENT_USER_T) mapped_ = base + "\\UserRun";
      mappedParent_ = HKEY_CURRENT_USER_T;
    }
  }
  HKEY_T mappedParent_ = 0;
  std::string mapped_;
};
