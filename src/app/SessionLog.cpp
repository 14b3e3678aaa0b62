// The session log: every line added to the log pane is appended to the log
// file while logging is on, each run and each switch-on opening with a header.
// The pane keeps a bounded number of the newest lines; the lines the file is
// still owed wait in a bounded backlog of their own until it can be written.
#include "app/SessionLog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "toolkit/Application.h"

namespace {
const char* const kSessionRule = "---------------------------------------";  // 39 hyphens
// Lines of the backlog handed to the file in one write: a few at first (a
// fault that lasts costs little per change), more while writes succeed.
constexpr size_t kFirstLogBatch = 16, kMostLogBatch = 1024;
}  // namespace

void TForm1::AddLine(const std::string& line) {
  Memo1->AddLine(line);
}

std::string TForm1::TimeText() {
  const TPlatform& p = Application().Platform();
  return p.locale->LongTime(p.clock->Now());
}

std::string TForm1::DateText() {
  const TPlatform& p = Application().Platform();
  return p.locale->ShortDate(p.clock->Now());
}

void TForm1::CloseLogFile() {
  // Closed here only; the next pane change opens it again when logging is on.
  Shared.LogFile.Close();
  Shared.LogFileOpen = false;
}

void TForm1::Memo1Change(TObject*) {
  const bool logging = LoggingOn();
  if (logging) {
    // Opening for appending makes a missing file, so the lines of the change
    // that makes it are written at once.
    TakeNewLines();
    WriteLogLines(true);
  }
  BoundPane(logging);
  Memo1->Perform(EM_SCROLLCARET_T, 0, 0);
}

bool TForm1::LoggingOn() const {
  return !Shared.LogFileName.empty() && Shared.LoggingEnabled;
}

void TForm1::TakeNewLines() {
  // Counted in text lines, the lines as added: the pane's own lines move
  // whenever it re-wraps, and an index of them would repeat or skip lines.
  // So each line reaches the file whole, however the pane wraps it.
  const int count = Memo1->TextLineCount();
  for (int i = LoggedLineCount; i < count; ++i) logBacklog_.Add(Memo1->TextLine(i));
  LoggedLineCount = count;
}

void TForm1::FinishLogFile() {
  // The last chance for the owed lines: without letting other messages run,
  // since the window is on its way out, and without a box: lines are owed
  // only after a fault, which was told when it came.
  if (LoggingOn() && (!logBacklog_.Empty() || logBacklog_.Lost() > 0)) {
    try {
      WriteOwedLines(false);
    } catch (const EInOutError&) {
    }
  }
  CloseLogFile();
}

void TForm1::WriteLogLines(bool letMessagesRun) {
  try {
    WriteOwedLines(letMessagesRun);
  } catch (const EInOutError& e) {
    ReportLogFault(e);
  }
}

void TForm1::WriteOwedLines(bool letMessagesRun) {
  // The owed lines leave the backlog only once they are written, oldest
  // first, in batches: while a fault lasts, each change tries a small one.
  // A nested change during the messages below writes the lines of this one
  // too, so the file keeps the pane's order. A fault leaves the lines in the
  // backlog and closes the file, so that the next write opens it afresh.
  try {
    if (!Shared.LogFileOpen) {
      Shared.LogFile.Open(*Application().Platform().files, Shared.LogFileName);
      Shared.LogFileOpen = true;
    }
    if (Shared.NewSession) {
      const std::string when = TimeText() + " (" + DateText() + ")";
      Shared.LogFile.WriteLines({"", kSessionRule, "NEW SESSION: " + when, kSessionRule});
      Shared.NewSession = false;
    }
    if (letMessagesRun) Application().ProcessMessages();
    // A nested change wrote the lines already, or logging was switched off
    // or the file closed meanwhile: the lines wait for the next write.
    if (!Shared.LogFileOpen) return;
    if (logBacklog_.Lost() > 0) {
      Shared.LogFile.WriteLines(
          {std::to_string(logBacklog_.Lost()) + " lines could not be written to the log file"});
      logBacklog_.ClearLost();
    }
    for (size_t most = kFirstLogBatch; !logBacklog_.Empty();
         most = std::min(2 * most, kMostLogBatch)) {
      const std::vector<std::string> lines = logBacklog_.Front(most);
      Shared.LogFile.WriteLines(lines);
      logBacklog_.PopFront(lines.size());
    }
    Shared.LogFaultReported = false;
  } catch (const EInOutError&) {
    CloseLogFile();
    throw;
  }
}

void TForm1::ReportLogFault(const EInOutError& e) {
  // Once per fault, not once per line, and only after the handler that
  // added the line has returned: a redial must neither wait for the user's
  // OK nor stop over a full disk.
  if (Shared.LogFaultReported) return;
  Shared.LogFaultReported = true;
  Application().HandleExceptionLater(e);
}

void TForm1::BoundPane(bool logging) {
  const int count = Memo1->TextLineCount();
  if (count <= kPaneLineBound) return;
  // Dropped in batches, so that the pane's line index is not redone per line.
  // The lines the file is owed wait in the backlog, not here.
  int drop = count - kPaneLinesAfterDrop;
  if (logging) drop = std::min(drop, LoggedLineCount);
  if (drop <= 0) return;
  const int dropped = Memo1->DropOldestTextLines(drop);
  // With logging off, lines that go before logging comes back on are not
  // written; those still in the pane are.
  LoggedLineCount = std::max(0, LoggedLineCount - dropped);
}
