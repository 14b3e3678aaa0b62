#include "platform/memory/MemoryRegistry.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {
std::string RootName(HKEY_T root) {
  switch (root) {
    case HKEY_CLASSES_ROOT_T:
      return "HKCR";
    case HKEY_CURRENT_USER_T:
      return "HKCU";
    case HKEY_LOCAL_MACHINE_T:
      return "HKLM";
    case HKEY_USERS_T:
      return "HKU";
    case HKEY_DYN_DATA_T:
      return "HKDD";
    default:
      return std::string();
  }
}

// The rights that change a key: set or delete a value, make a subkey or a
// link, delete the key, change its security.
constexpr uint32_t kChangingRights = 0x2 | 0x4 | 0x20 | 0x10000 | 0x40000 | 0x80000;
bool Changes(uint32_t access) {
  return (access & kChangingRights) != 0;
}
}  // namespace

bool TMemoryRegistry::MachineWideRefused(const std::string& canonicalPath) const {
  return !administrator && canonicalPath.compare(0, 4, "HKLM") == 0 &&
         (canonicalPath.size() == 4 || canonicalPath[4] == '\\');
}

TMemoryRegistry::TMemoryRegistry() = default;
TMemoryRegistry::~TMemoryRegistry() = default;

std::string TMemoryRegistry::Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string TMemoryRegistry::Canon(const std::string& path) {
  return Upper(Collapse(path));
}

