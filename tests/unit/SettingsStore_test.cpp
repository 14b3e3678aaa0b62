// The settings kept in the registry: what the dialog loads at start-up and
// applies to the main window, what it stores at exit, the Run value, and the
// reports for values of the wrong type and keys that cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <initializer_list>

#include "QuindleWorld.h"
#include "platform/Files.h"

namespace {

const char* const kBook =
    "[Office]\nUserName=alice\nPassword=secret\nScript=0:100,8192:100\n"
    "[Home]\nScript=0:100,8192:100\n";
const char* const kRunPath = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunSetLine =
    "Set HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN|Quindle";

// Runs the test in a folder of its own: relative log file names land there.
struct TWorkingFolder {
  TTempDir dir;
  std::filesystem::path previous = std::filesystem::current_path();
  TWorkingFolder() { std::filesystem::current_path(dir.path); }
  ~TWorkingFolder() { std::filesystem::current_path(previous); }
};

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> b) {
  return b;
}

struct SettingsStoreTest : ::testing::Test {
  TWorkingFolder folder;
  TQuindleWorld q{kBook};
  // The program lives in the working folder, where relative log names go.
  SettingsStoreTest() { q.world.system.moduleFileName = InFolder("Quindle.exe"); }
  std::string InFolder(const std::string& name) { return (folder.dir.path / name).string(); }

  TSettingsForm& S() { return *q.settings; }
  TSharedValues& Shared() { return q.Shared(); }
  TMemoryRegistry& Reg() { return q.world.registry; }
  void Put(const char* name, uint32_t v) { Reg().PutDword(kQuindleKey, name, v); }
  void PutText(const char* name, const std::string& v, uint32_t type = REG_SZ_T) {
    Reg().PutString(kQuindleKey, name, v, type);
  }
  uint32_t Stored(const char* name) { return Reg().Dword(kQuindleKey, name); }
  std::string StoredText(const char* name) { return Reg().String(kQuindleKey, name); }
  void Exit() { q.world.app->DestroyForms(); }
  std::vector<std::string> Messages() { return q.world.MessageTexts(); }
  // Some change by the user, so that the settings are stored at exit.
  void TouchASetting() { S().MiniBox->Click(); }
  // Opens the dialog with the Settings button, runs `act` while it is open,
  // then closes it with OK.
  void WithDialog(const std::function<void()>& act) {
    auto& backend = q.world.backend;
    backend.loopScript = [this, act, &backend] {
      backend.loopScript = nullptr;
      act();
      S().Button1->Click();
    };
    q.form1->SetButton->Click();
    backend.loopScript = nullptr;
  }
  bool RunValueWritten() {
    for (auto& line : Reg().log)
      if (line == kRunSetLine) return true;
    return false;
  }
};

TEST_F(SettingsStoreTest, FirstRunShowsTheDesignValuesAndStoresNothing) {
  q.Start();
  EXPECT_TRUE(S().AsyncButton->Checked());
  EXPECT_TRUE(S().AutoReconBox->Checked());
  EXPECT_EQ(S().EveryEdit->Text(), "3000");
  EXPECT_EQ(S().AttemptsEdit->Text(), "99999");
  EXPECT_FALSE(S().LogBox->Checked());
  EXPECT_FALSE(S().LogEdit->Enabled());
  EXPECT_FALSE(S().TimerBox->Checked());
  EXPECT_FALSE(S().TimeEdit->Enabled());
  EXPECT_FALSE(S().CheckBox1->Checked() || S().CheckBox2->Checked() || S().MiniBox->Checked() ||
               S().ZimBox->Checked());
  EXPECT_EQ(S().ComboBox1->ItemIndex(), 0);
  EXPECT_EQ(S().ComboBox1->Text(), "Office");
  EXPECT_EQ(Shared().MaxAttempts, 99999);
  EXPECT_FALSE(Shared().LoggingEnabled);
  EXPECT_EQ(q.form1->Timer->Interval(), 3000u);
  EXPECT_FALSE(q.form1->Timer->Enabled());
  EXPECT_FALSE(q.form1->DisTimer->Enabled());
  EXPECT_FALSE(S().SettingsChanged);

  Exit();
  EXPECT_EQ(Reg().ValueNames(kQuindleKey), (std::vector<std::string>{"SLeft", "STop"}));
  EXPECT_FALSE(Reg().HasValue(kRunPath, "Quindle"));
  EXPECT_TRUE(Messages().empty());
}

TEST(SettingsStoreEmptyBook, TheListHoldsThePlaceholderAndNoCredentialsAreAsked) {
  TWorkingFolder folder;
  TQuindleWorld q("");
  q.Start();
  auto& s = *q.settings;
  EXPECT_EQ(s.ComboBox1->Items().Count(), 1);
  EXPECT_EQ(s.ComboBox1->Text(), "No connections available");
  s.Show();
  EXPECT_EQ(s.UEdit->Text(), "");
  EXPECT_EQ(q.form1->DialUp1->Entry(), "");  // the placeholder was never handed to the dialer
  s.UEdit->TypeText("bob");
  s.Close();
  EXPECT_EQ(q.form1->DialUp1->Entry(), "");
}

