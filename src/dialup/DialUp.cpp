#include "dialup/DialUp.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "dialup/RasBinding.h"
#include "dialup/StatusTexts.h"
#include "platform/Errors.h"
#include "platform/Registry.h"
#include "toolkit/Application.h"

namespace {

constexpr uint32_t kEntriesBuffered = 100;
constexpr uint64_t kHangUpWaitCapMs = 10000;
constexpr int kInvalidParameter = 87;
// The message OnError gives with dsReadParams.
constexpr const char* kDialParamsFailed = "GetEntryDialParams failed";

void SecureZero(void* p, size_t n) {
  volatile unsigned char* b = static_cast<volatile unsigned char*>(p);
  while (n--) *b++ = 0;
}

// A dial parameter record whose password does not outlive its use.
struct TDialParams {
  RASDIALPARAMSA rec;
  TDialParams() {
    std::memset(&rec, 0, sizeof rec);
    rec.dwSize = sizeof rec;
  }
  ~TDialParams() { SecureZero(&rec, sizeof rec); }
  TDialParams(const TDialParams&) = delete;
  TDialParams& operator=(const TDialParams&) = delete;
};

std::string FieldText(const char* field, size_t size) {
  return std::string(field, strnlen(field, size));
}

}  // namespace

// The one-slot hand-off between the service's notifier thread and the GUI
// thread. The dialer and its posted work share it, so a late notification
// finds it even after the dialer is gone and can tell that it is.
struct TDialSlot {
  std::mutex mutex;
  std::condition_variable freed;
  bool pending = false;
  bool alive = true;  // cleared (under the lock) by the dialer's destructor
  int32_t state = 0;
  int32_t error = 0;
  IBackend* backend = nullptr;  // set before each asynchronous dial
  TDialUp* dialer = nullptr;    // used on the GUI thread only, while alive
};

namespace {
// The dialer that started the last asynchronous dial: the notifier carries no
// context of its own.
std::mutex gCurrentMutex;
std::shared_ptr<TDialSlot> gCurrentDialer;
}  // namespace

TDialUp::TDialUp(TComponent* owner)
    : TComponent(owner), ras_(TRasBinding::Of(*this)), slot_(std::make_shared<TDialSlot>()) {
  slot_->dialer = this;
  GetStats();
}

TDialUp::~TDialUp() {
  {
    std::lock_guard lock(gCurrentMutex);
    if (gCurrentDialer == slot_) gCurrentDialer.reset();
  }
  // The lock is never held across a post (which may wait for room in the
  // GUI thread's queue, emptied only by this thread): it is taken at once.
  {
    std::lock_guard lock(slot_->mutex);
    slot_->alive = false;
  }
  // A notifier waiting for the slot gives up its notification; one whose
  // post is under way has its delivery find the slot dead.
  slot_->freed.notify_all();
}

void TDialUp::SetEntry(const std::string& e) {
  if (e != entry_) entry_ = e;
}

// ------------------------------------------------------------------ dialling

int TDialUp::Dial() {
  // Dial waits for the last hang-up and lets messages through before it
  // dials; a second dial started from there would overwrite the handle of
  // the first, and that connection would never be hung up.
  if (inDial_) return static_cast<int>(ERROR_DIAL_ALREADY_IN_PROGRESS_RAS);
  inDial_ = true;
  struct TLeave {
    bool& flag;
    ~TLeave() { flag = false; }
  } leave{inDial_};
  HangUp();
  TDialParams params;
  int r = ReadParams(params.rec, nullptr);
  if (r != 0) {
    OnError(this, dsReadParams, r, kDialParamsFailed);
    return r;
  }
  handle_ = 0;

  if (dialMode_ == dmSync) {
    OnDialing(this);
    r = static_cast<int>(ras_.RasDialA(nullptr, nullptr, &params.rec, 0, nullptr, &handle_));
    SecureZero(&params.rec, sizeof params.rec);
    if (r == 0) {
      OnConnect(this);
      return 0;
    }
    if (handle_ != 0) HangUpConnection(handle_);
    OnNotConnected(this, r, ErrorText(r));
    return r;
  }

  {
    std::lock_guard lock(slot_->mutex);
    slot_->backend = &Application().Backend();
  }
  {
    std::lock_guard lock(gCurrentMutex);
    gCurrentDialer = slot_;
  }
  OnDialing(this);
  RASDIALFUNC notifier = &TDialUp::DialNotifier;
  r = static_cast<int>(
      ras_.RasDialA(nullptr, nullptr, &params.rec, 0, reinterpret_cast<void*>(notifier), &handle_));
  SecureZero(&params.rec, sizeof params.rec);
  if (r != 0) {
    // A handle made before the call failed is still the caller's to hang up.
    if (handle_ != 0) HangUpConnection(handle_);
    OnError(this, dsDial, r, ErrorText(r));
    return r;
  }
  return 0;
}

