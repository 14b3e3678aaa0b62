#include "rasmonitor/RasMonitor.h"

#include <cstdio>
#include <cstring>

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Platform.h"
#include "rasmonitor/RasMiniApi.h"
#include "toolkit/Application.h"
#include "toolkit/Timer.h"

namespace {

const char* const kNotLoaded = "RASAPI Not Loaded, unable to access RAS Functions";

// What a hang-up returns when the service offers no hang-up function: the
// system's "procedure not found", so the caller sees a failure, not success.
constexpr uint32_t kProcNotFound = 127;

constexpr int kSocketError = -1;
constexpr size_t kMaxStatusText = 255;

// Copies a fixed-size text field and keeps it zero-terminated even when the
// service filled it to the last byte.
template <size_t N>
void CopyField(char (&to)[N], const char (&from)[N]) {
  std::memcpy(to, from, N);
  to[N - 1] = '\0';
}

}  // namespace

TRasMonitor::TRasMonitor(TComponent* owner) : TComponent(owner) {
  timer_ = new TTimer(this);
  timer_->SetEnabled(false);
  timer_->SetInterval(1000);
  timer_->SetOnTimer([this](TObject*) { Poll(); });

  api_ = &TRasMiniApi::Of(Application());
  FreeNotification(api_);
  localIP_ = GetLocalIP();
  localHost_ = GetLocalHost();
  rasApiLoaded_ = api_->LoadRasMiniApi();
}

TRasMonitor::~TRasMonitor() {
  if (timer_) {
    timer_->SetEnabled(false);
    delete timer_;
    timer_ = nullptr;
  }
  if (api_) RemoveFreeNotification(api_);
}

void TRasMonitor::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == timer_) timer_ = nullptr;
  if (component == api_ && api_) {
    // The binding goes with the application: its functions can no longer be called.
    api_ = nullptr;
    rasApiLoaded_ = false;
    if (timer_) timer_->SetEnabled(false);
  }
}

void TRasMonitor::SetEnabled(bool value) {
  if (Designing()) return;
  RequireRasLibrary();
  if (value == enabled_) return;
  enabled_ = value;
  if (!timer_) return;
  if (value) {
    // A negative interval leaves the timer stopped, as 0 does.
    timer_->SetInterval(pollInterval_ > 0 ? static_cast<unsigned>(pollInterval_) : 0u);
    timer_->SetEnabled(true);
  } else {
    timer_->SetEnabled(false);
  }
}

void TRasMonitor::RequireRasLibrary() const {
  if (!rasApiLoaded_ || !api_ || !api_->RasEnumConnectionsA) throw EQuindleError(kNotLoaded);
}

bool TRasMonitor::Enumerate(RASCONNA (&conns)[8], uint32_t& count) {
  count = 0;
  if (!api_ || !api_->RasEnumConnectionsA) return false;
  // The record version is chosen by the first record's dwSize: this build's
  // own record size. Records the service does not fill stay zero.
  std::memset(conns, 0, sizeof(conns));
  conns[0].dwSize = sizeof(RASCONNA);
  uint32_t bytes = sizeof(conns);
  if (api_->RasEnumConnectionsA(conns, &bytes, &count) != 0) return false;
  // Never more records than the buffer holds, whatever the count says.
  if (count > 8) count = 8;
  return true;
}

void TRasMonitor::SetEntryName(const std::string& name) {
  followsEntry_ = true;
  entryName_ = name;
}

void TRasMonitor::FollowAnyConnection() {
  followsEntry_ = false;
  entryName_.clear();
}

bool TRasMonitor::SameEntryName(const char* listed, size_t size) const {
  // The name as the details hold it: a field filled to its last byte is cut there.
  const size_t n = strnlen(listed, size - 1);
  if (n != entryName_.size()) return false;
  ILocale* locale = Application().Platform().locale;
  auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
  for (size_t i = 0; i < n; ++i) {
    const auto a = static_cast<unsigned char>(listed[i]);
    const auto b = static_cast<unsigned char>(entryName_[i]);
    // A double-byte character is compared as it is: its second byte may
    // look like a letter and must not be folded.
    if (locale && locale->IsLeadByte(a)) {
      if (a != b || i + 1 >= n || listed[i + 1] != entryName_[i + 1]) return false;
      ++i;
      continue;
    }
    if (fold(a) != fold(b)) return false;
  }
  return true;
}

const RASCONNA* TRasMonitor::Followed(const RASCONNA (&conns)[8], uint32_t count) const {
  if (count == 0) return nullptr;
  if (!followsEntry_) return &conns[0];
  for (uint32_t i = 0; i < count; ++i)
    if (SameEntryName(conns[i].szEntryName, sizeof conns[i].szEntryName)) return &conns[i];
  return nullptr;
}

RASCONNSTATUSA TRasMonitor::QueryStatus(HRASCONN handle) {
  RASCONNSTATUSA status;
  std::memset(&status, 0, sizeof(status));
  status.dwSize = sizeof(RASCONNSTATUSA);
  // The result is not examined: a failed query leaves the record as it was, zeroed.
  if (api_ && api_->RasGetConnectStatusA) api_->RasGetConnectStatusA(handle, &status);
  return status;
}

void TRasMonitor::Describe(const RASCONNA& conn, const std::string& text,
                           TRasConnectionDetails& details) {
  details.StatusText = text.substr(0, kMaxStatusText);
  details.Handle = conn.hrasconn;
  CopyField(details.EntryName, conn.szEntryName);
  CopyField(details.DeviceType, conn.szDeviceType);
  CopyField(details.DeviceName, conn.szDeviceName);
}