TEST_F(SettingsStoreTest, StoredValuesAreLoadedAndAppliedToTheMainWindow) {
  TTempDir tmp;
  const std::string log = tmp.File("session.log");
  Put("DialMode", 2);
  Put("AutoRecon", 1);
  Put("RetryInt", 7000);
  Put("AttempsInt", 5);
  Put("EnableTimer", 1);
  PutText("Time", "09:30 PM");
  PutText("Date", "24/12/26");
  Put("DisOrShut", 0);
  Put("LogEnabled", 1);
  PutText("LogFile", log);
  Put("WinBoot", 0);
  Put("AutoCon", 1);
  Put("ConInt", 1);
  Put("MiniStart", 1);
  Put("ZimAdvt", 1);
  q.Start();

  EXPECT_TRUE(S().SyncButton->Checked());
  EXPECT_FALSE(S().AsyncButton->Checked());
  EXPECT_EQ(S().EveryEdit->Text(), "7000");
  EXPECT_EQ(S().AttemptsEdit->Text(), "5");
  EXPECT_TRUE(S().TimerBox->Checked());
  EXPECT_TRUE(S().TimeEdit->Enabled());
  EXPECT_EQ(S().TimeEdit->Text(), "09:30");
  EXPECT_EQ(S().AmPmBox->Text(), "PM");
  EXPECT_EQ(S().DateEdit->Text(), "24/12/26");
  EXPECT_TRUE(S().RButtonShut->Checked());
  EXPECT_TRUE(S().LogBox->Checked());
  EXPECT_TRUE(S().LogEdit->Enabled());
  EXPECT_EQ(S().LogEdit->Text(), log);
  EXPECT_TRUE(S().CheckBox1->Checked());
  EXPECT_EQ(S().ComboBox1->Text(), "Home");
  EXPECT_TRUE(S().MiniBox->Checked());
  EXPECT_TRUE(S().ZimBox->Checked());
  // The loading clicks do not count as changes.
  EXPECT_FALSE(S().SettingsChanged);

  EXPECT_EQ(Shared().MaxAttempts, 5);
  EXPECT_EQ(q.form1->Timer->Interval(), 7000u);
  EXPECT_TRUE(q.form1->Timer->Enabled());
  EXPECT_TRUE(Shared().LoggingEnabled);
  EXPECT_EQ(Shared().LogFileName, log);
  EXPECT_TRUE(FileExists(log));
  EXPECT_EQ(Shared().TimedTime, "09:30 PM");
  EXPECT_EQ(Shared().TimedDate, "24/12/26");
  EXPECT_FALSE(Shared().DisconnectAtTime);
  EXPECT_TRUE(q.form1->DisTimer->Enabled());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SettingsStoreTest, ALoadUnlikeTheDesignMarksNoChangeAndTheFieldsFollowItsBoxes) {
  Put("DialMode", 1);
  Put("AutoRecon", 0);
  Put("EnableTimer", 1);
  PutText("Time", "07:45 AM");
  PutText("Date", "24/12/26");
  Put("LogEnabled", 1);
  Put("MiniStart", 1);
  q.Start();
  EXPECT_FALSE(S().Loading());
  for (TControl* c : std::initializer_list<TControl*>{S().Label1, S().Label2, S().Label3,
                                                      S().EveryEdit, S().AttemptsEdit})
    EXPECT_FALSE(c->Enabled()) << c->Name();
  for (TControl* c : std::initializer_list<TControl*>{
           S().Label4, S().LogEdit, S().Label5, S().Label6, S().TimeEdit, S().AmPmBox, S().DateEdit,
           S().RButtonDis, S().RButtonShut, S().Label7, S().Label8})
    EXPECT_TRUE(c->Enabled()) << c->Name();
  EXPECT_FALSE(S().SettingsChanged);

  // The user's click after it is a change, and is stored.
  S().AutoReconBox->Click();
  EXPECT_TRUE(S().EveryEdit->Enabled());
  EXPECT_TRUE(S().SettingsChanged);
  Exit();
  EXPECT_EQ(Stored("AutoRecon"), 1u);
  EXPECT_EQ(Stored("RetryInt"), 3000u);
  EXPECT_EQ(Stored("DialMode"), 1u);
  EXPECT_EQ(StoredText("Time"), "07:45 AM");
  EXPECT_EQ(StoredText("ConName"), "Office");
  EXPECT_TRUE(Messages().empty());
}

// The dialog lists what it is handed, and finds the stored choice in it.
TEST_F(SettingsStoreTest, TheDialogListsTheEntriesItIsHandedWithTheStoredChoiceAmongThem) {
  Put("ConInt", 0);
  PutText("ConName", "Home");
  q.Start();
  using TNames = std::vector<std::string>;
  EXPECT_EQ(S().ComboBox1->Items().ToVector(), (TNames{"Office", "Home"}));
  EXPECT_EQ(S().ComboBox1->Text(), "Home");
  EXPECT_EQ(q.form1->RasMonitor1->EntryName(), "Home");

  TStrings moved;
  for (const char* name : {"Corp VPN", "Home", "Office"}) moved.Add(name);
  S().ShowEntries(moved);
  EXPECT_EQ(S().ComboBox1->Items().ToVector(), (TNames{"Corp VPN", "Home", "Office"}));
  EXPECT_EQ(S().ComboBox1->ItemIndex(), 1);
  S().ShowEntries(TStrings());
  EXPECT_EQ(S().ComboBox1->Items().ToVector(), (TNames{"No connections available"}));
  EXPECT_EQ(S().ComboBox1->ItemIndex(), -1);
  EXPECT_FALSE(S().SettingsChanged);
}

