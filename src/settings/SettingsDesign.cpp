// The settings dialog's creation and design values: its controls in tab
// order, each one's bounds and caption in its frame, their states and kinds,
// and the handlers bound to them.
#include <initializer_list>
#include <utility>

#include "settings/Unit2.h"

namespace {
template <class T>
T* Make(TComponent* owner, TWinControl* parent, const char* name) {
  T* c = new T(owner);
  c->SetName(name);
  c->SetParent(parent);
  return c;
}
}  // namespace

TSettingsForm::TSettingsForm(TComponent* owner, TMainWindowLink link)
    : TForm(owner), link_(std::move(link)) {
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
  EnableTimedControls(false);
  Button1->SetDefault(true);  // Enter in the dialog presses OK

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
  TimeEdit->OnKeyPress = TKeyPressEvent::Bind(this, &TSettingsForm::TimeEditKeyPress);
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
