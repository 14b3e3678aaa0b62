// The main window's log pane: the lines the program adds to it, the times
// they carry, and each change handed to the session log (TSessionLog), which
// writes the log file and keeps the pane to its bound.
#include "app/Unit1.h"
#include "toolkit/Application.h"

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
  sessionLog_.Close();
}

void TForm1::FinishLogFile() {
  sessionLog_.Finish();
}

void TForm1::Memo1Change(TObject*) {
  sessionLog_.PaneChanged();
  Memo1->Perform(EM_SCROLLCARET_T, 0, 0);
}