TEST_F(SettingsStoreTest, ConnectOnStartUpDialsOneIntervalAfterStartUp) {
  Put("AutoCon", 1);
  Put("RetryInt", 4000);
  q.Start();
  q.Advance(3900);
  EXPECT_EQ(q.sim->service->DialCount("Office"), 0);
  q.Advance(200);
  EXPECT_EQ(q.sim->service->DialCount("Office"), 1);
}

TEST_F(SettingsStoreTest, TextsAreTakenAsTheyStandFromEitherStringType) {
  Put("EnableTimer", 1);
  // Not expanded, cut at the first NUL; an empty value is empty text.
  PutText("Date", "%DATE%", REG_EXPAND_SZ_T);
  Reg().PutRaw(kQuindleKey, "Time", REG_SZ_T,
               Bytes({'1', '1', ':', '4', '5', ' ', 'A', 'M', 0, '9', '9'}));
  Put("LogEnabled", 1);
  PutText("LogFile", "%TEMP%.log", REG_EXPAND_SZ_T);
  q.Start();
  EXPECT_EQ(S().TimeEdit->Text(), "11:45");
  EXPECT_EQ(S().AmPmBox->Text(), "AM");
  EXPECT_EQ(S().DateEdit->Text(), "  /  /  ");  // no digits in it
  EXPECT_EQ(S().LogEdit->Text(), "%TEMP%.log");
  EXPECT_TRUE(FileExists("%TEMP%.log"));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SettingsStoreTest, TimerWithoutAStoredTimeSelectsPmAndClearsTheField) {
  Put("EnableTimer", 1);
  Reg().PutRaw(kQuindleKey, "Date", REG_SZ_T, {});
  q.Start();
  EXPECT_EQ(S().AmPmBox->Text(), "PM");
  EXPECT_EQ(S().TimeEdit->Text(), "  :  ");
  EXPECT_EQ(S().DateEdit->Text(), "  /  /  ");
  EXPECT_EQ(Shared().TimedTime, "  :   PM");
}

TEST_F(SettingsStoreTest, AnyNonZeroIsTrueAndAnyNonZeroDialModeIsSyncStoredAsOne) {
  Put("DialMode", 2);
  Put("MiniStart", 0x100);
  Put("AutoRecon", 0xFFFFFFFF);
  q.Start();
  EXPECT_TRUE(S().SyncButton->Checked());
  EXPECT_TRUE(S().MiniBox->Checked());
  EXPECT_TRUE(S().AutoReconBox->Checked());
  S().ZimBox->Click();
  Exit();
  EXPECT_EQ(Stored("DialMode"), 1u);
  EXPECT_EQ(Stored("MiniStart"), 1u);
  EXPECT_EQ(Stored("AutoRecon"), 1u);
  EXPECT_EQ(Stored("ZimAdvt"), 1u);
}

TEST_F(SettingsStoreTest, ValuesBehindASwitchThatIsOffAreNeitherReadNorOverwritten) {
  Put("AutoRecon", 0);
  Put("RetryInt", 7000);
  Put("AttempsInt", 5);
  Put("EnableTimer", 0);
  PutText("Time", "10:00 AM");
  Put("LogEnabled", 0);
  PutText("LogFile", "old.log");
  q.Start();
  EXPECT_EQ(S().EveryEdit->Text(), "3000");
  EXPECT_FALSE(S().EveryEdit->Enabled());
  EXPECT_FALSE(S().Label1->Enabled());
  EXPECT_EQ(Shared().MaxAttempts, 99999);
  EXPECT_EQ(q.form1->Timer->Interval(), 3000u);
  EXPECT_EQ(S().LogEdit->Text(), "SessionLog.txt");

  TouchASetting();
  Exit();
  EXPECT_EQ(Stored("AutoRecon"), 0u);
  EXPECT_EQ(Stored("RetryInt"), 7000u);
  EXPECT_EQ(Stored("AttempsInt"), 5u);
  EXPECT_EQ(StoredText("Time"), "10:00 AM");
  EXPECT_EQ(StoredText("LogFile"), "old.log");
  EXPECT_EQ(Stored("MiniStart"), 1u);
}