void TRasMonitor::ReadAddresses(HRASCONN handle, TRasConnectionDetails& details) {
  if (!api_ || !api_->RasGetProjectionInfoA) return;
  RASPPPIPA ip;
  std::memset(&ip, 0, sizeof(ip));
  ip.dwSize = sizeof(RASPPPIPA);
  uint32_t size = sizeof(RASPPPIPA);
  if (api_->RasGetProjectionInfoA(handle, RASP_PppIp, &ip, &size) != 0) return;
  CopyField(details.ClientIP, ip.szIpAddress);
  CopyField(details.ServerIP, ip.szServerIpAddress);
}

void TRasMonitor::Poll() {
  details_ = TRasConnectionDetails{};

  RASCONNA conns[8];
  uint32_t count = 0;
  if (!Enumerate(conns, count)) {
    // Not knowing is treated as not online, without telling anyone.
    online_ = false;
    return;
  }
  const RASCONNA* conn = Followed(conns, count);
  if (!conn) {
    if (online_) {
      online_ = false;
      OnRasDisconnected(this, details_);
    }
    return;
  }

  // Only the followed connection counts.
  lastHandle_ = conn->hrasconn;
  const RASCONNSTATUSA status = QueryStatus(lastHandle_);
  const std::string text = StatusToText(status, status.dwError);
  Describe(*conn, text, details_);
  if (online_) return;

  if (status.rasconnstate == RASCS_Connected) {
    online_ = true;
    ReadAddresses(lastHandle_, details_);
    OnRasConnected(this, details_);
  }
  if (!text.empty()) OnRasStatusChanged(this, details_, text);
}

bool TRasMonitor::GetConnectionDetails(TRasConnectionDetails& details) {
  RequireRasLibrary();
  details = TRasConnectionDetails{};

  RASCONNA conns[8];
  uint32_t count = 0;
  if (!Enumerate(conns, count)) return false;
  const RASCONNA* conn = Followed(conns, count);
  if (!conn) return false;

  const HRASCONN handle = conn->hrasconn;
  const RASCONNSTATUSA status = QueryStatus(handle);
  Describe(*conn, StatusToText(status, status.dwError), details);
  if (status.rasconnstate != RASCS_Connected) return false;
  ReadAddresses(handle, details);
  return true;
}

int TRasMonitor::HangUpConnection(HRASCONN handle) {
  RequireRasLibrary();
  const uint32_t result = api_->RasHangUpA ? api_->RasHangUpA(handle) : kProcNotFound;
  // Look at once, enabled or not, so a connection that is already gone is
  // reported before the caller goes on.
  Poll();
  return static_cast<int>(result);
}

std::string TRasMonitor::StatusToText(const RASCONNSTATUSA& status, uint32_t error) {
  if (error != 0) return "ERRROR";
  switch (status.rasconnstate) {
    case RASCS_OpenPort:
      return "Opening port";
    case RASCS_PortOpened:
      return "Port opened";
    case RASCS_ConnectDevice:
      return "Connecting device";
    case RASCS_DeviceConnected:
      return "Device connected";
    case RASCS_AllDevicesConnected:
      return "All devices connected";
    case RASCS_Authenticate:
      return "Start authenticating";
    case RASCS_AuthNotify:
      return "Authentication: notify";
    case RASCS_AuthRetry:
      return "Authentication: retry";
    case RASCS_AuthCallback:
      return "Authentication: callback";
    case RASCS_AuthChangePassword:
      return "Authentication: change password";
    case RASCS_AuthProject:
      return "Authentication: projecting";
    case RASCS_AuthLinkSpeed:
      return "Authentication: link speed";
    case RASCS_AuthAck:
      return "Authentication: acknowledge";
    case RASCS_ReAuthenticate:
      return "Authentication: reauthenticate";
    case RASCS_Authenticated:
      return "Authenticated";
    case RASCS_PrepareForCallback:
      return "Preparing for callback";
    case RASCS_WaitForModemReset:
      return "Waiting for modem reset";
    case RASCS_WaitForCallback:
      return "Waiting for callback";
    case RASCS_Projected:
      return "Projected";
    case RASCS_StartAuthentication:
      return "Start authentication";
    case RASCS_CallbackComplete:
      return "Callback complete";
    case RASCS_LogonNetwork:
      return "Logging on network";
    case RASCS_Interactive:
      return "Interactive";
    case RASCS_RetryAuthentication:
      return "Retry Authentication";
    case RASCS_CallbackSetByCaller:
      return "Callback set by caller";
    case RASCS_PasswordExpired:
      return "Password expired";
    case RASCS_Connected:
      return "Connected";
    case RASCS_Disconnected:
      return "Disconnected";
    default:
      return "";
  }
}

std::string TRasMonitor::GetLocalHost() {
  ISockets* sockets = api_ ? api_->Sockets() : nullptr;
  char buffer[256] = {};  // one byte beyond what gethostname may fill stays zero
  if (!sockets || sockets->GetHostName(buffer, 255) == kSocketError) return "";
  return std::string(buffer);
}

std::string TRasMonitor::GetLocalIP() {
  ISockets* sockets = api_ ? api_->Sockets() : nullptr;
  if (!sockets) return "";
  const std::string name = GetLocalHost();
  if (name.empty()) return "";
  // A name that does not resolve gives no address rather than a failure.
  const auto address = sockets->FirstAddressOf(name);
  if (!address) return "";
  char text[16];
  std::snprintf(text, sizeof(text), "%u.%u.%u.%u", unsigned((*address)[0]), unsigned((*address)[1]),
                unsigned((*address)[2]), unsigned((*address)[3]));
  return text;
}
