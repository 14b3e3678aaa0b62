// The settings dialog as the user works it: the entry's user name and
// password, the checks made on closing and what each close applies to the
// main window, the click rules that mark a setting changed, and the key
// filters of the fields.
#include "settings/Unit2.h"

#include <algorithm>
#include <initializer_list>

#include "dialup/DialUp.h"
#include "platform/DateTime.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "settings/LogFileName.h"
#include "settings/TimedMoment.h"
#include "toolkit/Application.h"
#include "toolkit/Timer.h"

namespace {
constexpr const char* kFallbackLogFile = "SessionLog.log";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string BlanksToZeros(std::string s) {
  std::replace(s.begin(), s.end(), ' ', '0');
  return s;
}
}  // namespace

void TSettingsForm::SetFieldText(TEdit* edit, const std::string& text) {
  TFilling filling(filling_);
  edit->SetText(text);
}

void TSettingsForm::ShowTimedTime(const std::string& time) {
  AmPmBox->SetItemIndex(time.find("AM") != std::string::npos ? 0 : 1);
  SetFieldText(TimeEdit, time.substr(0, 5));
}

void TSettingsForm::ShowError(const std::string& text) {
  Application().MessageBox(text, Application().Title(), MB_OK_T | MB_ICONERROR_T);
}

bool TSettingsForm::SelectedEntry(std::string& name) const {
  int index = ComboBox1->ItemIndex();
  if (!hasEntries_ || index < 0 || index >= ComboBox1->Items().Count()) return false;
  name = ComboBox1->Items().Get(index);
  return true;
}

void TSettingsForm::FetchCredentials() {
  std::string user, password, entry;
  if (link_.DialUp1 && SelectedEntry(entry)) {
    link_.DialUp1->SetEntry(entry);
    if (link_.DialUp1->GetUsername(user) != 0) user.clear();
    if (link_.DialUp1->GetPassword(password) != 0) password.clear();
  }
  SetFieldText(UEdit, user);
  SetFieldText(PMask, password);
}

TLogPlace TSettingsForm::PlaceLog(const std::string& name) const {
  const TPlatform& p = Application().Platform();
  return PlaceLogFile(*p.files, name, p.system->ModuleFileName(), p.shell->LocalAppDataFolder());
}

void TSettingsForm::ApplyLogging() {
  link_.values->LoggingEnabled = LogBox->Checked();
  if (!LogBox->Checked()) {
    applied_.loggingOn = false;
    return;
  }
  const TLogPlace place = CheckLogFile();
  placedLogName_ = LogEdit->Text();
  placedLogPath_ = place.path;
  // Recorded once checked (a session that ends in the check's box keeps
  // what was in force before), and before the pane's line about it.
  applied_.loggingOn = true;
  applied_.logName = placedLogName_;
  PutLogInForce(place);
}

void TSettingsForm::PutLogInForce(const TLogPlace& place) {
  // A new name, or the same name in another place, takes the lines from
  // now on: the file open under the old one is closed.
  if (place.path != link_.values->LogFileName && link_.values->LogFileOpen && link_.CloseLogFile)
    link_.CloseLogFile();
  link_.values->LogFileName = place.path;
  // The pane says where the log goes when it is not where the user would
  // look first, once for each place.
  if (place.error == 0 && !place.besideProgram && place.path != announcedLogPath_) {
    announcedLogPath_ = place.path;
    if (link_.AddPaneLine) link_.AddPaneLine("Log file: " + place.path);
  }
}

TLogPlace TSettingsForm::CheckLogFile() {
  const std::string name = LogEdit->Text();
  TLogPlace place =
      RefusedLogName(name) ? TLogPlace{name, kErrorInvalidName, true, true} : PlaceLog(name);
  if (place.error == 0) return place;
  if (!place.invalidName) {
    // The name is fine; the folder, the disk or another program is not. It
    // is said as Windows says it, once for each name and fault in a run, and
    // the name stays: the lines wait for the file until it can be written.
    const std::string fault = name + '\n' + std::to_string(place.error);
    if (fault != reportedLogFault_) {
      reportedLogFault_ = fault;
      link_.values->LogFaultReported = true;
      ShowError("Cannot write the log file " + name + ": " +
                Application().Platform().files->ErrorMessage(place.error));
    }
    return place;
  }
  ShowError("Invalid log file name: " + name);
  SetFieldText(LogEdit, kFallbackLogFile);
  // A failure to make the fallback file is not reported: the session log
  // reports what it cannot write.
  return PlaceLog(kFallbackLogFile);
}

void TSettingsForm::RecordTimedEvent(bool armed) {
  applied_.timerOn = armed;
  if (!armed) return;  // the moment stored before stays, as at any save
  const TSharedValues& v = *link_.values;
  applied_.time = v.TimedTime;
  applied_.date = v.TimedDate;
  applied_.disconnectOnly = v.DisconnectAtTime;
}

