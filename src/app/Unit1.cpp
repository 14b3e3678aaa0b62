#include "app/Unit1.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "ResourceIds.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "settings/SettingsStore.h"
#include "settings/Unit2.h"
#include "toolkit/Application.h"

const char* const kAdvertLine = "http://quest.example.org - a web game\r\n";

namespace {
const char* const kHintDisconnected = "Quindle\r(Disconneted)";
const char* const kHintConnecting = "Quindle\r(Connecting...)";
const char* const kHintConnected = "Quindle\r(Connected)";
const char* const kChooseConnection = "Choose a connection in Settings";

template <class T>
T* Make(TForm1* form, const char* name) {
  T* c = new T(form);
  c->SetName(name);
  if constexpr (std::is_base_of_v<TControl, T>) c->SetParent(form);
  return c;
}

// A text the dialer could not fill sensibly: empty, or holding bytes that no
// message would (what a too-small or missing error text leaves behind). The
// line break that system texts end with does not count.
bool Unreadable(const std::string& text) {
  std::string_view t = text;
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
  if (t.empty()) return true;
  return std::any_of(t.begin(), t.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u < 32 && c != '\t';
  });
}
}  // namespace

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  SetName("Form1");
  // Created in this order; freed newest first, so the tray icon goes before
  // the image lists and the menu it refers to.
  Panel1 = Make<TPanel>(this, "Panel1");
  Memo1 = Make<TRichEditURL>(this, "Memo1");
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

  // The monitor stores every published value; its Enabled setter refuses
  // any write when the RAS library is missing, which ends start-up.
  RasMonitor1->SetEnabled(false);
  RasMonitor1->SetPollInterval(1000);
  RasMonitor1->SetOnline(false);
  RasMonitor1->SetRasApiLoaded(false);
  RasMonitor1->SetLocalIP("");
  RasMonitor1->SetLocalHost("");
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
  return link;
}

// ---------------------------------------------------------------------------
// Start-up and the window

void TForm1::FormCreate(TObject*) {
  Shared.LogFileName.clear();
  AttemptNo = 0;
  Shared.LoggingEnabled = false;
  Shared.LogFileOpen = false;
  Shared.NewSession = true;
  LoggedLineCount = 0;
  ExitRequested = false;
  TrayIcon->SetHint(kHintDisconnected);
  UserHangUp = false;
  RasMonitor1->SetEnabled(true);
  DialUp1->GetEntries();
  FillCombo();
  ReadWindowSettings();
}

void TForm1::ReadWindowSettings() {
  TApplication& app = Application();
  bool advert = true;
  TRegistry reg(*app.Platform().registry);
  reg.SetRootKey(HKEY_CURRENT_USER_T);
  if (reg.OpenKey("SOFTWARE", false) && reg.KeyExists("Quindle") && reg.OpenKey("Quindle", false)) {
    // A value of the wrong type is reported and skipped; it must not keep
    // the program from starting.
    auto guarded = [&app](auto read) {
      try {
        read();
      } catch (const ERegistryException& e) {
        app.HandleException(e);
      }
    };
    guarded([&] {
      if (reg.ValueExists("SLeft")) SetLeft(reg.ReadInteger("SLeft"));
    });
    guarded([&] {
      if (reg.ValueExists("STop")) SetTop(reg.ReadInteger("STop"));
    });
    guarded([&] {
      if (reg.ValueExists("ZimAdvt") && reg.ReadBool("ZimAdvt")) advert = false;
    });
    guarded([&] {
      if (reg.ValueExists("TimedDone")) TimedEventDone = reg.ReadString("TimedDone");
    });
  }
  reg.CloseKey();
  if (advert) AddLine(kAdvertLine);
}

void TForm1::FillCombo() {
  Shared.EntryList = &DialUp1->Entries();
}

void TForm1::FormDestroy(TObject*) {
  SaveWindowState();
}

void TForm1::SaveWindowState() {
  if (Shared.LogFileOpen) {
    Shared.LogFile.Close();
    Shared.LogFileOpen = false;
  }
  TRegistry reg(*Application().Platform().registry);
  reg.SetRootKey(HKEY_CURRENT_USER_T);
  if (!reg.OpenKey("SOFTWARE", false)) return;
  if (!reg.KeyExists("Quindle")) reg.CreateKey("Quindle");
  if (!reg.OpenKey("Quindle", true)) return;
  reg.WriteInteger("SLeft", Left());
  reg.WriteInteger("STop", Top());
}

