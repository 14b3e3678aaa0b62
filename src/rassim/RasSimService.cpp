#include "rassim/RasSimService.h"

#include <cstring>

namespace {

struct TErrorText {
  uint32_t code;
  const char* text;
};

// The classic wording. Each text fits a 100-byte buffer with its terminator.
constexpr TErrorText kClassicTexts[] = {
    {ERROR_INVALID_HANDLE_RAS, "The handle is invalid."},
    {SIM_ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {SIM_ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_BUFFER_TOO_SMALL_RAS, "The buffer is too small."},
    {ERROR_PORT_NOT_CONNECTED_RAS, "The port was disconnected."},
    {SIM_ERROR_CANNOT_OPEN_PHONEBOOK, "The phone book file could not be opened or read."},
    {ERROR_CANNOT_FIND_PHONEBOOK_ENTRY_RAS, "The phone book entry could not be found."},
    {ERROR_INVALID_SIZE_RAS, "The structure size is incorrect."},
    {ERROR_FROM_DEVICE_RAS, "The modem (or other connecting device) has reported an error."},
    {ERROR_NO_CONNECTION_RAS, "The connection was dropped."},
    {ERROR_LINE_BUSY_RAS, "The line is busy."},
    {ERROR_NO_ANSWER_RAS,
     "There was no answer: the line is busy or the other side does not pick up."},
    {ERROR_NO_DIALTONE_RAS, "There is no dial tone."},
    {ERROR_AUTHENTICATION_FAILURE_RAS,
     "Access was denied because the username and/or password was invalid on the domain."},
    {SIM_ERROR_PROTOCOL_NOT_CONFIGURED, "No PPP control protocols were configured."},
    {ERROR_PROJECTION_NOT_COMPLETE_RAS, "The projection of the connection is not complete."},
    {ERROR_DEVICE_NOT_AVAILABLE_RAS,
     "The modem (or other connecting device) was not found or is busy."},
};

// The wording of Windows 7, 10 and 11 (the system's message texts since
// Windows Vista); 619, 678, 691 and 720 are longer than 100 bytes.
// 730 has no text of its own since Windows Vista: its classic one is kept.
constexpr TErrorText kWindows10Texts[] = {
    {ERROR_INVALID_HANDLE_RAS, "The handle is invalid."},
    {SIM_ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {SIM_ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_BUFFER_TOO_SMALL_RAS, "The caller's buffer is too small."},
    {ERROR_PORT_NOT_CONNECTED_RAS,
     "A connection to the remote computer could not be established, so the port used for this "
     "connection was closed."},
    {SIM_ERROR_CANNOT_OPEN_PHONEBOOK, "The system could not open the phone book file."},
    {ERROR_CANNOT_FIND_PHONEBOOK_ENTRY_RAS,
     "The system could not find the phone book entry for this connection."},
    {ERROR_INVALID_SIZE_RAS, "An incorrect structure size was detected."},
    {ERROR_FROM_DEVICE_RAS, "The modem (or other connecting device) has reported an error."},
    {ERROR_NO_CONNECTION_RAS, "The connection was terminated."},
    {ERROR_LINE_BUSY_RAS, "The phone line is busy."},
    {ERROR_NO_ANSWER_RAS,
     "The remote computer did not respond. To make sure that the server can be reached, ping "
     "the remote computer."},
    {ERROR_NO_DIALTONE_RAS, "There was no dial tone."},
    {ERROR_AUTHENTICATION_FAILURE_RAS,
     "The remote connection was denied because the user name and password combination you "
     "provided is not recognized, or the selected authentication protocol is not permitted on "
     "the remote access server."},
    {SIM_ERROR_PROTOCOL_NOT_CONFIGURED,
     "A connection to the remote computer could not be established.  You might need to change "
     "the network settings for this connection."},
    {ERROR_DEVICE_NOT_AVAILABLE_RAS,
     "A connection to the remote access server was not made because the modem was not found."},
};

template <size_t N>
const char* Lookup(const TErrorText (&table)[N], uint32_t code) {
  for (const TErrorText& e : table)
    if (e.code == code) return e.text;
  return nullptr;
}

void CopyField(char* dst, size_t size, const std::string& src) {
  size_t n = src.size() < size - 1 ? src.size() : size - 1;
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

std::string Field(const char* src, size_t size) {
  return std::string(src, strnlen(src, size));
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

void Wipe(std::string& s) {
  volatile char* p = s.data();
  for (size_t i = 0; i < s.size(); ++i) p[i] = 0;
  s.clear();
}

}  // namespace

const char* SimErrorText(uint32_t code, TSimErrorTexts texts) {
  if (texts == TSimErrorTexts::Windows10)
    if (const char* text = Lookup(kWindows10Texts, code)) return text;
  return Lookup(kClassicTexts, code);
}

// ---------------------------------------------------------------- notifier

TSimNotifierThread::TSimNotifierThread() : thread_([this] { Run(); }) {}

TSimNotifierThread::~TSimNotifierThread() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void TSimNotifierThread::Post(RASDIALFUNC notifier, RASCONNSTATE state, uint32_t error) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({notifier, state, error});
  }
  changed_.notify_all();
}

bool TSimNotifierThread::Busy() {
  std::lock_guard lock(mutex_);
  return inCall_ || !queue_.empty();
}

void TSimNotifierThread::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    TItem item = queue_.front();
    queue_.pop_front();
    inCall_ = true;
    lock.unlock();
    // A fault in the caller's notifier must not end the service.
    try {
      if (beforeCall) beforeCall(item.state, item.error);
      item.notifier(SIM_WM_RASDIALEVENT, item.state, item.error);
    } catch (...) {
    }
    lock.lock();
    inCall_ = false;
    if (afterCall) {
      lock.unlock();
      try {
        afterCall();
      } catch (...) {
      }
      lock.lock();
    }
  }
}

