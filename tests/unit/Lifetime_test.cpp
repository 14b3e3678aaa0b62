// The program's end: the session ending inside each nested message loop, an
// exit whose error box runs while timers are due, and the saves made before
// the timed shutdown. Run under AddressSanitizer, a form freed too early is a
// failure here even where no expectation looks at it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "QuindleWorld.h"
#include "components/TrayIcon.h"

namespace {

const char* const kRunKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// What had been saved at the moment the process ended (or asked for the
// shutdown): a test's process goes on afterwards, the real one would not.
struct TSaved {
  bool reached = false;
  uint32_t left = 0;
  uint32_t miniStart = 0;
  uint32_t retryInt = 0;
  std::string time;
  std::string runValue;
  bool logOpen = true;
  size_t boxes = 0;  // message boxes shown until then
  std::vector<std::string> pane;
};

TSaved Snapshot(TQuindleWorld& q) {
  TSaved s;
  s.reached = true;
  auto& r = q.world.registry;
  if (r.HasValue(kQuindleKey, "SLeft")) s.left = r.Dword(kQuindleKey, "SLeft");
  if (r.HasValue(kQuindleKey, "MiniStart")) s.miniStart = r.Dword(kQuindleKey, "MiniStart");
  if (r.HasValue(kQuindleKey, "RetryInt")) s.retryInt = r.Dword(kQuindleKey, "RetryInt");
  if (r.HasValue(kQuindleKey, "Time")) s.time = r.String(kQuindleKey, "Time");
  if (r.HasValue(kRunKey, "Quindle")) s.runValue = r.String(kRunKey, "Quindle");
  s.logOpen = q.form1->SessionLog().FileOpen();
  s.boxes = q.world.backend.messageBoxes.size();
  s.pane = q.Pane();
  return s;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

bool PaneHas(const TQuindleWorld& q, const std::string& line) {
  const auto pane = q.Pane();
  return std::find(pane.begin(), pane.end(), line) != pane.end();
}

const char* const kUserRunKey = "HKCU\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN";

// The session ends while the program is somewhere inside a nested loop; the
// program has a moved window, a changed setting, "Start with Windows" on and
// its log file open.
struct SessionEnd : ::testing::Test {
  TTempDir dir;
  std::string log = dir.File("session.txt");
  std::unique_ptr<TQuindleWorld> q;
  TSaved saved;

  void Start(const std::string& book) {
    q = std::make_unique<TQuindleWorld>(book);
    auto& r = q->world.registry;
    r.administrator = true;  // the Run value goes to the machine-wide key
    r.PutDword(kQuindleKey, "LogEnabled", 1);
    r.PutString(kQuindleKey, "LogFile", log);
    r.PutDword(kQuindleKey, "WinBoot", 1);
    r.PutDword(kQuindleKey, "AutoRecon", 1);
    r.PutDword(kQuindleKey, "RetryInt", 1000);
    r.PutDword(kQuindleKey, "ZimAdvt", 1);
    CreateEmptyFile(log);
    q->world.system.onExit = [this] { saved = Snapshot(*q); };
    q->Start();
    q->form1->SetLeft(123);
    q->settings->MiniBox->Click();
    q->form1->Memo1->AddLine("a line that opens the log file");
    ASSERT_TRUE(q->form1->SessionLog().FileOpen());
  }
  // Windows may end the process as soon as its end-session message has
  // returned: what is saved by then is all that is kept.
  void EndSession() {
    q->world.app->EndSession();
    if (!saved.reached) saved = Snapshot(*q);
  }

  void ExpectSavedAndEnded() {
    ASSERT_TRUE(saved.reached) << "the process was not ended";
    EXPECT_EQ(saved.left, 123u);
    EXPECT_EQ(saved.miniStart, 1u);
    EXPECT_EQ(saved.runValue, "\"" + q->world.system.moduleFileName + "\"");  // a path with a space
    EXPECT_FALSE(saved.logOpen);
    EXPECT_EQ(q->world.system.exitCodes, std::vector<unsigned>{0});
    EXPECT_TRUE(q->world.app->Terminated());
  }
};

const char* const kBook =
    "[Office]\nScript=0:100,1:100,2:300,3:100,14:100,8192:100\n"
    "[Dropping]\nScript=0:100,8192:100\nDropAfter=2\nHangUpDelay=3000\n";

TEST_F(SessionEnd, InsideTheSettingsDialogsModalLoop) {
  Start(kBook);
  q->world.backend.loopScript = [this] {
    q->world.backend.loopScript = nullptr;
    EndSession();
  };
  q->form1->SetButton->Click();
  ExpectSavedAndEnded();
}

TEST_F(SessionEnd, InsideAMessageBoxOfTheSettingsDialog) {
  Start(kBook);
  q->world.backend.loopScript = [this] {
    q->world.backend.loopScript = nullptr;
    q->settings->EveryEdit->SetText("100");  // refused on close, with a box
    q->settings->Button1->Click();
  };
  q->world.backend.messageBoxAnswer = [this](const TRecordedMessageBox&) {
    EndSession();
    return IDOK_T;
  };
  q->form1->SetButton->Click();
  ExpectSavedAndEnded();
}

TEST_F(SessionEnd, InsideTheTrayMenu) {
  Start(kBook);
  q->world.backend.popupScript = [this](TPopupMenu&, int, int) -> TMenuItem* {
    EndSession();
    return nullptr;
  };
  q->world.backend.DeliverToHiddenWindow(q->form1->TrayIcon->WindowHandle(), WM_TRAYNOTIFY_T, 0,
                                         WM_RBUTTONUP_T);
  ExpectSavedAndEnded();
}

TEST_F(SessionEnd, InsideTheDialersWaitForAHangUp) {
  Start(kBook);
  q->settings->ComboBox1->SetItemIndex(1);  // "Dropping": redialled after its drop
  bool ended = false;
  // Looks in every few milliseconds; the wait for the dropped line's handle
  // (3 s) is the time between the drop's line and the redial's attempt line.
  uintptr_t probe = q->world.backend.StartTimer(5, [&] {
    if (ended || q->CountLinesStartingWith("Disconnected ") != 1 ||
        q->CountLinesStartingWith("Connection attempt #") != 1)
      return;
    ended = true;
    EndSession();
  });
  q->form1->ConButton->Click();
  q->AdvanceUntil([&] { return ended; }, 20000);
  q->world.backend.StopTimer(probe);
  ASSERT_TRUE(ended);
  ExpectSavedAndEnded();
}

TEST_F(SessionEnd, InsideTheMessagesProcessedBeforeADial) {
  Start(kBook);
  q->world.backend.PostToGui([this] { EndSession(); });
  q->form1->ConButton->Click();  // the dial's first step lets posted work run
  ExpectSavedAndEnded();
}

TEST_F(SessionEnd, InsideTheMessagesProcessedDuringALogWrite) {
  Start("");  // no entries: Connect writes its error line without a dial
  q->world.backend.PostToGui([this] { EndSession(); });
  q->form1->ConButton->Click();
  ExpectSavedAndEnded();
  EXPECT_EQ(q->Pane().back(), "Error: No connections available");
}

TEST_F(SessionEnd, InsideThePauseBeforeTheTimedShutdown) {
  Start(kBook);
  // Armed for the minute that has begun; the first tick (10 s on) acts.
  auto& s = *q->settings;
  q->world.backend.loopScript = [&] {
    q->world.backend.loopScript = nullptr;
    s.TimerBox->Click();
    s.RButtonShut->Click();
    const TPlatform& p = q->world.app->Platform();
    TDateTime now = q->world.clock.Now();
    std::string time = FormatTimeAmPm(now, p.locale->TimeSeparator());
    s.TimeEdit->SetText(time.substr(0, 5));
    s.AmPmBox->SetItemIndex(time.find("AM") != std::string::npos ? 0 : 1);
    s.DateEdit->SetText(FormatDateDdMmYy(now, p.locale->DateSeparator()));
    s.Button1->Click();
  };
  q->form1->SetButton->Click();
  ASSERT_TRUE(q->form1->DisTimer->Enabled());
  // Due with the timed-event timer's tick, and later in the same moment: it
  // runs inside the tick, among the messages processed before the pause.
  bool ended = false;
  q->world.backend.StartTimer(10000, [&] {
    if (ended) return;
    ended = true;
    EXPECT_TRUE(q->form1->Rules().UserHangUp()) << "not inside the timed event";
    EndSession();
  });
  q->Advance(10000);
  ASSERT_TRUE(ended);
  ExpectSavedAndEnded();
}

// The orderly exit's own error box is open (its settings' save stopped at a
// refused value) when the session ends: every save the exit had not made
// yet is made (the settings after that value, the window's position, the
// log file closed), with no second box, and the process ends.
TEST_F(SessionEnd, InsideAnErrorBoxOfTheExitsOwnSaves) {
  Start(kBook);
  q->world.registry.readOnlyValues.insert("HKCU\\SOFTWARE\\QUINDLE|DIALMODE");
  q->world.backend.messageBoxAnswer = [this](const TRecordedMessageBox& box) {
    if (box.text == "Failed to set data for 'DialMode'") EndSession();
    return IDOK_T;
  };
  q->world.app->DestroyForms();  // as after Exit in the tray menu
  ExpectSavedAndEnded();
  EXPECT_EQ(saved.boxes, 1u);
  EXPECT_EQ(saved.pane.back(), "Failed to set data for 'DialMode'");
}

// The session ends with Settings open, the interval field emptied and the
// time typed over, neither checked yet by a close: what is saved is what is
// in force (the interval loaded, the moment the last OK applied), and the
// values after the interval too, without a box.
TEST_F(SessionEnd, WithSettingsOpenTheValuesInForceAreSavedNotTheUncheckedFields) {
  Start(kBook);
  auto& s = *q->settings;
  auto& backend = q->world.backend;
  backend.loopScript = [&] {
    backend.loopScript = nullptr;
    s.TimerBox->Click();
    s.TimeEdit->SetText("10:45");
    s.AmPmBox->SetItemIndex(1);
    s.DateEdit->SetText("31/12/30");
    s.Button1->Click();
  };
  q->form1->SetButton->Click();
  ASSERT_TRUE(q->form1->DisTimer->Enabled());
  backend.loopScript = [&] {
    backend.loopScript = nullptr;
    s.EveryEdit->SelectAll();
    s.EveryEdit->TypeKey(VK_DELETE_T);
    s.TimeEdit->SetText("11:30");
    EndSession();
  };
  q->form1->SetButton->Click();
  ExpectSavedAndEnded();
  EXPECT_EQ(saved.boxes, 0u);
  EXPECT_EQ(saved.retryInt, 1000u);
  EXPECT_EQ(saved.time, "10:45 PM");
}

// Refused writes at the session's end: a normal user whose own Run key is
// refused too, and a position that cannot be written. No box waits for an
// answer while Windows counts down; the position is tried first, what can
// be saved is saved, and what failed is in the pane and the log file.
TEST_F(SessionEnd, RefusedSavesGoToThePaneAndTheLogFileWithoutABox) {
  Start(kBook);
  auto& r = q->world.registry;
  r.administrator = false;
  r.deniedKeys.insert(kUserRunKey);
  r.readOnlyValues.insert("HKCU\\SOFTWARE\\QUINDLE|SLEFT");
  r.log.clear();
  q->world.backend.loopScript = [this] {
    q->world.backend.loopScript = nullptr;
    EndSession();
  };
  q->form1->SetButton->Click();
  ASSERT_TRUE(saved.reached);
  EXPECT_TRUE(q->world.MessageTexts().empty());
  EXPECT_EQ(saved.miniStart, 1u);
  EXPECT_FALSE(saved.logOpen);
  EXPECT_EQ(q->world.system.exitCodes, std::vector<unsigned>{0});
  // The position's write came before the settings dialog's first one.
  const auto& log = r.log;
  const auto first = std::find_if(log.begin(), log.end(),
                                  [](const std::string& l) { return l.rfind("Set ", 0) == 0; });
  ASSERT_NE(first, log.end());
  EXPECT_EQ(*first, "Set HKCU\\SOFTWARE\\QUINDLE|SLeft");
  const std::string text = FileText(this->log);
  for (const char* failure :
       {"Failed to set data for 'SLeft'", "Failed to set data for 'Quindle'"}) {
    EXPECT_TRUE(PaneHas(*q, failure)) << failure;
    EXPECT_NE(text.find(std::string(failure) + "\r\n"), std::string::npos) << failure;
  }
}

// An exit whose position write is refused: its error box runs a message loop
// while a redial is due and a dial's notifications, the monitor's poll and the
// tray animation would run. Nothing of the freed settings dialog may be
// reached, and no dial is made on the way out.
TEST(Exit, AnErrorBoxDuringTheExitRunsNoHandlerOfAFreedForm) {
  TQuindleWorld q(
      "[Busy]\nScript=0:100,1:100,2:300,8192:100\nFailCode=678\nFailAt=2\n"
      "[Slow]\nScript=0:100,1:100,2:5000,8192:100\n");
  auto& r = q.world.registry;
  r.PutDword(kQuindleKey, "AutoRecon", 1);
  r.PutDword(kQuindleKey, "RetryInt", 1000);
  r.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();
  q.form1->ConButton->Click();
  q.Advance(700);  // failed: the redial is due in 1 s
  ASSERT_TRUE(q.form1->Timer->Enabled());
  q.settings->ComboBox1->SetItemIndex(1);
  r.readOnlyValues.insert("HKCU\\SOFTWARE\\QUINDLE|SLEFT");
  int boxes = 0;
  q.world.backend.messageBoxAnswer = [&](const TRecordedMessageBox&) {
    ++boxes;
    q.Advance(30000);  // the user takes a while to answer
    return IDOK_T;
  };
  const int dialsBefore = q.sim->service->DialCount("Slow") + q.sim->service->DialCount("Busy");
  q.world.app->DestroyForms();
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(q.world.MessageTexts().back(), "Failed to set data for 'SLeft'");
  EXPECT_EQ(q.sim->service->DialCount("Slow") + q.sim->service->DialCount("Busy"), dialsBefore);
}

// The timed shutdown may end the program without asking it: everything the
// orderly exit saves is saved before the request, with no box waiting for a
// refused write, not even after the handler: the refusal goes to the pane
// and the log file. A refused request leaves the program running and logging.
TEST(ShutdownSaves, EverythingIsSavedBeforeTheRequestAndARefusalGoesOn) {
  TTempDir dir;
  const std::string log = dir.File("session.txt");
  TQuindleWorld q("[Home]\nScript=0:100,8192:100\n");
  auto& r = q.world.registry;
  r.administrator = true;  // the Run value goes to the machine-wide key
  q.world.clock.Set(EncodeDateTime({2026, 12, 8, 9, 0, 55, 0}));
  r.PutDword(kQuindleKey, "EnableTimer", 1);
  r.PutString(kQuindleKey, "Time", "09:01 AM");
  r.PutString(kQuindleKey, "Date", "08/12/26");
  r.PutDword(kQuindleKey, "DisOrShut", 0);
  r.PutDword(kQuindleKey, "LogEnabled", 1);
  r.PutString(kQuindleKey, "LogFile", log);
  r.PutDword(kQuindleKey, "WinBoot", 1);
  r.readOnlyValues.insert("HKCU\\SOFTWARE\\QUINDLE|STOP");
  CreateEmptyFile(log);
  q.Start();
  q.form1->SetLeft(77);
  q.settings->MiniBox->Click();
  q.form1->Memo1->AddLine("before the moment");
  ASSERT_TRUE(q.form1->SessionLog().FileOpen());
  TSaved atRequest;
  q.world.system.onShutdown = [&](uint32_t) { atRequest = Snapshot(q); };
  q.world.system.acceptShutdown = false;
  q.Advance(10000);
  ASSERT_EQ(q.world.system.shutdowns.size(), 1u);
  ASSERT_TRUE(atRequest.reached);
  EXPECT_EQ(atRequest.left, 77u);
  EXPECT_EQ(atRequest.miniStart, 1u);
  EXPECT_EQ(atRequest.runValue, "\"" + q.world.system.moduleFileName + "\"");
  EXPECT_FALSE(atRequest.logOpen);
  // Refused: the program runs on; its next lines still reach the log file.
  q.Advance(1000);  // a report for later would be shown by now
  EXPECT_EQ(q.world.MessageTexts(), std::vector<std::string>{"Error shutting down Windows"});
  EXPECT_TRUE(PaneHas(q, "Failed to set data for 'STop'"));
  q.form1->Memo1->AddLine("after the refusal");
  q.form1->Memo1->AddLine("and one more");
  std::ifstream in(log);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("after the refusal\r\n"), std::string::npos);
  EXPECT_NE(text.find("Failed to set data for 'STop'\r\n"), std::string::npos);
}

}  // namespace