TEST_F(SettingsStoreTest, ChangedSettingsAreStoredWithTheirEncodings) {
  TTempDir tmp;
  q.Start();
  WithDialog([&] {
    S().SyncButton->Click();
    S().EveryEdit->SelectAll();
    S().EveryEdit->TypeText("4500");
    S().AttemptsEdit->SelectAll();
    S().AttemptsEdit->TypeText("12");
    S().TimerBox->Click();
    S().TimeEdit->SetSelStart(0);
    S().TimeEdit->TypeText("1045");
    S().AmPmBox->TypeChar('p');
    S().DateEdit->SetSelStart(0);
    S().DateEdit->TypeText("311226");
    S().RButtonShut->Click();
    S().LogBox->Click();
    S().LogEdit->SelectAll();
    S().LogEdit->TypeText(tmp.File("q.log"));
    S().CheckBox1->Click();
    S().ComboBox1->Select(1);
    S().ZimBox->Click();
  });
  EXPECT_TRUE(S().SettingsChanged);
  Exit();
  const std::string key = kQuindleKey;
  for (const char* name :
       {"DialMode", "AutoRecon", "RetryInt", "AttempsInt", "EnableTimer", "DisOrShut", "LogEnabled",
        "WinBoot", "AutoCon", "ConInt", "MiniStart", "ZimAdvt"})
    EXPECT_EQ(Reg().TypeOf(key, name), REG_DWORD_T) << name;
  for (const char* name : {"Time", "Date", "LogFile"})
    EXPECT_EQ(Reg().TypeOf(key, name), REG_SZ_T) << name;
  EXPECT_EQ(Stored("DialMode"), 1u);
  EXPECT_EQ(Stored("AutoRecon"), 1u);
  EXPECT_EQ(Stored("RetryInt"), 4500u);
  EXPECT_EQ(Stored("AttempsInt"), 12u);
  EXPECT_EQ(Stored("EnableTimer"), 1u);
  EXPECT_EQ(StoredText("Time"), "10:45 PM");
  EXPECT_EQ(StoredText("Date"), "31/12/26");
  EXPECT_EQ(Stored("DisOrShut"), 0u);
  EXPECT_EQ(Stored("LogEnabled"), 1u);
  EXPECT_EQ(StoredText("LogFile"), tmp.File("q.log"));
  EXPECT_EQ(Stored("WinBoot"), 0u);
  EXPECT_EQ(Stored("AutoCon"), 1u);
  EXPECT_EQ(Stored("ConInt"), 1u);
  EXPECT_EQ(Stored("MiniStart"), 0u);
  EXPECT_EQ(Stored("ZimAdvt"), 1u);
  // Texts are stored with their terminating NUL.
  std::vector<uint8_t> raw;
  uint32_t type = 0, size = 0;
  HKEY_T h = 0;
  ASSERT_EQ(Reg().OpenKey(HKEY_CURRENT_USER_T, "SOFTWARE\\Quindle", KEY_READ_T, &h),
            ERROR_SUCCESS_T);
  ASSERT_EQ(Reg().QueryValue(h, "Date", &type, nullptr, &size), ERROR_SUCCESS_T);
  EXPECT_EQ(size, 9u);
  Reg().CloseKey(h);
}

TEST_F(SettingsStoreTest, WrongTypesAreReportedAndEverythingElseIsStillLoadedAndApplied) {
  PutText("DialMode", "1");
  Reg().PutRaw(kQuindleKey, "RetryInt", REG_BINARY_T, Bytes({0x10, 0x27, 0, 0}));
  Put("AttempsInt", 7);
  Reg().PutRaw(kQuindleKey, "EnableTimer", REG_QWORD_T, Bytes({1, 0, 0, 0, 0, 0, 0, 0}));
  Reg().PutRaw(kQuindleKey, "LogEnabled", REG_DWORD_T, Bytes({1, 0}));
  Put("AutoCon", 1);
  Put("ZimAdvt", 1);
  q.Start();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{
                "Invalid data type for 'DialMode'", "Invalid data type for 'RetryInt'",
                "Invalid data type for 'EnableTimer'", "Invalid data type for 'LogEnabled'"}));
  EXPECT_TRUE(S().AsyncButton->Checked());
  EXPECT_EQ(S().EveryEdit->Text(), "3000");
  EXPECT_EQ(S().AttemptsEdit->Text(), "7");
  EXPECT_FALSE(S().TimerBox->Checked());
  EXPECT_FALSE(S().LogBox->Checked());
  EXPECT_TRUE(S().CheckBox1->Checked());
  EXPECT_TRUE(S().ZimBox->Checked());
  // Applied as usual.
  EXPECT_EQ(Shared().MaxAttempts, 7);
  EXPECT_TRUE(q.form1->Timer->Enabled());
  // And rewritten well-typed at exit, keeping what was readable.
  EXPECT_TRUE(S().SettingsChanged);
  Exit();
  EXPECT_EQ(Reg().TypeOf(kQuindleKey, "DialMode"), REG_DWORD_T);
  EXPECT_EQ(Stored("DialMode"), 0u);
  EXPECT_EQ(Reg().TypeOf(kQuindleKey, "RetryInt"), REG_DWORD_T);
  EXPECT_EQ(Stored("RetryInt"), 3000u);
  EXPECT_EQ(Reg().TypeOf(kQuindleKey, "EnableTimer"), REG_DWORD_T);
  EXPECT_EQ(Stored("LogEnabled"), 0u);
  EXPECT_EQ(Stored("AttempsInt"), 7u);
  EXPECT_EQ(Stored("AutoCon"), 1u);
  EXPECT_EQ(Stored("ZimAdvt"), 1u);
}