void RASAPI_CALL TDialUp::DialNotifier(uint32_t /*message*/, RASCONNSTATE state, uint32_t error) {
  // Runs on the service's thread: it touches the slot and the backend's
  // thread-safe post, nothing else, and lets nothing unwind into the service.
  try {
    std::shared_ptr<TDialSlot> slot;
    {
      std::lock_guard lock(gCurrentMutex);
      slot = gCurrentDialer;
    }
    if (!slot) return;  // no dialer (any more): the notification is dropped
    std::unique_lock lock(slot->mutex);
    // One notification at a time: wait, without spinning, until the previous
    // one has been delivered and its handler has returned.
    slot->freed.wait(lock, [&] { return !slot->pending || !slot->alive; });
    if (!slot->alive || !slot->backend) return;
    slot->state = static_cast<int32_t>(state);
    slot->error = static_cast<int32_t>(error);
    slot->pending = true;
    // The post lets go of the lock once the work is queued: with the GUI
    // thread's queue full it waits for room, and the GUI thread, which takes
    // this lock in Dial and in the destructor, must go on emptying the
    // queue meanwhile. The lock is held until the backend has counted the
    // post, so that the backend (which waits for it) cannot go before.
    bool posted = false;
    try {
      posted = slot->backend->PostToGui([slot] { DeliverFromSlot(slot); }, &lock);
    } catch (...) {
    }
    if (posted) return;
    // A program on its way out runs no posted work: the slot is freed, so
    // that the service's thread is never held waiting for it.
    if (!lock.owns_lock()) lock.lock();
    slot->pending = false;
    lock.unlock();
    slot->freed.notify_all();
  } catch (...) {
  }
}

void TDialUp::DeliverFromSlot(const std::shared_ptr<TDialSlot>& slot) {
  // On the GUI thread, the only one that clears `alive`.
  if (!slot->alive) return;
  slot->dialer->DeliverDialEvent();
}

void TDialUp::DeliverDialEvent() {
  std::shared_ptr<TDialSlot> slot = slot_;  // the handler may free this dialer
  int32_t state, error;
  {
    std::lock_guard lock(slot->mutex);
    if (!slot->pending) return;
    state = slot->state;
    error = slot->error;
  }
  const HRASCONN dialled = handle_;
  {
    // The slot is freed once the handler has returned, or has thrown.
    struct TRelease {
      std::shared_ptr<TDialSlot> slot;
      ~TRelease() {
        {
          std::lock_guard lock(slot->mutex);
          slot->pending = false;
        }
        slot->freed.notify_all();
      }
    } release{slot};
    if (OnAsyncEvent) {
      std::string text = GetStatusText(state, error);
      OnAsyncEvent(this, state, error, text);
    }
  }
  // A dial that failed holds its port until it is hung up, connected or
  // not: once the owner has been told, the connection is let go (through
  // the wait for the handle to go, which a redial's dial also waits for).
  if (error == 0 || dialled == 0) return;
  {
    std::lock_guard lock(slot->mutex);
    if (!slot->alive) return;  // the handler freed this dialer
  }
  HangUpConnection(dialled);
}

bool TDialUp::Dialing() {
  if (inDial_) return true;
  {
    std::lock_guard lock(slot_->mutex);
    if (slot_->pending) return true;
  }
  if (handle_ == 0) return false;
  RASCONNSTATUSA status;
  std::memset(&status, 0, sizeof status);
  status.dwSize = sizeof status;
  try {
    if (ras_.RasGetConnectStatusA(handle_, &status) != 0) return false;
  } catch (const EQuindleError&) {
    return false;  // without the status function nothing can be known to be under way
  }
  return status.dwError == 0 && status.rasconnstate != RASCS_Connected &&
         status.rasconnstate != RASCS_Disconnected;
}

// ------------------------------------------------------------------ hang-up

int TDialUp::HangUp() {
  return HangUpConnection(handle_);
}

int TDialUp::HangUpConnection(HRASCONN handle) {
  // The binding is the application's: it outlives this dialer, which the
  // wait below may see freed.
  TRasBinding& ras = ras_;
  int r = static_cast<int>(ras.RasHangUpA(handle));
  if (r != 0) return r;
  // Wait until the service lets the handle go, keeping the GUI alive; a
  // service that never does is given up on after a while. Nothing of this
  // dialer is touched after the first message round: a handler may free it.
  // The messages go through the application's count of nested loops, so a
  // report held until its handler has returned is not shown inside the
  // wait, where it would hold up the dial that follows.
  TApplication& app = Application();
  IBackend& backend = app.Backend();
  const uint64_t start = backend.TickCount();
  for (;;) {
    RASCONNSTATUSA status;
    std::memset(&status, 0, sizeof status);
    status.dwSize = sizeof status;
    if (ras.RasGetConnectStatusA(handle, &status) == ERROR_INVALID_HANDLE_RAS) break;
    if (backend.TickCount() - start >= kHangUpWaitCapMs) break;
    backend.Sleep(10);
    app.ProcessMessages();
  }
  return 0;
}

// ------------------------------------------------------------------ entries