std::string TMemoryRegistry::Collapse(const std::string& path) {
  // Single backslashes, none at either end.
  std::string out;
  for (char c : path) {
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

std::string TMemoryRegistry::Resolve(HKEY_T parent, const std::string& sub) const {
  std::string base = RootName(parent);
  if (base.empty()) {
    auto it = handles_.find(parent);
    if (it == handles_.end()) return std::string();
    base = it->second.path;
  }
  return Canon(sub.empty() ? base : base + "\\" + sub);
}

TMemoryRegistry::Key* TMemoryRegistry::Find(const std::string& canonicalPath) const {
  size_t pos = canonicalPath.find('\\');
  std::string root = canonicalPath.substr(0, pos);
  auto r = roots_.find(root);
  if (r == roots_.end()) {
    // Roots always exist.
    return pos == std::string::npos && !root.empty()
               ? const_cast<TMemoryRegistry*>(this)->Make(root)
               : nullptr;
  }
  Key* k = r->second.get();
  while (pos != std::string::npos) {
    size_t next = canonicalPath.find('\\', pos + 1);
    std::string part = canonicalPath.substr(
        pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
    auto it = k->subkeys.find(part);
    if (it == k->subkeys.end()) return nullptr;
    k = it->second.get();
    pos = next;
  }
  return k;
}

TMemoryRegistry::Key* TMemoryRegistry::Make(const std::string& path) {
  // Lookups ignore case; new keys keep the case they were given.
  const std::string canonicalPath = Canon(path);
  const std::string original = Collapse(path);
  size_t pos = canonicalPath.find('\\');
  std::string root = canonicalPath.substr(0, pos);
  auto& slot = roots_[root];
  if (!slot) {
    slot = std::make_unique<Key>();
    slot->name = root;
  }
  Key* k = slot.get();
  while (pos != std::string::npos) {
    size_t next = canonicalPath.find('\\', pos + 1);
    std::string part = canonicalPath.substr(
        pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
    auto& child = k->subkeys[part];
    if (!child) {
      child = std::make_unique<Key>();
      child->name =
          original.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
    }
    k = child.get();
    pos = next;
  }
  return k;
}

long TMemoryRegistry::OpenKey(HKEY_T parent, const std::string& subKey, uint32_t access,
                              HKEY_T* result) {
  std::string path = Resolve(parent, subKey);
  log.push_back("Open " + path + " access=" + std::to_string(access));
  if (path.empty() || !Find(path)) return ERROR_FILE_NOT_FOUND_T;
  if ((deniedKeys.count(path) || MachineWideRefused(path)) && Changes(access))
    return ERROR_ACCESS_DENIED_T;
  HKEY_T h = nextHandle_++;
  handles_[h] = {path, access};
  *result = h;
  return ERROR_SUCCESS_T;
}

long TMemoryRegistry::CreateKey(HKEY_T parent, const std::string& subKey, uint32_t access,
                                HKEY_T* result) {
  std::string path = Resolve(parent, subKey);
  log.push_back("Create " + path + " access=" + std::to_string(access));
  if (path.empty()) return ERROR_FILE_NOT_FOUND_T;
  if (!Find(path)) {
    if (uncreatableKeys.count(path) || deniedKeys.count(path) || refuseAllWrites ||
        MachineWideRefused(path))
      return ERROR_ACCESS_DENIED_T;
    const auto it = handles_.find(parent);
    Make(it == handles_.end() ? RootName(parent) + "\\" + subKey : it->second.path + "\\" + subKey);
  } else if (deniedKeys.count(path) || (MachineWideRefused(path) && Changes(access))) {
    // An existing key is opened with the rights asked for, as by OpenKey.
    return ERROR_ACCESS_DENIED_T;
  }
  HKEY_T h = nextHandle_++;
  handles_[h] = {path, access};
  *result = h;
  return ERROR_SUCCESS_T;
}

long TMemoryRegistry::CloseKey(HKEY_T key) {
  return handles_.erase(key) ? ERROR_SUCCESS_T : 6 /* ERROR_INVALID_HANDLE */;
}

long TMemoryRegistry::QueryValue(HKEY_T key, const std::string& name, uint32_t* type, uint8_t* data,
                                 uint32_t* size) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return 6;
  Key* k = Find(h->second.path);
  if (!k) return ERROR_FILE_NOT_FOUND_T;
  auto it = k->values.find(Upper(name));
  if (it == k->values.end()) return ERROR_FILE_NOT_FOUND_T;
  const Value& v = it->second;
  if (type) *type = v.type;
  uint32_t need = static_cast<uint32_t>(v.data.size());
  if (data) {
    if (!size || *size < need) {
      if (size) *size = need;
      return ERROR_MORE_DATA_T;
    }
    if (need) std::memcpy(data, v.data.data(), need);
  }
  if (size) *size = need;
  return ERROR_SUCCESS_T;
}

long TMemoryRegistry::SetValue(HKEY_T key, const std::string& name, uint32_t type,
                               const uint8_t* data, uint32_t size) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return 6;
  const std::string& path = h->second.path;
  log.push_back("Set " + path + "|" + name);
  if (refuseAllWrites || deniedKeys.count(path) || MachineWideRefused(path) ||
      readOnlyValues.count(path + "|" + Upper(name)) ||
      !(h->second.access & 0x2 /* KEY_SET_VALUE */))
    return ERROR_ACCESS_DENIED_T;
  Key* k = Find(path);
  if (!k) return ERROR_FILE_NOT_FOUND_T;
  Value v;
  v.type = type;
  v.data.assign(data, data + size);
  k->values[Upper(name)] = std::move(v);
  k->valueNames[Upper(name)] = name;
  return ERROR_SUCCESS_T;
}

long TMemoryRegistry::DeleteValue(HKEY_T key, const std::string& name) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return 6;
  log.push_back("Delete " + h->second.path + "|" + name);
  // Like a set, a removal needs KEY_SET_VALUE on the handle.
  if (refuseAllWrites || deniedKeys.count(h->second.path) || MachineWideRefused(h->second.path) ||
      !(h->second.access & 0x2 /* KEY_SET_VALUE */))
    return ERROR_ACCESS_DENIED_T;
  Key* k = Find(h->second.path);
  if (!k || !k->values.erase(Upper(name))) return ERROR_FILE_NOT_FOUND_T;
  k->valueNames.erase(Upper(name));
  return ERROR_SUCCESS_T;
}

long TMemoryRegistry::QueryInfoKey(HKEY_T key, uint32_t* subKeys, uint32_t* maxSubKeyLen,
                                   uint32_t* values) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return 6;
  Key* k = Find(h->second.path);
  if (!k) return ERROR_FILE_NOT_FOUND_T;
  uint32_t maxLen = 0;
  for (auto& [n, c] : k->subkeys) maxLen = std::max<uint32_t>(maxLen, c->name.size());
  if (subKeys) *subKeys = static_cast<uint32_t>(k->subkeys.size());
  if (maxSubKeyLen) *maxSubKeyLen = maxLen;
  if (values) *values = static_cast<uint32_t>(k->values.size());
  return ERROR_SUCCESS_T;
}

