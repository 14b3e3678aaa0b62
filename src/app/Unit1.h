// TForm1, the main window: the status panel, the log pane and its log file,
// the Connect, Disconnect and Settings buttons, the tray icon and its menu,
// the connection controller, and the timed hang-up or shutdown.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ConnectionRules.h"
#include "app/SessionLog.h"
#include "components/RichEditURL.h"
#include "components/TrayIcon.h"
#include "dialup/DialUp.h"
#include "platform/DateTime.h"
#include "platform/Errors.h"
#include "rasmonitor/RasMonitor.h"
#include "settings/SharedValues.h"
#include "toolkit/Forms.h"
#include "toolkit/ImgList.h"
#include "toolkit/Menus.h"
#include "toolkit/Timer.h"

class TSettingsForm;

// The advert line the log pane opens with, unless the settings remove it.
extern const char* const kAdvertLine;

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* owner);
  ~TForm1() override;

  void ApplyDesign() override;
  // The settings dialog, once the program entry has created it.
  void SetSettingsForm(TSettingsForm* form);
  // What the settings dialog may reach of this window.
  TMainWindowLink Link();
  const TConnectionRules& Rules() const { return rules_; }
  const TSessionLog& SessionLog() const { return sessionLog_; }
  // The timed event's moment ("hh:mm AM dd/mm/yy") that has already acted.
  const std::string& TimedEventDone() const { return timedEventDone_; }

  // ---- parts ----
  TPanel* Panel1;            // the status panel
  TRichEditURL* Memo1;       // the read-only log pane; its lines go to the log file
  TButton* ConButton;        // Connect
  TButton* DisButton;        // Disconnect
  TButton* SetButton;        // Settings: the settings dialog, modal
  TRasMonitor* RasMonitor1;  // polls the RAS connections once a second
  TDialUp* DialUp1;          // the dialer
  TTimer* Timer;             // the redial timer: one tick per start
  TTimer* DisTimer;          // the timed event's timer: every 10 s while it is armed
  TImageList* IconList;      // tray icons: 0 disconnected, 1 connected
  TImageList* AniList;       // tray icon frames shown in turn while dialling
  TTrayIcon* TrayIcon;       // the notification-area icon
  TPopupMenu* PopupMenu1;    // the tray icon's menu
  TMenuItem* Restore1;       // shows the window again
  TMenuItem* N1;             // a separator
  TMenuItem* Connect1;       // as Connect
  TMenuItem* Disconnect1;    // as Disconnect
  TMenuItem* N2;             // a separator
  TMenuItem* Exit1;          // the one way to end the program

  // ---- fields ----
 private:
  // The attempt number and the user's hang-up, and what they decide.
  TConnectionRules rules_;
  // The timed event's moment that has already acted, kept in the registry
  // too: one set moment acts at most once.
  std::string timedEventDone_;
  // The unit-wide values shared with the settings dialog (through Link).
  TSharedValues Shared;

 public:
  TSettingsForm* SettingsForm = nullptr;

  // ---- start-up and the window ----
  void FormCreate(TObject* sender);
  void FormDestroy(TObject* sender);
  void FormCloseQuery(TObject* sender, bool& canClose);
  void FormKeyDown(TObject* sender, WORD_T& key, TShiftState shift);
  void SetButtonClick(TObject* sender);
  void FillCombo();
  void TrayIconRightClick(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void PopupMenu1Popup(TObject* sender);
  void Restore1Click(TObject* sender);
  void Connect1Click(TObject* sender);
  void Disconnect1Click(TObject* sender);
  void Exit1Click(TObject* sender);
  void Memo1URLClick(TObject* sender, const std::string& url);
  // The main window's saving steps of the orderly exit: the log file closed
  // and the position written. Throws what the registry throws.
  void SaveWindowState();
  // Windows is ending the session: every save made without asking
  // (SaveWithoutAsking).
  void SessionEnding(TObject* sender);

  // ---- the connection controller ----
  void ConButtonClick(TObject* sender);
  void DisButtonClick(TObject* sender);
  void TimerTimer(TObject* sender);
  void DialUp1Dialing(TObject* sender);
  void DialUp1AsyncEvent(TObject* sender, int32_t state, int32_t error,
                         const std::string& messageText);
  void DialUp1Error(TObject* sender, TDialStep step, int32_t errorCode,
                    const std::string& errorMessage);
  void DialUp1NotConnected(TObject* sender, int32_t errorCode, const std::string& errorMessage);
  void RasMonitor1RasConnected(TObject* sender, TRasConnectionDetails details);
  void RasMonitor1RasDisconnected(TObject* sender, TRasConnectionDetails details);
  // The monitor follows the connection of the entry chosen in Settings (no
  // connection while none is chosen): another program's connection is not
  // shown, counted as up or hung up.
  void FollowChosenEntry();
  void RefreshState();
  void RefreshStateAndRedial();
  void ShowConnected();
  void ShowDisconnected();
  // Stops a dial under way and a pending redial; false when a connection
  // is up, which is left to hang up.
  bool StopDialling();

  // ---- the session log ----
  void Memo1Change(TObject* sender);
  // The one place the log file is closed (TSessionLog::Close).
  void CloseLogFile();
  // Writes what the log file is still owed, then closes it: at exit, at the
  // session end and before a timed shutdown.
  void FinishLogFile();

  // ---- the timed event ----
  void DisTimerTimer(TObject* sender);
  // The set moment plus two minutes; nothing when the text is no real moment.
  static std::optional<TDateTime> TimedDeadline(const std::string& text);
  bool ShutDownWindows(uint32_t flags);
  // Every saving step of the orderly exit, at the session's end and before a
  // shutdown that may end the program without asking: the window's position
  // first, then the settings dialog's; a step that fails does not stop the
  // next. What failed is written as lines of the log pane, and so to the log
  // file, instead of a message box that would keep the saves waiting; the
  // log file is closed last.
  void SaveWithoutAsking();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void RecordTimedEvent(const std::string& moment);
  void ForgetTimedEvent();
  // Adds one line to the log pane.
  void AddLine(const std::string& line);
  std::string TimeText();
  std::string DateText();
  void StartDial();
  // Automatic redial is on in Settings.
  bool AutoRedial() const;
  void SetTray(TImageList* list, int index, const std::string& hint);
  void ReadWindowSettings();
  // The position (and a stale TimedDone removed); throws what the registry throws.
  void SaveWindowPosition();

  // The log pane's text lines, as the session log reads and drops them.
  struct TPaneLines final : ILogPane {
    TRichEdit* pane = nullptr;
    int TextLineCount() const override { return pane->TextLineCount(); }
    std::string TextLine(int index) const override { return pane->TextLine(index); }
    int DropOldestTextLines(int count) override { return pane->DropOldestTextLines(count); }
  };

  std::string connectedEntryName_;  // the entry the monitor last reported connected
  bool syncDial_ = false;           // the dial on its way was started synchronously
  bool exitRequested_ = false;      // Exit was chosen: closing ends the program
  // TimedDone was stored with another type than text: reported at start-up
  // and removed at exit, so that the report does not come back at every
  // start-up.
  bool timedDoneUnread_ = false;
  TPaneLines paneLines_;
  TSessionLog sessionLog_;
};