bool TSettingsForm::CheckTimeDate(const std::string& text) {
  const std::optional<TTimedMoment> m = ReadTimedMoment(text);
  // Only hours the 12-hour clock shows (01 to 12) can ever match the time of
  // day the timed event compares with.
  return m && m->hour >= 1 && m->hour <= 12 && m->IsReal();
}

// ---- show, activate, hide ----

void TSettingsForm::Open() {
  TApplication& app = Application();
  // The main window is the application's window here, so there is no
  // separate application window to lift above the others.
  app.NormalizeTopMosts();
  SetPosition(poMainFormCenter);
  try {
    ShowModal();
  } catch (...) {
    app.RestoreTopMosts();
    throw;
  }
  app.RestoreTopMosts();
}

void TSettingsForm::FormShow(TObject* sender) {
  CredentialsChanged = false;
  FetchCredentials();
  ComboBox1->SetFocus();
  if (!TimerBox->Checked()) {
    const TPlatform& p = Application().Platform();
    TDateTime now = p.clock->Now();
    SetFieldText(DateEdit, FormatDateDdMmYy(now, p.locale->DateSeparator()));
    ShowTimedTime(FormatTimeAmPm(now, p.locale->TimeSeparator()));
  }
}

void TSettingsForm::FormActivate(TObject* sender) {
  // Within the work area of the monitor that holds the main window (the
  // dialog is centred on it), whichever monitor that is.
  TApplication& app = Application();
  const TForm* main = app.MainForm();
  const TRect near = main && main != this ? main->BoundsRect() : BoundsRect();
  MoveInto(app.Backend().WorkAreaNearest(near));
}

void TSettingsForm::FormHide(TObject* sender) {
  if (CredentialsChanged) {
    std::string entry;
    if (link_.DialUp1 && SelectedEntry(entry)) {
      // The dialer's answers are not examined: a refused store changes nothing here.
      link_.DialUp1->SetEntry(entry);
      link_.DialUp1->SetUsername(UEdit->Text());
      link_.DialUp1->SetPassword(PMask->Text());
    }
  }
  TSharedValues& v = *link_.values;
  try {
    if (EveryEdit->Text().empty()) SetFieldText(EveryEdit, "3000");
    if (AttemptsEdit->Text().empty()) SetFieldText(AttemptsEdit, "99999");
    v.MaxAttempts = StrToInt(AttemptsEdit->Text());
    applied_.maxAttempts = v.MaxAttempts;
    int interval = StrToInt(EveryEdit->Text());
    if (interval < kMinInterval) {
      SetFieldText(EveryEdit, std::to_string(kMinInterval));
      link_.Timer->SetInterval(kMinInterval);
      applied_.retryInterval = kMinInterval;
      ShowError("Interval can not be less than 500 milliseconds.");
    } else {
      link_.Timer->SetInterval(static_cast<unsigned>(interval));
      applied_.retryInterval = interval;
    }
  } catch (const EConvertError& e) {
    // A number too long for the field: reported, and this close applies nothing more.
    Application().HandleException(e);
    return;
  }
  ApplyLogging();
  if (!TimerBox->Checked()) {
    link_.DisTimer->SetEnabled(false);
    RecordTimedEvent(false);
    return;
  }
  v.DisconnectAtTime = RButtonDis->Checked();
  v.TimedDate = BlanksToZeros(DateEdit->Text());
  v.TimedTime = BlanksToZeros(TimeEdit->Text()) + AmPmSuffix();
  if (CheckTimeDate(v.TimedTime + " " + v.TimedDate)) {
    // Blanks were read as zeros: the fields (and so the stored values) say so.
    SetFieldText(DateEdit, v.TimedDate);
    SetFieldText(TimeEdit, v.TimedTime.substr(0, 5));
    link_.DisTimer->SetEnabled(true);
    RecordTimedEvent(true);
  } else {
    link_.DisTimer->SetEnabled(false);
    TimerBox->SetChecked(false);
    RecordTimedEvent(false);
    ShowError("Invalid time or date: " + v.TimedDate + " " + v.TimedTime);
  }
}

void TSettingsForm::FormKeyDown(TObject* sender, WORD_T& key, TShiftState shift) {
  if (key == VK_ESCAPE_T) {
    key = 0;
    Close();
  }
}

void TSettingsForm::ComboBox1Change(TObject* sender) {
  FetchCredentials();
  if (ComboBox1->Items().Count() > 0) MarkChanged();
}

void TSettingsForm::Button1Click(TObject* sender) {
  Close();
}

// ---- click rules ----

void TSettingsForm::MarkChanged() {
  // The load sets the boxes in the loading state: what it raises is no change.
  if (!Loading()) SettingsChanged = true;
}

void TSettingsForm::AutoReconBoxClick(TObject* sender) {
  const bool on = AutoReconBox->Checked();
  for (TControl* c :
       std::initializer_list<TControl*>{Label1, Label2, Label3, EveryEdit, AttemptsEdit})
    c->SetEnabled(on);
  MarkChanged();
}