long TMemoryRegistry::EnumKey(HKEY_T key, uint32_t index, char* name, uint32_t* nameLen) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return 6;
  Key* k = Find(h->second.path);
  if (!k) return ERROR_FILE_NOT_FOUND_T;
  if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS_T;
  // Subkeys in the order they were created would need more bookkeeping; the
  // registry itself lists them alphabetically, as this map does.
  auto it = k->subkeys.begin();
  std::advance(it, index);
  const std::string& n = it->second->name;
  if (*nameLen < n.size() + 1) {
    *nameLen = static_cast<uint32_t>(n.size() + 1);
    return ERROR_MORE_DATA_T;
  }
  std::memcpy(name, n.c_str(), n.size() + 1);
  *nameLen = static_cast<uint32_t>(n.size());
  return ERROR_SUCCESS_T;
}

void TMemoryRegistry::MakeKey(const std::string& keyPath) {
  Make(keyPath);
}

bool TMemoryRegistry::HasKey(const std::string& keyPath) const {
  return Find(Canon(keyPath)) != nullptr;
}

void TMemoryRegistry::PutRaw(const std::string& keyPath, const std::string& name, uint32_t type,
                             const std::vector<uint8_t>& data) {
  Key* k = Make(keyPath);
  k->values[Upper(name)] = Value{type, data};
  k->valueNames[Upper(name)] = name;
}

void TMemoryRegistry::PutDword(const std::string& keyPath, const std::string& name,
                               uint32_t value) {
  std::vector<uint8_t> d(4);
  std::memcpy(d.data(), &value, 4);
  PutRaw(keyPath, name, REG_DWORD_T, d);
}

void TMemoryRegistry::PutString(const std::string& keyPath, const std::string& name,
                                const std::string& value, uint32_t type) {
  std::vector<uint8_t> d(value.begin(), value.end());
  d.push_back(0);
  PutRaw(keyPath, name, type, d);
}

bool TMemoryRegistry::HasValue(const std::string& keyPath, const std::string& name) const {
  Key* k = Find(Canon(keyPath));
  return k && k->values.count(Upper(name));
}

uint32_t TMemoryRegistry::TypeOf(const std::string& keyPath, const std::string& name) const {
  Key* k = Find(Canon(keyPath));
  if (!k) return REG_NONE_T;
  auto it = k->values.find(Upper(name));
  return it == k->values.end() ? REG_NONE_T : it->second.type;
}

uint32_t TMemoryRegistry::Dword(const std::string& keyPath, const std::string& name) const {
  Key* k = Find(Canon(keyPath));
  if (!k) return 0;
  auto it = k->values.find(Upper(name));
  if (it == k->values.end() || it->second.data.size() < 4) return 0;
  uint32_t v;
  std::memcpy(&v, it->second.data.data(), 4);
  return v;
}

std::string TMemoryRegistry::String(const std::string& keyPath, const std::string& name) const {
  Key* k = Find(Canon(keyPath));
  if (!k) return std::string();
  auto it = k->values.find(Upper(name));
  if (it == k->values.end()) return std::string();
  const auto& d = it->second.data;
  std::string s(d.begin(), d.end());
  return s.substr(0, s.find('\0'));
}

std::vector<std::string> TMemoryRegistry::ValueNames(const std::string& keyPath) const {
  std::vector<std::string> out;
  Key* k = Find(Canon(keyPath));
  if (k)
    for (auto& [u, n] : k->valueNames) out.push_back(n);
  return out;
}
