// The session log file: header blocks per run and per switching-on, every
// pane line once, real files in a temporary folder, and real write faults.
#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "QuindleWorld.h"
#include "app/SessionLog.h"
#include "platform/Errors.h"
#include "platform/memory/TestFiles.h"
#include "platform/memory/VirtualClock.h"

namespace {

const char* const kBook = "[Home]\nScript=0:100,1:100,8192:100\nDropAfter=20\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> FileLines(const std::string& path) {
  std::string text = ReadFile(path);
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

void EnableLogging(TQuindleWorld& q, const std::string& file) {
  q.world.registry.PutDword(kQuindleKey, "LogEnabled", 1);
  q.world.registry.PutString(kQuindleKey, "LogFile", file);
}

// The lines of the file without the header blocks.
std::vector<std::string> BodyLines(const std::vector<std::string>& lines) {
  std::vector<std::string> body;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty() && i + 3 < lines.size() && lines[i + 1] == std::string(39, '-') &&
        lines[i + 2].rfind("NEW SESSION: ", 0) == 0 && lines[i + 3] == std::string(39, '-')) {
      i += 3;
      continue;
    }
    body.push_back(lines[i]);
  }
  return body;
}

// Every line the program adds to the pane, in order, however the pane wraps
// them and however many it has dropped since: read from the pane's text as
// it grew at each change, before the change handler runs (and drops).
struct TLineRecorder {
  std::vector<std::string> lines;
  size_t seen = 0;  // bytes of the pane's text already read
  int most = 0;     // the most text lines the pane held after a change
  explicit TLineRecorder(TForm1& form) {
    TRichEditURL* pane = form.Memo1;
    TNotifyEvent change = pane->OnChange;
    pane->OnChange = [this, pane, change](TObject* sender) {
      const std::string added = pane->Text().substr(seen);
      for (size_t at = 0, end; (end = added.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(added.substr(at, end - at));
      change(sender);
      seen = pane->Text().size();
      most = std::max(most, pane->TextLineCount());
    };
  }
};

std::string SessionLine(int i) {
  if (i % 50 == 0)
    return "Error: Access was denied because the user name and/or password was invalid on the "
           "domain. (" +
           std::to_string(i) + ")";  // wraps in the pane
  return "Connection attempt #" + std::to_string(i);
}

int Headers(const std::vector<std::string>& lines) {
  int n = 0;
  for (auto& l : lines) n += l.rfind("NEW SESSION: ", 0) == 0;
  return n;
}

TEST(SessionLog, FirstWriteCarriesTheHeaderTheAdvertAndItsEmptyLine) {
  TTempDir dir;
  const std::string log = dir.File("session.txt");
  TQuindleWorld q(kBook);
  EnableLogging(q, log);
  q.Start();  // the dialog creates the file empty; nothing is written yet
  EXPECT_EQ(ReadFile(log), "");
  q.form1->ConButton->Click();
  auto lines = FileLines(log);
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], std::string(39, '-'));
  EXPECT_EQ(lines[2], "NEW SESSION: 9:00:00 AM (12/8/2026)");
  EXPECT_EQ(lines[3], std::string(39, '-'));
  EXPECT_EQ(lines[4].rfind("http://", 0), 0u);
  EXPECT_EQ(lines[5], "");
  EXPECT_EQ(lines[6], "Connection attempt #1 (9:00:00 AM)");
}

TEST(SessionLog, TwoRunsGiveTwoHeaderBlocksAndEveryPaneLineOnce) {
  TTempDir dir;
  const std::string log = dir.File("session.txt");
  std::vector<std::string> panes;
  for (int run = 0; run < 2; ++run) {
    TQuindleWorld q(kBook);
    EnableLogging(q, log);
    q.Start();
    q.form1->ConButton->Click();
    q.Advance(30000);  // connected, dropped, redialled
    for (auto& l : q.Pane()) panes.push_back(l);
    q.world.app->DestroyForms();
  }
  auto lines = FileLines(log);
  EXPECT_EQ(Headers(lines), 2);
  EXPECT_EQ(BodyLines(lines), panes);
}

