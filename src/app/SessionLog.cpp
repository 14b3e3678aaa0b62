#include "app/SessionLog.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/Errors.h"

namespace {
const char* const kSessionRule = "---------------------------------------";  // 39 hyphens
// Lines of the backlog handed to the file in one write: a few at first (a
// fault that lasts costs little per change), more while writes succeed.
constexpr size_t kFirstLogBatch = 16, kMostLogBatch = 1024;
}  // namespace

TSessionLog::TSessionLog(ILogPane& pane, TSharedValues& values, const TPlatform& platform,
                         THooks hooks)
    : pane_(pane), values_(values), platform_(platform), hooks_(std::move(hooks)) {}

void TSessionLog::Close() {
  values_.LogFile.Close();
  values_.LogFileOpen = false;
}

void TSessionLog::PaneChanged() {
  const bool logging = LoggingOn();
  if (logging) {
    // Opening for appending makes a missing file, so the lines of the change
    // that makes it are written at once.
    TakeNewLines();
    WriteLines(true);
  }
  BoundPane(logging);
}

bool TSessionLog::LoggingOn() const {
  return !values_.LogFileName.empty() && values_.LoggingEnabled;
}

void TSessionLog::TakeNewLines() {
  // Counted in text lines, the lines as added: the pane's own lines move
  // whenever it re-wraps, and an index of them would repeat or skip lines.
  // So each line reaches the file whole, however the pane wraps it.
  const int count = pane_.TextLineCount();
  for (int i = loggedLineCount_; i < count; ++i) backlog_.Add(pane_.TextLine(i));
  loggedLineCount_ = count;
}

void TSessionLog::Finish() {
  // The last chance for the owed lines: without letting other messages run,
  // since the window is on its way out, and without a box: lines are owed
  // only after a fault, which was told when it came.
  if (LoggingOn() && (!backlog_.Empty() || backlog_.Lost() > 0)) {
    try {
      WriteOwedLines(false);
    } catch (const EInOutError&) {
    }
  }
  Close();
}

void TSessionLog::WriteLines(bool letMessagesRun) {
  try {
    WriteOwedLines(letMessagesRun);
  } catch (const EInOutError& e) {
    ReportFault(e);
  }
}

void TSessionLog::WriteOwedLines(bool letMessagesRun) {
  // The owed lines leave the backlog only once they are written, oldest
  // first, in batches: while a fault lasts, each change tries a small one.
  // A nested change during the messages below writes the lines of this one
  // too, so the file keeps the pane's order. A fault leaves the lines in the
  // backlog and closes the file, so that the next write opens it afresh.
  try {
    if (!values_.LogFileOpen) {
      values_.LogFile.Open(*platform_.files, values_.LogFileName);
      values_.LogFileOpen = true;
    }
    if (values_.NewSession) {
      ILocale& locale = *platform_.locale;
      const std::string time = locale.LongTime(platform_.clock->Now());
      const std::string date = locale.ShortDate(platform_.clock->Now());
      values_.LogFile.WriteLines(
          {"", kSessionRule, "NEW SESSION: " + time + " (" + date + ")", kSessionRule});
      values_.NewSession = false;
    }
    if (letMessagesRun && hooks_.letMessagesRun) hooks_.letMessagesRun();
    // A nested change wrote the lines already, or logging was switched off
    // or the file closed meanwhile: the lines wait for the next write.
    if (!values_.LogFileOpen) return;
    if (backlog_.Lost() > 0) {
      values_.LogFile.WriteLines(
          {std::to_string(backlog_.Lost()) + " lines could not be written to the log file"});
      backlog_.ClearLost();
    }
    for (size_t most = kFirstLogBatch; !backlog_.Empty();
         most = std::min(2 * most, kMostLogBatch)) {
      const std::vector<std::string> lines = backlog_.Front(most);
      values_.LogFile.WriteLines(lines);
      backlog_.PopFront(lines.size());
    }
    values_.LogFaultReported = false;
  } catch (const EInOutError&) {
    Close();
    throw;
  }
}

void TSessionLog::ReportFault(const std::exception& e) {
  // Once per fault, not once per line, and only after the handler that
  // added the line has returned: a redial must neither wait for the user's
  // OK nor stop over a full disk.
  if (values_.LogFaultReported) return;
  values_.LogFaultReported = true;
  if (hooks_.reportLater) hooks_.reportLater(e);
}

void TSessionLog::BoundPane(bool logging) {
  const int count = pane_.TextLineCount();
  if (count <= kPaneLineBound) return;
  // Dropped in batches, so that the pane's line index is not redone per line.
  // The lines the file is owed wait in the backlog, not here.
  int drop = count - kPaneLinesAfterDrop;
  if (logging) drop = std::min(drop, loggedLineCount_);
  if (drop <= 0) return;
  const int dropped = pane_.DropOldestTextLines(drop);
  // With logging off, lines that go before logging comes back on are not
  // written; those still in the pane are.
  loggedLineCount_ = std::max(0, loggedLineCount_ - dropped);
}