void TForm1::FormCloseQuery(TObject*, bool& canClose) {
  if (ExitRequested) return;
  canClose = false;
  Application().Minimize();
}

void TForm1::FormKeyDown(TObject*, WORD_T& key, TShiftState) {
  if (key == VK_ESCAPE_T) Close();
}

void TForm1::SetButtonClick(TObject*) {
  TApplication& app = Application();
  app.NormalizeTopMosts();
  // The main window is the application's window here, so there is no
  // separate application window to lift above the others.
  if (!SettingsForm) return;
  SettingsForm->SetPosition(poMainFormCenter);
  SettingsForm->ShowModal();
  app.RestoreTopMosts();
}

void TForm1::TrayIconRightClick(TObject*, TMouseButton, TShiftState, int, int) {
  IBackend& backend = Application().Backend();
  backend.SetForegroundWindow(Handle());
  TPoint p = backend.GetCursorPos();
  PopupMenu1->SetOwnerWindow(Handle());
  PopupMenu1->Popup(p.x, p.y);
  backend.PostMessage(Handle(), WM_NULL_T, 0, 0);
}

void TForm1::PopupMenu1Popup(TObject*) {
  Restore1->SetDefault(true);
  Connect1->SetEnabled(ConButton->Enabled());
  Disconnect1->SetEnabled(DisButton->Enabled());
}

void TForm1::Restore1Click(TObject*) {
  TApplication& app = Application();
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
  ExitRequested = true;
  Close();
}

void TForm1::Memo1URLClick(TObject*, const std::string& url) {
  // Only web addresses: text that reaches the pane must never start a program.
  const std::string address = WebAddressToOpen(url);
  if (address.empty()) return;
  Application().Platform().shell->ShellExecute(Handle(), "open", address, "", "", SW_SHOWNORMAL_T);
}

// ---------------------------------------------------------------------------
// The connection controller

void TForm1::AddLine(const std::string& line) {
  Memo1->AddLine(line);
}

std::string TForm1::TimeText() {
  const TPlatform& p = Application().Platform();
  return p.locale->LongTime(p.clock->Now());
}

std::string TForm1::DateText() {
  const TPlatform& p = Application().Platform();
  return p.locale->ShortDate(p.clock->Now());
}

void TForm1::SetTray(TImageList* list, int index, const std::string& hint) {
  TrayIcon->SetImageList(list);
  TrayIcon->SetAnimate(false);
  TrayIcon->SetImageIndex(-1);
  TrayIcon->SetImageIndex(index);
  TrayIcon->SetHint(hint);
}

void TForm1::RefreshState() {
  TRasConnectionDetails details;
  if (RasMonitor1->GetConnectionDetails(details))
    ShowConnected();
  else
    ShowDisconnected();
}

void TForm1::RefreshStateAndRedial() {
  TRasConnectionDetails details;
  if (RasMonitor1->GetConnectionDetails(details)) {
    ShowConnected();
    return;
  }
  Timer->SetEnabled(SettingsForm && SettingsForm->AutoReconBox->Checked());
  ShowDisconnected();
}

void TForm1::ShowConnected() {
  Panel1->SetCaption("Connected to " + ConnectedEntryName);
  Panel1->Repaint();
  ConButton->SetEnabled(false);
  DisButton->SetEnabled(true);
  SetTray(IconList, 1, kHintConnected);
  if (FormHasFocus()) DisButton->SetFocus();
}

void TForm1::ShowDisconnected() {
  Panel1->SetCaption("Disconnected");
  Panel1->Repaint();
  ConButton->SetEnabled(true);
  DisButton->SetEnabled(false);
  SetTray(IconList, 0, kHintDisconnected);
  ConButton->SetFocus();
}

void TForm1::ConButtonClick(TObject*) {
  // A dial on its way is never replaced by a second one: the connection it
  // makes would be left behind, never hung up, holding the line.
  if (DialUp1->Dialing()) return;
  AttemptNo = 1;
  ConButton->SetEnabled(false);
  DisButton->SetEnabled(false);
  Timer->SetEnabled(false);
  if (!SettingsForm || SettingsForm->ComboBox1->Items().Count() == 0) {
    AddLine("Make sure you have a connection set up");
    RefreshState();
    return;
  }
  StartDial();
}