TEST(SessionLog, MissingFileIsMadeByTheFirstLineWhichItHoldsAtOnce) {
  TTempDir dir;
  const std::string log = dir.File("late.txt");
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();
  q.Shared().LoggingEnabled = true;
  q.Shared().LogFileName = log;
  q.form1->ConButton->Click();  // the attempt line makes the file and is in it
  auto lines = FileLines(log);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], "Connection attempt #1 (9:00:00 AM)");
  q.Advance(1000);
  EXPECT_EQ(BodyLines(FileLines(log)), q.Pane());
}

TEST(SessionLog, SwitchedOffAndOnWritesANewHeaderThenTheLinesOfTheGap) {
  TTempDir dir;
  const std::string log = dir.File("gap.txt");
  TQuindleWorld q(kBook);
  EnableLogging(q, log);
  q.Start();
  q.form1->ConButton->Click();
  q.Advance(1000);
  q.settings->Show();
  q.settings->LogBox->Click();  // off: the file is closed at once
  EXPECT_FALSE(q.form1->SessionLog().FileOpen());
  q.settings->Hide();
  const size_t before = FileLines(log).size();
  q.Advance(25000);  // lines while logging is off
  EXPECT_EQ(FileLines(log).size(), before);
  q.settings->Show();
  q.settings->LogBox->Click();  // on again
  q.settings->Hide();
  q.form1->DisButton->Click();
  q.Advance(3000);
  auto lines = FileLines(log);
  EXPECT_EQ(Headers(lines), 2);
  EXPECT_EQ(BodyLines(lines), q.Pane());
}

// Started by Windows at logon, the current folder is the system folder: a
// name without a folder goes beside the program, wherever the program was
// started from.
TEST(SessionLog, NameWithoutAFolderLandsInTheProgramsFolder) {
  TTempDir current, program;
  auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(current.path);
  {
    TQuindleWorld q(kBook);
    q.world.system.moduleFileName = program.File("Quindle.exe");
    EnableLogging(q, "plain.log");
    q.Start();
    q.form1->ConButton->Click();
  }
  std::filesystem::current_path(cwd);
  EXPECT_GE(FileLines(program.File("plain.log")).size(), 5u);
  EXPECT_FALSE(std::filesystem::exists(current.File("plain.log")));
}

TEST(SessionLog, LinesOfTwoByteCharactersReachTheFileWhole) {
  TTempDir dir;
  const std::string log = dir.File("session.txt");
  TQuindleWorld q(kBook);
  // Japanese (932): the control counts each of these characters as one, and
  // hands them out as two bytes each.
  q.world.backend.ansiCodePage = TAnsiCodePage::Japanese();
  EnableLogging(q, log);
  q.Start();
  const std::string pm = "\x8C\xDF\x8C\xE3";  // "afternoon" in Shift-JIS
  const std::string connected = "Connected " + pm + " 10:15:30 (2026/12/08)";
  // A line wider than the pane breaks between characters, never inside one.
  std::string wide = "Error: ";
  for (int i = 0; i < 60; ++i) wide += pm;
  q.form1->Memo1->AddLine(connected);
  q.form1->Memo1->AddLine(wide);
  ASSERT_GT(q.form1->Memo1->LineCount() - q.form1->Memo1->TextLineCount(), 2);  // it wraps
  auto body = BodyLines(FileLines(log));
  auto at = std::find(body.begin(), body.end(), connected);
  ASSERT_NE(at, body.end());
  // The wide line follows whole, as it was added.
  ASSERT_EQ(body.end() - at, 2);
  EXPECT_EQ(*++at, wide);
}

TEST(SessionLog, LoggingOnWithoutANameWritesNothing) {
  TQuindleWorld q(kBook);
  q.Start();
  q.Shared().LoggingEnabled = true;
  q.Shared().LogFileName.clear();
  q.form1->ConButton->Click();
  EXPECT_FALSE(q.form1->SessionLog().FileOpen());
  EXPECT_EQ(q.form1->SessionLog().LoggedLineCount(), 0);
}

TEST(SessionLog, EveryChangeScrollsTheCaretIntoView) {
  TQuindleWorld q(kBook);
  q.Start();
  const int before = q.form1->Memo1->ScrollCaretCount();
  q.form1->ConButton->Click();
  q.Advance(2000);
  EXPECT_EQ(q.form1->Memo1->ScrollCaretCount() - before,
            static_cast<int>(q.Pane().size()) - 2 /* the advert's change came first */);
}

