// The simulated service's phone-book file: what it reads, what it refuses
// (with the line named), and how stored credentials are written back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestWorld.h"
#include "ras/RasTypes.h"
#include "rassim/PhoneBook.h"

namespace {

std::string ErrorOf(const std::string& text) {
  try {
    TSimPhoneBook::Parse(text, "book.ini");
  } catch (const ESimPhoneBookError& e) {
    return e.what();
  }
  return "<accepted>";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(RasSimPhoneBook, ReadsEveryKeyOfAnEntry) {
  TSimPhoneBook book = TSimPhoneBook::Parse(R"(
; a comment
# another
[ Work ISP ]
PhoneNumber = 555 0100
username=alice
Password = "  spaced  "
Domain=OFFICE
DeviceType=isdn
DeviceName=Line 1
Script=0:100, 0x2:1500 ,5:20, 0x2000:5
FailCode=691
FailAt=5
FailCount=2
DropAfter=40
HangUpDelay=250
ClientIP=192.168.7.2
ServerIP=192.168.7.1
ImmediateError=0
)",
                                            "book.ini");
  ASSERT_EQ(1u, book.Entries().size());
  const TSimEntry& e = book.Entries()[0];
  EXPECT_EQ("Work ISP", e.name);
  EXPECT_EQ("555 0100", e.phoneNumber);
  EXPECT_EQ("alice", e.userName);
  EXPECT_EQ("  spaced  ", e.password.value_or("<none>"));
  EXPECT_EQ("OFFICE", e.domain);
  EXPECT_EQ("isdn", e.deviceType);
  EXPECT_EQ("Line 1", e.deviceName);
  ASSERT_EQ(4u, e.script.size());
  EXPECT_EQ(2u, e.script[1].state);
  EXPECT_EQ(1500u, e.script[1].delayMs);
  EXPECT_EQ(0x2000u, e.script[3].state);
  EXPECT_EQ(691u, e.failCode);
  EXPECT_EQ(5u, e.failAt);
  EXPECT_EQ(2u, e.failCount);
  EXPECT_EQ(40u, e.dropAfterSec);
  EXPECT_EQ(250u, e.hangUpDelayMs);
  EXPECT_EQ("192.168.7.2", e.clientIP);
  EXPECT_EQ("192.168.7.1", e.serverIP);
}

TEST(RasSimPhoneBook, AnEntryWithoutKeysDialsTheUsualWayWithoutAPassword) {
  TSimPhoneBook book = TSimPhoneBook::Parse("[Plain]\n", "book.ini");
  const TSimEntry& e = book.Entries()[0];
  EXPECT_FALSE(e.password.has_value());
  ASSERT_GE(e.script.size(), 2u);
  EXPECT_EQ(0u, e.script.front().state);
  EXPECT_EQ(0x2000u, e.script.back().state);
  EXPECT_EQ(0u, e.failCode);
}

TEST(RasSimPhoneBook, EntriesKeepTheirOrderAndAreFoundWithoutCase) {
  TSimPhoneBook book = TSimPhoneBook::Parse("[b]\n[C]\n[a]\n", "book.ini");
  ASSERT_EQ(3u, book.Entries().size());
  EXPECT_EQ("b", book.Entries()[0].name);
  EXPECT_EQ("a", book.Entries()[2].name);
  ASSERT_NE(nullptr, book.Find("c"));
  EXPECT_EQ("C", book.Find("c")->name);
  EXPECT_EQ(nullptr, book.Find("d"));
}

TEST(RasSimPhoneBook, WindowsLineEndsAndAByteOrderMarkAreRead) {
  TSimPhoneBook book =
      TSimPhoneBook::Parse("\xEF\xBB\xBF[One]\r\nUserName=u\r\n[Two]\r\n", "book.ini");
  ASSERT_EQ(2u, book.Entries().size());
  EXPECT_EQ("One", book.Entries()[0].name);
  EXPECT_EQ("u", book.Entries()[0].userName);
}

TEST(RasSimPhoneBook, MalformedFilesAreRefusedWithTheLineNamed) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"[Open\n", "book.ini:1: an entry header needs a closing ']'"},
      {"UserName=x\n", "book.ini:1: a key=value line before the first [entry]"},
      {"[A]\nno equals sign\n", "book.ini:2: expected [entry name] or key=value"},
      {"[A]\nScirpt=0:1\n", "book.ini:2: unknown key 'Scirpt'"},
      {"[A]\n\n[a]\n", "book.ini:3: entry 'a' appears twice"},
      {"[A]\nUserName=x\nusername=y\n", "book.ini:3: key 'username' appears twice in the entry"},
      {"[]\n", "book.ini:1: an entry needs a name"},
      {"[A]\nFailCode=69x\n", "book.ini:2: FailCode: '69x' is not a number"},
      {"[A]\nFailCode=-1\n", "book.ini:2: FailCode: '-1' is not a number"},
      {"[A]\nFailCode=0x100000000\n", "is too large"},
      {"[A]\nScript=0:10,1:10\n", "book.ini:2: Script must end with the connected state"},
      {"[A]\nScript=0x2000:1,0x2000:1\n", "may only come last"},
      {"[A]\nScript=0:10;0x2000:0\n", "book.ini:2: Script delay: '10;0x2000:0' is not a number"},
      {"[A]\nScript=0x2000\n", "book.ini:2: Script: '0x2000' is not state:delay"},
      {"[A]\nScript=\n", "book.ini:2: Script has no steps"},
      {"[A]\nFailCode=691\n", "book.ini:1: entry 'A' has FailCode but no FailAt"},
      {"[A]\nFailAt=5\n", "book.ini:2: FailAt needs FailCode"},
      {"[A]\nFailCode=691\nFailAt=9\nScript=0:1,0x2000:1\n",
       "book.ini:3: FailAt: state 9 is not in"},
      {"[A]\nFailCount=2\n", "book.ini:2: FailCount needs FailCode"},
      {"[A]\nFailEvery=2\n", "book.ini:2: FailEvery needs FailCode"},
      {"[A]\nFailCode=691\nFailAt=0\nFailEvery=0\n", "book.ini:4: FailEvery must not be 0"},
      {"[A]\nFailCode=691\nFailAt=0\nFailEvery=3\nFailCount=1\n",
       "book.ini:5: FailEvery and FailCount cannot both be given"},
      {"[A]\nClientIP=10.0.0\n", "book.ini:2: ClientIP: '10.0.0' is not an address"},
      {"[A]\nServerIP=10.0.0.256\n", "is not an address"},
      {"[A]\nServerIP=\n", "is not an address"},
      {"[A]\nPassword=\"open\n", "book.ini:2: unterminated quoted value"},
      {"[A]\nDomain=MUCHTOOLONGDOMAIN\n", "book.ini:2: Domain is longer than 15 characters"},
      {"[A]\nFailCode=0\n", "FailCode must not be 0"},
  };
  for (const Case& c : cases) {
    std::string got = ErrorOf(c.text);
    EXPECT_NE(std::string::npos, got.find(c.message)) << c.text << " -> " << got;
  }
  EXPECT_NE(std::string::npos,
            ErrorOf("[" + std::string(257, 'n') + "]\n").find("longer than 256"));
  EXPECT_NE(std::string::npos, ErrorOf(std::string("[A]\nUserName=a\0b\n", 17)).find("NUL"));
}

