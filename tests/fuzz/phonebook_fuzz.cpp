// Fuzz target: the simulated service's phone-book reader and its credential
// store. Parse must return a book that keeps its own rules or throw
// ESimPhoneBookError, nothing else; the book's Text() reads back as the same
// book; SetCredentials stores what it says it stores, changes nothing else,
// and its Text() reads back the same.
//
// The input is the file's text, optionally followed by the separator
// "\0CRD" and a credential change: a byte choosing the entry (its index in
// the book, 255: a name the book does not hold), a byte of switches (bit 0:
// a password is given, bit 1: the entry is named in upper case), then the
// user name up to a NUL and the password (the rest).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "ras/RasTypes.h"
#include "rassim/PhoneBook.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "phonebook_fuzz: %s\n", what.c_str());
  std::abort();
}
#define CHECK(cond, what)                                             \
  do {                                                                \
    if (!(cond)) Fail(std::string(#cond) + ": " + std::string(what)); \
  } while (0)

const std::string kSeparator("\0CRD", 4);

bool SameEntry(const TSimEntry& a, const TSimEntry& b, bool withCredentials = true) {
  auto steps = [](const TSimEntry& e) {
    std::vector<std::pair<uint32_t, uint32_t>> s;
    for (auto& step : e.script) s.push_back({step.state, step.delayMs});
    return s;
  };
  return a.name == b.name && a.phoneNumber == b.phoneNumber && a.domain == b.domain &&
         a.deviceType == b.deviceType && a.deviceName == b.deviceName && steps(a) == steps(b) &&
         a.failCode == b.failCode && a.failAt == b.failAt && a.failCount == b.failCount &&
         a.failEvery == b.failEvery && a.immediateError == b.immediateError &&
         a.dropAfterSec == b.dropAfterSec && a.hangUpDelayMs == b.hangUpDelayMs &&
         a.clientIP == b.clientIP && a.serverIP == b.serverIP && a.foreign == b.foreign &&
         a.upForSec == b.upForSec && a.downForSec == b.downForSec &&
         (!withCredentials || (a.userName == b.userName && a.password == b.password));
}

bool SameBook(const TSimPhoneBook& a, const TSimPhoneBook& b) {
  if (a.Service().errorTexts != b.Service().errorTexts ||
      a.Service().textOverrides != b.Service().textOverrides)
    return false;
  if (a.Entries().size() != b.Entries().size()) return false;
  for (size_t i = 0; i < a.Entries().size(); ++i)
    if (!SameEntry(a.Entries()[i], b.Entries()[i])) return false;
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}
std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// The rules every book that was read keeps.
void CheckBook(const TSimPhoneBook& book) {
  for (const auto& [code, text] : book.Service().textOverrides)
    CHECK(code != 0 && !text.empty() && text.size() <= kSimMaxErrorText, std::to_string(code));
  for (size_t i = 0; i < book.Entries().size(); ++i) {
    const TSimEntry& e = book.Entries()[i];
    CHECK(!e.name.empty() && e.name.size() <= RAS_MaxEntryName, e.name);
    // Another program's connection is no entry to dial, and has nothing of a dial.
    if (e.foreign) {
      CHECK(book.Find(e.name) == nullptr, e.name);
      CHECK(e.phoneNumber.empty() && e.userName.empty() && !e.password && e.domain.empty() &&
                e.failCode == 0 && e.immediateError == 0 && e.dropAfterSec == 0,
            e.name);
      CHECK(e.downForSec == 0 || e.upForSec != 0, e.name);
    } else {
      CHECK(book.Find(e.name) == &e && book.Find(Upper(e.name)) == &e, e.name);
      CHECK(e.upForSec == 0 && e.downForSec == 0, e.name);
    }
    for (size_t j = 0; j < i; ++j) CHECK(Lower(book.Entries()[j].name) != Lower(e.name), e.name);
    CHECK(e.userName.size() <= UNLEN && (!e.password || e.password->size() <= PWLEN), e.name);
    CHECK(e.phoneNumber.size() <= RAS_MaxPhoneNumber && e.domain.size() <= DNLEN &&
              e.deviceType.size() <= RAS_MaxDeviceType && e.deviceName.size() <= RAS_MaxDeviceName,
          e.name);
    CHECK(!e.script.empty() && e.script.back().state == RASCS_Connected, e.name);
    for (size_t s = 0; s + 1 < e.script.size(); ++s)
      CHECK(e.script[s].state != RASCS_Connected, e.name);
    if (e.failCode) {
      bool inScript = false;
      for (auto& s : e.script) inScript = inScript || s.state == e.failAt;
      CHECK(inScript, e.name);
    } else {
      CHECK(e.failAt == 0 && e.failCount == 0 && e.failEvery == 0, e.name);
    }
    CHECK(!(e.failCount && e.failEvery), e.name);
  }
}

// Parse, or nothing when it throws its own error; anything else it throws
// ends the run.
std::optional<TSimPhoneBook> TryParse(const std::string& text, const char* what) {
  try {
    return TSimPhoneBook::Parse(text, "phonebook.ini");
  } catch (const ESimPhoneBookError&) {
    return std::nullopt;
  } catch (const std::exception& e) {
    Fail(std::string(what) + " threw another exception: " + e.what());
  } catch (...) {
    Fail(std::string(what) + " threw something that is no exception");
  }
}

bool Storable(const std::string& v, size_t max) {
  return v.size() <= max && v.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t sep = input.find(kSeparator);
  const std::string text = input.substr(0, sep);

  std::optional<TSimPhoneBook> parsed = TryParse(text, "Parse");
  if (!parsed) return 0;
  TSimPhoneBook book = *parsed;
  CheckBook(book);

  // What the book writes reads back as the same book.
  const std::string written = book.Text();
  std::optional<TSimPhoneBook> again = TryParse(written, "Parse of Text()");
  CHECK(again, "the book's own text does not parse");
  CHECK(SameBook(book, *again), "Text() reads back as another book");
  CHECK(again->Text() == written, "Text() is not stable");

  // A credential change.
  std::string entry = "no such entry";
  bool known = false;
  std::string user;
  std::optional<std::string> password;
  if (sep != std::string::npos) {
    std::string rest = input.substr(sep + kSeparator.size());
    const uint8_t which = rest.size() > 0 ? static_cast<uint8_t>(rest[0]) : 0;
    const uint8_t flags = rest.size() > 1 ? static_cast<uint8_t>(rest[1]) : 0;
    rest = rest.size() > 2 ? rest.substr(2) : "";
    if (which != 255 && !book.Entries().empty()) {
      entry = book.Entries()[which % book.Entries().size()].name;
      known = true;
    }
    if (flags & 2) entry = Upper(entry);
    const size_t nul = rest.find('\0');
    user = rest.substr(0, nul);
    if (flags & 1) password = nul == std::string::npos ? "" : rest.substr(nul + 1);
  } else if (!book.Entries().empty()) {
    entry = book.Entries()[0].name;
    known = true;
    user = " fuzz user ";
    password = "\"p=w;d\"";
  }
  known = known && book.Find(entry) != nullptr;

  const TSimPhoneBook before = book;
  bool stored = false;
  try {
    stored = book.SetCredentials(entry, user, password);
  } catch (const std::exception& e) {
    Fail(std::string("SetCredentials threw: ") + e.what());
  }
  const bool storable = known && Storable(user, UNLEN) && (!password || Storable(*password, PWLEN));
  CHECK(stored == storable, "SetCredentials answered " + std::to_string(stored));
  if (!stored) {
    CHECK(book.Text() == before.Text() && SameBook(book, before),
          "a refused store changed the book");
    return 0;
  }
  CheckBook(book);
  const TSimEntry* changed = book.Find(entry);
  CHECK(changed && changed->userName == user && changed->password == password, entry);
  CHECK(book.Entries().size() == before.Entries().size(), "entry count");
  for (size_t i = 0; i < book.Entries().size(); ++i) {
    const TSimEntry& a = before.Entries()[i];
    const TSimEntry& b = book.Entries()[i];
    CHECK(SameEntry(a, b, &b != changed), "entry '" + a.name + "' changed");
  }
  // The file written with the change reads back as the changed book.
  std::optional<TSimPhoneBook> reread = TryParse(book.Text(), "Parse of the changed Text()");
  CHECK(reread && SameBook(book, *reread), "the changed book's text reads back as another book");
  return 0;
}