TEST(SessionLog, FullDeviceReportsTheErrorAndLosesNoLineOnceTheFaultIsGone) {
  TTempDir dir;
  const std::string good = dir.File("good.txt");
  TQuindleWorld q(kBook);
  q.Start();
  q.Shared().LoggingEnabled = true;
  q.Shared().LogFileName = "/dev/full";
  q.form1->ConButton->Click();
  q.Advance(1000);
  // One report for the fault, however many lines it kept back.
  EXPECT_EQ(q.world.backend.messageBoxes.size(), 1u);
  EXPECT_NE(q.world.backend.messageBoxes[0].text.find("/dev/full"), std::string::npos);
  EXPECT_FALSE(q.form1->SessionLog().FileOpen());
  // The user picks another file: everything not written so far reaches it.
  q.Shared().LogFileName = good;
  ASSERT_TRUE(CreateEmptyFile(good));
  q.Advance(25000);
  auto lines = FileLines(good);
  EXPECT_EQ(Headers(lines), 1);
  EXPECT_EQ(BodyLines(lines), q.Pane());
}

TEST(SessionLog, ReadOnlyFolderLosesNoLineOnceWritable) {
  TTempDir dir;
  const std::string log = dir.File("ro.txt");
  ASSERT_TRUE(CreateEmptyFile(log));
  TQuindleWorld q(kBook);
  q.world.files.refusedFolders.insert(dir.path.string());
  q.Start();
  q.Shared().LoggingEnabled = true;
  q.Shared().LogFileName = log;
  q.form1->ConButton->Click();
  q.Advance(500);
  ASSERT_EQ(q.world.MessageTexts().size(), 1u);
  EXPECT_EQ(q.world.MessageTexts()[0],
            "I/O error 5: cannot open '" + log + "' (Access is denied.)");
  q.world.files.refusedFolders.clear();
  q.Advance(25000);
  EXPECT_EQ(BodyLines(FileLines(log)), q.Pane());
}

TEST(SessionLog, ALineAddedWhileAWriteProcessesMessagesIsWrittenExactlyOnce) {
  TTempDir dir;
  const std::string log = dir.File("nested.txt");
  TQuindleWorld q(kBook);
  EnableLogging(q, log);
  q.Start();
  // A posted message that adds a line runs inside the next write.
  bool added = false;
  q.form1->Memo1->OnChange = [&](TObject* s) {
    if (!added) {
      added = true;
      q.world.backend.PostToGui([&] { q.form1->Memo1->AddLine("nested line"); });
    }
    q.form1->Memo1Change(s);
  };
  q.form1->Memo1->AddLine("outer line");
  q.Advance(10);
  auto body = BodyLines(FileLines(log));
  EXPECT_EQ(std::count(body.begin(), body.end(), "nested line"), 1);
  EXPECT_EQ(std::count(body.begin(), body.end(), "outer line"), 1);
  EXPECT_EQ(body.size(), q.Pane().size());
}

// The pane's vertical scroll bar comes once its lines no longer fit, and
// the text re-wraps to the width the bar leaves: a line that fitted before
// becomes two, and so does a later one widened by a two-digit hour.
TEST(SessionLog, LinesReachTheFileOnceWhenTheScrollBarOrANewWidthReWrapsThePane) {
  TTempDir dir;
  const std::string log = dir.File("wrap.txt");
  TQuindleWorld q(kBook);
  EnableLogging(q, log);
  q.world.clock.Set(EncodeDateTime({2026, 12, 8, 22, 59, 50, 0}));
  q.Start();
  TRichEditURL& pane = *q.form1->Memo1;
  const auto connected = [&](int n) {
    return q.AdvanceUntil([&] { return q.CountLinesStartingWith("Connected ") == n; });
  };
  q.form1->ConButton->Click();
  ASSERT_TRUE(connected(1));
  EXPECT_EQ(pane.LineCount(), pane.TextLineCount());  // the advert's 37 characters fit
  ASSERT_TRUE(connected(2));  // dropped and redialled: the bar comes, the advert wraps
  EXPECT_EQ(pane.LineCount(), pane.TextLineCount() + 1);
  pane.SetBounds(pane.Left(), pane.Top(), pane.Width() - 60, pane.Height());  // a narrower window
  ASSERT_TRUE(connected(3));
  const auto body = BodyLines(FileLines(log));
  EXPECT_EQ(std::count(body.begin(), body.end(), "Opening port"), 3);  // one per dial
  EXPECT_EQ(body, q.Pane());
}