TEST(RasSimPhoneBook, ServiceKeysComeBeforeTheFirstEntryAndForeignEntriesAreNotFound) {
  TSimPhoneBook book = TSimPhoneBook::Parse(
      "; the service\nerrortexts = WINDOWS10\nErrorText691=" + std::string(kSimMaxErrorText, 'x') +
          "\nErrorText4242 = \"  mine  \"\n[Corp VPN]\nForeign=1\nUpFor=20\nDownFor=5\n"
          "DeviceType=vpn\n[Home]\n",
      "book.ini");
  EXPECT_EQ(TSimErrorTexts::Windows10, book.Service().errorTexts);
  EXPECT_EQ(std::string(kSimMaxErrorText, 'x'), book.Service().textOverrides.at(691));
  EXPECT_EQ("  mine  ", book.Service().textOverrides.at(4242));
  ASSERT_EQ(2u, book.Entries().size());
  const TSimEntry& vpn = book.Entries()[0];
  EXPECT_TRUE(vpn.foreign);
  EXPECT_EQ(20u, vpn.upForSec);
  EXPECT_EQ(5u, vpn.downForSec);
  EXPECT_EQ("vpn", vpn.deviceType);
  // Another program's connection cannot be dialled, nor its credentials stored, here.
  EXPECT_EQ(nullptr, book.Find("corp vpn"));
  TSimPhoneBook copy = book;
  EXPECT_FALSE(copy.SetCredentials("Corp VPN", "u", std::string("p")));
  EXPECT_EQ(book.Text(), copy.Text());
  EXPECT_FALSE(book.Entries()[1].foreign);
  EXPECT_EQ(TSimErrorTexts::Classic, TSimPhoneBook::Parse("[A]\n", "b").Service().errorTexts);
  // Storing credentials keeps the service's lines.
  ASSERT_TRUE(book.SetCredentials("home", "u", std::nullopt));
  EXPECT_EQ(TSimErrorTexts::Windows10, book.Service().errorTexts);
  EXPECT_EQ("  mine  ", book.Service().textOverrides.at(4242));
}

