// The connection controller: Connect and Disconnect, the redial timer, the
// dialer's progress and error events turned into pane lines, and the
// monitor's reports of a connection come up or gone, with the status panel,
// the buttons and the tray icon kept in step.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "app/TrayHints.h"
#include "app/Unit1.h"
#include "settings/Unit2.h"
#include "toolkit/Application.h"

namespace {
const char* const kChooseConnection = "Choose a connection in Settings";

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

void TForm1::SetTray(TImageList* list, int index, const std::string& hint) {
  TrayIcon->SetImageList(list);
  TrayIcon->SetAnimate(false);
  TrayIcon->SetImageIndex(-1);
  TrayIcon->SetImageIndex(index);
  TrayIcon->SetHint(hint);
}

bool TForm1::AutoRedial() const {
  return SettingsForm && SettingsForm->AutoReconBox->Checked();
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
  // After the user's own hang-up, a dial it stopped redials nothing.
  Timer->SetEnabled(rules_.RedialsFailure(AutoRedial()));
  ShowDisconnected();
}

void TForm1::ShowConnected() {
  Panel1->SetCaption("Connected to " + connectedEntryName_);
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
  // Disconnect stops a redial that waits for its moment (a dial under way
  // enables it when it starts).
  DisButton->SetEnabled(Timer->Enabled());
  SetTray(IconList, 0, kHintDisconnected);
  ConButton->SetFocus();
}

void TForm1::ConButtonClick(TObject*) {
  // A dial on its way is never replaced by a second one: the connection it
  // makes would be left behind, never hung up, holding the line.
  if (DialUp1->Dialing()) return;
  rules_.Connect();
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
    syncDial_ = false;
    DialUp1->SetDialMode(dmAsync);
  } else {
    Panel1->SetCaption("Connecting...");
    Panel1->Repaint();
    TrayIcon->SetHint(kHintConnecting);
    syncDial_ = true;
    DialUp1->SetDialMode(dmSync);
  }
  DialUp1->SetEntry(combo.Items().Get(combo.ItemIndex()));
  RasMonitor1->SetEntryName(combo.Items().Get(combo.ItemIndex()));
  ConButton->SetEnabled(false);
  DisButton->SetEnabled(true);  // the dial is the user's to stop
  DialUp1->Dial();
}

void TForm1::DisButtonClick(TObject*) {
  rules_.HangUpAsked();
  Timer->SetEnabled(false);
  if (StopDialling()) return;
  RasMonitor1->HangUpConnection(RasMonitor1->ConnectionDetails().Handle);
}

bool TForm1::StopDialling() {
  // A dial under way is hung up (through the wait for its handle to go); a
  // redial waiting for its moment was stopped with the timer. A connection
  // that is up is the caller's to hang up.
  if (DialUp1->Dialing()) DialUp1->HangUp();
  TRasConnectionDetails details;
  if (RasMonitor1->GetConnectionDetails(details)) return false;
  ShowDisconnected();
  return true;
}

void TForm1::FollowChosenEntry() {
  std::string name;
  if (SettingsForm) {
    const TComboBox& combo = *SettingsForm->ComboBox1;
    if (combo.ItemIndex() >= 0 && combo.ItemIndex() < combo.Items().Count())
      name = combo.Items().Get(combo.ItemIndex());
  }
  RasMonitor1->SetEntryName(name);
}

void TForm1::TimerTimer(TObject*) {
  Timer->SetEnabled(false);
  // A tick that comes while a dial is on its way (from Connect, or out of a
  // wait inside the dial) makes none: that dial's outcome decides what next.
  if (DialUp1->Dialing()) return;
  // Only a connection of the chosen entry makes the dial unneeded.
  FollowChosenEntry();
  TRasConnectionDetails details;
  if (RasMonitor1->GetConnectionDetails(details)) return;
  if (!rules_.NextAttempt(Shared.MaxAttempts)) {
    ShowDisconnected();  // no redial is pending any more: nothing to stop
    return;
  }
  if (!SettingsForm || SettingsForm->ComboBox1->Items().Count() == 0) return;
  StartDial();
}

void TForm1::DialUp1Dialing(TObject*) {
  Application().ProcessMessages();
  TrayIcon->SetImageList(AniList);
  TrayIcon->SetAnimate(true);
  AddLine(std::string(syncDial_ ? "Connection Sync attempt #" : "Connection attempt #") +
          std::to_string(rules_.AttemptNo()) + " (" + TimeText() + ")");
  Panel1->SetCaption("Connecting...");
  Panel1->Repaint();
  TrayIcon->SetHint(kHintConnecting);
}

void TForm1::DialUp1AsyncEvent(TObject*, int32_t state, int32_t error, const std::string& text) {
  // Chosen by the state and the code, never by the text: Windows words its
  // texts differently from one version and language to the next.
  if (error == 0) {
    switch (state) {
      case RASCS_OpenPort:
      case RASCS_PortOpened:
      case RASCS_ConnectDevice:
      case RASCS_DeviceConnected:
      case RASCS_Authenticated:
        AddLine(text);
        break;
      case RASCS_Authenticate:
        AddLine("Verifying user name and password..");
        break;
      default:
        break;
    }
    return;
  }
  if (error == static_cast<int32_t>(ERROR_AUTHENTICATION_FAILURE_RAS)) {
    // The service's own words for a refused user name or password, whatever
    // they are; its code where it has none.
    AddLine("Error: " + (Unreadable(text) ? std::to_string(error) : text));
    RefreshState();
  }
  // Before the failure's line and again after it: the buttons, the panel
  // and the tray show the failure as its line comes, and a line written to
  // the log file lets messages run (the monitor's report, a redial's tick),
  // so the state is read again once it is written. The second call changes
  // nothing when nothing came meanwhile: a timer already on is not restarted.
  RefreshStateAndRedial();
  switch (error) {
    case ERROR_DEVICE_NOT_AVAILABLE_RAS:
      AddLine("Unable to establish a connection");
      break;
    case ERROR_NO_DIALTONE_RAS:
      AddLine("Unable to connect device");
      break;
    case ERROR_AUTHENTICATION_FAILURE_RAS:
      break;
    default:
      AddLine("Error: " + std::to_string(error));
      break;
  }
  RefreshStateAndRedial();
}

void TForm1::DialUp1Error(TObject*, TDialStep step, int32_t code, const std::string& message) {
  // Chosen by the step that failed, not by the message: a service text may
  // read like anything.
  if (step == dsReadParams)
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
  connectedEntryName_.assign(details.EntryName,
                             strnlen(details.EntryName, sizeof details.EntryName));
  ShowConnected();
  AddLine("Connected " + TimeText() + " (" + DateText() + ")");
}

void TForm1::RasMonitor1RasDisconnected(TObject*, TRasConnectionDetails) {
  ShowDisconnected();
  AddLine("Disconnected " + TimeText() + " (" + DateText() + ")");
  if (rules_.RedialsDrop(AutoRedial())) ConButtonClick(this);
  rules_.DropHandled();
}
