#include "rassim/PhoneBook.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

#include "ras/RasTypes.h"

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool SameName(const std::string& a, const std::string& b) {
  return Lower(a) == Lower(b);
}

class TParser {
 public:
  explicit TParser(std::string source) : source_(std::move(source)) {}

  [[noreturn]] void Fail(size_t line, const std::string& what) const {
    throw ESimPhoneBookError(source_ + ":" + std::to_string(line + 1) + ": " + what);
  }

  // A value as written: surrounding blanks dropped, or the inside of "...".
  std::string Unquote(size_t line, const std::string& raw) const {
    if (!raw.empty() && raw.front() == '"') {
      if (raw.size() < 2 || raw.back() != '"') Fail(line, "unterminated quoted value");
      return raw.substr(1, raw.size() - 2);
    }
    return raw;
  }

  uint32_t Number(size_t line, const std::string& key, const std::string& text,
                  uint32_t max = UINT32_MAX) const {
    std::string t = Trim(text);
    int base = 10;
    size_t start = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
      base = 16;
      start = 2;
    }
    if (start >= t.size()) Fail(line, key + ": '" + text + "' is not a number");
    uint64_t v = 0;
    for (size_t i = start; i < t.size(); ++i) {
      int d;
      char c = t[i];
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (base == 16 && c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (base == 16 && c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      else
        Fail(line, key + ": '" + text + "' is not a number");
      v = v * base + d;
      if (v > max)
        Fail(line, key + ": " + text + " is too large (at most " + std::to_string(max) + ")");
    }
    return static_cast<uint32_t>(v);
  }

  std::string Bounded(size_t line, const std::string& key, const std::string& v, size_t max) const {
    if (v.size() > max) Fail(line, key + " is longer than " + std::to_string(max) + " characters");
    return v;
  }

  std::string Address(size_t line, const std::string& key, const std::string& v) const {
    int parts = 0;
    std::stringstream ss(v);
    std::string part;
    while (std::getline(ss, part, '.')) {
      if (part.empty() || part.size() > 3 ||
          part.find_first_not_of("0123456789") != std::string::npos || std::stoi(part) > 255)
        Fail(line, key + ": '" + v + "' is not an address like 10.0.0.1");
      ++parts;
    }
    if (parts != 4 || v.back() == '.')
      Fail(line, key + ": '" + v + "' is not an address like 10.0.0.1");
    return v;
  }

  // A key of the service itself, before the first entry: the wording of the
  // error texts, or the text for one code.
  void ServiceKey(size_t line, const std::string& key, const std::string& value,
                  TSimServiceSettings& service) const {
    const std::string lower = Lower(key);
    if (lower == "errortexts") {
      const std::string v = Lower(value);
      if (v == "classic")
        service.errorTexts = TSimErrorTexts::Classic;
      else if (v == "windows10")
        service.errorTexts = TSimErrorTexts::Windows10;
      else
        Fail(line, "ErrorTexts: '" + value + "' is neither Classic nor Windows10");
      return;
    }
    const std::string prefix = "errortext";
    const std::string digits = lower.substr(std::min(prefix.size(), lower.size()));
    if (lower.compare(0, prefix.size(), prefix) == 0 && !digits.empty() &&
        digits.find_first_not_of("0123456789") == std::string::npos) {
      const uint32_t code = Number(line, key, digits);
      if (code == 0) Fail(line, key + ": 0 is no error code");
      if (value.empty()) Fail(line, key + " is empty");
      if (service.textOverrides.count(code))
        Fail(line, "the text for code " + std::to_string(code) + " is given twice");
      service.textOverrides[code] = Bounded(line, key, value, kSimMaxErrorText);
      return;
    }
    Fail(line,
         "a key=value line before the first [entry] must set the service (ErrorTexts, "
         "ErrorText<code>); '" +
             key + "' is not one of its keys");
  }

  std::vector<TSimScriptStep> Script(size_t line, const std::string& v) const {
    std::vector<TSimScriptStep> steps;
    std::stringstream ss(v);
    std::string item;
    while (std::getline(ss, item, ',')) {
      size_t colon = item.find(':');
      if (colon == std::string::npos) Fail(line, "Script: '" + Trim(item) + "' is not state:delay");
      TSimScriptStep s;
      s.state = Number(line, "Script state", item.substr(0, colon));
      s.delayMs = Number(line, "Script delay", item.substr(colon + 1), 24u * 3600u * 1000u);
      steps.push_back(s);
    }
    if (steps.empty()) Fail(line, "Script has no steps");
    for (size_t i = 0; i + 1 < steps.size(); ++i)
      if (steps[i].state == RASCS_Connected)
        Fail(line, "Script: the connected state (0x2000) may only come last");
    if (steps.back().state != RASCS_Connected)
      Fail(line, "Script must end with the connected state (0x2000)");
    return steps;
  }

 private:
  std::string source_;
};

// The keys of a dial made through the service, which another program's
// connection cannot have.
constexpr const char* kDialKeys[] = {"PhoneNumber", "UserName",  "Password",      "Domain",
                                     "Script",      "FailCode",  "FailAt",        "FailCount",
                                     "FailEvery",   "DropAfter", "ImmediateError"};

std::vector<TSimScriptStep> DefaultScript() {
  return {{RASCS_OpenPort, 100},           {RASCS_PortOpened, 100},
          {RASCS_ConnectDevice, 1500},     {RASCS_DeviceConnected, 300},
          {RASCS_AllDevicesConnected, 50}, {RASCS_Authenticate, 100},
          {RASCS_AuthNotify, 400},         {RASCS_Authenticated, 100},
          {RASCS_Projected, 200},          {RASCS_Connected, 100}};
}

// A value the file can hold on its line and reading it back accepts.
bool Storable(const std::string& v, size_t max) {
  return v.size() <= max && v.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// Writes a value so that parsing gives it back unchanged.
std::string Quote(const std::string& v) {
  bool needs = !v.empty() && (v.front() == ' ' || v.front() == '\t' || v.back() == ' ' ||
                              v.back() == '\t' || v.front() == '"');
  return needs ? "\"" + v + "\"" : v;
}

}  // namespace

TSimPhoneBook TSimPhoneBook::Parse(const std::string& input, const std::string& source) {
  TParser p(source);
  TSimPhoneBook book;
  std::string text = input;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  book.crlf_ = text.find("\r\n") != std::string::npos;

  {
    std::string line;
    std::stringstream ss(text);
    while (std::getline(ss, line)) {
      // The CR of a CR LF. A file without any CR LF can end in a last line
      // with CRs but no LF: they are all line end, or writing the line back
      // with its LF would make a CR LF of them and a Windows file of the
      // whole at the next read.
      if (book.crlf_) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
      } else {
        while (!line.empty() && line.back() == '\r') line.pop_back();
      }
      book.lines_.push_back(line);
    }
  }