TEST(SettingsStoreTypes, EveryValueOfEveryWrongTypeIsReportedByNameAndRewritten) {
  struct TBad {
    uint32_t type;
    std::vector<uint8_t> data;
  };
  const std::vector<TBad> notNumbers = {{REG_SZ_T, {'1', 0}},
                                        {REG_BINARY_T, {1, 0, 0, 0}},
                                        {REG_QWORD_T, {1, 0, 0, 0, 0, 0, 0, 0}},
                                        {REG_DWORD_T, {1, 0}},
                                        {REG_EXPAND_SZ_T, {}}};
  const std::vector<TBad> notTexts = {
      {REG_DWORD_T, {'1', '2', ':', 0}}, {REG_BINARY_T, {'1', 0}}, {REG_MULTI_SZ_T, {'1', 0, 0}}};
  struct TCase {
    const char* name;
    bool text;
  };
  const TCase cases[] = {
      {"DialMode", false},    {"AutoRecon", false}, {"RetryInt", false}, {"AttempsInt", false},
      {"EnableTimer", false}, {"Time", true},       {"Date", true},      {"DisOrShut", false},
      {"LogEnabled", false},  {"LogFile", true},    {"WinBoot", false},  {"AutoCon", false},
      {"ConInt", false},      {"MiniStart", false}, {"ZimAdvt", false},  {"ConName", true}};
  for (const TCase& c : cases) {
    for (const TBad& bad : c.text ? notTexts : notNumbers) {
      SCOPED_TRACE(std::string(c.name) + " as type " + std::to_string(bad.type));
      TWorkingFolder folder;
      TQuindleWorld q(kBook);
      auto& reg = q.world.registry;
      // The switches that let every value be read.
      reg.PutDword(kQuindleKey, "EnableTimer", 1);
      reg.PutDword(kQuindleKey, "LogEnabled", 1);
      reg.PutRaw(kQuindleKey, c.name, bad.type, bad.data);
      q.Start();
      auto messages = q.world.MessageTexts();
      const std::string expected = std::string("Invalid data type for '") + c.name + "'";
      ASSERT_FALSE(messages.empty());
      for (auto& m : messages) EXPECT_EQ(m, expected);
      EXPECT_TRUE(q.settings->SettingsChanged);
      q.world.app->DestroyForms();
      EXPECT_EQ(reg.TypeOf(kQuindleKey, c.name), c.text ? REG_SZ_T : REG_DWORD_T);
    }
  }
}

// The main window's TimedDone of another type: reported at start-up, and gone
// at exit, so that the next start-up is quiet; a well-typed one stays.
TEST_F(SettingsStoreTest, AnUnreadableTimedDoneIsReportedOnceAndRemovedAtExit) {
  Reg().PutRaw(kQuindleKey, "TimedDone", REG_BINARY_T, Bytes({'0', '9', ':', '3', '0'}));
  q.Start();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Invalid data type for 'TimedDone'"}));
  EXPECT_EQ(q.form1->TimedEventDone(), "");
  Exit();
  EXPECT_FALSE(Reg().HasValue(kQuindleKey, "TimedDone"));

  TQuindleWorld next(kBook);
  next.world.registry.PutString(kQuindleKey, "TimedDone", "09:30 PM 24/12/26");
  next.Start();
  EXPECT_EQ(next.form1->TimedEventDone(), "09:30 PM 24/12/26");
  next.world.app->DestroyForms();
  EXPECT_TRUE(next.world.MessageTexts().empty());
  EXPECT_EQ(next.world.registry.String(kQuindleKey, "TimedDone"), "09:30 PM 24/12/26");
}

TEST_F(SettingsStoreTest, ConIntOutsideTheListSelectsNothingAndNoCredentialsAreShownOrStored) {
  Put("ConInt", 5);
  q.Start();
  EXPECT_EQ(S().ComboBox1->ItemIndex(), -1);
  EXPECT_EQ(S().ComboBox1->Items().Count(), 2);
  WithDialog([&] {
    EXPECT_EQ(S().UEdit->Text(), "");
    EXPECT_EQ(S().PMask->Text(), "");
    S().UEdit->TypeText("mallory");
    S().PMask->TypeText("x");
  });
  auto book = q.sim->service->Book();
  EXPECT_EQ(book.Find("Office")->userName, "alice");
  EXPECT_EQ(book.Find("Home")->userName, "");
  TouchASetting();
  Exit();
  EXPECT_EQ(static_cast<int32_t>(Stored("ConInt")), -1);
  EXPECT_TRUE(Messages().empty());
}

// The choice stored by name as well as by place: an entry added above it
// (or one removed) does not change what is dialled at start-up.
TEST(SettingsStoreByName, TheChosenEntryIsFoundByItsNameWhereverTheListPutsIt) {
  const char* const moved =
      "[Corp VPN]\nScript=0:100,8192:100\n"
      "[Office]\nScript=0:100,8192:100\n[Home]\nScript=0:100,8192:100\n";
  struct TCase {
    const char* book;
    const char* name;  // stored beside ConInt 1; none: an older version wrote ConInt alone
    const char* dialled;
  } cases[] = {
      {moved, "Home", "Home"},  // ConInt 1 is Office now
      {"[Home]\nScript=0:100,8192:100\n", "Home", "Home"},
      {moved, nullptr, "Office"},     // no name stored: the place, as before
      {moved, "Gone Line", nullptr},  // the named entry is gone: nothing
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.name ? c.name : "(no name)") + " in " + c.book);
    TQuindleWorld q(c.book);
    auto& r = q.world.registry;
    r.PutDword(kQuindleKey, "ConInt", 1);
    if (c.name) r.PutString(kQuindleKey, "ConName", c.name);
    r.PutDword(kQuindleKey, "AutoCon", 1);
    q.Start();
    q.Advance(3000);
    for (const char* entry : {"Corp VPN", "Office", "Home"})
      EXPECT_EQ(q.sim->service->DialCount(entry), c.dialled && std::string(c.dialled) == entry)
          << entry;
    // Chosen again with OK: both values stored, the name as the list has it.
    q.settings->Show();
    q.settings->ComboBox1->Select(q.settings->ComboBox1->Items().Count() - 1);
    q.settings->CheckBox1->Click();
    q.settings->Hide();
    q.world.app->DestroyForms();
    EXPECT_EQ(r.String(kQuindleKey, "ConName"), "Home");
    EXPECT_EQ(r.Dword(kQuindleKey, "ConInt"), std::string(c.book) == moved ? 2u : 0u);
  }
}

