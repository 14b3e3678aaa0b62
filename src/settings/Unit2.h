// TSettingsForm: the settings dialog. Its controls hold the live settings for
// the whole run; it loads them from the registry when created, applies them
// to the main window then and on every close, and stores them at program end.
#pragma once
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include "settings/LogFileName.h"
#include "settings/SharedValues.h"
#include "toolkit/Forms.h"
#include "toolkit/MaskEdit.h"

class TSettingsForm : public TForm {
 public:
  TSettingsForm(TComponent* owner, TMainWindowLink link);

  void ApplyDesign() override;

  // Frames.
  TGroupBox* GroupBox1;  // " Connection "
  TGroupBox* GroupBox2;  // " Connection settings "
  TGroupBox* GroupBox3;  // " Logging "
  TGroupBox* GroupBox4;  // " Startup settings "
  TGroupBox* GroupBox5;  // " Minimize setting "
  TGroupBox* GroupBox6;  // " Timed events "
  // Controls, in tab order.
  TRadioButton* AsyncButton;  // dial mode: asynchronous, with progress lines
  TRadioButton* SyncButton;   // dial mode: synchronous, the window waits for the dial
  TComboBox* ComboBox1;       // the phone-book entry to dial
  TEdit* UEdit;               // the entry's stored user name
  TEdit* PMask;               // the entry's stored password, shown as '*'
  TCheckBox* AutoReconBox;    // "Auto reconnect": redial failures and unasked drops
  TEdit* EveryEdit;           // the redial interval, milliseconds (at least 500)
  TEdit* AttemptsEdit;        // the most redial attempts
  TCheckBox* LogBox;          // "Enable logging"
  TEdit* LogEdit;             // the log file's name
  TCheckBox* CheckBox2;       // "Start with Windows": the Run value
  TCheckBox* CheckBox1;       // "Connect on start up"
  TCheckBox* MiniBox;         // "Minimize on connected"
  TCheckBox* TimerBox;        // "Enable timer": the timed hang-up or shutdown
  TMaskEdit* TimeEdit;        // the timed moment's "hh:mm"
  TComboBox* AmPmBox;         // the timed moment's AM or PM
  TMaskEdit* DateEdit;        // the timed moment's "dd/mm/yy"
  TRadioButton* RButtonDis;   // at the moment: hang up only
  TRadioButton* RButtonShut;  // at the moment: hang up and shut Windows down
  TCheckBox* ZimBox;          // no advert line in the log pane
  TButton* Button1;           // OK: closes the dialog, which applies the settings
  // Labels, with their captions.
  TLabel* Lay1;     // "Dial mode:"
  TLabel* Label9;   // "User name:"
  TLabel* Label10;  // "Password:"
  TLabel* Label1;   // "Retry every:"
  TLabel* Label2;   // "(milliseconds)"
  TLabel* Label3;   // "Retry attemps:"
  TLabel* Label4;   // "Log to file:"
  TLabel* Label5;   // "Time:"
  TLabel* Label6;   // "Date:"
  TLabel* Label7;   // "(This will disconnect)"
  TLabel* Label8;   // "(and close all programs)"
  TLabel* Label11;  // "game advert"
  TLabel* Label12;  // "from the log"

  // A stored setting was changed since the load: the settings are written at
  // program end only when this is set. The load itself runs in the loading
  // state, where the click rules set what depends on a box but mark nothing.
  bool SettingsChanged = false;
  // The user typed into the user-name or password field since the last show.
  bool CredentialsChanged = false;

  // Handlers.
  void FormCreate(TObject* sender);
  void FormDestroy(TObject* sender);
  void FormShow(TObject* sender);
  void FormActivate(TObject* sender);
  void FormHide(TObject* sender);
  void FormKeyDown(TObject* sender, WORD_T& key, TShiftState shift);
  void ComboBox1Change(TObject* sender);
  void Button1Click(TObject* sender);
  void AutoReconBoxClick(TObject* sender);
  void TimerBoxClick(TObject* sender);
  void LogBoxClick(TObject* sender);
  void AsyncButtonClick(TObject* sender);
  void SyncButtonClick(TObject* sender);
  void RButtonDisClick(TObject* sender);
  void RButtonShutClick(TObject* sender);
  void CheckBox1Click(TObject* sender);
  void CheckBox2Click(TObject* sender);
  void MiniBoxClick(TObject* sender);
  void ZimBoxClick(TObject* sender);
  void EveryEditKeyPress(TObject* sender, char& key);
  void AttemptsEditKeyPress(TObject* sender, char& key);
  void TimeEditKeyPress(TObject* sender, char& key);
  void DateEditKeyPress(TObject* sender, char& key);
  void AmPmBoxKeyDown(TObject* sender, WORD_T& key, TShiftState shift);
  void AmPmBoxKeyPress(TObject* sender, char& key);
  void UEditKeyPress(TObject* sender, char& key);
  void PMaskKeyPress(TObject* sender, char& key);
  void LogEditKeyPress(TObject* sender, char& key);
  // Text changed by other means than a typed character (Delete, pasting):
  // marks the same flag as typing does.
  void CredentialsEditChange(TObject* sender);
  void SettingEditChange(TObject* sender);

  // The phone-book entries to choose from, as the dialer listed them at
  // start-up (the placeholder when there are none), with the stored choice
  // selected among them. Until then the list holds only the placeholder.
  void ShowEntries(const TStrings& entries);

