// The settings dialog's load and save: every setting read from the registry
// into the controls when the dialog is created and applied to the main
// window, and written back at program end (the Run value always, the rest
// and the Run value's removal only when a setting was changed during the run).
#include "dialup/DialUp.h"
#include "platform/Errors.h"
#include "settings/SettingsStore.h"
#include "settings/Unit2.h"
#include "toolkit/Application.h"
#include "toolkit/Timer.h"

namespace {
constexpr const char* kNoEntries = "No connections available";
constexpr const char* kRunValueKept =
    "Quindle will still start with Windows for every user of this computer: its machine-wide "
    "Run value can only be removed by an administrator. To remove it, run Quindle once as "
    "administrator and uncheck \"Start with Windows\".";
}  // namespace

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
  if (auto v = reader.Integer(Stored::kDialMode))
    (*v != 0 ? SyncButton : AsyncButton)->SetChecked(true);
  if (auto v = reader.Boolean(Stored::kAutoRecon)) AutoReconBox->SetChecked(*v);
  if (AutoReconBox->Checked()) {
    if (auto v = reader.Integer(Stored::kRetryInt)) SetFieldText(EveryEdit, std::to_string(*v));
    if (auto v = reader.Integer(Stored::kAttempsInt))
      SetFieldText(AttemptsEdit, std::to_string(*v));
  }
  if (auto v = reader.Boolean(Stored::kEnableTimer)) TimerBox->SetChecked(*v);
  if (TimerBox->Checked()) {
    int errorsBefore = reader.TypeErrors();
    auto time = reader.Text(Stored::kTime);
    if (time || reader.TypeErrors() == errorsBefore) {  // absent reads as empty text
      ShowTimedTime(time.value_or(""));
    }
    if (auto v = reader.Text(Stored::kDate)) SetFieldText(DateEdit, *v);
    if (auto v = reader.Boolean(Stored::kDisOrShut))
      (*v ? RButtonDis : RButtonShut)->SetChecked(true);
  }
  if (auto v = reader.Boolean(Stored::kLogEnabled)) LogBox->SetChecked(*v);
  if (LogBox->Checked())
    if (auto v = reader.Text(Stored::kLogFile)) SetFieldText(LogEdit, *v);
  {
    const int errorsBefore = reader.TypeErrors();
    const std::optional<bool> winBoot = reader.Boolean(Stored::kWinBoot);
    if (winBoot) CheckBox2->SetChecked(*winBoot);
    // Unreadable: the box says nothing about the Run value, which is left
    // as it is unless the user sets the box.
    winBootUnread_ = reader.TypeErrors() > errorsBefore;
    winBootStoredOff_ = winBoot == false;
  }
  if (auto v = reader.Boolean(Stored::kAutoCon)) CheckBox1->SetChecked(*v);
  // An index outside the list selects nothing.
  if (auto v = reader.Integer(Stored::kConInt)) ComboBox1->SetItemIndex(*v);
  if (auto v = reader.Boolean(Stored::kMiniStart)) MiniBox->SetChecked(*v);
  if (auto v = reader.Boolean(Stored::kZimAdvt)) ZimBox->SetChecked(*v);
  loadTypeErrors_ = reader.TypeErrors() > 0;
}

void TSettingsForm::ApplyAtLoad() {
  TSharedValues& v = *link_.values;
  SettingsChanged = false;
  ApplyLogging();
  v.MaxAttempts = StrToInt(AttemptsEdit->Text());
  if (AutoReconBox->Checked()) {
    int interval = StrToInt(EveryEdit->Text());
    // The dialog never lets an interval below 500 ms through; one stored by
    // other means is brought up to it the same way.
    if (interval < kMinInterval) {
      interval = kMinInterval;
      SetFieldText(EveryEdit, std::to_string(kMinInterval));
    }
    link_.Timer->SetInterval(static_cast<unsigned>(interval));
  }
  if (TimerBox->Checked()) {
    v.TimedDate = DateEdit->Text();
    v.TimedTime = TimeEdit->Text() + AmPmSuffix();
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
  // Also when the settings could not be stored: the user asked for it.
  try {
    RemoveRunValueWhenOff();
  } catch (const EQuindleError& e) {
    report(e);
  }
}

void TSettingsForm::SaveRunValue() {
  if (winBootUnread_) return;
  const TPlatform& p = Application().Platform();
  UpdateRunValue(*p.registry, p.system->ModuleFileName(), CheckBox2->Checked());
}

void TSettingsForm::SaveSettings() {
  const TPlatform& p = Application().Platform();
  IRegistryApi& api = *p.registry;
  {
    TSettingsWriter w(api);
    w.Integer(Stored::kDialMode, AsyncButton->Checked() ? 0 : 1);
    w.Boolean(Stored::kAutoRecon, AutoReconBox->Checked());
    if (AutoReconBox->Checked()) {
      w.Integer(Stored::kRetryInt, StrToInt(EveryEdit->Text()));
      w.Integer(Stored::kAttempsInt, StrToInt(AttemptsEdit->Text()));
    }
    w.Boolean(Stored::kEnableTimer, TimerBox->Checked());
    if (TimerBox->Checked()) {
      w.Text(Stored::kTime, TimeEdit->Text() + AmPmSuffix());
      w.Text(Stored::kDate, DateEdit->Text());
      w.Boolean(Stored::kDisOrShut, RButtonDis->Checked());
    }
    w.Boolean(Stored::kLogEnabled, LogBox->Checked());
    if (LogBox->Checked()) w.Text(Stored::kLogFile, LogEdit->Text());
    // An unreadable value is replaced by what the Run value says.
    w.Boolean(Stored::kWinBoot, winBootUnread_
                                    ? RunValueNamesProgram(api, p.system->ModuleFileName())
                                    : CheckBox2->Checked());
    w.Boolean(Stored::kAutoCon, CheckBox1->Checked());
    if (ComboBox1->Items().Count() > 0) w.Integer(Stored::kConInt, ComboBox1->ItemIndex());
    w.Boolean(Stored::kMiniStart, MiniBox->Checked());
    w.Boolean(Stored::kZimAdvt, ZimBox->Checked());
  }
}

void TSettingsForm::RemoveRunValueWhenOff() {
  if (CheckBox2->Checked() || winBootUnread_) return;
  const TPlatform& p = Application().Platform();
  // Told once: the exit that tells it also stores WinBoot off, and a
  // WinBoot stored off keeps the next exits quiet.
  if (RemoveRunValue(*p.registry, p.system->ModuleFileName()) == TRunRemoval::kMachineWideKept &&
      !winBootStoredOff_)
    throw ERegistryException(kRunValueKept);
}
