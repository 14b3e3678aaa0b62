// TRasSimService: a stand-in for the Remote Access Service on systems without
// one. It honours the RAS calls the program makes (results, out parameters,
// ERROR_INVALID_HANDLE after a hang-up) from a phone book of scripted entries,
// and calls a dial's notifier on a thread of its own, one call at a time.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include "ras/RasTypes.h"
#include "rassim/PhoneBook.h"
#include "rassim/SimScheduler.h"

// Codes the service returns beyond those the program names.
constexpr uint32_t SIM_ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t SIM_ERROR_INSUFFICIENT_BUFFER = 122;
constexpr uint32_t SIM_ERROR_CANNOT_OPEN_PHONEBOOK = 621;
constexpr uint32_t SIM_ERROR_PROTOCOL_NOT_CONFIGURED = 720;
constexpr uint32_t SIM_WM_RASDIALEVENT = 0xCCCD;

// The text the service gives for a code in the wording asked for, or null
// when it has none. Windows 10 keeps the classic text of a code whose
// current wording is not known.
const char* SimErrorText(uint32_t code, TSimErrorTexts texts = TSimErrorTexts::Classic);

// The thread that calls dial notifiers, in the order the notifications were made.
class TSimNotifierThread {
 public:
  TSimNotifierThread();
  // Waits for the call in progress to return; notifications not yet made are dropped.
  ~TSimNotifierThread();
  TSimNotifierThread(const TSimNotifierThread&) = delete;
  TSimNotifierThread& operator=(const TSimNotifierThread&) = delete;

  void Post(RASDIALFUNC notifier, RASCONNSTATE state, uint32_t error);
  // True while a notification waits or a notifier call has not returned.
  bool Busy();
  // Runs on the thread just before each call (benchmarks time the hand-off).
  std::function<void(RASCONNSTATE, uint32_t)> beforeCall;
  // Runs on the thread once a call has returned and Busy() has been updated
  // (a test loop waiting for the thread to go idle is woken through it).
  std::function<void()> afterCall;

 private:
  struct TItem {
    RASDIALFUNC notifier;
    RASCONNSTATE state;
    uint32_t error;
  };
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<TItem> queue_;
  bool inCall_ = false;
  bool stop_ = false;
  std::thread thread_;
};

class TRasSimService {
 public:
  // `savePath`: where credentials stored through RasSetEntryDialParamsA are
  // written; empty keeps them in memory only. The scheduler must stop running
  // work before the service is destroyed.
  TRasSimService(ISimScheduler& scheduler, TSimPhoneBook book, std::string savePath = "");
  ~TRasSimService();
  TRasSimService(const TRasSimService&) = delete;
  TRasSimService& operator=(const TRasSimService&) = delete;

  // Every call but RasGetErrorStringA answers `code` from now on (a phone book
  // that could not be read).
  void SetUnavailable(uint32_t code);

  uint32_t RasDialA(void* extensions, const char* phonebook, RASDIALPARAMSA* params,
                    uint32_t notifierType, void* notifier, HRASCONN* conn);
  uint32_t RasEnumEntriesA(const char* reserved, const char* phonebook, RASENTRYNAMEA* entries,
                           uint32_t* bytes, uint32_t* count);
  uint32_t RasGetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                  int32_t* passwordSaved);
  uint32_t RasSetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                  int32_t removePassword);
  uint32_t RasHangUpA(HRASCONN handle);
  uint32_t RasGetConnectStatusA(HRASCONN handle, RASCONNSTATUSA* status);
  uint32_t RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size);
  uint32_t RasEnumConnectionsA(RASCONNA* conns, uint32_t* bytes, uint32_t* count);
  uint32_t RasGetProjectionInfoA(HRASCONN handle, uint32_t projection, void* info, uint32_t* size);

  // Notifications queued or being delivered.
  bool NotifierBusy() { return notifier_.Busy(); }
  TSimNotifierThread& Notifier() { return notifier_; }
  // The phone book as it stands (credentials stored included).
  TSimPhoneBook Book();
  // Dials made for an entry since the service started.
  int DialCount(const std::string& entry);
  // Hang-ups of a connection of the entry (dialled here or another
  // program's) that found its handle, since the service started.
  int HangUpCount(const std::string& entry);
  // Handles made by dials (failed ones included) that were never hung up.
  int HandlesNotHungUp();
  // Dialled connections that have a handle (being dialled, up, failed,
  // dropped or closing); other programs' connections are not counted.
  int HandleCount();
  // The counts above as text, for a test in another process to read:
  // "NotHungUp=N", then a "[name]" block with "Dials=" and "HangUps=" for
  // every entry of the phone book, in its order.
  std::string CountsReport();

 private:
  enum class TPhase { Dialing, Connected, Failed, Dropped, Closing };
  struct TConn {
    HRASCONN handle = 0;
    TSimEntry entry;  // entry.foreign: another program's connection
    TPhase phase = TPhase::Dialing;
    RASCONNSTATE state = RASCS_OpenPort;
    uint32_t error = 0;
    size_t step = 0;     // next script step
    bool fails = false;  // this dial fails at entry.failAt
    RASDIALFUNC notifier = nullptr;
    uint64_t goneAt = 0;  // Closing: when the handle stops being valid
  };

  // Applies the next script step; false when the dial ended (or was ended).
  // Called with the lock held.
  bool Advance(TConn& c, uint32_t* result);
  void StepAsync(HRASCONN handle);
  void ScheduleDrop(TConn& c);
  // Another program's connection comes up (a new handle) and, with UpFor,
  // goes at its time. Called with the lock held.
  void BringUpForeign(const TSimEntry& entry);
  void Sweep();
  TConn* FindLocked(HRASCONN handle);
  // Dialled handles whose hang-up has not been asked for. Lock held.
  int NotHungUpLocked() const;

  ISimScheduler& scheduler_;
  std::mutex mutex_;
  TSimPhoneBook book_;
  std::string savePath_;
  uint32_t unavailable_ = 0;
  std::map<std::string, int> dialCounts_;    // by lower-case entry name
  std::map<std::string, int> hangUpCounts_;  // by lower-case entry name
  std::map<HRASCONN, TConn> conns_;
  HRASCONN nextHandle_ = 0x100;
  TSimNotifierThread notifier_;
};