  struct TFlags {
    std::map<std::string, size_t> keys;  // lower-case key -> its line
    size_t failAtLine = 0, failCountLine = 0, failEveryLine = 0;
    bool hasFailAt = false, hasFailCount = false, hasFailEvery = false;
  };
  TFlags flags;
  auto finish = [&]() {
    if (book.entries_.empty()) return;
    TSimEntry& e = book.entries_.back();
    if (e.foreign) {
      // Another program dials it: nothing of a dial made through the service applies.
      for (const char* key : kDialKeys)
        if (auto it = flags.keys.find(Lower(key)); it != flags.keys.end())
          p.Fail(it->second,
                 std::string(key) + " does not apply to another program's connection (Foreign=1)");
      if (e.downForSec != 0 && e.upForSec == 0)
        p.Fail(flags.keys.at("downfor"), "DownFor needs UpFor");
    } else {
      for (const char* key : {"UpFor", "DownFor"})
        if (auto it = flags.keys.find(Lower(key)); it != flags.keys.end())
          p.Fail(it->second, std::string(key) + " needs Foreign=1");
    }
    if (e.script.empty()) e.script = DefaultScript();
    if (flags.hasFailAt && e.failCode == 0) p.Fail(flags.failAtLine, "FailAt needs FailCode");
    if (flags.hasFailCount && e.failCode == 0)
      p.Fail(flags.failCountLine, "FailCount needs FailCode");
    if (flags.hasFailEvery && e.failCode == 0)
      p.Fail(flags.failEveryLine, "FailEvery needs FailCode");
    if (flags.hasFailEvery && flags.hasFailCount)
      p.Fail(std::max(flags.failEveryLine, flags.failCountLine),
             "FailEvery and FailCount cannot both be given");
    if (e.failCode != 0) {
      if (!flags.hasFailAt)
        p.Fail(book.where_.back().header, "entry '" + e.name + "' has FailCode but no FailAt");
      bool inScript = std::any_of(e.script.begin(), e.script.end(),
                                  [&](const TSimScriptStep& s) { return s.state == e.failAt; });
      if (!inScript)
        p.Fail(flags.failAtLine,
               "FailAt: state " + std::to_string(e.failAt) + " is not in the entry's script");
    }
  };