// ---- the pane's bound ----

TEST(SessionLog, FailedRedialsFillThePaneFarPastTheControlsDefaultLimitAndAllReachTheFile) {
  TTempDir dir;
  const std::string log = dir.File("busy.txt");
  TQuindleWorld q("[Busy]\nScript=0:100,1:100,8192:100\nFailCode=678\nFailAt=1\n");
  EnableLogging(q, log);
  q.world.registry.PutDword(kQuindleKey, "AutoRecon", 1);
  q.world.registry.PutDword(kQuindleKey, "RetryInt", 500);
  q.world.registry.PutDword(kQuindleKey, "AttempsInt", 100000);
  q.Start();
  TLineRecorder shown(*q.form1);
  TRichEditURL& pane = *q.form1->Memo1;
  q.form1->ConButton->Click();
  // Three times what a control without a limit set would hold.
  for (int minutes = 0; minutes < 60 && pane.TextLength() <= 3 * 32767; ++minutes) q.Advance(60000);
  EXPECT_GT(pane.TextLength(), 3 * 32767);
  EXPECT_EQ(pane.TextLine(pane.TextLineCount() - 1), "Error: 678");
  EXPECT_GT(q.form1->Rules().AttemptNo(), 1000);
  EXPECT_TRUE(BodyLines(FileLines(log)) == shown.lines);
  EXPECT_EQ(q.world.MessageTexts().size(), 0u);
}

TEST(SessionLog, ThePaneKeepsItsNewestLinesAndTheFileGetsEveryLineOnceInOrder) {
  TTempDir dir;
  const std::string log = dir.File("long.txt");
  TQuindleWorld q(kBook);
  EnableLogging(q, log);
  q.Start();
  TLineRecorder shown(*q.form1);
  TRichEditURL& pane = *q.form1->Memo1;
  for (int i = 0; i < 25000; ++i) pane.AddLine(SessionLine(i));

  EXPECT_LE(shown.most, kPaneLineBound);
  EXPECT_GE(pane.TextLineCount(), kPaneLinesAfterDrop);
  ASSERT_GT(shown.lines.size(), 25000u);
  // The pane holds the newest lines, the file every line once, in order.
  const std::vector<std::string> newest(shown.lines.end() - pane.TextLineCount(),
                                        shown.lines.end());
  EXPECT_TRUE(q.Pane() == newest);
  const auto lines = FileLines(log);
  EXPECT_EQ(Headers(lines), 1);
  EXPECT_TRUE(BodyLines(lines) == shown.lines);
  EXPECT_EQ(q.form1->SessionLog().LoggedLineCount(), pane.TextLineCount());
}

TEST(SessionLog, ThePaneHoldsTenThousandLinesAndDropsToNineThousandPastThem) {
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();
  TRichEditURL& pane = *q.form1->Memo1;
  for (int i = 0; i < 10000; ++i) pane.AddLine(SessionLine(i));
  EXPECT_EQ(q.Pane().size(), 10000u);
  EXPECT_EQ(q.Pane().front(), SessionLine(0));
  pane.AddLine(SessionLine(10000));
  const auto kept = q.Pane();
  ASSERT_EQ(kept.size(), 9000u);
  EXPECT_EQ(kept.front(), SessionLine(1001));
  EXPECT_EQ(kept.back(), SessionLine(10000));
}

