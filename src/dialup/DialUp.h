// TDialUp: lists the phone-book entries, dials one synchronously or in the
// background, hangs up, and reads or stores an entry's user name and password.
// It reports and never decides: retries and hang-ups are its owner's.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include "ras/RasTypes.h"
#include "toolkit/Component.h"
#include "toolkit/Strings.h"

// The hand-off slot between the service's notifier thread and the GUI thread.
struct TDialSlot;
class TRasBinding;

enum TDialMode { dmAsync = 0, dmSync = 1 };
enum TLanguage { English = 0, Czech = 1, Portuguese = 2 };
// The step of a dial that OnError reports as failed: reading the entry's dial
// parameters (no such entry), or the dial call itself.
enum TDialStep { dsReadParams = 0, dsDial = 1 };

using TStandartEv = TEvent<TObject*>;
using TOnEntryGet = TEvent<TObject*, const char*>;
using TOnNotConn = TEvent<TObject*, int32_t, const std::string&>;
using TOnAsyncEvent = TEvent<TObject*, int32_t, int32_t, const std::string&>;
using TOnError = TEvent<TObject*, TDialStep, int32_t, const std::string&>;
using TOnActiveConn = TEvent<TObject*, int32_t, const RASCONNSTATUSA&, const std::string&,
                             const char*, const char*, const char*>;

class TDialUp : public TComponent {
 public:
  explicit TDialUp(TComponent* owner);
  ~TDialUp() override;

  TDialMode DialMode() const { return dialMode_; }
  void SetDialMode(TDialMode m) { dialMode_ = m; }
  const TStrings& Entries() const { return entries_; }
  const std::string& Entry() const { return entry_; }
  void SetEntry(const std::string& e);
  TLanguage Language() const { return language_; }
  void SetLanguage(TLanguage l) { language_ = l; }
  const std::string& ServerIP() const { return serverIP_; }
  const std::string& ClientIP() const { return clientIP_; }
  const TStrings& DUNA() const { return duna_; }
  const std::string& DUNA_Key() const { return dunaKey_; }
  void SetDUNA_Key(const std::string& k) { dunaKey_ = k; }
  uint32_t BytesXmit() const { return 0; }
  uint32_t BytesRecv() const { return 0; }
  uint32_t ConnectionSpeed() const { return 0; }

  TOnEntryGet OnEntryGet;
  TStandartEv OnDialing;
  TStandartEv OnConnect;
  TOnNotConn OnNotConnected;
  TOnAsyncEvent OnAsyncEvent;
  TOnError OnError;
  TOnActiveConn OnActiveConnection;

  // Hangs up the dialer's last connection, then dials Entry. A call made
  // while a dial of this dialer is under way (from a handler run by its
  // waits) is refused with 756; it throws nothing and raises no event.
  int Dial();
  // True from the start of a dial until its outcome: during Dial itself, and
  // afterwards while the service still reports the connection on its way
  // (neither connected, nor failed, nor gone) or its last notification has
  // not been handed over yet.
  bool Dialing();
  int GetEntries();
  int HangUp();
  int HangUpConnection(HRASCONN handle);
  int SetUsername(const std::string& userName);
  int SetPassword(const std::string& password);
  int GetUsername(std::string& userName);
  int GetPassword(std::string& password);
  std::string GetStatusText(int32_t state, int32_t error);
  bool GetStats();
  // Delivers the notification waiting in the hand-off slot (GUI thread).
  virtual void DeliverDialEvent();

  // (private state and the notifier's hand-off are the implementation's)
 private:
  // Runs on the service's thread: hands one notification to the GUI thread.
  static void RASAPI_CALL DialNotifier(uint32_t message, RASCONNSTATE state, uint32_t error);
  static void DeliverFromSlot(const std::shared_ptr<TDialSlot>& slot);
  // Reads the dial parameters of Entry into `params`; 0 or a RAS code.
  int ReadParams(RASDIALPARAMSA& params, int32_t* passwordSaved);
  int StoreCredential(const std::string& value, bool password);
  // The service's text for an error code; empty when it has none that fits.
  std::string ErrorText(int32_t code);

  // The application's RAS binding, found when the dialer is built.
  TRasBinding& ras_;
  HRASCONN handle_ = 0;
  bool inDial_ = false;
  std::shared_ptr<TDialSlot> slot_;
  TDialMode dialMode_ = dmAsync;
  TStrings entries_;
  std::string entry_;
  TLanguage language_ = English;
  std::string serverIP_, clientIP_;
  TStrings duna_;
  std::string dunaKey_;
};
