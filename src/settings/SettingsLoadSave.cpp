// The settings dialog's load and save: every setting read from the registry
// into the controls when the dialog is created and applied to the main
// window, and written back at program end (the Run value always, the rest
// and the Run value's removal only when a setting was changed during the run):
// at the orderly exit as the fields hold them, at an end nobody asked about
// as they are in force.
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
  // The placeholder until the main window hands over the dialer's entries.
  ShowEntries(TStrings());

  bool typeErrors = false;
  try {
    // The click rules raised by the stored values set the fields that
    // depend on them; in the loading state they mark no change.
    TLoadingScope loading(*this);
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
  storedChoiceName_.reset();
  storedChoiceIndex_.reset();
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
  // The choice by its name where one is stored: its place moves when an
  // entry is added above it or removed. A name no longer in the list, or
  // an index outside it, selects nothing (and nothing is dialled).
  if (auto name = reader.Text(Stored::kConName))
    storedChoiceName_ = *name;
  else if (auto v = reader.Integer(Stored::kConInt))
    storedChoiceIndex_ = *v;
  SelectStoredChoice();
  if (auto v = reader.Boolean(Stored::kMiniStart)) MiniBox->SetChecked(*v);
  if (auto v = reader.Boolean(Stored::kZimAdvt)) ZimBox->SetChecked(*v);
  loadTypeErrors_ = reader.TypeErrors() > 0;
}

void TSettingsForm::ShowEntries(const TStrings& entries) {
  TStrings& items = ComboBox1->Items();
  items.Clear();
  hasEntries_ = entries.Count() > 0;
  if (hasEntries_)
    for (int i = 0; i < entries.Count(); ++i) items.Add(entries.Get(i));
  else
    items.Add(kNoEntries);
  ComboBox1->SetItemIndex(0);
  SelectStoredChoice();
}

void TSettingsForm::SelectStoredChoice() {
  if (storedChoiceName_)
    ComboBox1->SetItemIndex(IndexOfEntry(*storedChoiceName_));
  else if (storedChoiceIndex_)
    ComboBox1->SetItemIndex(*storedChoiceIndex_);
}

int TSettingsForm::IndexOfEntry(const std::string& name) const {
  const TStrings& items = ComboBox1->Items();
  for (int i = 0; i < items.Count(); ++i)
    if (items.Get(i) == name) return i;
  return -1;
}

void TSettingsForm::ApplyAtLoad() {
  TSharedValues& v = *link_.values;
  ApplyLogging();
  v.MaxAttempts = StrToInt(AttemptsEdit->Text());
  applied_.maxAttempts = v.MaxAttempts;
  // Not read while "Auto reconnect" is off: the field keeps its design
  // value, as the redial timer does, and that is what a later tick of the
  // box puts in force.
  applied_.retryInterval = StrToInt(EveryEdit->Text());
  if (AutoReconBox->Checked()) {
    int interval = applied_.retryInterval;
    // The dialog never lets an interval below 500 ms through; one stored by
    // other means is brought up to it the same way.
    if (interval < kMinInterval) {
      interval = kMinInterval;
      SetFieldText(EveryEdit, std::to_string(kMinInterval));
    }
    link_.Timer->SetInterval(static_cast<unsigned>(interval));
    applied_.retryInterval = interval;
  }
  if (TimerBox->Checked()) {
    v.TimedDate = DateEdit->Text();
    v.TimedTime = TimeEdit->Text() + AmPmSuffix();
    v.DisconnectAtTime = RButtonDis->Checked();
    link_.DisTimer->SetEnabled(true);
  }
  RecordTimedEvent(TimerBox->Checked());
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
  // The first failure stops the settings' save there.
  try {
    SaveSettings(TSource::kFields, [](const std::function<void()>& write) { write(); });
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

void TSettingsForm::SaveInForce(const TReport& report) {
  const TStep step = [&report](const std::function<void()>& write) {
    try {
      write();
    } catch (const std::exception& e) {
      report(e);
    }
  };
  step([this] { SaveRunValue(); });
  if (!SettingsChanged) return;
  // The outer step takes a settings key that cannot be opened; each write
  // inside is a step of its own.
  step([&] { SaveSettings(TSource::kInForce, step); });
  step([this] { RemoveRunValueWhenOff(); });
}

void TSettingsForm::SaveRunValue() {
  if (winBootUnread_) return;
  const TPlatform& p = Application().Platform();
  UpdateRunValue(*p.registry, p.system->ModuleFileName(), CheckBox2->Checked());
}

void TSettingsForm::SaveSettings(TSource source, const TStep& step) {
  const TPlatform& p = Application().Platform();
  IRegistryApi& api = *p.registry;
  const bool inForce = source == TSource::kInForce;
  TSettingsWriter w(api);
  step([&] { w.Integer(Stored::kDialMode, AsyncButton->Checked() ? 0 : 1); });
  step([&] { w.Boolean(Stored::kAutoRecon, AutoReconBox->Checked()); });
  if (AutoReconBox->Checked()) {
    step([&] {
      w.Integer(Stored::kRetryInt, inForce ? applied_.retryInterval : StrToInt(EveryEdit->Text()));
    });
    step([&] {
      w.Integer(Stored::kAttempsInt,
                inForce ? applied_.maxAttempts : StrToInt(AttemptsEdit->Text()));
    });
  }
  const bool timerOn = inForce ? applied_.timerOn : TimerBox->Checked();
  step([&] { w.Boolean(Stored::kEnableTimer, timerOn); });
  if (timerOn) {
    step([&] { w.Text(Stored::kTime, inForce ? applied_.time : TimeEdit->Text() + AmPmSuffix()); });
    step([&] { w.Text(Stored::kDate, inForce ? applied_.date : DateEdit->Text()); });
    step([&] {
      w.Boolean(Stored::kDisOrShut, inForce ? applied_.disconnectOnly : RButtonDis->Checked());
    });
  }
  const bool loggingOn = inForce ? applied_.loggingOn : LogBox->Checked();
  step([&] { w.Boolean(Stored::kLogEnabled, loggingOn); });
  if (loggingOn)
    step([&] { w.Text(Stored::kLogFile, inForce ? applied_.logName : LogEdit->Text()); });
  // An unreadable value is replaced by what the Run value says.
  step([&] {
    w.Boolean(Stored::kWinBoot, winBootUnread_
                                    ? RunValueNamesProgram(api, p.system->ModuleFileName())
                                    : CheckBox2->Checked());
  });
  step([&] { w.Boolean(Stored::kAutoCon, CheckBox1->Checked()); });
  if (ComboBox1->Items().Count() > 0)
    step([&] { w.Integer(Stored::kConInt, ComboBox1->ItemIndex()); });
  // ConInt stays as older versions read it; the name goes beside it. A
  // choice whose entry is gone keeps its name, for when the entry is back.
  std::string chosen;
  if (SelectedEntry(chosen)) step([&] { w.Text(Stored::kConName, chosen); });
  step([&] { w.Boolean(Stored::kMiniStart, MiniBox->Checked()); });
  step([&] { w.Boolean(Stored::kZimAdvt, ZimBox->Checked()); });
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