TEST(SessionLog, LinesTheFileIsOwedWaitOutsideThePaneWhichStaysBounded) {
  TTempDir dir;
  const std::string folder = dir.File("logs");
  const std::string log = folder + "/session.txt";
  std::filesystem::create_directories(folder);
  TQuindleWorld q(kBook);
  EnableLogging(q, log);
  q.Start();
  TLineRecorder shown(*q.form1);
  TRichEditURL& pane = *q.form1->Memo1;
  int i = 0;

  // The folder refuses the user before the first line: every line waits for
  // the file, and the pane keeps to its bound all the same.
  q.world.files.refusedFolders.insert(folder);
  for (; i < 3 * kPaneLineBound; ++i) pane.AddLine(SessionLine(i));
  EXPECT_LE(shown.most, kPaneLineBound);
  q.Advance(10);
  ASSERT_EQ(q.world.MessageTexts().size(), 1u);
  EXPECT_NE(q.world.MessageTexts()[0].find("(Access is denied.)"), std::string::npos)
      << q.world.MessageTexts()[0];
  q.world.files.refusedFolders.clear();
  pane.AddLine("the folder takes the file again");
  EXPECT_TRUE(BodyLines(FileLines(log)) == shown.lines);
  EXPECT_LE(pane.TextLineCount(), kPaneLineBound);

  // The disk fills up: the same, and one more report for the new fault.
  q.world.files.diskFull = true;
  for (int n = 0; n < 2 * kPaneLineBound; ++n, ++i) pane.AddLine(SessionLine(i));
  EXPECT_LE(shown.most, kPaneLineBound);
  q.Advance(10);
  ASSERT_EQ(q.world.MessageTexts().size(), 2u);
  EXPECT_NE(q.world.MessageTexts()[1].find("(There is not enough space on the disk.)"),
            std::string::npos);
  q.world.files.diskFull = false;
  pane.AddLine("room again");
  const auto lines = FileLines(log);
  EXPECT_EQ(Headers(lines), 1);
  EXPECT_TRUE(BodyLines(lines) == shown.lines);
  q.Advance(10);
  EXPECT_EQ(q.world.MessageTexts().size(), 2u);
}

TEST(SessionLog, PastTheBacklogsBoundTheOldestOwedLinesGoAndTheFileSaysHowMany) {
  TTempDir dir;
  const std::string log = dir.File("session.txt");
  TQuindleWorld q(kBook);
  EnableLogging(q, log);
  q.Start();
  TLineRecorder shown(*q.form1);
  TRichEditURL& pane = *q.form1->Memo1;
  pane.AddLine("written before the fault");
  const size_t before = shown.lines.size();

  // Lines of 20 bytes, none wider than the pane.
  const size_t kept = kLogBacklogBytes / 20;
  const size_t owed = kept + 1234;
  q.world.files.diskFull = true;
  for (size_t n = 0; n < owed; ++n) pane.AddLine("owed line " + std::to_string(1000000000 + n));
  EXPECT_LE(shown.most, kPaneLineBound);
  q.world.files.diskFull = false;
  pane.AddLine("written again");

  const auto lines = BodyLines(FileLines(log));
  // Before the fault, the count of the lost ones, the newest owed lines, the
  // line that found the disk writable.
  std::vector<std::string> expected(shown.lines.begin(), shown.lines.begin() + before);
  expected.push_back(std::to_string(owed - kept) + " lines could not be written to the log file");
  expected.insert(expected.end(), shown.lines.end() - 1 - kept, shown.lines.end());
  EXPECT_EQ(lines.size(), expected.size());
  EXPECT_TRUE(lines == expected);
}

TEST(SessionLog, WithLoggingOffThePaneDropsFreelyAndLogsWhatItStillHolds) {
  TTempDir dir;
  const std::string log = dir.File("later.txt");
  TQuindleWorld q(kBook);
  q.Start();
  TLineRecorder shown(*q.form1);
  TRichEditURL& pane = *q.form1->Memo1;
  for (int i = 0; i < 25000; ++i) pane.AddLine(SessionLine(i));
  EXPECT_LE(shown.most, kPaneLineBound);

  // Logging comes on: the lines still in the pane are written after the header.
  ASSERT_TRUE(CreateEmptyFile(log));
  q.Shared().LoggingEnabled = true;
  q.Shared().LogFileName = log;
  std::vector<std::string> expected = q.Pane();
  pane.AddLine("logging on");
  expected.emplace_back("logging on");
  const auto lines = FileLines(log);
  EXPECT_EQ(Headers(lines), 1);
  EXPECT_TRUE(BodyLines(lines) == expected);
}

// ---- write faults ----

