// TSessionLog: the session log file. Every line added to the log pane is
// appended to the file while logging is on, each run and each switch-on
// opening with a header. The pane keeps a bounded number of the newest lines;
// the lines the file is still owed wait in a bounded backlog of their own
// until it can be written. It is handed the pane's lines, the values the
// settings dialog shares and the platform's seams, and knows no window.
#pragma once
#include <exception>
#include <functional>
#include <string>

#include "app/LogBacklog.h"
#include "platform/Platform.h"
#include "settings/SharedValues.h"

// How much of the session the log pane keeps. Past kPaneLineBound text lines
// the oldest whole lines are dropped, down to kPaneLinesAfterDrop in one go,
// except, with logging on, lines not yet handed to the log file (those it is
// owed meanwhile wait in a backlog of their own). Counted in text lines.
constexpr int kPaneLineBound = 10000;
constexpr int kPaneLinesAfterDrop = 9000;

// The log pane as the session log reads it: its text lines as they were
// added, oldest first, however the pane wraps them on the screen.
class ILogPane {
 public:
  virtual ~ILogPane() = default;
  virtual int TextLineCount() const = 0;
  virtual std::string TextLine(int index) const = 0;
  // Removes the oldest `count` lines (all there are, at most) and says how
  // many went.
  virtual int DropOldestTextLines(int count) = 0;
};

class TSessionLog {
 public:
  // What the log asks of the program around it.
  struct THooks {
    // Lets other messages run while a line is on its way to the file, so a
    // slow disk does not freeze the window.
    std::function<void()> letMessagesRun;
    // Reports a fault once the handler under way has returned.
    std::function<void(const std::exception&)> reportLater;
  };

  // The files, the clock and the locale (the header's moment) are taken from
  // `platform` when a line is written.
  TSessionLog(ILogPane& pane, TSharedValues& values, const TPlatform& platform, THooks hooks);

  // The pane changed: with logging on, its new lines are owed to the file
  // and written; then the pane is held to its bound.
  void PaneChanged();
  // The one place the log file is closed: at exit, after a failed write, and
  // when logging is switched off. The next line opens it again.
  void Close();
  // Writes what the file is still owed, without letting other messages run
  // and without a report, then closes it: the way out.
  void Finish();

  bool FileOpen() const { return values_.LogFileOpen; }
  // Text lines of the pane handed to the log file so far (the pane's first
  // ones dropped since are no longer counted).
  int LoggedLineCount() const { return loggedLineCount_; }

 private:
  bool LoggingOn() const;
  // The pane's lines since the last change, owed to the log file from now on.
  void TakeNewLines();
  // Writes the owed lines; a fault is reported, once.
  void WriteLines(bool letMessagesRun);
  void WriteOwedLines(bool letMessagesRun);
  void ReportFault(const std::exception& e);
  // Drops the oldest pane lines past the pane's bound, and moves the count of
  // lines taken for the log down with them.
  void BoundPane(bool logging);

  ILogPane& pane_;
  TSharedValues& values_;
  const TPlatform& platform_;
  THooks hooks_;
  int loggedLineCount_ = 0;
  // The lines the log file is owed and has not been given yet.
  TLogBacklog backlog_{kLogBacklogBytes};
};