TEST_F(SettingsStoreTest, ALogFileInAMissingFolderIsReportedAsSuchKeptAndWrittenOnceThere) {
  TTempDir tmp;
  Put("LogEnabled", 1);
  const std::string wanted = tmp.File("missing/folder.log");
  PutText("LogFile", wanted);
  q.Start();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Cannot write the log file " + wanted +
                                                  ": The system cannot find the path specified."}));
  EXPECT_EQ(S().LogEdit->Text(), wanted);
  EXPECT_EQ(Shared().LogFileName, wanted);
  EXPECT_FALSE(FileExists("SessionLog.log"));
  EXPECT_TRUE(Shared().LoggingEnabled);
  EXPECT_FALSE(S().SettingsChanged);
  // The lines wait, with no second report of the same fault, until the
  // folder is there.
  q.form1->ConButton->Click();
  q.Advance(5000);
  EXPECT_EQ(Messages().size(), 1u);
  std::filesystem::create_directory(tmp.File("missing"));
  q.form1->Memo1->AddLine("makes the file");
  q.form1->Memo1->AddLine("writes the lines");
  std::ifstream in(wanted, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const std::string& line : q.Pane())
    EXPECT_NE(text.find(line + "\r\n"), std::string::npos) << line;
  EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(SettingsStoreTest, AStoredLogFileElsewhereMakesNoFileOfTheDefaultNameBesideTheProgram) {
  TTempDir program, logs;
  q.world.system.moduleFileName = program.File("Quindle.exe");
  Put("LogEnabled", 1);
  PutText("LogFile", logs.File("mine.log"));
  q.Start();
  q.form1->Memo1->AddLine("a line");
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Shared().LogFileName, logs.File("mine.log"));
  EXPECT_TRUE(std::filesystem::is_empty(program.path));
}

TEST_F(SettingsStoreTest, AProgramFolderTheUserCannotWriteKeepsTheLogInTheUsersOwnFolder) {
  TTempDir program, local;
  q.world.system.moduleFileName = program.File("Quindle.exe");
  q.world.shell.localAppData = local.path.string();
  q.world.files.refusedFolders.insert(program.path.string());
  Put("LogEnabled", 1);
  q.Start();
  const std::string log = local.File("Quindle/SessionLog.txt");
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(S().LogEdit->Text(), "SessionLog.txt");
  EXPECT_EQ(Shared().LogFileName, log);
  q.form1->ConButton->Click();
  q.Advance(25000);
  // Closing Settings checks the name again; the pane says where once.
  WithDialog([] {});
  q.form1->ConButton->Click();
  q.Advance(1000);
  EXPECT_EQ(q.CountLinesStartingWith("Log file: "), 1);
  EXPECT_FALSE(FileExists(program.File("SessionLog.txt")));
  Exit();
  EXPECT_TRUE(Messages().empty());
  std::ifstream in(log, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A line wider than the pane reaches the file as the pieces it wraps into.
  std::string joined;
  for (size_t at = 0, end; at < text.size(); at = end + 2) {
    end = text.find("\r\n", at);
    if (end == std::string::npos) break;
    joined += text.substr(at, end - at);
  }
  EXPECT_NE(joined.find("Log file: " + log + "Connection attempt #1"), std::string::npos);
  EXPECT_NE(text.find("Connected "), std::string::npos);
}

TEST_F(SettingsStoreTest, AStoredLogFileNamingAProgramIsRefusedAtStartUp) {
  ASSERT_TRUE(CreateEmptyFile("tool.exe"));
  Put("LogEnabled", 1);
  PutText("LogFile", "tool.exe");
  q.Start();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Invalid log file name: tool.exe"}));
  EXPECT_EQ(Shared().LogFileName, InFolder("SessionLog.log"));
}

TEST_F(SettingsStoreTest, AStoredIntervalBelowTheMinimumIsRaisedToIt) {
  Put("RetryInt", static_cast<uint32_t>(-20));
  q.Start();
  EXPECT_EQ(q.form1->Timer->Interval(), 500u);
  EXPECT_EQ(S().EveryEdit->Text(), "500");
}

TEST_F(SettingsStoreTest, ASettingsKeyThatCannotBeCreatedIsReported) {
  Reg().uncreatableKeys.insert("HKCU\\SOFTWARE\\QUINDLE");
  q.Start();
  TouchASetting();
  Exit();
  auto m = Messages();
  EXPECT_NE(std::find(m.begin(), m.end(), "Failed to create key Quindle"), m.end());
  EXPECT_FALSE(Reg().HasKey(kQuindleKey));
}

TEST_F(SettingsStoreTest, AValueThatCannotBeWrittenStopsTheSaveThereWithItsName) {
  Reg().MakeKey(kQuindleKey);
  Reg().readOnlyValues.insert("HKCU\\SOFTWARE\\QUINDLE|RETRYINT");
  q.Start();
  TouchASetting();
  Exit();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Failed to set data for 'RetryInt'"}));
  EXPECT_TRUE(Reg().HasValue(kQuindleKey, "AutoRecon"));
  EXPECT_FALSE(Reg().HasValue(kQuindleKey, "EnableTimer"));
}

TEST_F(SettingsStoreTest, ANumberTooLongForTheFieldIsReportedOnCloseAndAtExit) {
  q.Start();
  WithDialog([&] {
    S().EveryEdit->SelectAll();
    S().EveryEdit->TypeText("99999999999");
    S().TimerBox->Click();  // would be refused with blank fields, were it checked
  });
  EXPECT_EQ(Messages(), (std::vector<std::string>{"'99999999999' is not a valid integer value"}));
  EXPECT_EQ(q.form1->Timer->Interval(), 3000u);
  EXPECT_TRUE(S().TimerBox->Checked());  // the rest of that close was not carried out
  Exit();
  EXPECT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages().back(), "'99999999999' is not a valid integer value");
  EXPECT_EQ(Stored("AutoRecon"), 1u);
  EXPECT_FALSE(Reg().HasValue(kQuindleKey, "EnableTimer"));
}

