// The main window's creation and design values, its state in the registry
// (position, advert switch, the timed event's done moment), the Settings
// button, the tray menu, and the close rules: closing only minimises, Exit
// in the tray menu ends the program.
#include "app/Unit1.h"

#include <type_traits>

#include "ResourceIds.h"
#include "app/TrayHints.h"
#include "settings/SettingsStore.h"
#include "settings/Unit2.h"
#include "toolkit/Application.h"

const char* const kAdvertLine = "http://quest.example.org - a web game\r\n";

namespace {
template <class T>
T* Make(TForm1* form, const char* name) {
  T* c = new T(form);
  c->SetName(name);
  if constexpr (std::is_base_of_v<TControl, T>) c->SetParent(form);
  return c;
}

// What the session log asks of the application: the messages a write lets
// run, and a fault's report held until the handler under way has returned.
TSessionLog::THooks LogHooks(TApplication& app) {
  return {[&app] { app.ProcessMessages(); },
          [&app](const std::exception& e) { app.HandleExceptionLater(e); }};
}
}  // namespace

TForm1::TForm1(TComponent* owner)
    : TForm(owner),
      sessionLog_(paneLines_, Shared, Application().Platform(), LogHooks(Application())) {
  SetName("Form1");
  // Created in this order; freed newest first, so the tray icon goes before
  // the image lists and the menu it refers to.
  Panel1 = Make<TPanel>(this, "Panel1");
  Memo1 = Make<TRichEditURL>(this, "Memo1");
  paneLines_.pane = Memo1;
  ConButton = Make<TButton>(this, "ConButton");
  DisButton = Make<TButton>(this, "DisButton");
  SetButton = Make<TButton>(this, "SetButton");
  RasMonitor1 = Make<TRasMonitor>(this, "RasMonitor1");
  DialUp1 = Make<TDialUp>(this, "DialUp1");
  Timer = Make<TTimer>(this, "Timer");
  DisTimer = Make<TTimer>(this, "DisTimer");
  IconList = Make<TImageList>(this, "IconList");
  AniList = Make<TImageList>(this, "AniList");
  PopupMenu1 = Make<TPopupMenu>(this, "PopupMenu1");
  Restore1 = Make<TMenuItem>(this, "Restore1");
  N1 = Make<TMenuItem>(this, "N1");
  Connect1 = Make<TMenuItem>(this, "Connect1");
  Disconnect1 = Make<TMenuItem>(this, "Disconnect1");
  N2 = Make<TMenuItem>(this, "N2");
  Exit1 = Make<TMenuItem>(this, "Exit1");
  TrayIcon = Make<TTrayIcon>(this, "TrayIcon");
}

TForm1::~TForm1() = default;

