// The session log: every line added to the log pane is appended to the log
// file while logging is on, each run and each switch-on opening with a header.
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "toolkit/Application.h"

namespace {
const char* const kSessionRule = "---------------------------------------";  // 39 hyphens
}  // namespace

void TForm1::Memo1Change(TObject*) {
  if (!Shared.LogFileName.empty() && Shared.LoggingEnabled) {
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
  Memo1->Perform(EM_SCROLLCARET_T, 0, 0);
}

void TForm1::WriteLogLines(int first, int count) {
  // Lines of an earlier failed write go first, then this change's; a range
  // is dropped from the backlog only once its lines have been flushed.
  if (count > 0) unloggedRanges_.emplace_back(first, count);
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
    while (!unloggedRanges_.empty()) {
      auto [from, n] = unloggedRanges_.front();
      std::vector<std::string> lines;
      for (int i = from; i < from + n && i < Memo1->LineCount(); ++i)
        lines.push_back(Memo1->Line(i));
      Shared.LogFile.WriteLines(lines);
      unloggedRanges_.erase(unloggedRanges_.begin());
    }
    logFaultReported_ = false;
  } catch (const EInOutError& e) {
    // The file is closed so that the next change opens it afresh. The error
    // is reported once per fault, not once per line, and it does not unwind
    // into whatever added the line (a dial must not stop over a full disk).
    Shared.LogFile.Close();
    Shared.LogFileOpen = false;
    if (!logFaultReported_) {
      logFaultReported_ = true;
      Application().HandleException(e);
    }
  }
}