// ---- the Run value ----

struct RunValueTest : SettingsStoreTest {
  std::string Program() { return q.world.system.moduleFileName; }
  // What the Run value must hold for a path with a space: the path quoted.
  std::string Command() { return "\"C:\\Program Files\\Quindle\\Quindle.exe\""; }
  void SetUp() override {
    Reg().MakeKey(kRunPath);
    q.world.system.moduleFileName = "C:\\Program Files\\Quindle\\Quindle.exe";
  }
};

// The machine-wide Run key as an administrator has it: writable.
struct RunValueAdminTest : RunValueTest {
  void SetUp() override {
    RunValueTest::SetUp();
    Reg().administrator = true;
  }
};

TEST_F(RunValueAdminTest, WrittenAtExitWhenStartWithWindowsIsOnEvenWithoutAChange) {
  Put("WinBoot", 1);
  q.Start();
  Exit();
  EXPECT_EQ(Reg().TypeOf(kRunPath, "Quindle"), REG_SZ_T);
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), Command());
  EXPECT_EQ(Reg().ValueNames(kQuindleKey), (std::vector<std::string>{"SLeft", "STop", "WinBoot"}));
}

TEST_F(RunValueAdminTest, OverwrittenWhenTheProgramHasMoved) {
  Put("WinBoot", 1);
  Reg().PutString(kRunPath, "Quindle", "D:\\Old\\Quindle.exe");
  q.Start();
  Exit();
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), Command());
}

TEST_F(RunValueAdminTest, LeftUntouchedWhenItAlreadyNamesTheProgram) {
  Put("WinBoot", 1);
  Reg().PutString(kRunPath, "Quindle", Command());
  q.Start();
  Exit();
  EXPECT_FALSE(RunValueWritten());
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), Command());
}

// Unquoted, "C:\Program.exe" would be started in its place at every logon.
TEST_F(RunValueAdminTest, AnOldValueWithoutQuotesIsRewrittenQuotedAndNothingElseChanges) {
  Put("WinBoot", 1);
  Reg().PutString(kRunPath, "Quindle", Program());
  q.Start();
  Exit();
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), Command());
  EXPECT_EQ(Reg().ValueNames(kQuindleKey), (std::vector<std::string>{"SLeft", "STop", "WinBoot"}));
  // For a normal user, who may not write it, the old value still names the
  // program.
  TQuindleWorld other(kBook);
  other.world.system.moduleFileName = Program();
  other.world.registry.PutString(kRunPath, "Quindle", Program());
  other.world.registry.PutDword(kQuindleKey, "WinBoot", 1);
  other.Start();
  other.world.app->DestroyForms();
  EXPECT_TRUE(other.world.MessageTexts().empty());
}

// A WinBoot that cannot be read says nothing about the Run value: it stays
// as it is (another user of the PC may rely on it), unless the user sets the
// box in this run.
TEST_F(RunValueAdminTest, AnUnreadableWinBootLeavesTheRunValueAlone) {
  PutText("WinBoot", "yes");
  Reg().PutString(kRunPath, "Quindle", Command());
  q.Start();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Invalid data type for 'WinBoot'"}));
  Exit();
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), Command());
  EXPECT_EQ(Reg().TypeOf(kQuindleKey, "WinBoot"), REG_DWORD_T);
  EXPECT_EQ(Stored("WinBoot"), 1u);  // what the Run value says
}

TEST_F(RunValueAdminTest, AnUnreadableWinBootStillFollowsTheBoxTheUserSets) {
  PutText("WinBoot", "yes");
  Reg().PutString(kRunPath, "Quindle", Command());
  q.Start();
  S().CheckBox2->Click();  // on
  S().CheckBox2->Click();  // and off again
  Exit();
  EXPECT_FALSE(Reg().HasValue(kRunPath, "Quindle"));
  EXPECT_EQ(Stored("WinBoot"), 0u);
}

TEST_F(RunValueAdminTest, AValueOfAnotherTypeIsReplaced) {
  Put("WinBoot", 1);
  Reg().PutDword(kRunPath, "Quindle", 1);
  q.Start();
  Exit();
  EXPECT_EQ(Reg().TypeOf(kRunPath, "Quindle"), REG_SZ_T);
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), Command());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RunValueAdminTest, DeletedWhenTheUserSwitchesItOff) {
  Put("WinBoot", 1);
  Reg().PutString(kRunPath, "Quindle", Program());
  q.Start();
  S().CheckBox2->Click();
  Exit();
  EXPECT_FALSE(Reg().HasValue(kRunPath, "Quindle"));
  EXPECT_EQ(Stored("WinBoot"), 0u);
}