TEST(RasSimPhoneBook, ServiceAndForeignKeysAreRefusedWithTheLineNamed) {
  struct Case {
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {"ErrorTexts=Windows11\n", "book.ini:1: ErrorTexts: 'Windows11' is neither"},
      {"ErrorText=x\n", "book.ini:1: a key=value line before the first [entry] must set the"},
      {"ErrorText6x=x\n", "'ErrorText6x' is not one of its keys"},
      {"ErrorText0=x\n", "book.ini:1: ErrorText0: 0 is no error code"},
      {"ErrorText691=\n", "book.ini:1: ErrorText691 is empty"},
      {"ErrorText691=" + std::string(kSimMaxErrorText + 1, 'x') + "\n",
       "book.ini:1: ErrorText691 is longer than 511 characters"},
      {"ErrorText691=a\nErrorText0691=b\n", "book.ini:2: the text for code 691 is given twice"},
      {"ErrorTexts=Classic\nerrortexts=Classic\n",
       "book.ini:2: key 'errortexts' appears twice before the first [entry]"},
      {"[A]\nErrorTexts=Windows10\n", "book.ini:2: unknown key 'ErrorTexts'"},
      {"[A]\nForeign=2\n", "book.ini:2: Foreign: 2 is too large"},
      {"[A]\nForeign=1\nScript=0:1,0x2000:1\n",
       "book.ini:3: Script does not apply to another program's connection (Foreign=1)"},
      {"[A]\nPassword=x\nForeign=1\n", "book.ini:2: Password does not apply"},
      {"[A]\nForeign=1\nDownFor=5\n", "book.ini:3: DownFor needs UpFor"},
      {"[A]\nUpFor=5\n", "book.ini:2: UpFor needs Foreign=1"},
      {"[A]\nForeign=0\nDownFor=5\n", "book.ini:3: DownFor needs Foreign=1"},
      {"[A]\nForeign=1\nUpFor=0\n", "book.ini:3: UpFor must not be 0"},
      {"[A]\nForeign=1\nUpFor=1\nDownFor=0\n", "book.ini:4: DownFor must not be 0"},
  };
  for (const Case& c : cases) {
    std::string got = ErrorOf(c.text);
    EXPECT_NE(std::string::npos, got.find(c.message)) << c.text << " -> " << got;
  }
}

TEST(RasSimPhoneBook, GarbageNeverCrashesTheReader) {
  // Every prefix of a valid file and a run of arbitrary bytes: accepted or refused, nothing else.
  std::string valid =
      "[A]\nScript=0:1,0x2000:2\nFailCode=691\nFailAt=0\nClientIP=1.2.3.4\nPassword=\"x\"\n";
  for (size_t n = 0; n <= valid.size(); ++n) ErrorOf(valid.substr(0, n));
  std::string noise;
  for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919) % 256);
  ErrorOf(noise);
  ErrorOf("[A]\n" + noise);
}

TEST(RasSimPhoneBook, StoredCredentialsKeepTheRestOfTheFile) {
  const std::string text =
      "; my book\n[A]\n; keep me\nUserName=old\nPassword=old\nScript=0:1,0x2000:1\n\n[B]\n";
  TSimPhoneBook book = TSimPhoneBook::Parse(text, "book.ini");
  ASSERT_TRUE(book.SetCredentials("a", "new user", std::string(" pad ")));
  ASSERT_TRUE(book.SetCredentials("B", "bee", std::string("\"quoted")));
  EXPECT_EQ(
      "; my book\n[A]\n; keep me\nUserName=new user\nPassword=\" pad \"\nScript=0:1,0x2000:1\n\n"
      "[B]\nUserName=bee\nPassword=\"\"quoted\"\n",
      book.Text());
  TSimPhoneBook again = TSimPhoneBook::Parse(book.Text(), "book.ini");
  EXPECT_EQ(" pad ", again.Find("A")->password.value_or("<none>"));
  EXPECT_EQ("\"quoted", again.Find("B")->password.value_or("<none>"));
}

TEST(RasSimPhoneBook, RemovingThePasswordDropsItsLine) {
  TSimPhoneBook book = TSimPhoneBook::Parse("[A]\r\nUserName=u\r\nPassword=p\r\n", "book.ini");
  ASSERT_TRUE(book.SetCredentials("A", "u", std::nullopt));
  EXPECT_EQ("[A]\r\nUserName=u\r\n", book.Text());
  EXPECT_FALSE(book.Find("A")->password.has_value());
}