// ----------------------------------------------------------------- service

TRasSimService::TRasSimService(ISimScheduler& scheduler, TSimPhoneBook book, std::string savePath)
    : scheduler_(scheduler), book_(std::move(book)), savePath_(std::move(savePath)) {
  std::lock_guard lock(mutex_);
  for (const TSimEntry& e : book_.Entries())
    if (e.foreign) BringUpForeign(e);
}

TRasSimService::~TRasSimService() = default;

void TRasSimService::SetUnavailable(uint32_t code) {
  std::lock_guard lock(mutex_);
  unavailable_ = code;
}

TSimPhoneBook TRasSimService::Book() {
  std::lock_guard lock(mutex_);
  return book_;
}

int TRasSimService::DialCount(const std::string& entry) {
  std::lock_guard lock(mutex_);
  auto it = dialCounts_.find(Lower(entry));
  return it == dialCounts_.end() ? 0 : it->second;
}

int TRasSimService::HangUpCount(const std::string& entry) {
  std::lock_guard lock(mutex_);
  auto it = hangUpCounts_.find(Lower(entry));
  return it == hangUpCounts_.end() ? 0 : it->second;
}

int TRasSimService::NotHungUpLocked() const {
  int n = 0;
  for (const auto& [handle, c] : conns_)
    if (!c.entry.foreign && c.phase != TPhase::Closing) ++n;
  return n;
}

int TRasSimService::HandlesNotHungUp() {
  std::lock_guard lock(mutex_);
  return NotHungUpLocked();
}

int TRasSimService::HandleCount() {
  std::lock_guard lock(mutex_);
  Sweep();
  int n = 0;
  for (const auto& [handle, c] : conns_)
    if (!c.entry.foreign) ++n;
  return n;
}

std::string TRasSimService::CountsReport() {
  std::lock_guard lock(mutex_);
  const int notHungUp = NotHungUpLocked();
  auto count = [](const std::map<std::string, int>& counts, const std::string& name) {
    auto it = counts.find(Lower(name));
    return std::to_string(it == counts.end() ? 0 : it->second);
  };
  std::string text = "NotHungUp=" + std::to_string(notHungUp) + "\n";
  for (const TSimEntry& e : book_.Entries())
    text += "[" + e.name + "]\nDials=" + count(dialCounts_, e.name) +
            "\nHangUps=" + count(hangUpCounts_, e.name) + "\n";
  return text;
}

void TRasSimService::BringUpForeign(const TSimEntry& entry) {
  TConn c;
  c.handle = nextHandle_;
  nextHandle_ += 4;
  c.entry = entry;
  c.phase = TPhase::Connected;
  c.state = RASCS_Connected;
  const HRASCONN handle = c.handle;
  conns_[handle] = std::move(c);
  if (entry.upForSec == 0) return;
  scheduler_.RunAt(scheduler_.NowMs() + uint64_t{entry.upForSec} * 1000, [this, handle] {
    std::lock_guard lock(mutex_);
    TConn* c = FindLocked(handle);
    // Hung up meanwhile: the other program does not dial it again.
    if (!c || c->phase != TPhase::Connected) return;
    // The other program hangs up its own line: the handle goes with it.
    const TSimEntry entry = c->entry;
    conns_.erase(handle);
    if (entry.downForSec == 0) return;
    scheduler_.RunAt(scheduler_.NowMs() + uint64_t{entry.downForSec} * 1000, [this, entry] {
      std::lock_guard lock(mutex_);
      BringUpForeign(entry);
    });
  });
}

