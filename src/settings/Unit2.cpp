#include "settings/Unit2.h"

#include <algorithm>
#include <cctype>

#include "dialup/DialUp.h"
#include "platform/DateTime.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "settings/LogFileName.h"
#include "settings/SettingsStore.h"
#include "toolkit/Application.h"
#include "toolkit/Timer.h"

namespace {
constexpr const char* kNoEntries = "No connections available";
constexpr const char* kFallbackLogFile = "SessionLog.log";
constexpr int kMinInterval = 500;

template <class T>
T* Make(TComponent* owner, TWinControl* parent, const char* name) {
  T* c = new T(owner);
  c->SetName(name);
  c->SetParent(parent);
  return c;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string BlanksToZeros(std::string s) {
  std::replace(s.begin(), s.end(), ' ', '0');
  return s;
}
}  // namespace

TSettingsForm::TSettingsForm(TComponent* owner, const TMainWindowLink& link)
    : TForm(owner), link_(link) {
  // Created in tab order: each frame, then what it holds.
  GroupBox1 = Make<TGroupBox>(this, this, "GroupBox1");
  Lay1 = Make<TLabel>(this, GroupBox1, "Lay1");
  AsyncButton = Make<TRadioButton>(this, GroupBox1, "AsyncButton");
  SyncButton = Make<TRadioButton>(this, GroupBox1, "SyncButton");
  ComboBox1 = Make<TComboBox>(this, GroupBox1, "ComboBox1");
  Label9 = Make<TLabel>(this, GroupBox1, "Label9");
  UEdit = Make<TEdit>(this, GroupBox1, "UEdit");
  Label10 = Make<TLabel>(this, GroupBox1, "Label10");
  PMask = Make<TEdit>(this, GroupBox1, "PMask");

  GroupBox2 = Make<TGroupBox>(this, this, "GroupBox2");
  AutoReconBox = Make<TCheckBox>(this, GroupBox2, "AutoReconBox");
  Label1 = Make<TLabel>(this, GroupBox2, "Label1");
  Label2 = Make<TLabel>(this, GroupBox2, "Label2");
  EveryEdit = Make<TEdit>(this, GroupBox2, "EveryEdit");
  Label3 = Make<TLabel>(this, GroupBox2, "Label3");
  AttemptsEdit = Make<TEdit>(this, GroupBox2, "AttemptsEdit");

  GroupBox3 = Make<TGroupBox>(this, this, "GroupBox3");
  LogBox = Make<TCheckBox>(this, GroupBox3, "LogBox");
  Label4 = Make<TLabel>(this, GroupBox3, "Label4");
  LogEdit = Make<TEdit>(this, GroupBox3, "LogEdit");

  GroupBox4 = Make<TGroupBox>(this, this, "GroupBox4");
  CheckBox2 = Make<TCheckBox>(this, GroupBox4, "CheckBox2");
  CheckBox1 = Make<TCheckBox>(this, GroupBox4, "CheckBox1");

  GroupBox5 = Make<TGroupBox>(this, this, "GroupBox5");
  MiniBox = Make<TCheckBox>(this, GroupBox5, "MiniBox");

  GroupBox6 = Make<TGroupBox>(this, this, "GroupBox6");
  TimerBox = Make<TCheckBox>(this, GroupBox6, "TimerBox");
  Label5 = Make<TLabel>(this, GroupBox6, "Label5");
  TimeEdit = Make<TMaskEdit>(this, GroupBox6, "TimeEdit");
  AmPmBox = Make<TComboBox>(this, GroupBox6, "AmPmBox");
  Label6 = Make<TLabel>(this, GroupBox6, "Label6");
  DateEdit = Make<TMaskEdit>(this, GroupBox6, "DateEdit");
  RButtonDis = Make<TRadioButton>(this, GroupBox6, "RButtonDis");
  RButtonShut = Make<TRadioButton>(this, GroupBox6, "RButtonShut");
  Label7 = Make<TLabel>(this, GroupBox6, "Label7");
  Label8 = Make<TLabel>(this, GroupBox6, "Label8");

  ZimBox = Make<TCheckBox>(this, this, "ZimBox");
  Label11 = Make<TLabel>(this, this, "Label11");
  Label12 = Make<TLabel>(this, this, "Label12");
  Button1 = Make<TButton>(this, this, "Button1");
}

void TSettingsForm::ApplyDesign() {
  const TFont font{"Tahoma", -11, clNavy, false};
  SetName("SettingsForm");
  SetCaption("Settings");
  SetBorderStyle(bsDialog);
  SetBorderIcons(biSystemMenu);
  SetClientSize(478, 262);
  SetFont(font);
  SetFormStyle(fsStayOnTop);
  SetPosition(poMainFormCenter);
  SetKeyPreview(true);

  // Control, left, top, width, height (in its frame), caption or text.
  struct TDesignRow {
    TControl* control;
    int left, top, width, height;
    const char* caption;
  };
  const TDesignRow rows[] = {
      {GroupBox1, 5, 5, 300, 89, " Connection "},
      {Lay1, 250, 14, 48, 13, "Dial mode:"},
      {AsyncButton, 250, 30, 46, 17, "Async"},
      {SyncButton, 250, 48, 46, 17, "Sync"},
      {ComboBox1, 11, 20, 233, 21, nullptr},
      {Label9, 11, 46, 60, 13, "User name:"},
      {UEdit, 11, 60, 113, 21, ""},
      {Label10, 131, 46, 60, 13, "Password:"},
      {PMask, 131, 60, 113, 21, ""},

      {GroupBox2, 5, 96, 142, 97, " Connection settings "},
      {AutoReconBox, 8, 15, 128, 17, "Auto reconnect"},
      {Label1, 8, 34, 64, 13, "Retry every:"},
      {Label2, 8, 47, 70, 13, "(milliseconds)"},
      {EveryEdit, 80, 36, 54, 21, "3000"},
      {Label3, 8, 71, 72, 13, "Retry attemps:"},
      {AttemptsEdit, 80, 68, 54, 21, "99999"},

      {GroupBox3, 152, 96, 153, 97, " Logging "},
      {LogBox, 8, 16, 137, 17, "Enable logging"},
      {Label4, 8, 42, 60, 13, "Log to file:"},
      {LogEdit, 8, 57, 137, 21, "SessionLog.txt"},

      {GroupBox4, 5, 200, 142, 57, " Startup settings "},
      {CheckBox2, 8, 16, 128, 17, "Start with Windows"},
      {CheckBox1, 8, 34, 128, 17, "Connect on start up"},

      {GroupBox5, 152, 200, 153, 57, " Minimize setting "},
      {MiniBox, 8, 24, 137, 17, "Minimize on connected"},

      {GroupBox6, 312, 5, 161, 188, " Timed events "},
      {TimerBox, 8, 16, 145, 17, "Enable timer"},
      {Label5, 8, 44, 30, 13, "Time:"},
      {TimeEdit, 44, 40, 41, 21, nullptr},
      {AmPmBox, 89, 40, 33, 21, nullptr},
      {Label6, 8, 71, 30, 13, "Date:"},
      {DateEdit, 44, 67, 57, 21, nullptr},
      {RButtonDis, 8, 98, 145, 17, "Disconnect at this time"},
      {RButtonShut, 8, 122, 145, 17, "Shutdown PC at this time"},
      {Label7, 24, 140, 130, 13, "(This will disconnect)"},
      {Label8, 24, 154, 130, 13, "(and close all programs)"},

      {ZimBox, 312, 208, 161, 17, "Remove the web"},
      {Label11, 329, 225, 66, 13, "game advert"},
      {Label12, 329, 239, 66, 13, "from the log"},
      {Button1, 398, 232, 75, 25, "&OK"},
  };
  for (const TDesignRow& r : rows) {
    r.control->SetBounds(r.left, r.top, r.width, r.height);
    r.control->SetFont(font);
    if (r.caption) r.control->SetCaption(r.caption);
  }

  // States and kinds.
  AsyncButton->SetChecked(true);
  ComboBox1->SetStyle(csDropDownList);
  PMask->SetPasswordChar('*');
  // The longest user name and password a phone-book entry can hold.
  UEdit->SetMaxLength(256);
  PMask->SetMaxLength(256);
  AutoReconBox->SetChecked(true);
  LogEdit->SetEnabled(false);
  Label4->SetEnabled(false);
  TimeEdit->SetEditMask("!99:99>;1;_");
  TimeEdit->SetMaxLength(5);
  AmPmBox->SetStyle(csSimple);
  AmPmBox->SetCharCase(ecUpperCase);
  AmPmBox->Items().Add("AM");
  AmPmBox->Items().Add("PM");
  AmPmBox->SetItemIndex(0);
  DateEdit->SetEditMask("!99/99/99;1;_");
  DateEdit->SetMaxLength(8);
  RButtonDis->SetChecked(true);
  for (TControl* c : std::initializer_list<TControl*>{Label5, Label6, TimeEdit, AmPmBox, DateEdit,
                                                      RButtonDis, RButtonShut, Label7, Label8})
    c->SetEnabled(false);

  // Handlers, bound last so that the design states above raise none.
  OnCreate = TNotifyEvent::Bind(this, &TSettingsForm::FormCreate);
  OnDestroy = TNotifyEvent::Bind(this, &TSettingsForm::FormDestroy);
  OnShow = TNotifyEvent::Bind(this, &TSettingsForm::FormShow);
  OnActivate = TNotifyEvent::Bind(this, &TSettingsForm::FormActivate);
  OnHide = TNotifyEvent::Bind(this, &TSettingsForm::FormHide);
  OnKeyDown = TKeyEvent::Bind(this, &TSettingsForm::FormKeyDown);
  ComboBox1->OnChange = TNotifyEvent::Bind(this, &TSettingsForm::ComboBox1Change);
  Button1->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::Button1Click);
  AutoReconBox->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::AutoReconBoxClick);
  TimerBox->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::TimerBoxClick);
  LogBox->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::LogBoxClick);
  AsyncButton->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::AsyncButtonClick);
  SyncButton->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::SyncButtonClick);
  RButtonDis->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::RButtonDisClick);
  RButtonShut->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::RButtonShutClick);
  CheckBox1->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::CheckBox1Click);
  CheckBox2->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::CheckBox2Click);
  MiniBox->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::MiniBoxClick);
  ZimBox->OnClick = TNotifyEvent::Bind(this, &TSettingsForm::ZimBoxClick);
  EveryEdit->OnKeyPress = TKeyPressEvent::Bind(this, &TSettingsForm::EveryEditKeyPress);
  AttemptsEdit->OnKeyPress = TKeyPressEvent::Bind(this, &TSettingsForm::AttemptsEditKeyPress);
  TimeEdit->OnKeyDown = TKeyEvent::Bind(this, &TSettingsForm::TimeEditKeyDown);
  TimeEdit->OnKeyPress = TKeyPressEvent::Bind(this, &TSettingsForm::TimeEditKeyPress);
  DateEdit->OnKeyDown = TKeyEvent::Bind(this, &TSettingsForm::DateEditKeyDown);
  DateEdit->OnKeyPress = TKeyPressEvent::Bind(this, &TSettingsForm::DateEditKeyPress);
  AmPmBox->OnKeyDown = TKeyEvent::Bind(this, &TSettingsForm::AmPmBoxKeyDown);
  AmPmBox->OnKeyPress = TKeyPressEvent::Bind(this, &TSettingsForm::AmPmBoxKeyPress);
  UEdit->OnKeyPress = TKeyPressEvent::Bind(this, &TSettingsForm::UEditKeyPress);
  PMask->OnKeyPress = TKeyPressEvent::Bind(this, &TSettingsForm::PMaskKeyPress);
  LogEdit->OnKeyPress = TKeyPressEvent::Bind(this, &TSettingsForm::LogEditKeyPress);
  for (TEdit* e : {UEdit, PMask})
    e->OnChange = TNotifyEvent::Bind(this, &TSettingsForm::CredentialsEditChange);
  for (TEdit* e :
       std::initializer_list<TEdit*>{EveryEdit, AttemptsEdit, LogEdit, TimeEdit, DateEdit})
    e->OnChange = TNotifyEvent::Bind(this, &TSettingsForm::SettingEditChange);
}