void TForm1::ApplyDesign() {
  // The window.
  SetCaption("Quindle");
  SetBounds(295, 172, Width(), Height());
  SetClientSize(237, 210);
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu | biMinimize);
  SetFormStyle(fsStayOnTop);
  SetFont(TFont{"Tahoma", -11, clNavy, false});
  SetKeyPreview(true);
  OnCreate = TNotifyEvent::Bind(this, &TForm1::FormCreate);
  OnDestroy = TNotifyEvent::Bind(this, &TForm1::FormDestroy);
  OnCloseQuery = TCloseQueryEvent::Bind(this, &TForm1::FormCloseQuery);
  OnKeyDown = TKeyEvent::Bind(this, &TForm1::FormKeyDown);

  // The status panel, the log pane and the buttons.
  Panel1->SetBounds(0, 0, 237, 41);
  Panel1->SetCaption("Disconnected");
  Panel1->SetFont(TFont{"Tahoma", -11, clNavy, true});
  Memo1->SetBounds(0, 41, 237, 136);
  Memo1->SetReadOnly(true);
  Memo1->SetScrollBars(ssVertical);
  Memo1->SetColor(clBtnFace);
  Memo1->SetFont(Font());
  Memo1->OnChange = TNotifyEvent::Bind(this, &TForm1::Memo1Change);
  Memo1->OnURLClick = TURLClickEvent::Bind(this, &TForm1::Memo1URLClick);
  ConButton->SetBounds(4, 181, 73, 25);
  ConButton->SetCaption("&Connect");
  ConButton->OnClick = TNotifyEvent::Bind(this, &TForm1::ConButtonClick);
  DisButton->SetBounds(82, 181, 73, 25);
  DisButton->SetCaption("&Disconnect");
  DisButton->SetEnabled(false);
  DisButton->OnClick = TNotifyEvent::Bind(this, &TForm1::DisButtonClick);
  SetButton->SetBounds(160, 181, 73, 25);
  SetButton->SetCaption("&Settings");
  SetButton->OnClick = TNotifyEvent::Bind(this, &TForm1::SetButtonClick);

  // Without the RAS library there is nothing to keep up: start-up ends here
  // with the monitor's message.
  RasMonitor1->RequireRasLibrary();
  RasMonitor1->SetPollInterval(1000);
  RasMonitor1->OnRasConnected = TRasNotifyEvent::Bind(this, &TForm1::RasMonitor1RasConnected);
  RasMonitor1->OnRasDisconnected = TRasNotifyEvent::Bind(this, &TForm1::RasMonitor1RasDisconnected);

  DialUp1->SetDialMode(dmAsync);
  DialUp1->SetLanguage(English);
  DialUp1->OnDialing = TStandartEv::Bind(this, &TForm1::DialUp1Dialing);
  DialUp1->OnNotConnected = TOnNotConn::Bind(this, &TForm1::DialUp1NotConnected);
  DialUp1->OnAsyncEvent = TOnAsyncEvent::Bind(this, &TForm1::DialUp1AsyncEvent);
  DialUp1->OnError = TOnError::Bind(this, &TForm1::DialUp1Error);

  Timer->SetEnabled(false);
  Timer->SetInterval(3000);
  Timer->SetOnTimer(TNotifyEvent::Bind(this, &TForm1::TimerTimer));
  DisTimer->SetEnabled(false);
  DisTimer->SetInterval(10000);
  DisTimer->SetOnTimer(TNotifyEvent::Bind(this, &TForm1::DisTimerTimer));

  IconList->AddIcon(IDI_DISCONNECTED);
  IconList->AddIcon(IDI_CONNECTED);
  AniList->AddIcon(IDI_DIAL1);
  AniList->AddIcon(IDI_DIAL2);

  Restore1->SetCaption("Restore");
  Restore1->OnClick = TNotifyEvent::Bind(this, &TForm1::Restore1Click);
  N1->SetCaption("-");
  Connect1->SetCaption("Connect");
  Connect1->OnClick = TNotifyEvent::Bind(this, &TForm1::Connect1Click);
  Disconnect1->SetCaption("Disconnect");
  Disconnect1->OnClick = TNotifyEvent::Bind(this, &TForm1::Disconnect1Click);
  N2->SetCaption("-");
  Exit1->SetCaption("Exit");
  Exit1->OnClick = TNotifyEvent::Bind(this, &TForm1::Exit1Click);
  for (TMenuItem* item : {Restore1, N1, Connect1, Disconnect1, N2, Exit1}) PopupMenu1->Add(item);
  PopupMenu1->OnPopup = TNotifyEvent::Bind(this, &TForm1::PopupMenu1Popup);

  // The tray icon: only the values that differ from its defaults are stored.
  TrayIcon->SetActive(true);
  TrayIcon->SetHideAppOnMinimize(true);
  TrayIcon->SetImageIndex(0);
  TrayIcon->SetImageList(IconList);
  TrayIcon->SetInterval(700);
  TrayIcon->SetShowHint(true);
  TrayIcon->SetShowOnClick(true);
  TrayIcon->SetWinIcon(idiAPPLICATION);
  TrayIcon->OnRightClick = TMouseEvent::Bind(this, &TForm1::TrayIconRightClick);
}

void TForm1::SetSettingsForm(TSettingsForm* form) {
  if (SettingsForm) RemoveFreeNotification(SettingsForm);
  SettingsForm = form;
  // The dialog is freed first at exit: nothing here may reach it afterwards.
  if (SettingsForm) FreeNotification(SettingsForm);
  // It has read the stored choice: it is handed the entries to find it
  // among, and the monitor's first poll follows that entry.
  FillCombo();
}

void TForm1::Notification(TComponent* component, TOperation operation) {
  TForm::Notification(component, operation);
  if (operation == opRemove && component == SettingsForm) SettingsForm = nullptr;
}

TMainWindowLink TForm1::Link() {
  TMainWindowLink link;
  link.values = &Shared;
  link.Timer = Timer;
  link.DisTimer = DisTimer;
  link.DialUp1 = DialUp1;
  link.MainForm = this;
  link.CloseLogFile = [this] { CloseLogFile(); };
  link.AddPaneLine = [this](const std::string& line) { AddLine(line); };
  return link;
}

void TForm1::FormCreate(TObject*) {
  Shared.LogFileName.clear();
  rules_ = TConnectionRules{};
  Shared.LoggingEnabled = false;
  Shared.LogFileOpen = false;
  Shared.NewSession = true;
  exitRequested_ = false;
  TrayIcon->SetHint(kHintDisconnected);
  RasMonitor1->SetEnabled(true);
  DialUp1->GetEntries();
  ReadWindowSettings();
}

