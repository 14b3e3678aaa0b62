#include "settings/SettingsStore.h"

#include "platform/Errors.h"

// ---- TSettingsReader ----

TSettingsReader::TSettingsReader(IRegistryApi& api, TReport report)
    : reg_(api, KEY_ALL_ACCESS_T), report_(std::move(report)) {
  reg_.SetRootKey(HKEY_CURRENT_USER_T);
}

bool TSettingsReader::Open() {
  // Full access even for reading; only the test for the subkey is read-only.
  open_ = reg_.OpenKey(Stored::kSettingsParentKey, false) && reg_.KeyExists(Stored::kSettingsKey) &&
          reg_.OpenKey(Stored::kSettingsKey, false);
  if (!open_) reg_.CloseKey();
  return open_;
}

template <class T, class Read>
std::optional<T> TSettingsReader::Get(const std::string& name, Read read) {
  if (!open_ || !reg_.ValueExists(name)) return std::nullopt;
  try {
    return read(name);
  } catch (const ERegistryException& e) {
    ++typeErrors_;
    report_(e);
    return std::nullopt;
  }
}

std::optional<int> TSettingsReader::Integer(const std::string& name) {
  return Get<int>(name, [this](const std::string& n) { return reg_.ReadInteger(n); });
}

std::optional<bool> TSettingsReader::Boolean(const std::string& name) {
  return Get<bool>(name, [this](const std::string& n) { return reg_.ReadBool(n); });
}

std::optional<std::string> TSettingsReader::Text(const std::string& name) {
  return Get<std::string>(name, [this](const std::string& n) { return reg_.ReadString(n); });
}

// ---- TSettingsWriter ----

TSettingsWriter::TSettingsWriter(IRegistryApi& api, TClosedKey closed)
    : reg_(api, KEY_ALL_ACCESS_T) {
  reg_.SetRootKey(HKEY_CURRENT_USER_T);
  // SOFTWARE itself is never created: without it the settings have no home.
  open_ = reg_.OpenKey(Stored::kSettingsParentKey, false);
  if (open_) {
    if (!reg_.KeyExists(Stored::kSettingsKey)) reg_.CreateKey(Stored::kSettingsKey);
    open_ = reg_.OpenKey(Stored::kSettingsKey, true);
  }
  if (!open_ && closed == kThrowWhenClosed) {
    const std::string path = std::string(Stored::kSettingsParentKey) + "\\" + Stored::kSettingsKey;
    throw ERegistryException(FormatMessage1("Failed to create key %s", path));
  }
}

void TSettingsWriter::Remove(const std::string& name) {
  if (!open_) return;
  if (reg_.ValueExists(name) && !reg_.DeleteValue(name))
    throw ERegistryException(FormatMessage1("Failed to set data for '%s'", name));
}

// ---- the Run value ----

namespace {
[[noreturn]] void RunValueFailed() {
  throw ERegistryException(FormatMessage1("Failed to set data for '%s'", Stored::kRunValue));
}

// The Run value's text when it can be read, also where it cannot be written.
std::optional<std::string> ReadRunValue(IRegistryApi& api) {
  TRegistry reg(api, KEY_READ_T);
  reg.SetRootKey(HKEY_LOCAL_MACHINE_T);
  if (!reg.OpenKeyReadOnly(Stored::kRunKey) || !reg.ValueExists(Stored::kRunValue))
    return std::nullopt;
  try {
    return reg.ReadString(Stored::kRunValue);
  } catch (const ERegistryException&) {
    return std::string();  // present but unusable: it does not name the program
  }
}
}  // namespace

std::string RunCommand(const std::string& programPath) {
  // Unquoted, a path with a space would be tried cut at each space first
  // ("D:\My.exe" for "D:\My Tools\Quindle.exe") at every user's logon.
  if (programPath.find(' ') == std::string::npos) return programPath;
  return "\"" + programPath + "\"";
}

bool RunValueNames(const std::string& value, const std::string& programPath) {
  return value == programPath || value == "\"" + programPath + "\"";
}

bool RunValueNamesProgram(IRegistryApi& api, const std::string& programPath) {
  const std::optional<std::string> value = ReadRunValue(api);
  // A value of another type reads as empty text, which names no program.
  return value && !value->empty() && RunValueNames(*value, programPath);
}

void UpdateRunValue(IRegistryApi& api, const std::string& programPath, bool startWithWindows) {
  TRegistry reg(api, KEY_ALL_ACCESS_T);
  reg.SetRootKey(HKEY_LOCAL_MACHINE_T);
  if (!reg.OpenKey(Stored::kRunKey, false)) {
    // A user without the right to change the machine-wide key: fine as long
    // as the value there already names this program.
    if (startWithWindows) {
      std::optional<std::string> current = ReadRunValue(api);
      if (!current || !RunValueNames(*current, programPath)) RunValueFailed();
    }
    return;
  }
  if (!startWithWindows) return;
  const std::string command = RunCommand(programPath);
  if (reg.ValueExists(Stored::kRunValue)) {
    std::string current;
    try {
      current = reg.ReadString(Stored::kRunValue);
    } catch (const ERegistryException&) {
      current.clear();  // a value of another type is replaced by a proper one
    }
    // An old value without its quotes names the program too, and is
    // rewritten quoted.
    if (current == command) return;
  }
  reg.WriteString(Stored::kRunValue, command);
}

void RemoveRunValue(IRegistryApi& api) {
  TRegistry reg(api, KEY_ALL_ACCESS_T);
  reg.SetRootKey(HKEY_LOCAL_MACHINE_T);
  if (reg.OpenKey(Stored::kRunKey, false)) {
    if (reg.ValueExists(Stored::kRunValue) && !reg.DeleteValue(Stored::kRunValue)) RunValueFailed();
    return;
  }
  if (ReadRunValue(api)) RunValueFailed();
}
