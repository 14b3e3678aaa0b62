// The simulated service's phone book: an INI-like text file of entries, each
// with its stored credentials and the script its dials follow (states with
// delays, a failure, a drop, addresses), connections other programs make,
// and the service's own settings (the wording of its error texts). The
// format is in docs/phonebook.md.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A phone book that cannot be read or understood; the message names the file
// and the line.
class ESimPhoneBookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TSimScriptStep {
  uint32_t state = 0;    // the RAS connection state reported
  uint32_t delayMs = 0;  // time from the previous step (or the dial) to this one
};

struct TSimEntry {
  std::string name;
  std::string phoneNumber;
  std::string userName;
  std::optional<std::string> password;  // absent: no password saved
  std::string domain;
  std::string deviceType = "modem";
  std::string deviceName = "Quindle Simulated Modem";
  std::vector<TSimScriptStep> script;  // always ends with the connected state
  uint32_t failCode = 0;               // 0: the dial goes through
  uint32_t failAt = 0;                 // state at which failCode is reported
  uint32_t failCount = 0;              // 0: every dial fails; else the first N
  uint32_t failEvery = 0;              // else only every Nth dial fails
  uint32_t immediateError = 0;         // returned by the dial call itself
  uint32_t dropAfterSec = 0;           // 0: the line stays up
  uint32_t hangUpDelayMs = 0;          // hang-up to handle gone
  std::string clientIP = "10.0.0.2";
  std::string serverIP = "10.0.0.1";
  // Another program's connection: never dialled through the service, not
  // among its entries, listed by itself from the start (before the dialled
  // ones), up for upForSec (0: for good), then away for downForSec (0: for
  // good) and up again, in turns.
  bool foreign = false;
  uint32_t upForSec = 0;
  uint32_t downForSec = 0;
};

// The wording of the service's error texts.
enum class TSimErrorTexts {
  Classic,    // the short texts of the early 32-bit versions
  Windows10,  // the texts of Windows 7, 10 and 11, some longer than 100 bytes
};

// Settings of the service itself: the keys before the first entry.
struct TSimServiceSettings {
  TSimErrorTexts errorTexts = TSimErrorTexts::Classic;
  std::map<uint32_t, std::string> textOverrides;  // ErrorText<code>: the text for that code
};

// The longest error text a phone book may give: Windows documents a buffer
// of 512 characters as always enough, terminator included.
constexpr size_t kSimMaxErrorText = 511;

class TSimPhoneBook {
 public:
  TSimPhoneBook() = default;
  // Parses `input`; `source` names it in error messages.
  static TSimPhoneBook Parse(const std::string& input, const std::string& source);
  // Reads a file: a missing file is an empty phone book, any other fault an error.
  static TSimPhoneBook Load(const std::string& path);

  // Every entry in the file's order, other programs' connections included.
  const std::vector<TSimEntry>& Entries() const { return entries_; }
  const TSimServiceSettings& Service() const { return service_; }
  // Case-insensitive, as the service compares entry names; other programs'
  // connections are not found.
  const TSimEntry* Find(const std::string& name) const;

  // Stores a user name and a password (none: the saved password is removed).
  // Values holding a line break or a NUL, or longer than their field (a user
  // name UNLEN, a password PWLEN characters), cannot be stored: returns false.
  bool SetCredentials(const std::string& entry, const std::string& userName,
                      const std::optional<std::string>& password);
  // The file's text with the changes made, comments and layout kept.
  std::string Text() const;
  // Writes Text() to `path` through a temporary file; false on failure.
  bool Save(const std::string& path) const;

 private:
  struct TEntryLines {
    size_t header = 0;   // index of the [name] line
    long userName = -1;  // index of its UserName line, or -1
    long password = -1;  // index of its Password line, or -1
  };

  std::vector<TSimEntry> entries_;
  TSimServiceSettings service_;
  std::vector<TEntryLines> where_;
  std::vector<std::string> lines_;
  bool crlf_ = false;
};
