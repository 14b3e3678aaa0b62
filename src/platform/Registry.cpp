#include "platform/Registry.h"

#include <cstring>

#include "platform/Errors.h"

TRegistry::TRegistry(IRegistryApi& api, uint32_t access) : api_(api), access_(access) {}

TRegistry::~TRegistry() {
  CloseKey();
}

void TRegistry::SetRootKey(HKEY_T root) {
  if (root_ == root) return;
  CloseKey();
  root_ = root;
}

HKEY_T TRegistry::BaseFor(const std::string& key, std::string& relative) const {
  // A leading backslash means "from the root"; otherwise from the open key.
  if (!key.empty() && key[0] == '\\') {
    relative = key.substr(1);
    return root_;
  }
  relative = key;
  return current_ ? current_ : root_;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  std::string rel;
  HKEY_T base = BaseFor(key, rel);
  HKEY_T opened = 0;
  long rc = canCreate ? api_.CreateKey(base, rel, access_, &opened)
                      : api_.OpenKey(base, rel, access_, &opened);
  if (rc != ERROR_SUCCESS_T) return false;
  if (current_ && base == current_) {
    currentPath_ += "\\" + rel;
  } else {
    currentPath_ = rel;
  }
  CloseKey();
  current_ = opened;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  uint32_t saved = access_;
  access_ = KEY_READ_T;
  bool ok = OpenKey(key, false);
  access_ = saved;
  return ok;
}

void TRegistry::CloseKey() {
  if (current_) {
    api_.CloseKey(current_);
    current_ = 0;
    currentPath_.clear();
  }
}

bool TRegistry::KeyExists(const std::string& key) {
  std::string rel;
  HKEY_T base = BaseFor(key, rel);
  HKEY_T probe = 0;
  if (api_.OpenKey(base, rel, KEY_READ_T, &probe) != ERROR_SUCCESS_T) return false;
  api_.CloseKey(probe);
  return true;
}

bool TRegistry::CreateKey(const std::string& key) {
  std::string rel;
  HKEY_T base = BaseFor(key, rel);
  HKEY_T made = 0;
  if (api_.CreateKey(base, rel, access_, &made) != ERROR_SUCCESS_T)
    throw ERegistryException(FormatMessage1("Failed to create key %s", key));
  api_.CloseKey(made);
  return true;
}

bool TRegistry::GetDataInfo(const std::string& name, TRegDataInfo& info) {
  info = {};
  if (!current_) return false;
  uint32_t type = 0, size = 0;
  if (api_.QueryValue(current_, name, &type, nullptr, &size) != ERROR_SUCCESS_T) return false;
  info.type = type;
  info.size = size;
  return true;
}

bool TRegistry::ValueExists(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info);
}

bool TRegistry::DeleteValue(const std::string& name) {
  return current_ && api_.DeleteValue(current_, name) == ERROR_SUCCESS_T;
}

bool TRegistry::HasSubKeys() {
  uint32_t subKeys = 0, maxLen = 0, values = 0;
  return current_ && api_.QueryInfoKey(current_, &subKeys, &maxLen, &values) == ERROR_SUCCESS_T &&
         subKeys > 0;
}

std::vector<std::string> TRegistry::GetKeyNames() {
  std::vector<std::string> names;
  uint32_t subKeys = 0, maxLen = 0, values = 0;
  if (!current_ || api_.QueryInfoKey(current_, &subKeys, &maxLen, &values) != ERROR_SUCCESS_T)
    return names;
  std::vector<char> buf(maxLen + 1);
  for (uint32_t i = 0; i < subKeys; ++i) {
    uint32_t len = static_cast<uint32_t>(buf.size());
    if (api_.EnumKey(current_, i, buf.data(), &len) == ERROR_SUCCESS_T)
      names.emplace_back(buf.data(), len);
  }
  return names;
}

int TRegistry::ReadInteger(const std::string& name) {
  uint32_t type = 0, value = 0, size = sizeof value;
  long rc = current_
                ? api_.QueryValue(current_, name, &type, reinterpret_cast<uint8_t*>(&value), &size)
                : ERROR_FILE_NOT_FOUND_T;
  if (rc == ERROR_SUCCESS_T && type == REG_DWORD_T && size == sizeof value)
    return static_cast<int>(value);
  if (rc == ERROR_FILE_NOT_FOUND_T) return 0;
  throw ERegistryException(FormatMessage1("Invalid data type for '%s'", name));
}

bool TRegistry::ReadBool(const std::string& name) {
  return ReadInteger(name) != 0;
}

std::string TRegistry::ReadString(const std::string& name) {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) return std::string();
  if (info.type != REG_SZ_T && info.type != REG_EXPAND_SZ_T)
    throw ERegistryException(FormatMessage1("Invalid data type for '%s'", name));
  if (info.size == 0) return std::string();
  std::vector<uint8_t> buf(info.size + 1, 0);
  uint32_t type = 0, size = info.size;
  if (api_.QueryValue(current_, name, &type, buf.data(), &size) != ERROR_SUCCESS_T ||
      (type != REG_SZ_T && type != REG_EXPAND_SZ_T))
    throw ERegistryException(FormatMessage1("Invalid data type for '%s'", name));
  // Taken as it stands, cut at the first NUL.
  const char* s = reinterpret_cast<const char*>(buf.data());
  return std::string(s, strnlen(s, size));
}

void TRegistry::PutData(const std::string& name, uint32_t type, const uint8_t* data,
                        uint32_t size) {
  if (!current_ || api_.SetValue(current_, name, type, data, size) != ERROR_SUCCESS_T)
    throw ERegistryException(FormatMessage1("Failed to set data for '%s'", name));
}

void TRegistry::WriteInteger(const std::string& name, int value) {
  uint32_t v = static_cast<uint32_t>(value);
  PutData(name, REG_DWORD_T, reinterpret_cast<const uint8_t*>(&v), sizeof v);
}

void TRegistry::WriteBool(const std::string& name, bool value) {
  WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  PutData(name, REG_SZ_T, reinterpret_cast<const uint8_t*>(value.c_str()),
          static_cast<uint32_t>(value.size() + 1));
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
  PutData(name, REG_EXPAND_SZ_T, reinterpret_cast<const uint8_t*>(value.c_str()),
          static_cast<uint32_t>(value.size() + 1));
}