void TRasSimService::Sweep() {
  uint64_t now = scheduler_.NowMs();
  for (auto it = conns_.begin(); it != conns_.end();) {
    if (it->second.phase == TPhase::Closing && now >= it->second.goneAt)
      it = conns_.erase(it);
    else
      ++it;
  }
}

TRasSimService::TConn* TRasSimService::FindLocked(HRASCONN handle) {
  Sweep();
  auto it = conns_.find(handle);
  return it == conns_.end() ? nullptr : &it->second;
}

bool TRasSimService::Advance(TConn& c, uint32_t* result) {
  const TSimScriptStep& step = c.entry.script[c.step];
  c.state = step.state;
  if (c.fails && step.state == c.entry.failAt) {
    c.error = c.entry.failCode;
    c.phase = TPhase::Failed;
    if (c.notifier) notifier_.Post(c.notifier, c.state, c.error);
    *result = c.error;
    return false;
  }
  if (c.notifier) notifier_.Post(c.notifier, c.state, 0);
  if (step.state == RASCS_Connected) {
    c.phase = TPhase::Connected;
    ScheduleDrop(c);
    *result = 0;
    return false;
  }
  ++c.step;
  return true;
}

void TRasSimService::ScheduleDrop(TConn& c) {
  if (c.entry.dropAfterSec == 0) return;
  HRASCONN handle = c.handle;
  scheduler_.RunAt(scheduler_.NowMs() + uint64_t{c.entry.dropAfterSec} * 1000, [this, handle] {
    std::lock_guard lock(mutex_);
    TConn* c = FindLocked(handle);
    if (!c || c->phase != TPhase::Connected) return;
    // The line is gone: no longer listed, its status tells why until hung up.
    c->phase = TPhase::Dropped;
    c->state = RASCS_Disconnected;
    c->error = ERROR_PORT_NOT_CONNECTED_RAS;
  });
}

void TRasSimService::StepAsync(HRASCONN handle) {
  std::lock_guard lock(mutex_);
  TConn* c = FindLocked(handle);
  if (!c || c->phase != TPhase::Dialing) return;  // hung up meanwhile
  uint32_t result = 0;
  if (Advance(*c, &result)) {
    scheduler_.RunAt(scheduler_.NowMs() + c->entry.script[c->step].delayMs,
                     [this, handle] { StepAsync(handle); });
  }
}