void TForm1::StartDial() {
  // No entry selected (the stored choice is gone from the phone book): an
  // entry the user never chose, maybe another provider's, is not dialled.
  const TComboBox& combo = *SettingsForm->ComboBox1;
  if (combo.ItemIndex() < 0 || combo.ItemIndex() >= combo.Items().Count()) {
    AddLine(kChooseConnection);
    RefreshState();
    return;
  }
  if (SettingsForm->AsyncButton->Checked()) {
    SyncDial = false;
    DialUp1->SetDialMode(dmAsync);
  } else {
    Panel1->SetCaption("Connecting...");
    Panel1->Repaint();
    TrayIcon->SetHint(kHintConnecting);
    SyncDial = true;
    DialUp1->SetDialMode(dmSync);
  }
  DialUp1->SetEntry(combo.Items().Get(combo.ItemIndex()));
  DialUp1->Dial();
}

void TForm1::DisButtonClick(TObject*) {
  UserHangUp = true;
  Timer->SetEnabled(false);
  RasMonitor1->HangUpConnection(RasMonitor1->ConnectionDetails().Handle);
}

void TForm1::TimerTimer(TObject*) {
  Timer->SetEnabled(false);
  TRasConnectionDetails details;
  if (RasMonitor1->GetConnectionDetails(details)) return;
  // A tick that comes while a dial is on its way (from Connect, or out of a
  // wait inside the dial) makes none: that dial's outcome decides what next.
  if (DialUp1->Dialing()) return;
  ++AttemptNo;
  if (AttemptNo > Shared.MaxAttempts) return;
  if (!SettingsForm || SettingsForm->ComboBox1->Items().Count() == 0) return;
  StartDial();
}

void TForm1::DialUp1Dialing(TObject*) {
  Application().ProcessMessages();
  TrayIcon->SetImageList(AniList);
  TrayIcon->SetAnimate(true);
  AddLine(std::string(SyncDial ? "Connection Sync attempt #" : "Connection attempt #") +
          std::to_string(AttemptNo) + " (" + TimeText() + ")");
  Panel1->SetCaption("Connecting...");
  Panel1->Repaint();
  TrayIcon->SetHint(kHintConnecting);
}

void TForm1::DialUp1AsyncEvent(TObject*, int32_t, int32_t error, const std::string& text) {
  if (text == "Opening port" || text == "Port opened" || text == "Connecting device" ||
      text == "Device connected" || text == "Authenticated")
    AddLine(text);
  if (text == "Start authenticating") AddLine("Verifying user name and password..");
  if (text.find("Access was denied because the") != std::string::npos) {
    AddLine("Error: " + text);
    RefreshState();
  }
  if (error == 0) return;
  RefreshStateAndRedial();
  switch (error) {
    case 797:
      AddLine("Unable to establish a connection");
      break;
    case 680:
      AddLine("Unable to connect device");
      break;
    case 691:
      break;
    default:
      AddLine("Error: " + std::to_string(error));
      break;
  }
  RefreshStateAndRedial();
}

void TForm1::DialUp1Error(TObject*, int32_t code, const std::string& message) {
  if (message == "GetEntryDialParams failed")
    AddLine("Error: No connections available");
  else if (Unreadable(message))
    AddLine("Error: " + std::to_string(code));  // as for the codes the service has no text for
  else
    AddLine("Error: " + message);
  RefreshState();
}

void TForm1::DialUp1NotConnected(TObject*, int32_t, const std::string& message) {
  RefreshStateAndRedial();
  AddLine(Unreadable(message) ? "Unable to establish a connection" : "Error: " + message);
}

void TForm1::RasMonitor1RasConnected(TObject*, TRasConnectionDetails details) {
  if (SettingsForm && SettingsForm->MiniBox->Checked()) Application().Minimize();
  ConnectedEntryName.assign(details.EntryName,
                            strnlen(details.EntryName, sizeof details.EntryName));
  ShowConnected();
  AddLine("Connected " + TimeText() + " (" + DateText() + ")");
}

void TForm1::RasMonitor1RasDisconnected(TObject*, TRasConnectionDetails) {
  ShowDisconnected();
  AddLine("Disconnected " + TimeText() + " (" + DateText() + ")");
  if (!UserHangUp && SettingsForm && SettingsForm->AutoReconBox->Checked()) ConButtonClick(this);
  UserHangUp = false;
}

