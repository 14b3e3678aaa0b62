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

// The Run value's text under `root` when it can be read, also where it
// cannot be written; a value of another type reads as empty text.
std::optional<std::string> ReadRunValue(IRegistryApi& api, HKEY_T root) {
  TRegistry reg(api, KEY_READ_T);
  reg.SetRootKey(root);
  if (!reg.OpenKeyReadOnly(Stored::kRunKey) || !reg.ValueExists(Stored::kRunValue))
    return std::nullopt;
  try {
    return reg.ReadString(Stored::kRunValue);
  } catch (const ERegistryException&) {
    return std::string();  // present but unusable: it does not name the program
  }
}

bool NamesProgram(const std::optional<std::string>& value, const std::string& programPath) {
  return value && !value->empty() && RunValueNames(*value, programPath);
}

// Writes `command` under `root` unless it is there already. False when the
// key cannot be opened for writing or the write is refused.
bool WriteRunValue(IRegistryApi& api, HKEY_T root, const std::string& command, bool canCreate) {
  TRegistry reg(api, KEY_ALL_ACCESS_T);
  reg.SetRootKey(root);
  if (!reg.OpenKey(Stored::kRunKey, canCreate)) return false;
  // An old value without its quotes, or one of another type, is rewritten.
  if (ReadRunValue(api, root) == command) return true;
  try {
    reg.WriteString(Stored::kRunValue, command);
  } catch (const ERegistryException&) {
    return false;
  }
  return true;
}

// Deletes the value under `root` when it names the program. False when it
// names the program and stays behind.
bool RemoveIfNamesProgram(IRegistryApi& api, HKEY_T root, const std::string& programPath) {
  if (!NamesProgram(ReadRunValue(api, root), programPath)) return true;
  TRegistry reg(api, KEY_ALL_ACCESS_T);
  reg.SetRootKey(root);
  return reg.OpenKey(Stored::kRunKey, false) && reg.DeleteValue(Stored::kRunValue);
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
  return NamesProgram(ReadRunValue(api, HKEY_LOCAL_MACHINE_T), programPath) ||
         NamesProgram(ReadRunValue(api, HKEY_CURRENT_USER_T), programPath);
}

void UpdateRunValue(IRegistryApi& api, const std::string& programPath, bool startWithWindows) {
  if (!startWithWindows) return;
  const std::string command = RunCommand(programPath);
  // Whether the machine-wide key may be written is what Windows answers to
  // the open and the write: a normal user's token is refused both.
  const bool machineWide = WriteRunValue(api, HKEY_LOCAL_MACHINE_T, command, false) ||
                           NamesProgram(ReadRunValue(api, HKEY_LOCAL_MACHINE_T), programPath);
  if (machineWide) {
    if (!RemoveIfNamesProgram(api, HKEY_CURRENT_USER_T, programPath)) RunValueFailed();
    return;
  }
  // The current user's Run key starts the program at this user's logon only,
  // which is all a normal user may ask for.
  if (!WriteRunValue(api, HKEY_CURRENT_USER_T, command, true)) RunValueFailed();
}

TRunRemoval RemoveRunValue(IRegistryApi& api, const std::string& programPath) {
  if (!RemoveIfNamesProgram(api, HKEY_CURRENT_USER_T, programPath)) RunValueFailed();
  return RemoveIfNamesProgram(api, HKEY_LOCAL_MACHINE_T, programPath)
             ? TRunRemoval::kNothingLeft
             : TRunRemoval::kMachineWideKept;
}
