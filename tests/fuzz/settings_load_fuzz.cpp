// Fuzz target: the start-up's reads of the registry (the main window's
// position, advert switch and TimedDone; the settings dialog's load and its
// apply to the main window; the Run value at the save) over registry values
// of any name, type and bytes. Checks what the load promises of every value
// it hands on, that nothing but the program's own reports comes out, then
// saves, loads the saved key again in a fresh program and compares.
//
// The input is a list of values (see tests/fuzz/README.md):
//   byte 0    switches: bit 0 the program's path holds a space, bit 1 the
//             phone book is empty, bit 2 no SOFTWARE\Quindle key at all
//   then per value:
//     name    one byte: a stored name of the settings key (0-17), the Run
//             value (18), or 19: a name of its own (a length byte, bytes)
//     type    one byte: REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY,
//             REG_MULTI_SZ, REG_QWORD, REG_NONE, or 7: four bytes of a type
//     length  one byte, 255: two more bytes (little-endian); then the data
//             (cut short where the input ends)
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "QuindleWorld.h"
#include "platform/Files.h"
#include "settings/LogFileName.h"
#include "settings/SettingsStore.h"
#include "settings/StoredNames.h"

namespace {

const char* const kRunKeyPath = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kBook =
    "[Office]\nUserName=alice\nPassword=secret\nScript=0:100,8192:100\n"
    "[Home]\nScript=0:100,8192:100\n";

const char* const kNames[] = {Stored::kDialMode,   Stored::kAutoRecon,   Stored::kRetryInt,
                              Stored::kAttempsInt, Stored::kEnableTimer, Stored::kTime,
                              Stored::kDate,       Stored::kDisOrShut,   Stored::kLogEnabled,
                              Stored::kLogFile,    Stored::kWinBoot,     Stored::kAutoCon,
                              Stored::kConInt,     Stored::kMiniStart,   Stored::kZimAdvt,
                              Stored::kSLeft,      Stored::kSTop,        Stored::kTimedDone};
constexpr int kNameCount = sizeof kNames / sizeof kNames[0];
const char* const kTextNames[] = {Stored::kTime, Stored::kDate, Stored::kLogFile,
                                  Stored::kTimedDone};
const uint32_t kTypes[] = {REG_SZ_T,       REG_EXPAND_SZ_T, REG_DWORD_T, REG_BINARY_T,
                           REG_MULTI_SZ_T, REG_QWORD_T,     REG_NONE_T};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "settings_load_fuzz: %s\n", what.c_str());
  std::abort();
}
#define CHECK(cond, what)                                             \
  do {                                                                \
    if (!(cond)) Fail(std::string(#cond) + ": " + std::string(what)); \
  } while (0)

struct TValue {
  uint32_t type = REG_NONE_T;
  std::vector<uint8_t> data;
  bool operator==(const TValue&) const = default;
};
using TValues = std::map<std::string, TValue>;  // by upper-case name, as the registry matches

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

struct TInput {
  bool spaceInPath = false;
  bool emptyBook = false;
  bool noKey = false;
  TValues settings;                             // SOFTWARE\Quindle
  std::map<std::string, std::string> spelling;  // upper-case name -> as written
  std::optional<TValue> run;                    // the machine-wide Run value
};

class TReader {
 public:
  TReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool AtEnd() const { return p_ == end_; }
  uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  std::vector<uint8_t> Bytes(size_t n) {
    n = std::min<size_t>(n, end_ - p_);
    std::vector<uint8_t> out(p_, p_ + n);
    p_ += n;
    return out;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

TInput Decode(const uint8_t* data, size_t size) {
  TInput in;
  TReader r(data, size);
  const uint8_t flags = r.Byte();
  in.spaceInPath = flags & 1;
  in.emptyBook = flags & 2;
  in.noKey = flags & 4;
  while (!r.AtEnd()) {
    const int which = r.Byte() % (kNameCount + 2);
    std::string name;
    if (which < kNameCount) {
      name = kNames[which];
    } else if (which == kNameCount + 1) {
      auto bytes = r.Bytes(r.Byte() % 32);
      name.assign(bytes.begin(), bytes.end());
    }
    TValue v;
    const uint8_t t = r.Byte() % 8;
    if (t < 7) {
      v.type = kTypes[t];
    } else {
      auto b = r.Bytes(4);
      b.resize(4, 0);
      std::memcpy(&v.type, b.data(), 4);
    }
    size_t length = r.Byte();
    if (length == 255) length = r.Byte() | (r.Byte() << 8);
    v.data = r.Bytes(length);
    if (which == kNameCount) {
      in.run = v;
      continue;
    }
    // Log files are made where the name says: keep them in the test folder.
    if (Upper(name) == Upper(Stored::kLogFile))
      for (uint8_t& b : v.data)
        if (b == '/') b = '_';
    if (in.noKey) continue;
    in.settings[Upper(name)] = v;
    in.spelling[Upper(name)] = name;
  }
  return in;
}

// What a value means to the program, read here from the bytes themselves.
std::optional<uint32_t> DwordOf(const TValues& values, const char* name) {
  auto it = values.find(Upper(name));
  if (it == values.end() || it->second.type != REG_DWORD_T || it->second.data.size() != 4)
    return std::nullopt;
  uint32_t v;
  std::memcpy(&v, it->second.data.data(), 4);
  return v;
}
bool Present(const TValues& values, const char* name) {
  return values.count(Upper(name)) > 0;
}
bool IsText(const TValue& v) {
  return v.type == REG_SZ_T || v.type == REG_EXPAND_SZ_T;
}
std::string TextOf(const TValue& v) {
  std::string s(v.data.begin(), v.data.end());
  return s.substr(0, s.find('\0'));
}
bool WellTyped(const TValues& values, const std::string& upperName) {
  const TValue& v = values.at(upperName);
  for (const char* t : kTextNames)
    if (Upper(t) == upperName) return IsText(v);
  return v.type == REG_DWORD_T && v.data.size() == 4;
}

// The key's values as the registry holds them.
TValues ReadKey(TMemoryRegistry& reg, const std::string& keyPath, const std::string& sub) {
  TValues out;
  HKEY_T h = 0;
  if (reg.OpenKey(HKEY_CURRENT_USER_T, sub, KEY_READ_T, &h) != ERROR_SUCCESS_T) return out;
  for (const std::string& name : reg.ValueNames(keyPath)) {
    TValue v;
    uint32_t size = 0;
    CHECK(reg.QueryValue(h, name, &v.type, nullptr, &size) == ERROR_SUCCESS_T, name);
    v.data.resize(size);
    CHECK(reg.QueryValue(h, name, &v.type, v.data.data(), &size) == ERROR_SUCCESS_T, name);
    out[Upper(name)] = v;
  }
  reg.CloseKey(h);
  return out;
}

std::optional<TValue> ReadRun(TMemoryRegistry& reg) {
  if (!reg.HasValue(kRunKeyPath, Stored::kRunValue)) return std::nullopt;
  HKEY_T h = 0;
  CHECK(reg.OpenKey(HKEY_LOCAL_MACHINE_T, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                    KEY_READ_T, &h) == ERROR_SUCCESS_T,
        "Run key");
  TValue v;
  uint32_t size = 0;
  reg.QueryValue(h, Stored::kRunValue, &v.type, nullptr, &size);
  v.data.resize(size);
  reg.QueryValue(h, Stored::kRunValue, &v.type, v.data.data(), &size);
  reg.CloseKey(h);
  return v;
}

bool IsDecimal(const std::string& s) {
  size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

// "dd:dd" or "dd/dd/dd" with the locale's separators: a digit or a blank in
// every input position.
bool FitsMask(const std::string& text, const std::string& pattern) {
  if (text.size() != pattern.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool digitOrBlank = text[i] == ' ' || (text[i] >= '0' && text[i] <= '9');
    if (pattern[i] == '9' ? !digitOrBlank : text[i] != pattern[i]) return false;
  }
  return true;
}

// Everything the load put in force, for the comparison after the round trip.
struct TLoaded {
  bool sync, autoRecon, timer, dis, log, winBoot, autoCon, mini, zim;
  std::string every, attempts, time, amPm, date, logEdit;
  int conInt;
  int maxAttempts;
  bool loggingEnabled;
  std::string logFileName, timedTime, timedDate;
  bool disconnectAtTime;
  unsigned interval;
  bool timerOn, disTimerOn;
  int left, top, right, bottom;
  std::string timedDone;
  bool advert;
  bool operator==(const TLoaded&) const = default;
};

std::string Describe(const TLoaded& l) {
  char buf[1024];
  std::snprintf(buf, sizeof buf,
                "sync=%d autoRecon=%d timer=%d dis=%d log=%d winBoot=%d autoCon=%d mini=%d zim=%d "
                "every='%s' attempts='%s' time='%s' amPm='%s' date='%s' logEdit='%s' conInt=%d "
                "max=%d logging=%d logFile='%s' timedTime='%s' timedDate='%s' disAt=%d "
                "interval=%u timerOn=%d disTimerOn=%d left=%d top=%d timedDone='%s' advert=%d",
                l.sync, l.autoRecon, l.timer, l.dis, l.log, l.winBoot, l.autoCon, l.mini, l.zim,
                l.every.c_str(), l.attempts.c_str(), l.time.c_str(), l.amPm.c_str(), l.date.c_str(),
                l.logEdit.c_str(), l.conInt, l.maxAttempts, l.loggingEnabled, l.logFileName.c_str(),
                l.timedTime.c_str(), l.timedDate.c_str(), l.disconnectAtTime, l.interval, l.timerOn,
                l.disTimerOn, l.left, l.top, l.timedDone.c_str(), l.advert);
  return buf;
}

TLoaded Snapshot(TQuindleWorld& q) {
  TSettingsForm& s = *q.settings;
  TForm1& f = *q.form1;
  const TSharedValues& shared = *f.Link().values;
  TLoaded l;
  l.sync = s.SyncButton->Checked();
  l.autoRecon = s.AutoReconBox->Checked();
  l.timer = s.TimerBox->Checked();
  l.dis = s.RButtonDis->Checked();
  l.log = s.LogBox->Checked();
  l.winBoot = s.CheckBox2->Checked();
  l.autoCon = s.CheckBox1->Checked();
  l.mini = s.MiniBox->Checked();
  l.zim = s.ZimBox->Checked();
  l.every = s.EveryEdit->Text();
  l.attempts = s.AttemptsEdit->Text();
  l.time = s.TimeEdit->Text();
  l.amPm = s.AmPmBox->Text();
  l.date = s.DateEdit->Text();
  l.logEdit = s.LogEdit->Text();
  l.conInt = s.ComboBox1->ItemIndex();
  l.maxAttempts = shared.MaxAttempts;
  l.loggingEnabled = shared.LoggingEnabled;
  l.logFileName = shared.LogFileName;
  l.timedTime = shared.TimedTime;
  l.timedDate = shared.TimedDate;
  l.disconnectAtTime = shared.DisconnectAtTime;
  l.interval = f.Timer->Interval();
  l.timerOn = f.Timer->Enabled();
  l.disTimerOn = f.DisTimer->Enabled();
  l.left = f.Left();
  l.top = f.Top();
  l.right = f.Left() + f.Width();
  l.bottom = f.Top() + f.Height();
  l.timedDone = f.TimedEventDone();
  l.advert = f.Memo1->LineCount() > 0 && f.Memo1->Line(0).rfind("http://", 0) == 0;
  return l;
}

// The program's folder: a fresh temporary folder (under TMPDIR) for the
// whole run, emptied after every input. The fuzzer may end the process
// without running atexit: scripts/fuzz removes what is left.
struct TFolder {
  std::filesystem::path root;
  TFolder() {
    std::string templ = (std::filesystem::temp_directory_path() / "quindle-fuzz-XXXXXX").string();
    CHECK(mkdtemp(templ.data()) != nullptr, "mkdtemp");
    root = templ;
    std::filesystem::current_path(root);
    std::atexit([] { std::filesystem::remove_all(Folder().root); });
  }
  static TFolder& Folder();
  std::string Program(bool space) const {
    return (root / (space ? "My Tools" : "Tools") / "Quindle.exe").string();
  }
  void Clear() const {
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(root, ec))
      std::filesystem::remove_all(e.path(), ec);
    std::filesystem::create_directories(root / "Tools");
    std::filesystem::create_directories(root / "My Tools");
  }
};
TFolder& TFolder::Folder() {
  static TFolder folder;
  return folder;
}

void Prepare(TQuindleWorld& q, const TInput& in, const std::string& program) {
  q.world.system.moduleFileName = program;
  q.world.registry.administrator = true;  // the Run value goes to the machine-wide key
  if (!in.noKey) q.world.registry.MakeKey(kQuindleKey);
  for (auto& [upper, v] : in.settings) {
    auto it = in.spelling.find(upper);
    q.world.registry.PutRaw(kQuindleKey, it == in.spelling.end() ? upper : it->second, v.type,
                            v.data);
  }
  if (in.run) q.world.registry.PutRaw(kRunKeyPath, Stored::kRunValue, in.run->type, in.run->data);
}

// What the first load must show, value by value, for the registry it met.
void CheckFirstLoad(TQuindleWorld& q, const TInput& in, const TLoaded& l,
                    const std::string& program) {
  TSettingsForm& s = *q.settings;
  const TValues& v = in.settings;
  // Reports: only the program's own, each naming a value that is there with
  // another type than its row's, or the log file it could not make.
  bool typeReport = false;
  for (const std::string& m : q.world.MessageTexts()) {
    const std::string typePrefix = "Invalid data type for '";
    if (m.rfind(typePrefix, 0) == 0 && m.back() == '\'') {
      const std::string name = Upper(m.substr(typePrefix.size(), m.size() - typePrefix.size() - 1));
      CHECK(v.count(name) && !WellTyped(v, name), m);
      // The main window's own values do not count as the dialog's changes.
      if (name != Upper(Stored::kSLeft) && name != Upper(Stored::kSTop) &&
          name != Upper(Stored::kTimedDone))
        typeReport = true;
    } else if (m.rfind("Cannot write the log file ", 0) == 0) {
      // A good name whose place cannot be written is kept as it was typed.
      CHECK(l.log && m.rfind("Cannot write the log file " + l.logEdit + ": ", 0) == 0, m);
    } else {
      CHECK(m.rfind("Invalid log file name: ", 0) == 0 && l.log && l.logEdit == "SessionLog.log",
            m);
    }
  }
  CHECK(s.SettingsChanged == typeReport, "SettingsChanged after the load");
  CHECK(q.world.registry.OpenHandles() == 0, "keys left open by the load");

  CHECK(s.SyncButton->Checked() != s.AsyncButton->Checked(), "one dial mode");
  CHECK(s.RButtonDis->Checked() != s.RButtonShut->Checked(), "one timed action");
  if (auto m = DwordOf(v, Stored::kDialMode)) CHECK(l.sync == (*m != 0), "DialMode");

  // The redial interval: at least 500 ms when read, the design 3000 ms when not.
  CHECK(IsDecimal(l.every) && IsDecimal(l.attempts), l.every + " / " + l.attempts);
  if (l.autoRecon) {
    CHECK(std::stoll(l.every) >= 500 && l.interval == std::stoull(l.every), Describe(l));
  } else {
    CHECK(l.interval == 3000 && l.every == "3000" && l.attempts == "99999", Describe(l));
  }
  CHECK(l.maxAttempts == std::stoll(l.attempts), Describe(l));
  CHECK(l.timerOn == l.autoCon, "the redial timer runs at start-up only to connect");

  // The entry list is never read out of range.
  const int entries = s.ComboBox1->Items().Count();
  CHECK(entries == (in.emptyBook ? 1 : 2), "entry list");
  CHECK(l.conInt >= -1 && l.conInt < entries, Describe(l));
  if (auto c = DwordOf(v, Stored::kConInt))
    CHECK(l.conInt == (static_cast<int32_t>(*c) >= 0 && static_cast<int32_t>(*c) < entries
                           ? static_cast<int32_t>(*c)
                           : -1),
          Describe(l));

  // The timed event's fields hold what their masks allow.
  CHECK(l.amPm == "AM" || l.amPm == "PM", l.amPm);
  CHECK(FitsMask(l.time, "99:99") && FitsMask(l.date, "99/99/99"), Describe(l));
  CHECK(s.TimeEdit->Enabled() == l.timer && s.DateEdit->Enabled() == l.timer, "timed controls");
  CHECK(l.disTimerOn == l.timer, Describe(l));
  if (l.timer) {
    CHECK(l.timedTime == l.time + " " + l.amPm && l.timedDate == l.date &&
              l.disconnectAtTime == l.dis,
          Describe(l));
  }

  // Logging: the file named is there, or its place was reported.
  CHECK(l.loggingEnabled == l.log && s.LogEdit->Enabled() == l.log, Describe(l));
  if (l.log) {
    CHECK(l.logFileName == LogFilePath(l.logEdit, program), Describe(l));
    bool reported = false;
    for (const std::string& m : q.world.MessageTexts())
      reported = reported || m.rfind("Cannot write the log file " + l.logEdit + ": ", 0) == 0;
    CHECK(FileExists(l.logFileName) || reported, l.logFileName);
  }

  // The main window's own values: the stored place, or, when that would
  // leave the title bar off the screen, a place on the screen's work area.
  const TRect work = q.world.backend.workArea;
  const bool onScreen =
      l.left >= work.left && l.top >= work.top && l.right <= work.right && l.bottom <= work.bottom;
  if (auto x = DwordOf(v, Stored::kSLeft))
    CHECK(l.left == static_cast<int32_t>(*x) || onScreen, Describe(l));
  if (auto y = DwordOf(v, Stored::kSTop))
    CHECK(l.top == static_cast<int32_t>(*y) || onScreen, Describe(l));
  auto zim = DwordOf(v, Stored::kZimAdvt);
  CHECK(l.advert == !(zim && *zim != 0), Describe(l));
  auto done = v.find(Upper(Stored::kTimedDone));
  const bool doneText = done != v.end() && IsText(done->second);
  CHECK(l.timedDone == (doneText ? TextOf(done->second) : std::string()), Describe(l));
}

// Whether a Run value names the program, read from its bytes.
bool NamesProgram(const std::optional<TValue>& run, const std::string& program) {
  if (!run || !IsText(*run)) return false;
  const std::string text = TextOf(*run);
  return text == program || text == "\"" + program + "\"";
}

void CheckSave(TQuindleWorld& q, const TInput& in, const TLoaded& l, const std::string& program,
               size_t messagesBefore) {
  CHECK(q.world.MessageTexts().size() == messagesBefore, q.world.MessageTexts().back());
  CHECK(q.world.registry.OpenHandles() == 0, "keys left open by the save");
  const TValues saved = ReadKey(q.world.registry, kQuindleKey, "SOFTWARE\\Quindle");
  // Every stored name the save writes has its row's encoding now.
  for (const char* name : {Stored::kDialMode, Stored::kAutoRecon, Stored::kEnableTimer,
                           Stored::kLogEnabled, Stored::kWinBoot, Stored::kAutoCon, Stored::kConInt,
                           Stored::kMiniStart, Stored::kZimAdvt, Stored::kSLeft, Stored::kSTop})
    CHECK(saved.count(Upper(name)) && WellTyped(saved, Upper(name)), name);
  // What the switches that are off hide is kept as it was.
  for (auto [name, on] : {std::pair{Stored::kRetryInt, l.autoRecon},
                          std::pair{Stored::kTime, l.timer}, std::pair{Stored::kLogFile, l.log}}) {
    auto before = in.settings.find(Upper(name));
    auto after = saved.find(Upper(name));
    if (on) {
      CHECK(after != saved.end() && WellTyped(saved, Upper(name)), name);
    } else {
      CHECK((before == in.settings.end()) == (after == saved.end()), name);
      if (before != in.settings.end()) CHECK(before->second == after->second, name);
    }
  }
  // The Run value: left alone when WinBoot could not be read, else in line
  // with the box.
  const bool winBootUnread =
      Present(in.settings, Stored::kWinBoot) && !WellTyped(in.settings, Upper(Stored::kWinBoot));
  const std::optional<TValue> run = ReadRun(q.world.registry);
  if (winBootUnread) {
    CHECK(run == in.run, "the Run value changed though WinBoot was unreadable");
    CHECK(DwordOf(saved, Stored::kWinBoot) == (NamesProgram(run, program) ? 1u : 0u),
          "WinBoot after an unreadable one");
  } else if (l.winBoot) {
    CHECK(run && run->type == REG_SZ_T && TextOf(*run) == RunCommand(program) &&
              run->data.size() == TextOf(*run).size() + 1,
          "the Run value");
  } else {
    // Removed only when it names the program: another installation's stays.
    CHECK(!NamesProgram(run, program), "the Run value stayed behind");
    if (!NamesProgram(in.run, program)) CHECK(run == in.run, "another program's Run value changed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFolder& folder = TFolder::Folder();
  folder.Clear();
  const TInput in = Decode(data, size);
  const std::string program = folder.Program(in.spaceInPath);
  const char* book = in.emptyBook ? "" : kBook;

  TValues saved;
  std::optional<TValue> savedRun;
  TLoaded first;
  bool winBootUnread = false;
  {
    TQuindleWorld q(book);
    Prepare(q, in, program);
    q.Start();
    first = Snapshot(q);
    CheckFirstLoad(q, in, first, program);
    winBootUnread =
        Present(in.settings, Stored::kWinBoot) && !WellTyped(in.settings, Upper(Stored::kWinBoot));
    // Save everything, as after a change by the user.
    const size_t messages = q.world.MessageTexts().size();
    q.settings->SettingsChanged = true;
    q.world.app->DestroyForms();
    CheckSave(q, in, first, program, messages);
    saved = ReadKey(q.world.registry, kQuindleKey, "SOFTWARE\\Quindle");
    savedRun = ReadRun(q.world.registry);
  }

  // The saved key loaded again gives the same settings.
  TInput again;
  again.spaceInPath = in.spaceInPath;
  again.emptyBook = in.emptyBook;
  again.settings = saved;
  again.spelling = in.spelling;
  again.run = savedRun;
  TQuindleWorld q(book);
  Prepare(q, again, program);
  q.Start();
  TLoaded second = Snapshot(q);
  CHECK(q.world.MessageTexts().empty(), q.world.MessageTexts().front());
  CHECK(!q.settings->SettingsChanged, "SettingsChanged after loading a saved key");
  TLoaded expected = first;
  if (winBootUnread) expected.winBoot = NamesProgram(savedRun, program);
  if (!(second == expected))
    Fail("round trip differs:\n first  " + Describe(expected) + "\n second " + Describe(second));
  return 0;
}