void TSettingsForm::TimerBoxClick(TObject* sender) {
  MarkChanged();
  EnableTimedControls(TimerBox->Checked());
}

void TSettingsForm::EnableTimedControls(bool on) {
  for (TControl* c : std::initializer_list<TControl*>{Label5, Label6, TimeEdit, AmPmBox, DateEdit,
                                                      RButtonDis, RButtonShut, Label7, Label8})
    c->SetEnabled(on);
}

void TSettingsForm::LogBoxClick(TObject* sender) {
  TSharedValues& v = *link_.values;
  MarkChanged();
  v.NewSession = LogBox->Checked();
  if (LogBox->Checked()) {
    LogEdit->SetEnabled(true);
    Label4->SetEnabled(true);
    // Checked on close; a name that would make the log an executable or an
    // archive is not put in force even for the moments until then.
    // Nothing is made here (the box is also set while the stored settings
    // load, with the field's default name still in it): the name's place
    // as last checked, or beside the program, until the next check.
    const std::string name = LogEdit->Text();
    if (!RefusedLogName(name))
      v.LogFileName = name == placedLogName_
                          ? placedLogPath_
                          : LogFilePath(name, Application().Platform().system->ModuleFileName());
  } else {
    // The main window owns the file: it closes it, and opens it afresh at
    // the next line once logging is on again.
    if (link_.CloseLogFile) link_.CloseLogFile();
    LogEdit->SetEnabled(false);
    Label4->SetEnabled(false);
  }
}

void TSettingsForm::AsyncButtonClick(TObject* sender) {
  MarkChanged();
}
void TSettingsForm::SyncButtonClick(TObject* sender) {
  MarkChanged();
}
void TSettingsForm::RButtonDisClick(TObject* sender) {
  MarkChanged();
}
void TSettingsForm::RButtonShutClick(TObject* sender) {
  MarkChanged();
}
void TSettingsForm::CheckBox1Click(TObject* sender) {
  MarkChanged();
}
void TSettingsForm::CheckBox2Click(TObject* sender) {
  if (Loading()) return;  // the load reads what WinBoot says for itself
  SettingsChanged = true;
  winBootUnread_ = false;  // the user has said what the Run value must be
}
void TSettingsForm::MiniBoxClick(TObject* sender) {
  MarkChanged();
}
void TSettingsForm::ZimBoxClick(TObject* sender) {
  MarkChanged();
}

// ---- keys ----

void TSettingsForm::DigitsOnly(char& key) {
  // Backspace and the clipboard's Ctrl+C, Ctrl+V and Ctrl+X pass; a paste
  // comes back through this filter a character at a time.
  if (!IsDigit(key) && static_cast<unsigned char>(key) >= 32) key = 0;
}

void TSettingsForm::EveryEditKeyPress(TObject* sender, char& key) {
  MarkChanged();
  DigitsOnly(key);
}

void TSettingsForm::AttemptsEditKeyPress(TObject* sender, char& key) {
  MarkChanged();
  DigitsOnly(key);
}

void TSettingsForm::TimeEditKeyPress(TObject* sender, char& key) {
  MarkChanged();
  DigitsOnly(key);
}

void TSettingsForm::DateEditKeyPress(TObject* sender, char& key) {
  MarkChanged();
  DigitsOnly(key);
}

void TSettingsForm::AmPmBoxKeyDown(TObject* sender, WORD_T& key, TShiftState shift) {
  switch (key) {
    case VK_UP_T:
    case VK_DOWN_T:
    case VK_LEFT_T:
    case VK_RIGHT_T:
    case VK_PRIOR_T:
    case VK_NEXT_T:
      AmPmBox->SetItemIndex(AmSelected() ? 1 : 0);
      MarkChanged();
      break;
    case VK_TAB_T:
    case VK_RETURN_T:
      return;  // moving on to the next field, or OK, stays possible
    default:
      break;
  }
  key = 0;
}

void TSettingsForm::AmPmBoxKeyPress(TObject* sender, char& key) {
  MarkChanged();
  if (key == 'p' || key == 'P') {
    AmPmBox->SetItemIndex(1);
    AmPmBox->SetSelStart(0);
  } else if (key == 'a' || key == 'A') {
    AmPmBox->SetItemIndex(0);
    AmPmBox->SetSelStart(0);
  }
  key = 0;
}

void TSettingsForm::UEditKeyPress(TObject* sender, char& key) {
  CredentialsChanged = true;
}
void TSettingsForm::PMaskKeyPress(TObject* sender, char& key) {
  CredentialsChanged = true;
}
void TSettingsForm::LogEditKeyPress(TObject* sender, char& key) {
  MarkChanged();
}

void TSettingsForm::CredentialsEditChange(TObject* sender) {
  if (!filling_) CredentialsChanged = true;
}

void TSettingsForm::SettingEditChange(TObject* sender) {
  if (!filling_) MarkChanged();
}