int TDialUp::GetEntries() {
  entries_.Clear();
  std::vector<RASENTRYNAMEA> names(kEntriesBuffered);
  std::memset(names.data(), 0, names.size() * sizeof(RASENTRYNAMEA));
  names[0].dwSize = sizeof(RASENTRYNAMEA);
  uint32_t bytes = kEntriesBuffered * sizeof(RASENTRYNAMEA);
  uint32_t count = 0;
  int r = static_cast<int>(ras_.RasEnumEntriesA(nullptr, nullptr, names.data(), &bytes, &count));
  if (r != 0) return r;
  if (count > kEntriesBuffered) count = kEntriesBuffered;
  for (uint32_t i = 0; i < count; ++i) {
    RASENTRYNAMEA& rec = names[i];
    rec.szEntryName[RAS_MaxEntryName] = '\0';
    entries_.Add(rec.szEntryName);
    OnEntryGet(this, rec.szEntryName);
  }
  return 0;
}

// ------------------------------------------------------------------ credentials

int TDialUp::ReadParams(RASDIALPARAMSA& params, int32_t* passwordSaved) {
  // No phone-book entry can have a longer name than the record holds.
  if (entry_.size() > static_cast<size_t>(RAS_MaxEntryName))
    return static_cast<int>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY_RAS);
  std::memcpy(params.szEntryName, entry_.data(), entry_.size());
  params.szEntryName[entry_.size()] = '\0';
  int32_t saved = 0;
  int r = static_cast<int>(ras_.RasGetEntryDialParamsA(nullptr, &params, &saved));
  if (passwordSaved) *passwordSaved = saved;
  return r;
}

int TDialUp::StoreCredential(const std::string& value, bool password) {
  // A value longer than the record's field is refused, not cut short: a
  // shortened password would be stored as if it were the right one.
  if (value.size() > static_cast<size_t>(password ? PWLEN : UNLEN)) return kInvalidParameter;
  TDialParams params;
  int r = ReadParams(params.rec, nullptr);
  if (r != 0) return r;
  char* field = password ? params.rec.szPassword : params.rec.szUserName;
  std::memset(field, 0, (password ? PWLEN : UNLEN) + 1);
  // The field was zeroed past the value's length: it stays terminated.
  std::copy(value.begin(), value.end(), field);
  return static_cast<int>(ras_.RasSetEntryDialParamsA(nullptr, &params.rec, 0));
}

int TDialUp::SetUsername(const std::string& userName) {
  return StoreCredential(userName, false);
}

int TDialUp::SetPassword(const std::string& password) {
  return StoreCredential(password, true);
}

int TDialUp::GetUsername(std::string& userName) {
  TDialParams params;
  int r = ReadParams(params.rec, nullptr);
  if (r != 0) return r;
  userName = FieldText(params.rec.szUserName, sizeof params.rec.szUserName);
  return 0;
}

int TDialUp::GetPassword(std::string& password) {
  TDialParams params;
  int32_t saved = 0;
  int r = ReadParams(params.rec, &saved);
  if (r != 0) return r;
  password = saved ? FieldText(params.rec.szPassword, sizeof params.rec.szPassword) : "";
  return 0;
}

// ------------------------------------------------------------------ texts

std::string TDialUp::ErrorText(int32_t code) {
  // The size Microsoft documents as always enough: a smaller buffer makes
  // the call fail on a long text (today's are up to some 200 bytes), and
  // the text is lost.
  char buffer[512];
  std::memset(buffer, 0, sizeof buffer);
  uint32_t r = ras_.RasGetErrorStringA(static_cast<uint32_t>(code), buffer, sizeof buffer);
  // No text, or one that filled the buffer without its terminator: none.
  size_t len = strnlen(buffer, sizeof buffer);
  if (r != 0 || len == sizeof buffer) return "";
  // System texts end in a line break, which is no part of the message.
  while (len > 0 && std::isspace(static_cast<unsigned char>(buffer[len - 1]))) --len;
  return std::string(buffer, len);
}

std::string TDialUp::GetStatusText(int32_t state, int32_t error) {
  if (error != 0) return ErrorText(error);
  return DialStatusText(language_, state);
}

// ------------------------------------------------------------------ statistics

bool TDialUp::GetStats() {
  const TPlatform& platform = Application().Platform();
  if (!platform.system || platform.system->PlatformId() != VER_PLATFORM_WIN32_WINDOWS_T)
    return false;
  duna_.Clear();
  TRegistry providers(*platform.registry, KEY_READ_T);
  providers.SetRootKey(HKEY_LOCAL_MACHINE_T);
  TRegistry startStats(*platform.registry, KEY_READ_T);
  startStats.SetRootKey(HKEY_DYN_DATA_T);
  bool opened = providers.OpenKey("System\\CurrentControlSet\\Control\\PerfStats\\Enum", false) &&
                startStats.OpenKey("PerfStats\\StartStat", false);
  if (opened) {
    // Names are read whole, however long.
    for (const std::string& provider : providers.GetKeyNames()) {
      TRegDataInfo info;
      if (startStats.GetDataInfo(provider + "\\ConnectSpeed", info)) duna_.Add(provider);
    }
  }
  providers.CloseKey();
  startStats.CloseKey();
  if (duna_.Count() > 0) duna_.Sort();
  return opened;
}