// ---- helpers ----

namespace {
// Marks a change of field text as the program's own, not the user's.
struct TFilling {
  int& depth;
  explicit TFilling(int& d) : depth(d) { ++depth; }
  ~TFilling() { --depth; }
};
}  // namespace

void TSettingsForm::SetFieldText(TEdit* edit, const std::string& text) {
  TFilling filling(filling_);
  edit->SetText(text);
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

std::string TSettingsForm::LogPath(const std::string& name) const {
  return LogFilePath(name, Application().Platform().system->ModuleFileName());
}

void TSettingsForm::CheckLogFile() {
  const std::string name = LogEdit->Text();
  const std::string path = LogPath(name);
  bool usable = !RefusedLogName(name) && (FileExists(path) || CreateEmptyFile(path));
  if (usable) return;
  ShowError("Invalid log file name: " + name);
  SetFieldText(LogEdit, kFallbackLogFile);
  const std::string fallback = LogPath(kFallbackLogFile);
  if (!FileExists(fallback)) CreateEmptyFile(fallback);
}

bool TSettingsForm::CheckTimeDate(const std::string& text) {
  if (text.size() < 17) return false;
  auto number = [&text](size_t at, int& out) {
    if (!IsDigit(text[at]) || !IsDigit(text[at + 1])) return false;
    out = (text[at] - '0') * 10 + (text[at + 1] - '0');
    return true;
  };
  int hour, minute, day, month, year;
  if (!number(0, hour) || !number(3, minute) || !number(9, day) || !number(12, month) ||
      !number(15, year))
    return false;
  // Only hours the 12-hour clock shows (01 to 12) can ever match the time of
  // day the timed event compares with.
  if (hour < 1 || hour > 12) return false;
  if (text[6] == 'P') {
    if (hour != 12) hour += 12;
  } else if (hour == 12) {
    hour = 0;
  }
  bool timeValid = hour <= 23 && minute <= 59;
  bool dateValid = month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(2000 + year, month);
  return timeValid && dateValid;
}

// ---- creation: load and apply ----

void TSettingsForm::FormCreate(TObject* sender) {
  {
    ILocale& locale = *Application().Platform().locale;
    TFilling filling(filling_);
    TimeEdit->SetSeparators(locale.TimeSeparator(), locale.DateSeparator());
    DateEdit->SetSeparators(locale.TimeSeparator(), locale.DateSeparator());
  }
  ComboBox1->Items().Clear();
  const TStrings* entries = link_.values ? link_.values->EntryList : nullptr;
  hasEntries_ = entries && entries->Count() > 0;
  if (hasEntries_)
    for (int i = 0; i < entries->Count(); ++i) ComboBox1->Items().Add(entries->Get(i));
  else
    ComboBox1->Items().Add(kNoEntries);
  ComboBox1->SetItemIndex(0);

  bool typeErrors = false;
  try {
    LoadSettings();
  } catch (const ERegistryException& e) {
    typeErrors = true;
    Application().HandleException(e);
  }
  typeErrors = typeErrors || loadTypeErrors_;
  try {
    ApplyAtLoad();
  } catch (const EQuindleError& e) {
    Application().HandleException(e);
  }
  // A badly typed value kept its design value: store well-typed ones at exit.
  if (typeErrors) SettingsChanged = true;
}

void TSettingsForm::LoadSettings() {
  TSettingsReader reader(*Application().Platform().registry,
                         [this](const std::exception& e) { Application().HandleException(e); });
  loadTypeErrors_ = false;
  if (!reader.Open()) return;
  if (auto v = reader.Integer("DialMode")) (*v != 0 ? SyncButton : AsyncButton)->SetChecked(true);
  if (auto v = reader.Boolean("AutoRecon")) AutoReconBox->SetChecked(*v);
  if (AutoReconBox->Checked()) {
    if (auto v = reader.Integer("RetryInt")) SetFieldText(EveryEdit, std::to_string(*v));
    if (auto v = reader.Integer("AttempsInt")) SetFieldText(AttemptsEdit, std::to_string(*v));
  }
  if (auto v = reader.Boolean("EnableTimer")) TimerBox->SetChecked(*v);
  if (TimerBox->Checked()) {
    int errorsBefore = reader.TypeErrors();
    auto time = reader.Text("Time");
    if (time || reader.TypeErrors() == errorsBefore) {  // absent reads as empty text
      std::string t = time.value_or("");
      AmPmBox->SetItemIndex(t.find("AM") != std::string::npos ? 0 : 1);
      SetFieldText(TimeEdit, t.substr(0, 5));
    }
    if (auto v = reader.Text("Date")) SetFieldText(DateEdit, *v);
    if (auto v = reader.Boolean("DisOrShut")) (*v ? RButtonDis : RButtonShut)->SetChecked(true);
  }
  if (auto v = reader.Boolean("LogEnabled")) LogBox->SetChecked(*v);
  if (LogBox->Checked())
    if (auto v = reader.Text("LogFile")) SetFieldText(LogEdit, *v);
  {
    const int errorsBefore = reader.TypeErrors();
    if (auto v = reader.Boolean("WinBoot")) CheckBox2->SetChecked(*v);
    // Unreadable: the box says nothing about the Run value, which is left
    // as it is unless the user sets the box.
    winBootUnread_ = reader.TypeErrors() > errorsBefore;
  }
  if (auto v = reader.Boolean("AutoCon")) CheckBox1->SetChecked(*v);
  // An index outside the list selects nothing.
  if (auto v = reader.Integer("ConInt")) ComboBox1->SetItemIndex(*v);
  if (auto v = reader.Boolean("MiniStart")) MiniBox->SetChecked(*v);
  if (auto v = reader.Boolean("ZimAdvt")) ZimBox->SetChecked(*v);
  loadTypeErrors_ = reader.TypeErrors() > 0;
}

void TSettingsForm::ApplyAtLoad() {
  TSharedValues& v = *link_.values;
  SettingsChanged = false;
  v.LoggingEnabled = LogBox->Checked();
  if (LogBox->Checked()) {
    CheckLogFile();
    v.LogFileName = LogPath(LogEdit->Text());
  }
  v.MaxAttempts = StrToInt(AttemptsEdit->Text());
  if (AutoReconBox->Checked()) {
    int interval = StrToInt(EveryEdit->Text());
    // The dialog never lets an interval below 500 ms through; one stored by
    // other means is raised the same way.
    if (interval < kMinInterval) {
      interval = kMinInterval;
      SetFieldText(EveryEdit, std::to_string(kMinInterval));
    }
    link_.Timer->SetInterval(static_cast<unsigned>(interval));
  }
  if (TimerBox->Checked()) {
    v.TimedDate = DateEdit->Text();
    v.TimedTime = TimeEdit->Text() + (AmSelected() ? " AM" : " PM");
    v.DisconnectAtTime = RButtonDis->Checked();
    link_.DisTimer->SetEnabled(true);
  }
  if (CheckBox1->Checked()) link_.Timer->SetEnabled(true);
}

// ---- destruction: save ----

void TSettingsForm::FormDestroy(TObject* sender) {
  SaveStoredSettings([this](const std::exception& e) { Application().HandleException(e); });
}

void TSettingsForm::SaveStoredSettings(const TReport& report) {
  // A refused Run value must not cost the user's settings: report it and go on.
  try {
    SaveRunValue();
  } catch (const EQuindleError& e) {
    report(e);
  }
  if (!SettingsChanged) return;
  try {
    SaveSettings();
  } catch (const EQuindleError& e) {
    report(e);
  }
}

void TSettingsForm::SaveRunValue() {
  if (winBootUnread_) return;
  const TPlatform& p = Application().Platform();
  UpdateRunValue(*p.registry, p.system->ModuleFileName(), CheckBox2->Checked());
}

bool TSettingsForm::RunValueNamesProgram() const {
  const TPlatform& p = Application().Platform();
  TRegistry reg(*p.registry, KEY_READ_T);
  reg.SetRootKey(HKEY_LOCAL_MACHINE_T);
  if (!reg.OpenKeyReadOnly(kRunKey) || !reg.ValueExists(kRunValue)) return false;
  try {
    return RunValueNames(reg.ReadString(kRunValue), p.system->ModuleFileName());
  } catch (const ERegistryException&) {
    return false;
  }
}

void TSettingsForm::SaveSettings() {
  IRegistryApi& api = *Application().Platform().registry;
  {
    TSettingsWriter w(api);
    w.Integer("DialMode", AsyncButton->Checked() ? 0 : 1);
    w.Boolean("AutoRecon", AutoReconBox->Checked());
    if (AutoReconBox->Checked()) {
      w.Integer("RetryInt", StrToInt(EveryEdit->Text()));
      w.Integer("AttempsInt", StrToInt(AttemptsEdit->Text()));
    }
    w.Boolean("EnableTimer", TimerBox->Checked());
    if (TimerBox->Checked()) {
      w.Text("Time", TimeEdit->Text() + (AmSelected() ? " AM" : " PM"));
      w.Text("Date", DateEdit->Text());
      w.Boolean("DisOrShut", RButtonDis->Checked());
    }
    w.Boolean("LogEnabled", LogBox->Checked());
    if (LogBox->Checked()) w.Text("LogFile", LogEdit->Text());
    // An unreadable value is replaced by what the Run value says.
    w.Boolean("WinBoot", winBootUnread_ ? RunValueNamesProgram() : CheckBox2->Checked());
    w.Boolean("AutoCon", CheckBox1->Checked());
    if (ComboBox1->Items().Count() > 0) w.Integer("ConInt", ComboBox1->ItemIndex());
    w.Boolean("MiniStart", MiniBox->Checked());
    w.Boolean("ZimAdvt", ZimBox->Checked());
  }
  if (!CheckBox2->Checked() && !winBootUnread_) RemoveRunValue(api);
}

// ---- show, activate, hide ----

void TSettingsForm::FormShow(TObject* sender) {
  CredentialsChanged = false;
  FetchCredentials();
  ComboBox1->SetFocus();
  if (!TimerBox->Checked()) {
    const TPlatform& p = Application().Platform();
    TDateTime now = p.clock->Now();
    SetFieldText(DateEdit, FormatDateDdMmYy(now, p.locale->DateSeparator()));
    std::string time = FormatTimeAmPm(now, p.locale->TimeSeparator());
    AmPmBox->SetItemIndex(time.find("AM") != std::string::npos ? 0 : 1);
    SetFieldText(TimeEdit, time.substr(0, 5));
  }
}

void TSettingsForm::FormActivate(TObject* sender) {
  IBackend& backend = Application().Backend();
  const int screenWidth = backend.ScreenWidth();
  const TRect work = backend.WorkArea();
  if (Left() + Width() > screenWidth) SetLeft(screenWidth - Width());
  if (Top() + Height() > work.bottom) SetTop(work.bottom - Height());
  if (Top() < 0) SetTop(0);
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
    int interval = StrToInt(EveryEdit->Text());
    if (interval < kMinInterval) {
      SetFieldText(EveryEdit, std::to_string(kMinInterval));
      link_.Timer->SetInterval(kMinInterval);
      ShowError("Interval can not be less than 500 milliseconds.");
    } else {
      link_.Timer->SetInterval(static_cast<unsigned>(interval));
    }
  } catch (const EConvertError& e) {
    // A number too long for the field: reported, and this close applies nothing more.
    Application().HandleException(e);
    return;
  }
  v.LoggingEnabled = LogBox->Checked();
  if (LogBox->Checked()) {
    CheckLogFile();
    v.LogFileName = LogPath(LogEdit->Text());
  }
  if (!TimerBox->Checked()) {
    link_.DisTimer->SetEnabled(false);
    return;
  }
  v.DisconnectAtTime = RButtonDis->Checked();
  v.TimedDate = BlanksToZeros(DateEdit->Text());
  v.TimedTime = BlanksToZeros(TimeEdit->Text()) + (AmSelected() ? " AM" : " PM");
  if (CheckTimeDate(v.TimedTime + " " + v.TimedDate)) {
    // Blanks were read as zeros: the fields (and so the stored values) say so.
    SetFieldText(DateEdit, v.TimedDate);
    SetFieldText(TimeEdit, v.TimedTime.substr(0, 5));
    link_.DisTimer->SetEnabled(true);
  } else {
    link_.DisTimer->SetEnabled(false);
    TimerBox->SetChecked(false);
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
  if (ComboBox1->Items().Count() > 0) SettingsChanged = true;
}

void TSettingsForm::Button1Click(TObject* sender) {
  Close();
}

// ---- click rules ----

void TSettingsForm::AutoReconBoxClick(TObject* sender) {
  const bool on = AutoReconBox->Checked();
  for (TControl* c :
       std::initializer_list<TControl*>{Label1, Label2, Label3, EveryEdit, AttemptsEdit})
    c->SetEnabled(on);
  SettingsChanged = true;
}

void TSettingsForm::TimerBoxClick(TObject* sender) {
  SettingsChanged = true;
  const bool on = TimerBox->Checked();
  for (TControl* c : std::initializer_list<TControl*>{Label5, Label6, TimeEdit, AmPmBox, DateEdit,
                                                      RButtonDis, RButtonShut, Label7, Label8})
    c->SetEnabled(on);
}

void TSettingsForm::LogBoxClick(TObject* sender) {
  TSharedValues& v = *link_.values;
  SettingsChanged = true;
  v.NewSession = LogBox->Checked();
  if (LogBox->Checked()) {
    LogEdit->SetEnabled(true);
    Label4->SetEnabled(true);
    // Checked on close; a name that would make the log an executable or an
    // archive is not put in force even for the moments until then.
    if (!RefusedLogName(LogEdit->Text())) v.LogFileName = LogPath(LogEdit->Text());
  } else {
    if (v.LogFileOpen) {
      v.LogFile.Close();
      v.LogFileOpen = false;
    }
    LogEdit->SetEnabled(false);
    Label4->SetEnabled(false);
  }
}

void TSettingsForm::AsyncButtonClick(TObject* sender) {
  SettingsChanged = true;
}
void TSettingsForm::SyncButtonClick(TObject* sender) {
  SettingsChanged = true;
}
void TSettingsForm::RButtonDisClick(TObject* sender) {
  SettingsChanged = true;
}
void TSettingsForm::RButtonShutClick(TObject* sender) {
  SettingsChanged = true;
}
void TSettingsForm::CheckBox1Click(TObject* sender) {
  SettingsChanged = true;
}
void TSettingsForm::CheckBox2Click(TObject* sender) {
  SettingsChanged = true;
  winBootUnread_ = false;  // the user has said what the Run value must be
}
void TSettingsForm::MiniBoxClick(TObject* sender) {
  SettingsChanged = true;
}
void TSettingsForm::ZimBoxClick(TObject* sender) {
  SettingsChanged = true;
}

// ---- keys ----

void TSettingsForm::DigitsOnly(char& key) {
  if (!IsDigit(key)) key = 0;
}

void TSettingsForm::EveryEditKeyPress(TObject* sender, char& key) {
  SettingsChanged = true;
  if (key != '\b') DigitsOnly(key);
}

void TSettingsForm::AttemptsEditKeyPress(TObject* sender, char& key) {
  SettingsChanged = true;
  if (key != '\b') DigitsOnly(key);
}

void TSettingsForm::TimeEditKeyDown(TObject* sender, WORD_T& key, TShiftState shift) {
  if (key == VK_BACK_T) key = 0;
}

void TSettingsForm::TimeEditKeyPress(TObject* sender, char& key) {
  SettingsChanged = true;
  DigitsOnly(key);
}

void TSettingsForm::DateEditKeyDown(TObject* sender, WORD_T& key, TShiftState shift) {
  if (key == VK_BACK_T) key = 0;
}

void TSettingsForm::DateEditKeyPress(TObject* sender, char& key) {
  SettingsChanged = true;
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
      SettingsChanged = true;
      break;
    case VK_TAB_T:
      return;  // moving on to the next field stays possible
    default:
      break;
  }
  key = 0;
}

void TSettingsForm::AmPmBoxKeyPress(TObject* sender, char& key) {
  SettingsChanged = true;
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
  SettingsChanged = true;
}

void TSettingsForm::CredentialsEditChange(TObject* sender) {
  if (!filling_) CredentialsChanged = true;
}

void TSettingsForm::SettingEditChange(TObject* sender) {
  if (!filling_) SettingsChanged = true;
}
