// The session log: every line added to the log pane is appended to the log
// file while logging is on, each run and each switch-on opening with a header.
// The pane keeps a bounded number of the newest lines; a line the file is
// still owed stays until it has been written.
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
constexpr int kFirstLogBatch = 16, kMostLogBatch = 1024;
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
  const bool logging = !Shared.LogFileName.empty() && Shared.LoggingEnabled;
  if (logging) {
    if (!FileExists(Shared.LogFileName)) {
      // Made empty now; this change's lines are written by the next one.
      CreateEmptyFile(Shared.LogFileName);
    } else {
      const int count = Memo1->LineCount();
      const int first = LoggedLineCount;
      const int fresh = count > LoggedLineCount ? count - LoggedLineCount : 0;
      LoggedLineCount = count;
      WriteLogLines(first, fresh);
    }
  }
  BoundPane(logging);
  Memo1->Perform(EM_SCROLLCARET_T, 0, 0);
}

void TForm1::WriteLogLines(int first, int count) {
  // Lines of an earlier failed write go first, then this change's; lines
  // leave the backlog only once they have been flushed. A change's lines
  // follow the last change's, so the backlog is one range, written in
  // batches: while a fault lasts, each change tries a small one.
  if (count > 0) {
    if (!unloggedRanges_.empty() &&
        unloggedRanges_.back().first + unloggedRanges_.back().second == first)
      unloggedRanges_.back().second += count;
    else
      unloggedRanges_.emplace_back(first, count);
  }
  try {
    if (!Shared.LogFileOpen) {
      Shared.LogFile.Open(Shared.LogFileName);
      Shared.LogFileOpen = true;
    }
    if (Shared.NewSession) {
      const std::string when = TimeText() + " (" + DateText() + ")";
      Shared.LogFile.WriteLines({"", kSessionRule, "NEW SESSION: " + when, kSessionRule});
      Shared.NewSession = false;
    }
    Application().ProcessMessages();
    for (int most = kFirstLogBatch; !unloggedRanges_.empty();
         most = std::min(2 * most, kMostLogBatch)) {
      const auto [from, n] = unloggedRanges_.front();
      const int batch = std::min(n, most);
      const int end = std::min(from + batch, Memo1->LineCount());
      std::vector<std::string> lines;
      for (int i = from; i < end; ++i) lines.push_back(Memo1->Line(i));
      Shared.LogFile.WriteLines(lines);
      if (batch == n)
        unloggedRanges_.erase(unloggedRanges_.begin());
      else
        unloggedRanges_.front() = {from + batch, n - batch};
    }
    logFaultReported_ = false;
  } catch (const EInOutError& e) {
    // The file is closed so that the next change opens it afresh. The error
    // is reported once per fault, not once per line, and only after the
    // handler that added the line has returned: a redial must neither wait
    // for the user's OK nor stop over a full disk.
    CloseLogFile();
    if (!logFaultReported_) {
      logFaultReported_ = true;
      Application().HandleExceptionLater(e);
    }
  }
}

void TForm1::BoundPane(bool logging) {
  const int count = Memo1->LineCount();
  if (count <= kPaneLineBound) return;
  // Dropped in batches, so that the pane's line index is not redone per line.
  int drop = count - kPaneLinesAfterDrop;
  if (logging) {
    // Lines not yet written and lines of a failed write wait for the file.
    int owedFrom = LoggedLineCount;
    for (const auto& [from, n] : unloggedRanges_) owedFrom = std::min(owedFrom, from);
    drop = std::min(drop, owedFrom);
  }
  if (drop <= 0) return;
  const int dropped = Memo1->DropOldestLines(drop);
  if (dropped <= 0) return;
  // With logging off, lines that go before logging comes back on are not
  // written; those still in the pane are.
  LoggedLineCount = std::max(0, LoggedLineCount - dropped);
  std::vector<std::pair<int, int>> kept;
  for (const auto& [from, n] : unloggedRanges_) {
    const int start = std::max(0, from - dropped);
    const int end = from + n - dropped;
    if (end > start) kept.emplace_back(start, end - start);
  }
  unloggedRanges_.swap(kept);
}