  for (size_t i = 0; i < book.lines_.size(); ++i) {
    const std::string& raw = book.lines_[i];
    if (raw.find('\0') != std::string::npos) p.Fail(i, "the line holds a NUL byte");
    std::string line = Trim(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;

    if (line[0] == '[') {
      if (line.back() != ']') p.Fail(i, "an entry header needs a closing ']'");
      finish();
      std::string name = Trim(line.substr(1, line.size() - 2));
      if (name.empty()) p.Fail(i, "an entry needs a name");
      p.Bounded(i, "the entry name", name, RAS_MaxEntryName);
      for (const TSimEntry& e : book.entries_)
        if (SameName(e.name, name)) p.Fail(i, "entry '" + name + "' appears twice");
      TSimEntry e;
      e.name = name;
      book.entries_.push_back(e);
      book.where_.push_back({i, -1, -1});
      flags = TFlags{};
      continue;
    }

    size_t eq = line.find('=');
    if (eq == std::string::npos) p.Fail(i, "expected [entry name] or key=value");
    std::string key = Lower(Trim(line.substr(0, eq)));
    std::string value = p.Unquote(i, Trim(line.substr(eq + 1)));
    if (key.empty()) p.Fail(i, "a value without a key");
    if (!flags.keys.emplace(key, i).second)
      p.Fail(i, "key '" + Trim(line.substr(0, eq)) +
                    (book.entries_.empty() ? "' appears twice before the first [entry]"
                                           : "' appears twice in the entry"));

    if (book.entries_.empty()) {
      p.ServiceKey(i, Trim(line.substr(0, eq)), value, book.service_);
      continue;
    }
    TSimEntry& e = book.entries_.back();
    if (key == "phonenumber")
      e.phoneNumber = p.Bounded(i, "PhoneNumber", value, RAS_MaxPhoneNumber);
    else if (key == "username") {
      e.userName = p.Bounded(i, "UserName", value, UNLEN);
      book.where_.back().userName = static_cast<long>(i);
    } else if (key == "password") {
      e.password = p.Bounded(i, "Password", value, PWLEN);
      book.where_.back().password = static_cast<long>(i);
    } else if (key == "domain")
      e.domain = p.Bounded(i, "Domain", value, DNLEN);
    else if (key == "devicetype")
      e.deviceType = p.Bounded(i, "DeviceType", value, RAS_MaxDeviceType);
    else if (key == "devicename")
      e.deviceName = p.Bounded(i, "DeviceName", value, RAS_MaxDeviceName);
    else if (key == "script")
      e.script = p.Script(i, value);
    else if (key == "failcode") {
      e.failCode = p.Number(i, "FailCode", value);
      if (e.failCode == 0) p.Fail(i, "FailCode must not be 0");
    } else if (key == "failat") {
      e.failAt = p.Number(i, "FailAt", value);
      flags.hasFailAt = true;
      flags.failAtLine = i;
    } else if (key == "failcount") {
      e.failCount = p.Number(i, "FailCount", value);
      flags.hasFailCount = true;
      flags.failCountLine = i;
    } else if (key == "failevery") {
      e.failEvery = p.Number(i, "FailEvery", value);
      if (e.failEvery == 0) p.Fail(i, "FailEvery must not be 0");
      flags.hasFailEvery = true;
      flags.failEveryLine = i;
    } else if (key == "immediateerror") {
      e.immediateError = p.Number(i, "ImmediateError", value);
    } else if (key == "dropafter") {
      e.dropAfterSec = p.Number(i, "DropAfter", value, 7u * 24u * 3600u);
    } else if (key == "hangupdelay") {
      e.hangUpDelayMs = p.Number(i, "HangUpDelay", value, 60u * 1000u);
    } else if (key == "clientip")
      e.clientIP = p.Address(i, "ClientIP", value);
    else if (key == "serverip")
      e.serverIP = p.Address(i, "ServerIP", value);
    else if (key == "foreign")
      e.foreign = p.Number(i, "Foreign", value, 1) == 1;
    else if (key == "upfor") {
      e.upForSec = p.Number(i, "UpFor", value, 7u * 24u * 3600u);
      if (e.upForSec == 0) p.Fail(i, "UpFor must not be 0 (leave it out: the connection stays)");
    } else if (key == "downfor") {
      e.downForSec = p.Number(i, "DownFor", value, 7u * 24u * 3600u);
      if (e.downForSec == 0)
        p.Fail(i, "DownFor must not be 0 (leave it out: the connection stays away)");
    } else
      p.Fail(i, "unknown key '" + Trim(line.substr(0, eq)) + "'");
  }
  finish();
  return book;
}

TSimPhoneBook TSimPhoneBook::Load(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return TSimPhoneBook{};
  if (std::filesystem::is_directory(path, ec))
    throw ESimPhoneBookError(path + ": is a directory, not a phone book");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ESimPhoneBookError(path + ": cannot be opened");
  std::stringstream ss;
  ss << in.rdbuf();
  if (in.bad()) throw ESimPhoneBookError(path + ": cannot be read");
  return Parse(ss.str(), path);
}

const TSimEntry* TSimPhoneBook::Find(const std::string& name) const {
  for (const TSimEntry& e : entries_)
    if (!e.foreign && SameName(e.name, name)) return &e;
  return nullptr;
}

bool TSimPhoneBook::SetCredentials(const std::string& entry, const std::string& userName,
                                   const std::optional<std::string>& password) {
  if (!Storable(userName, UNLEN) || (password && !Storable(*password, PWLEN))) return false;
  size_t index = entries_.size();
  for (size_t i = 0; i < entries_.size(); ++i)
    if (!entries_[i].foreign && SameName(entries_[i].name, entry)) index = i;
  if (index == entries_.size()) return false;

  // Edit the lines in place, then read them again so the line indexes stay true.
  std::vector<std::string> lines = lines_;
  const TEntryLines& w = where_[index];
  std::vector<std::pair<size_t, std::string>> inserts;
  long erase = -1;
  std::string userLine = "UserName=" + Quote(userName);
  if (w.userName >= 0)
    lines[w.userName] = userLine;
  else
    inserts.emplace_back(w.header + 1, userLine);
  if (password) {
    std::string passLine = "Password=" + Quote(*password);
    if (w.password >= 0)
      lines[w.password] = passLine;
    else
      inserts.emplace_back(w.header + 1, passLine);
  } else if (w.password >= 0) {
    erase = w.password;
  }
  if (erase >= 0) lines.erase(lines.begin() + erase);
  // Both inserts go right below the header; the user name first.
  for (auto it = inserts.rbegin(); it != inserts.rend(); ++it)
    lines.insert(lines.begin() + static_cast<long>(it->first), it->second);

  std::string eol = crlf_ ? "\r\n" : "\n";
  std::string text;
  for (const std::string& l : lines) text += l + eol;
  TSimPhoneBook reread = Parse(text, "phone book");
  *this = reread;
  return true;
}

std::string TSimPhoneBook::Text() const {
  std::string eol = crlf_ ? "\r\n" : "\n";
  std::string text;
  for (const std::string& l : lines_) text += l + eol;
  return text;
}

bool TSimPhoneBook::Save(const std::string& path) const {
  std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << Text();
    out.flush();
    if (!out) {
      out.close();
      std::remove(tmp.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}