// ---------------------------------------------------------------------------
// The timed event

std::optional<TDateTime> TForm1::TimedDeadline(const std::string& text) {
  if (text.size() < 17) return std::nullopt;
  auto number = [&](size_t pos) -> int {
    char a = text[pos - 1], b = text[pos];
    if (!std::isdigit(static_cast<unsigned char>(a)) ||
        !std::isdigit(static_cast<unsigned char>(b)))
      return -1;
    return (a - '0') * 10 + (b - '0');
  };
  int hour = number(1), minute = number(4), day = number(10), month = number(13), year = number(16);
  if (hour < 0 || minute < 0 || day < 0 || month < 0 || year < 0) return std::nullopt;
  bool afternoon = text[6] == 'P';
  if (afternoon) {
    if (hour != 12) hour += 12;
  } else if (hour == 12) {
    hour = 0;
  }
  year += 2000;
  if (hour > 23 || minute > 59 || !IsValidDate(year, month, day)) return std::nullopt;
  return IncMinutes(EncodeDateTime({year, month, day, hour, minute, 0, 0}), 2);
}

void TForm1::DisTimerTimer(TObject*) {
  const TPlatform& p = Application().Platform();
  const std::string moment = Shared.TimedTime + " " + Shared.TimedDate;
  // A moment acts once: not again when the clock is set back, when Settings
  // arms the timer again, or after a restart inside the set minute. A moment
  // changed in Settings is a new one.
  if (!TimedEventDone.empty() && moment != TimedEventDone) ForgetTimedEvent();
  if (moment == TimedEventDone) {
    DisTimer->SetEnabled(false);
    return;
  }
  std::optional<TDateTime> deadline = TimedDeadline(moment);
  TDateTime now = p.clock->Now();
  // A moment that is no real time or date can never come: stop as if missed.
  if (!deadline || now > *deadline) {
    DisTimer->SetEnabled(false);
    return;
  }
  if (FormatTimeAmPm(now, p.locale->TimeSeparator()) != Shared.TimedTime ||
      FormatDateDdMmYy(now, p.locale->DateSeparator()) != Shared.TimedDate)
    return;
  DisTimer->SetEnabled(false);
  RecordTimedEvent(moment);
  DisButtonClick(this);
  if (Shared.DisconnectAtTime) return;
  TApplication& app = Application();
  app.ProcessMessages();
  app.Backend().Sleep(5000);
  // A forced shutdown ends the program without asking it: what the orderly
  // exit saves is saved now. A refused shutdown leaves the program running.
  SaveBeforeShutdown();
  if (!ShutDownWindows(EWX_SHUTDOWN_T | EWX_FORCE_T))
    app.MessageBox("Error shutting down Windows", app.Title(), MB_OK_T | MB_ICONERROR_T);
}

void TForm1::RecordTimedEvent(const std::string& moment) {
  TimedEventDone = moment;
  // Stored at once: the shutdown that follows may end the program any moment.
  // A refused write is reported later; within this run the moment is known.
  try {
    TSettingsWriter(*Application().Platform().registry).Text("TimedDone", moment);
  } catch (const std::exception& e) {
    Application().HandleExceptionLater(e);
  }
}

void TForm1::ForgetTimedEvent() {
  TimedEventDone.clear();
  try {
    TSettingsWriter(*Application().Platform().registry).Remove("TimedDone");
  } catch (const std::exception& e) {
    Application().HandleExceptionLater(e);
  }
}

void TForm1::SaveBeforeShutdown() {
  TApplication& app = Application();
  // Shown later: a box now would hold up the shutdown until someone answers.
  auto report = [&app](const std::exception& e) { app.HandleExceptionLater(e); };
  if (SettingsForm) SettingsForm->SaveStoredSettings(report);
  try {
    SaveWindowState();
  } catch (const std::exception& e) {
    report(e);
  }
}

bool TForm1::ShutDownWindows(uint32_t flags) {
  ISystem& system = *Application().Platform().system;
  if (system.PlatformId() == VER_PLATFORM_WIN32_NT_T) system.EnableShutdownPrivilege();
  return system.ExitWindowsEx(flags, 0) != 0;
}
