// Where the settings live in the registry and how each value is encoded:
// HKEY_CURRENT_USER\SOFTWARE\Quindle for the settings, and the Run value that
// starts the program with Windows (machine-wide where the user may write it,
// else the current user's).
#pragma once
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include "platform/Registry.h"
#include "settings/StoredNames.h"

// Reads the settings key value by value. Integers and booleans are REG_DWORD
// (any non-zero reads as true), texts REG_SZ or REG_EXPAND_SZ taken as they
// stand. A missing value reads as nothing; a value of another type is handed
// to `report` and also reads as nothing, so that the values after it are
// still read.
class TSettingsReader {
 public:
  using TReport = std::function<void(const std::exception&)>;
  TSettingsReader(IRegistryApi& api, TReport report);

  // Opens SOFTWARE\Quindle without creating anything; false when it is missing.
  bool Open();
  std::optional<int> Integer(const std::string& name);
  std::optional<bool> Boolean(const std::string& name);
  std::optional<std::string> Text(const std::string& name);
  // How many values of the wrong type were met so far.
  int TypeErrors() const { return typeErrors_; }

 private:
  template <class T, class Read>
  std::optional<T> Get(const std::string& name, Read read);

  TRegistry reg_;
  TReport report_;
  bool open_ = false;
  int typeErrors_ = 0;
};

// Writes the settings key, creating it when it is missing. Every failure
// throws ERegistryException with the registry's message.
class TSettingsWriter {
 public:
  // A settings key that cannot be opened for writing (or SOFTWARE missing):
  // the settings' save throws "Failed to create key SOFTWARE\Quindle", the
  // window's position is simply not written. A key that cannot be created
  // throws "Failed to create key Quindle" either way.
  enum TClosedKey { kThrowWhenClosed, kSkipWhenClosed };
  explicit TSettingsWriter(IRegistryApi& api, TClosedKey closed = kThrowWhenClosed);
  // False only when kSkipWhenClosed met a key it could not open: every
  // write and removal is then skipped.
  bool IsOpen() const { return open_; }
  void Integer(const std::string& name, int value) {
    if (open_) reg_.WriteInteger(name, value);
  }
  void Boolean(const std::string& name, bool value) {
    if (open_) reg_.WriteBool(name, value);
  }
  void Text(const std::string& name, const std::string& value) {
    if (open_) reg_.WriteString(name, value);
  }
  // Deletes a value when it is there; throws when it stays behind.
  void Remove(const std::string& name);

 private:
  TRegistry reg_;
  bool open_ = false;
};

// The Run value's text for the program: its path, in double quotes when it
// holds a space.
std::string RunCommand(const std::string& programPath);
// True when a Run value's text names the program, quoted or not.
bool RunValueNames(const std::string& value, const std::string& programPath);
// True when the machine-wide or the current user's Run value names the
// program; a missing value, or one of another type, names nothing. Only reads.
bool RunValueNamesProgram(IRegistryApi& api, const std::string& programPath);
// Brings the Run values in line with "Start with Windows" being on (nothing
// is done when it is off). Where the machine-wide Run key can be written,
// the value there is written (as RunCommand) when it is missing, names
// another path, or names this one without the quotes it needs. Where the
// key or the write is refused, as for a normal user, a machine-wide value
// that names the program is left as it is, and otherwise the value goes to
// the current user's Run key. Either way a current user's value that names
// the program beside a machine-wide one is removed: the program would start
// twice. Throws "Failed to set data for 'Quindle'" when the current user's
// value is needed and cannot be written or removed.
void UpdateRunValue(IRegistryApi& api, const std::string& programPath, bool startWithWindows);
// What the removal of the Run values left behind.
enum class TRunRemoval {
  kNothingLeft,      // no Run value names the program any more
  kMachineWideKept,  // a machine-wide one does, which the user may not remove
};
// Removes each Run value, machine-wide or the current user's, that names the
// program; one that names another path (another installation's) stays.
// Throws "Failed to set data for 'Quindle'" when the current user's value
// stays behind.
TRunRemoval RemoveRunValue(IRegistryApi& api, const std::string& programPath);