void TForm1::ReadWindowSettings() {
  TApplication& app = Application();
  bool advert = true;
  {
    // A value of the wrong type is reported and skipped; it must not keep
    // the program from starting.
    TSettingsReader reader(*app.Platform().registry,
                           [&app](const std::exception& e) { app.HandleException(e); });
    if (reader.Open()) {
      if (auto v = reader.Integer(Stored::kSLeft)) SetLeft(*v);
      if (auto v = reader.Integer(Stored::kSTop)) SetTop(*v);
      KeepTitleBarOnScreen();
      if (auto v = reader.Boolean(Stored::kZimAdvt); v && *v) advert = false;
      const int errorsBefore = reader.TypeErrors();
      if (auto v = reader.Text(Stored::kTimedDone)) timedEventDone_ = *v;
      timedDoneUnread_ = reader.TypeErrors() > errorsBefore;
    }
  }  // the key is closed before the pane's first line
  if (advert) AddLine(kAdvertLine);
}

void TForm1::FillCombo() {
  // The dialog offers the entries the dialer listed at start-up, its stored
  // choice selected among them, and the monitor follows that choice.
  if (SettingsForm) SettingsForm->ShowEntries(DialUp1->Entries());
  FollowChosenEntry();
}

void TForm1::FormDestroy(TObject*) {
  SaveWindowState();
}

void TForm1::SaveWindowState() {
  FinishLogFile();
  SaveWindowPosition();
}

void TForm1::SaveWindowPosition() {
  // A key that cannot be opened for writing leaves the position unwritten,
  // without a word; one that cannot be created, or a refused write, throws.
  TSettingsWriter w(*Application().Platform().registry, TSettingsWriter::kSkipWhenClosed);
  w.Integer(Stored::kSLeft, Left());
  w.Integer(Stored::kSTop, Top());
  // An unreadable TimedDone names no moment; one that acted since was
  // written over it.
  if (timedDoneUnread_ && timedEventDone_.empty()) w.Remove(Stored::kTimedDone);
}

void TForm1::SessionEnding(TObject*) {
  SaveWithoutAsking();
}

void TForm1::SaveWithoutAsking() {
  std::vector<std::string> failures;
  const auto note = [&failures](const std::exception& e) { failures.emplace_back(e.what()); };
  try {
    SaveWindowPosition();
  } catch (const std::exception& e) {
    note(e);
  }
  // The dialog may be open, its fields not yet checked: what is in force.
  if (SettingsForm) SettingsForm->SaveInForce(note);
  for (const std::string& failure : failures) AddLine(failure);
  FinishLogFile();
}

void TForm1::FormCloseQuery(TObject*, bool& canClose) {
  if (exitRequested_) return;
  canClose = false;
  Application().Minimize();
}

void TForm1::FormKeyDown(TObject*, WORD_T& key, TShiftState) {
  if (key == VK_ESCAPE_T) Close();
}

void TForm1::SetButtonClick(TObject*) {
  if (SettingsForm) SettingsForm->Open();
}

void TForm1::TrayIconRightClick(TObject*, TMouseButton, TShiftState, int, int) {
  // The menu opens where the cursor is; the backend brings this window to
  // the front for it, as a notification icon's menu needs.
  const TPoint p = Application().Backend().GetCursorPos();
  PopupMenu1->SetOwnerWindow(Handle());
  PopupMenu1->Popup(p.x, p.y);
}

void TForm1::PopupMenu1Popup(TObject*) {
  Restore1->SetDefault(true);
  Connect1->SetEnabled(ConButton->Enabled());
  Disconnect1->SetEnabled(DisButton->Enabled());
}

void TForm1::Restore1Click(TObject*) {
  TApplication& app = Application();
  KeepTitleBarOnScreen();  // the screen it was on may have gone meanwhile
  app.Backend().ShowWindow(app.Handle(), SW_SHOW_T);
  app.Restore();
  app.BringToFront();
}

void TForm1::Connect1Click(TObject*) {
  ConButtonClick(this);
}

void TForm1::Disconnect1Click(TObject*) {
  DisButtonClick(this);
}

void TForm1::Exit1Click(TObject*) {
  exitRequested_ = true;
  Close();
}

void TForm1::Memo1URLClick(TObject*, const std::string& url) {
  // Only web addresses: text that reaches the pane must never start a program.
  const std::string address = WebAddressToOpen(url, Application().Platform().locale);
  if (address.empty()) return;
  Application().Platform().shell->ShellExecute(Handle().Raw(), "open", address, "", "",
                                               SW_SHOWNORMAL_T);
}
