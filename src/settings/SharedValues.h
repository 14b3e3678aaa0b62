// The run-time values the settings dialog hands to the main window, and what
// the dialog may touch of it. The main window's unit owns the one instance.
#pragma once
#include <functional>
#include <string>
#include "platform/Files.h"

class TTimer;
class TDialUp;
class TForm;

struct TSharedValues {
  int MaxAttempts = 0;
  bool LoggingEnabled = false;
  std::string LogFileName;
  bool NewSession = true;
  bool LogFileOpen = false;
  TAppendFile LogFile;  // open while LogFileOpen; opened and closed by the main window only
  // The fault that keeps the log file from being written has been reported
  // (by the session log, or by the dialog's check of the name); cleared by
  // the next write that succeeds.
  bool LogFaultReported = false;
  std::string TimedTime;  // "hh:mm AM" with the locale's time separator
  std::string TimedDate;  // "dd/mm/yy" with the locale's date separator
  bool DisconnectAtTime = false;
};

// What the settings dialog reaches of the main window.
struct TMainWindowLink {
  TSharedValues* values = nullptr;
  TTimer* Timer = nullptr;     // the redial timer
  TTimer* DisTimer = nullptr;  // the timed-event timer
  TDialUp* DialUp1 = nullptr;
  TForm* MainForm = nullptr;
  // Closes the log file (logging switched off); the main window opens it
  // again at its next line once logging is back on.
  std::function<void()> CloseLogFile;
  // Adds a line of the program's own to the log pane.
  std::function<void(const std::string&)> AddPaneLine;
};