TEST_F(RunValueAdminTest, LeftAloneWhenOffFromTheStartAndNothingChanged) {
  Reg().PutString(kRunPath, "Quindle", "C:\\Other\\Quindle.exe");
  q.Start();
  Exit();
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), "C:\\Other\\Quindle.exe");
}

// ---- the Run value for a normal user, who may read the machine-wide Run
// key but not write it ----

const char* const kUserRunPath = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

TEST_F(RunValueTest, ANormalUsersValueGoesToTheirOwnRunKeyWithoutAWord) {
  q.Start();
  WithDialog([&] { S().CheckBox2->Click(); });
  Exit();
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Reg().String(kUserRunPath, "Quindle"), Command());
  EXPECT_FALSE(Reg().HasValue(kRunPath, "Quindle"));
  EXPECT_EQ(Stored("WinBoot"), 1u);
  // An unreadable WinBoot is stored as what the Run values say: this user's
  // names the program.
  TQuindleWorld next(kBook);
  next.world.system.moduleFileName = Program();
  next.world.registry.PutString(kUserRunPath, "Quindle", Command());
  next.world.registry.PutString(kQuindleKey, "WinBoot", "yes");
  next.Start();
  next.world.app->DestroyForms();
  EXPECT_EQ(next.world.registry.Dword(kQuindleKey, "WinBoot"), 1u);
  EXPECT_EQ(next.world.registry.String(kUserRunPath, "Quindle"), Command());
}

TEST_F(RunValueTest, BothRunKeysRefusedIsReportedAndTheSettingsAreStillSaved) {
  Reg().deniedKeys.insert("HKCU\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN");
  q.Start();
  WithDialog([&] {
    S().CheckBox2->Click();
    S().CheckBox1->Click();
  });
  Exit();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Failed to set data for 'Quindle'"}));
  EXPECT_FALSE(Reg().HasValue(kRunPath, "Quindle"));
  EXPECT_FALSE(Reg().HasValue(kUserRunPath, "Quindle"));
  EXPECT_EQ(Stored("WinBoot"), 1u);
  EXPECT_EQ(Stored("AutoCon"), 1u);
}

// A machine-wide value that already names the program starts it: a second
// one of the user's own would start it twice.
TEST_F(RunValueTest, AMachineWideValueNamingTheProgramIsEnoughAndLeavesNoSecond) {
  Reg().PutString(kRunPath, "Quindle", Program());
  Reg().PutString(kUserRunPath, "Quindle", Command());
  Put("WinBoot", 1);
  q.Start();
  Exit();
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), Program());
  EXPECT_FALSE(Reg().HasValue(kUserRunPath, "Quindle"));
}

TEST_F(RunValueAdminTest, AnElevatedRunMovesTheUsersValueToTheMachineWideKey) {
  Reg().PutString(kUserRunPath, "Quindle", Command());
  Put("WinBoot", 1);
  q.Start();
  Exit();
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), Command());
  EXPECT_FALSE(Reg().HasValue(kUserRunPath, "Quindle"));
}

// Unchecked: each value that names the program goes, from whichever key holds
// it; another installation's value stays, also when a stray change marked
// the settings changed.
TEST_F(RunValueTest, UncheckingRemovesTheUsersValueAndLeavesAnotherInstallationsAlone) {
  Reg().PutString(kUserRunPath, "Quindle", Command());
  Reg().PutString(kRunPath, "Quindle", "C:\\Other\\Quindle.exe");
  Put("WinBoot", 1);
  q.Start();
  S().CheckBox2->Click();
  Exit();
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(Reg().HasValue(kUserRunPath, "Quindle"));
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), "C:\\Other\\Quindle.exe");
  EXPECT_EQ(Stored("WinBoot"), 0u);
}

TEST_F(RunValueAdminTest, AnExitRemovesOnlyAValueThatNamesTheProgram) {
  Reg().PutString(kRunPath, "Quindle", "C:\\Other\\Quindle.exe");
  q.Start();
  TouchASetting();
  Exit();
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), "C:\\Other\\Quindle.exe");
  EXPECT_EQ(Stored("WinBoot"), 0u);
}

// The machine-wide value stays: the user is told what that means and what
// to do, at the exit that stores the box off, and not at the exits after it.
TEST_F(RunValueTest, AMachineWideValueTheUserCannotRemoveIsReportedOnce) {
  Reg().PutString(kRunPath, "Quindle", Program());
  Put("WinBoot", 1);
  q.Start();
  S().CheckBox2->Click();
  Exit();
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("administrator"), std::string::npos) << Messages()[0];
  EXPECT_EQ(Reg().String(kRunPath, "Quindle"), Program());
  EXPECT_EQ(Stored("WinBoot"), 0u);
  TQuindleWorld next(kBook);
  next.world.system.moduleFileName = Program();
  next.world.registry.PutString(kRunPath, "Quindle", Program());
  next.world.registry.PutDword(kQuindleKey, "WinBoot", Stored("WinBoot"));
  next.Start();
  next.settings->MiniBox->Click();
  next.world.app->DestroyForms();
  EXPECT_TRUE(next.world.MessageTexts().empty());
  EXPECT_EQ(next.world.registry.Dword(kQuindleKey, "MiniStart"), 1u);
}

}  // namespace