  // Opens the dialog as the main window's Settings button does: modal and
  // centred on the main window, the always-on-top windows stepped back
  // while it shows. Returns once it is closed.
  void Open();

  // The dialog's check of a timed event: "hh:mm AM dd/mm/yy" (17 characters,
  // separators not examined) names a real time on the 12-hour clock and a
  // real date of the years 2000 to 2099.
  static bool CheckTimeDate(const std::string& text);

  // The dialog's saving steps of the orderly exit: the Run value, then, when
  // a setting was changed during the run, every setting and, with "Start
  // with Windows" off, the Run values' removal. Each failure goes to
  // `report` and the next step still runs.
  using TReport = std::function<void(const std::exception&)>;
  void SaveStoredSettings(const TReport& report);
  // The dialog's saving steps when the program ends without being asked
  // (the session's end, the timed shutdown), maybe with the dialog open:
  // the same steps, but what is stored is what is in force, and no value
  // stops the others. In force are the controls the main window reads as
  // they stand, and the values a close applies (the interval, the attempts,
  // the timed event, the logging) as the load or the last close applied
  // them, not edits still waiting for the next close's checks. Each write
  // is made on its own; each failure goes to `report`.
  void SaveInForce(const TReport& report);

 private:
  // The settings load and the values it applies to the main window.
  void LoadSettings();
  void ApplyAtLoad();
  // The two saves at program end: the Run value, then the settings. The
  // values a close applies come from the fields, or as they are in force;
  // `step` makes each write (and decides whether a failure stops the rest).
  enum class TSource { kFields, kInForce };
  using TStep = std::function<void(const std::function<void()>& write)>;
  void SaveRunValue();
  void SaveSettings(TSource source, const TStep& step);
  // "Start with Windows" off: the Run values that name the program removed;
  // a machine-wide one the user may not remove is reported, once.
  void RemoveRunValueWhenOff();
  // The log file check on load and hide: refused names and names Windows
  // cannot take fall back to "SessionLog.log" after the message; a good name
  // whose place cannot be written is reported with the system's message and
  // kept. Gives the place in force.
  TLogPlace CheckLogFile();
  // The log file the main window writes to from now on.
  void PutLogInForce(const TLogPlace& place);
  // The logging switch and, when it is on, the checked file name, handed to
  // the main window (at load and on every close).
  void ApplyLogging();
  // The timed event as the load or a close has just put it in force: armed
  // with the shared moment and choice, or not.
  void RecordTimedEvent(bool armed);
  // A "hh:mm AM" text shown in the time field and the AM/PM box.
  void ShowTimedTime(const std::string& time);
  // The timed event's fields, usable only while its timer box is checked.
  void EnableTimedControls(bool on);
  // Where a log name's file is written (a relative name beside the program,
  // or in the user's own folder when the program's cannot be written).
  TLogPlace PlaceLog(const std::string& name) const;
  // The selected phone-book entry, when there is one to show or store.
  bool SelectedEntry(std::string& name) const;
  // The place of the phone-book entry of this name in the list; -1: none.
  int IndexOfEntry(const std::string& name) const;
  // The entry the load read (by its name where one is stored, else by its
  // place) selected in the list as it stands; nothing read: left as it is.
  void SelectStoredChoice();
  // A change of a stored setting, unless it is the load's own.
  void MarkChanged();
  void FetchCredentials();
  void ShowError(const std::string& text);
  void SetFieldText(TEdit* edit, const std::string& text);
  static void DigitsOnly(char& key);
  bool AmSelected() const { return AmPmBox->Text() == "AM"; }
  const char* AmPmSuffix() const { return AmSelected() ? " AM" : " PM"; }

  // Marks a change of field text as the program's own, not the user's.
  struct TFilling {
    int& depth;
    explicit TFilling(int& d) : depth(d) { ++depth; }
    ~TFilling() { --depth; }
  };
  // The shortest redial interval the dialog lets through, in milliseconds.
  static constexpr int kMinInterval = 500;

  // The values a close applies, as the load or the last close put them in
  // force (each recorded before any box that close may still show).
  struct TApplied {
    int retryInterval = 3000;  // the design values, until the load applies its own
    int maxAttempts = 99999;
    bool timerOn = false;
    std::string time;  // "hh:mm AM"
    std::string date;  // "dd/mm/yy"
    bool disconnectOnly = true;
    bool loggingOn = false;
    std::string logName;  // as the user typed it (or the fallback)
  };

  TMainWindowLink link_;
  TApplied applied_;
  bool hasEntries_ = false;  // the list holds phone-book entries, not the placeholder
  // The chosen entry as stored: by its name (ConName), or, without one, by
  // its place (ConInt).
  std::optional<std::string> storedChoiceName_;
  std::optional<int> storedChoiceIndex_;
  int filling_ = 0;  // the program, not the user, is changing a field
  bool loadTypeErrors_ = false;
  bool winBootUnread_ = false;     // WinBoot was stored with the wrong type
  bool winBootStoredOff_ = false;  // WinBoot was stored false: its removal was told before
  std::string announcedLogPath_;   // the log's place the pane was told last
  std::string placedLogName_;      // the log name last checked, and where it went
  std::string placedLogPath_;
  std::string reportedLogFault_;  // the name and fault last reported
};