uint32_t TRasSimService::RasDialA(void* extensions, const char* phonebook, RASDIALPARAMSA* params,
                                  uint32_t notifierType, void* notifier, HRASCONN* conn) {
  std::unique_lock lock(mutex_);
  if (unavailable_) return unavailable_;
  if (!params || !conn) return SIM_ERROR_INVALID_PARAMETER;
  if (params->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE_RAS;
  // Only the notifier of type 0 (message, state, error) is offered.
  if (notifier && notifierType != 0) return SIM_ERROR_INVALID_PARAMETER;
  const TSimEntry* entry = book_.Find(Field(params->szEntryName, sizeof params->szEntryName));
  if (!entry) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY_RAS;
  int dialNo = ++dialCounts_[Lower(entry->name)];
  if (entry->immediateError) {
    *conn = 0;
    return entry->immediateError;
  }

  TConn c;
  c.handle = nextHandle_;
  nextHandle_ += 4;
  c.entry = *entry;
  Wipe(c.entry.userName);
  if (c.entry.password) Wipe(*c.entry.password);
  const auto n = static_cast<uint32_t>(dialNo);
  if (c.entry.failCode == 0)
    c.fails = false;
  else if (c.entry.failEvery != 0)
    c.fails = n % c.entry.failEvery == 0;
  else
    c.fails = c.entry.failCount == 0 || n <= c.entry.failCount;
  c.notifier = notifier ? reinterpret_cast<RASDIALFUNC>(notifier) : nullptr;
  HRASCONN handle = c.handle;
  conns_[handle] = std::move(c);
  *conn = handle;

  if (notifier) {
    scheduler_.RunAt(scheduler_.NowMs() + conns_[handle].entry.script[0].delayMs,
                     [this, handle] { StepAsync(handle); });
    return 0;
  }

  // Without a notifier the call blocks for the whole script.
  for (;;) {
    TConn* cur = FindLocked(handle);
    if (!cur || cur->phase != TPhase::Dialing) return ERROR_PORT_NOT_CONNECTED_RAS;
    unsigned delay = cur->entry.script[cur->step].delayMs;
    lock.unlock();
    scheduler_.Sleep(delay);
    lock.lock();
    cur = FindLocked(handle);
    if (!cur || cur->phase != TPhase::Dialing) return ERROR_PORT_NOT_CONNECTED_RAS;
    uint32_t result = 0;
    if (!Advance(*cur, &result)) return result;
  }
}

uint32_t TRasSimService::RasEnumEntriesA(const char* reserved, const char* phonebook,
                                         RASENTRYNAMEA* entries, uint32_t* bytes, uint32_t* count) {
  std::lock_guard lock(mutex_);
  if (unavailable_) return unavailable_;
  if (!entries || !bytes || !count) return SIM_ERROR_INVALID_PARAMETER;
  if (entries[0].dwSize != sizeof(RASENTRYNAMEA)) return ERROR_INVALID_SIZE_RAS;
  // Other programs' connections come from phone books of their own.
  std::vector<const TSimEntry*> list;
  for (const TSimEntry& e : book_.Entries())
    if (!e.foreign) list.push_back(&e);
  uint32_t needed = static_cast<uint32_t>(list.size() * sizeof(RASENTRYNAMEA));
  if (*bytes < needed) {
    *bytes = needed;
    *count = static_cast<uint32_t>(list.size());
    return ERROR_BUFFER_TOO_SMALL_RAS;
  }
  for (size_t i = 0; i < list.size(); ++i) {
    std::memset(&entries[i], 0, sizeof(RASENTRYNAMEA));
    entries[i].dwSize = sizeof(RASENTRYNAMEA);
    CopyField(entries[i].szEntryName, sizeof entries[i].szEntryName, list[i]->name);
  }
  *bytes = needed;
  *count = static_cast<uint32_t>(list.size());
  return 0;
}

uint32_t TRasSimService::RasGetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                                int32_t* passwordSaved) {
  std::lock_guard lock(mutex_);
  if (unavailable_) return unavailable_;
  if (!params || !passwordSaved) return SIM_ERROR_INVALID_PARAMETER;
  if (params->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE_RAS;
  const TSimEntry* e = book_.Find(Field(params->szEntryName, sizeof params->szEntryName));
  if (!e) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY_RAS;
  CopyField(params->szPhoneNumber, sizeof params->szPhoneNumber, e->phoneNumber);
  CopyField(params->szCallbackNumber, sizeof params->szCallbackNumber, "");
  CopyField(params->szUserName, sizeof params->szUserName, e->userName);
  CopyField(params->szPassword, sizeof params->szPassword, e->password.value_or(""));
  CopyField(params->szDomain, sizeof params->szDomain, e->domain);
  *passwordSaved = e->password ? 1 : 0;
  return 0;
}

uint32_t TRasSimService::RasSetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                                int32_t removePassword) {
  std::lock_guard lock(mutex_);
  if (unavailable_) return unavailable_;
  if (!params) return SIM_ERROR_INVALID_PARAMETER;
  if (params->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE_RAS;
  std::string name = Field(params->szEntryName, sizeof params->szEntryName);
  if (!book_.Find(name)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY_RAS;
  std::optional<std::string> password;
  if (!removePassword) password = Field(params->szPassword, sizeof params->szPassword);
  bool stored =
      book_.SetCredentials(name, Field(params->szUserName, sizeof params->szUserName), password);
  if (password) Wipe(*password);
  if (!stored) return SIM_ERROR_INVALID_PARAMETER;
  if (!savePath_.empty() && !book_.Save(savePath_)) return SIM_ERROR_CANNOT_OPEN_PHONEBOOK;
  return 0;
}

uint32_t TRasSimService::RasHangUpA(HRASCONN handle) {
  std::lock_guard lock(mutex_);
  if (unavailable_) return unavailable_;
  TConn* c = FindLocked(handle);
  if (!c) return ERROR_INVALID_HANDLE_RAS;
  ++hangUpCounts_[Lower(c->entry.name)];
  if (c->phase == TPhase::Closing) return 0;
  c->phase = TPhase::Closing;
  c->state = RASCS_Disconnected;
  c->error = 0;
  c->goneAt = scheduler_.NowMs() + c->entry.hangUpDelayMs;
  return 0;
}

uint32_t TRasSimService::RasGetConnectStatusA(HRASCONN handle, RASCONNSTATUSA* status) {
  std::lock_guard lock(mutex_);
  if (unavailable_) return unavailable_;
  if (!status) return SIM_ERROR_INVALID_PARAMETER;
  if (status->dwSize != sizeof(RASCONNSTATUSA)) return ERROR_INVALID_SIZE_RAS;
  TConn* c = FindLocked(handle);
  if (!c) return ERROR_INVALID_HANDLE_RAS;
  status->rasconnstate = c->state;
  status->dwError = c->error;
  CopyField(status->szDeviceType, sizeof status->szDeviceType, c->entry.deviceType);
  CopyField(status->szDeviceName, sizeof status->szDeviceName, c->entry.deviceName);
  return 0;
}

uint32_t TRasSimService::RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size) {
  if (!buffer) return SIM_ERROR_INVALID_PARAMETER;
  std::string text;
  {
    std::lock_guard lock(mutex_);
    const TSimServiceSettings& service = book_.Service();
    if (auto it = service.textOverrides.find(error); it != service.textOverrides.end())
      text = it->second;
    else if (const char* known = SimErrorText(error, service.errorTexts))
      text = known;
    else
      return SIM_ERROR_INVALID_PARAMETER;
  }
  // Windows documents that a buffer too small for the text makes the call
  // fail with ERROR_INSUFFICIENT_BUFFER; nothing is written then.
  if (text.size() + 1 > size) return SIM_ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return 0;
}

uint32_t TRasSimService::RasEnumConnectionsA(RASCONNA* conns, uint32_t* bytes, uint32_t* count) {
  std::lock_guard lock(mutex_);
  if (unavailable_) return unavailable_;
  if (!conns || !bytes || !count) return SIM_ERROR_INVALID_PARAMETER;
  // The record of this build's layout only (416 bytes on 64-bit, 412 on 32-bit).
  if (conns[0].dwSize != sizeof(RASCONNA)) return ERROR_INVALID_SIZE_RAS;
  Sweep();
  // Other programs' connections first (they were up before any dial made
  // here), then the dialled ones; each group in the order they were made.
  std::vector<const TConn*> listed;
  for (bool foreign : {true, false})
    for (const auto& [handle, c] : conns_)
      if (c.entry.foreign == foreign &&
          (c.phase == TPhase::Dialing || c.phase == TPhase::Connected))
        listed.push_back(&c);
  uint32_t needed = static_cast<uint32_t>(listed.size() * sizeof(RASCONNA));
  if (*bytes < needed) {
    *bytes = needed;
    *count = static_cast<uint32_t>(listed.size());
    return ERROR_BUFFER_TOO_SMALL_RAS;
  }
  for (size_t i = 0; i < listed.size(); ++i) {
    std::memset(&conns[i], 0, sizeof(RASCONNA));
    conns[i].dwSize = sizeof(RASCONNA);
    conns[i].hrasconn = listed[i]->handle;
    CopyField(conns[i].szEntryName, sizeof conns[i].szEntryName, listed[i]->entry.name);
    CopyField(conns[i].szDeviceType, sizeof conns[i].szDeviceType, listed[i]->entry.deviceType);
    CopyField(conns[i].szDeviceName, sizeof conns[i].szDeviceName, listed[i]->entry.deviceName);
  }
  *bytes = needed;
  *count = static_cast<uint32_t>(listed.size());
  return 0;
}

uint32_t TRasSimService::RasGetProjectionInfoA(HRASCONN handle, uint32_t projection, void* info,
                                               uint32_t* size) {
  std::lock_guard lock(mutex_);
  if (unavailable_) return unavailable_;
  if (!info || !size) return SIM_ERROR_INVALID_PARAMETER;
  TConn* c = FindLocked(handle);
  if (!c) return ERROR_INVALID_HANDLE_RAS;
  if (projection != RASP_PppIp) return SIM_ERROR_PROTOCOL_NOT_CONFIGURED;
  if (c->phase != TPhase::Connected) return ERROR_PROJECTION_NOT_COMPLETE_RAS;
  if (*size < sizeof(RASPPPIPA)) {
    *size = sizeof(RASPPPIPA);
    return ERROR_BUFFER_TOO_SMALL_RAS;
  }
  auto* ip = static_cast<RASPPPIPA*>(info);
  if (ip->dwSize != sizeof(RASPPPIPA)) return ERROR_INVALID_SIZE_RAS;
  ip->dwError = 0;
  CopyField(ip->szIpAddress, sizeof ip->szIpAddress, c->entry.clientIP);
  CopyField(ip->szServerIpAddress, sizeof ip->szServerIpAddress, c->entry.serverIP);
  *size = sizeof(RASPPPIPA);
  return 0;
}