// A Unix file whose last line, without its LF, ends in CRs: the CRs are line
// end, and writing the file back keeps it a Unix file that reads the same.
TEST(RasSimPhoneBook, CrsEndingTheLastLineOfAUnixFileStayLineEndAfterAStore) {
  TSimPhoneBook book = TSimPhoneBook::Parse("[A]\nUserName=u\n; note\r\r", "book.ini");
  ASSERT_TRUE(book.SetCredentials("A", "v", std::nullopt));
  EXPECT_EQ("[A]\nUserName=v\n; note\n", book.Text());
  EXPECT_EQ(book.Text(), TSimPhoneBook::Parse(book.Text(), "book.ini").Text());
  TSimPhoneBook last = TSimPhoneBook::Parse("[A]\nUserName=u\r\r", "book.ini");
  EXPECT_EQ("u", last.Find("A")->userName);
  EXPECT_EQ("[A]\nUserName=u\n", last.Text());
}

TEST(RasSimPhoneBook, ValuesThatCannotBeWrittenAreRefused) {
  TSimPhoneBook book = TSimPhoneBook::Parse("[A]\nUserName=u\n", "book.ini");
  EXPECT_FALSE(book.SetCredentials("A", "two\nlines", std::string("p")));
  EXPECT_FALSE(book.SetCredentials("A", "u", std::string("p\r")));
  EXPECT_FALSE(book.SetCredentials("Nobody", "u", std::string("p")));
  EXPECT_EQ("[A]\nUserName=u\n", book.Text());
}

// The file's reader takes at most UNLEN and PWLEN characters: a longer value
// would make a file that no longer reads, so it is refused before anything
// is written (it used to throw from the re-read, out of the service's API).
TEST(RasSimPhoneBook, ValuesLongerThanTheirFieldAreRefusedAndTheBookStaysReadable) {
  TSimPhoneBook book = TSimPhoneBook::Parse("[A]\nUserName=u\n", "book.ini");
  const std::string longest(UNLEN, 'x');
  EXPECT_FALSE(book.SetCredentials("A", longest + "x", std::string("p")));
  EXPECT_FALSE(book.SetCredentials("A", "u", std::string(PWLEN + 1, 'p')));
  EXPECT_EQ("[A]\nUserName=u\n", book.Text());
  ASSERT_TRUE(book.SetCredentials("A", longest, std::string(PWLEN, 'p')));
  TSimPhoneBook again = TSimPhoneBook::Parse(book.Text(), "book.ini");
  EXPECT_EQ(longest, again.Find("A")->userName);
  EXPECT_EQ(std::string(PWLEN, 'p'), again.Find("A")->password.value_or("<none>"));
}

TEST(RasSimPhoneBook, FilesAreSavedAndLoaded) {
  TTempDir dir;
  std::string path = dir.File("phonebook.ini");
  EXPECT_TRUE(TSimPhoneBook::Load(path).Entries().empty());  // no file: no entries
  TSimPhoneBook book = TSimPhoneBook::Parse("[A]\n", "book.ini");
  book.SetCredentials("A", "u", std::string("p"));
  ASSERT_TRUE(book.Save(path));
  EXPECT_EQ("[A]\nUserName=u\nPassword=p\n", ReadFile(path));
  TSimPhoneBook loaded = TSimPhoneBook::Load(path);
  EXPECT_EQ("u", loaded.Find("A")->userName);
  EXPECT_EQ("p", loaded.Find("A")->password.value_or("<none>"));
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(RasSimPhoneBook, UnreadableFilesAreErrorsThatNameThem) {
  TTempDir dir;
  std::filesystem::create_directory(dir.File("folder.ini"));
  try {
    TSimPhoneBook::Load(dir.File("folder.ini"));
    ADD_FAILURE() << "a directory was read as a phone book";
  } catch (const ESimPhoneBookError& e) {
    EXPECT_NE(std::string::npos, std::string(e.what()).find("folder.ini"));
  }
  std::ofstream(dir.File("bad.ini")) << "[A]\nColour=blue\n";
  try {
    TSimPhoneBook::Load(dir.File("bad.ini"));
    ADD_FAILURE() << "an unknown key was accepted";
  } catch (const ESimPhoneBookError& e) {
    EXPECT_NE(std::string::npos, std::string(e.what()).find("bad.ini:2: unknown key 'Colour'"));
  }
  TSimPhoneBook book = TSimPhoneBook::Parse("[A]\n", "book.ini");
  EXPECT_FALSE(book.Save(dir.File("missing-folder/phonebook.ini")));
}

}  // namespace