TEST(SessionLog, AWriteFaultIsReportedOnlyOnceTheHandlerThatMetItHasReturned) {
  TTempDir dir;
  const std::string log = dir.File("redial.txt");
  TQuindleWorld q(kBook);
  EnableLogging(q, log);
  q.world.registry.PutDword(kQuindleKey, "AutoRecon", 1);
  q.Start();
  TLineRecorder shown(*q.form1);
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return q.CountLinesStartingWith("Connected ") == 1; }));
  // The disk fills while the line is up.
  q.form1->CloseLogFile();
  q.Shared().LogFileName = "/dev/full";
  const int dials = q.sim->service->DialCount("Home");
  std::vector<std::string> paneAtBox;
  int dialsAtBox = -1;
  q.world.backend.messageBoxAnswer = [&](const TRecordedMessageBox&) {
    paneAtBox = q.Pane();
    dialsAtBox = q.sim->service->DialCount("Home");
    return IDOK_T;
  };
  ASSERT_TRUE(q.AdvanceUntil([&] { return !q.world.backend.messageBoxes.empty(); }, 30000));

  // The drop's line met the fault; the redial went ahead before the report.
  EXPECT_EQ(dialsAtBox, dials + 1);
  ASSERT_GE(paneAtBox.size(), 2u);
  EXPECT_EQ(paneAtBox[paneAtBox.size() - 2].rfind("Disconnected ", 0), 0u);
  EXPECT_EQ(paneAtBox.back().rfind("Connection attempt #1 (", 0), 0u);

  // One report for the fault, however many lines it keeps back.
  q.Advance(30000);
  EXPECT_EQ(q.world.backend.messageBoxes.size(), 1u);
  q.Shared().LogFileName = log;
  q.Advance(30000);
  EXPECT_TRUE(BodyLines(FileLines(log)) == shown.lines);
}

// ---- the way out ----

// Lines the file was owed when the disk filled: written at the way out once
// the disk has room, or told in a box at Exit when it still has none.
TEST(SessionLog, TheWayOutWritesTheOwedLinesOrSaysWhyNot) {
  for (const bool sessionEnd : {false, true}) {
    for (const bool roomAgain : {true, false}) {
      SCOPED_TRACE(std::string(sessionEnd ? "session end" : "exit") +
                   (roomAgain ? ", room again" : ", disk still full"));
      TTempDir dir;
      const std::string log = dir.File("owed.txt");
      TQuindleWorld q(kBook);
      EnableLogging(q, log);
      q.Start();
      q.form1->ConButton->Click();
      ASSERT_TRUE(q.AdvanceUntil([&] { return q.CountLinesStartingWith("Connected ") == 1; }));
      q.world.files.diskFull = true;
      q.form1->DisButton->Click();
      q.Advance(1000);
      ASSERT_EQ(q.world.MessageTexts().size(), 1u);  // the fault, told once
      const std::vector<std::string> shown = q.Pane();
      q.world.files.diskFull = !roomAgain;
      if (sessionEnd)
        q.world.app->EndSession();
      else
        q.world.app->DestroyForms();
      if (roomAgain) {
        EXPECT_EQ(BodyLines(FileLines(log)), shown);
        EXPECT_EQ(q.world.MessageTexts().size(), 1u);
      } else {
        // Told already: no second box, at Exit or at the session end.
        EXPECT_EQ(q.world.MessageTexts().size(), 1u);
      }
    }
  }
}

TEST(SessionLog, AFileThatCannotBeMadeIsToldOnceAndItsLinesReachItAtExit) {
  TTempDir dir;
  const std::string folder = dir.File("logs");
  std::filesystem::create_directories(folder);
  const std::string log = folder + "/exit.txt";
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();
  q.world.files.refusedFolders.insert(folder);
  q.Shared().LoggingEnabled = true;
  q.Shared().LogFileName = log;
  q.form1->ConButton->Click();
  EXPECT_TRUE(q.world.MessageTexts().empty()) << "told after the handler, not inside it";
  q.Advance(1000);
  ASSERT_EQ(q.world.MessageTexts().size(), 1u);
  EXPECT_EQ(q.world.MessageTexts()[0],
            "I/O error 5: cannot open '" + log + "' (Access is denied.)");
  q.world.files.refusedFolders.clear();
  const std::vector<std::string> shown = q.Pane();
  q.world.app->DestroyForms();
  EXPECT_EQ(BodyLines(FileLines(log)), shown);
  EXPECT_EQ(q.world.MessageTexts().size(), 1u);
}

// ---- the session log on its own: a pane of plain lines, real files ----

// The pane as a list of lines.
struct TListPane final : ILogPane {
  std::vector<std::string> lines;
  int TextLineCount() const override { return static_cast<int>(lines.size()); }
  std::string TextLine(int index) const override { return lines.at(static_cast<size_t>(index)); }
  int DropOldestTextLines(int count) override {
    const int n = std::min(count, TextLineCount());
    lines.erase(lines.begin(), lines.begin() + n);
    return n;
  }
};

struct TSessionLogWorld {
  TTempDir dir;
  TTestFiles files;
  TVirtualClock clock;
  TMemoryLocale locale;
  TPlatform platform;
  TSharedValues values;
  TListPane pane;
  std::function<void()> onMessages;  // what runs while a write lets messages run
  std::vector<std::string> reports;
  TSessionLog log{pane,
                  values,
                  platform,
                  {[this] {
                     if (onMessages) onMessages();
                   },
                   [this](const std::exception& e) { reports.emplace_back(e.what()); }}};
  std::vector<std::string> added;  // every line given to the pane, in order

  TSessionLogWorld() {
    platform.files = &files;
    platform.clock = &clock;
    platform.locale = &locale;
    values.LoggingEnabled = true;
    values.LogFileName = dir.File("session.txt");
  }
  void Add(const std::string& line) {
    pane.lines.push_back(line);
    added.push_back(line);
    log.PaneChanged();
  }
};

TEST(TSessionLog, LinesReachTheFileInPaneOrderAcrossAFaultAndItsRecovery) {
  TSessionLogWorld w;
  // A line added while the first write lets messages run follows it.
  w.onMessages = [&] {
    w.onMessages = nullptr;
    w.Add("nested");
  };
  w.Add("first");
  w.Add("second");
  w.files.diskFull = true;
  w.Add("owed 1");
  w.Add("owed 2");
  EXPECT_FALSE(w.log.FileOpen());
  ASSERT_EQ(w.reports.size(), 1u);  // one report for the fault, not one per line
  EXPECT_NE(w.reports[0].find("(There is not enough space on the disk.)"), std::string::npos);
  w.files.diskFull = false;
  w.Add("room again");
  const auto lines = FileLines(w.values.LogFileName);
  EXPECT_EQ(Headers(lines), 1);
  EXPECT_EQ(lines[2], "NEW SESSION: 9:00:00 AM (12/8/2026)");
  EXPECT_EQ(BodyLines(lines), (std::vector<std::string>{"first", "nested", "second", "owed 1",
                                                        "owed 2", "room again"}));
  // A write that succeeded ends the fault: the next one is reported again.
  w.files.diskFull = true;
  w.Add("a new fault");
  EXPECT_EQ(w.reports.size(), 2u);
}

TEST(TSessionLog, ThePaneBoundNeverCostsALineTheFileIsStillOwed) {
  TSessionLogWorld w;
  w.files.diskFull = true;
  // Changes that each bring the pane past its bound at once.
  for (int change = 0; change < 8; ++change) {
    for (int i = 0; i < 2500; ++i) w.pane.lines.push_back(SessionLine(change * 2500 + i));
    w.added.insert(w.added.end(), w.pane.lines.end() - 2500, w.pane.lines.end());
    w.log.PaneChanged();
    EXPECT_LE(w.pane.TextLineCount(), kPaneLineBound);
    EXPECT_EQ(w.log.LoggedLineCount(), w.pane.TextLineCount());
  }
  EXPECT_GE(w.pane.TextLineCount(), kPaneLinesAfterDrop);
  w.files.diskFull = false;
  w.Add("room again");
  EXPECT_TRUE(BodyLines(FileLines(w.values.LogFileName)) == w.added);

  // With logging off the pane drops freely; on again, the file gets what the
  // pane still holds, not what went meanwhile.
  w.values.LoggingEnabled = false;
  w.log.Close();
  for (int i = 0; i < kPaneLineBound; ++i) w.Add("unlogged " + std::to_string(i));
  EXPECT_LE(w.pane.TextLineCount(), kPaneLineBound);
  EXPECT_EQ(w.log.LoggedLineCount(), 0);  // nothing the pane holds was written
  w.values.LoggingEnabled = true;
  w.values.NewSession = true;
  const std::vector<std::string> held = w.pane.lines;
  w.Add("logging on");
  const auto lines = FileLines(w.values.LogFileName);
  std::vector<std::string> expected = w.added;
  expected.resize(expected.size() - kPaneLineBound - 1);
  expected.insert(expected.end(), held.begin(), held.end());
  expected.emplace_back("logging on");
  EXPECT_EQ(Headers(lines), 2);
  EXPECT_TRUE(BodyLines(lines) == expected);
}

}  // namespace
