// TRasMonitor: polls the RAS connections and reports when one comes up or
// goes; answers whether one is up, and hangs one up. It follows the first
// listed connection, or, given an entry name, only that entry's connection.
#pragma once
#include <cstdint>
#include <string>
#include "ras/RasTypes.h"
#include "toolkit/Component.h"

class TTimer;
class TRasMiniApi;

struct TRasConnectionDetails {
  HRASCONN Handle = 0;
  std::string StatusText;  // at most 255 characters
  char EntryName[RAS_MaxEntryName + 1] = {};
  char DeviceType[RAS_MaxDeviceType + 1] = {};
  char DeviceName[RAS_MaxDeviceName + 1] = {};
  char ClientIP[RAS_MaxIpAddress + 1] = {};
  char ServerIP[RAS_MaxIpAddress + 1] = {};
};

using TRasNotifyEvent = TEvent<TObject*, TRasConnectionDetails>;
using TRasStatusNotifyEvent = TEvent<TObject*, TRasConnectionDetails, const std::string&>;

class TRasMonitor : public TComponent {
 public:
  explicit TRasMonitor(TComponent* owner);
  ~TRasMonitor() override;

  // Throws the monitor's "not loaded" error unless the RAS library and its
  // enumeration function are bound: without them no connection can be
  // watched, and the program's start-up ends with that message.
  void RequireRasLibrary() const;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);  // throws as RequireRasLibrary does
  int PollInterval() const { return pollInterval_; }
  void SetPollInterval(int ms) { pollInterval_ = ms; }
  // Read only: the monitor finds these out itself.
  bool Online() const { return online_; }
  bool RasApiLoaded() const { return rasApiLoaded_; }
  const std::string& LocalIP() const { return localIP_; }
  const std::string& LocalHost() const { return localHost_; }
  const TRasConnectionDetails& ConnectionDetails() const { return details_; }

  // From the next poll on, only a listed connection of this phone-book entry
  // (the name compared as Windows compares entry names: without regard to
  // case) is reported, counted as up and described; the others are passed
  // over. No entry has an empty name: with one, no connection is followed.
  void SetEntryName(const std::string& name);
  // Back to the first listed connection, whatever its entry (the default).
  void FollowAnyConnection();
  bool FollowsEntry() const { return followsEntry_; }
  const std::string& EntryName() const { return entryName_; }

  TRasNotifyEvent OnRasConnected;
  TRasNotifyEvent OnRasDisconnected;
  TRasStatusNotifyEvent OnRasStatusChanged;

  void Poll();
  bool GetConnectionDetails(TRasConnectionDetails& details);
  int HangUpConnection(HRASCONN handle);
  std::string StatusToText(const RASCONNSTATUSA& status, uint32_t error);
  std::string GetLocalIP();
  std::string GetLocalHost();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  // One enumeration into `conns`; false when the call fails (or cannot be made).
  bool Enumerate(RASCONNA (&conns)[8], uint32_t& count);
  // The followed connection among those listed, or null.
  const RASCONNA* Followed(const RASCONNA (&conns)[8], uint32_t count) const;
  bool SameEntryName(const char* listed, size_t size) const;
  // The status record of a connection; zeroed when the query fails or is missing.
  RASCONNSTATUSA QueryStatus(HRASCONN handle);
  // Fills the handle, status text and the three names from a connection record.
  static void Describe(const RASCONNA& conn, const std::string& text,
                       TRasConnectionDetails& details);
  // Fills the two projection addresses when the PPP IP projection can be read.
  void ReadAddresses(HRASCONN handle, TRasConnectionDetails& details);

  TRasMiniApi* api_ = nullptr;  // the application's binding; null once it is gone
  TTimer* timer_ = nullptr;
  bool enabled_ = false;
  int pollInterval_ = 1000;
  bool online_ = false;
  bool rasApiLoaded_ = false;
  HRASCONN lastHandle_ = 0;
  bool followsEntry_ = false;
  std::string entryName_;
  TRasConnectionDetails details_;
  std::string localIP_, localHost_;
};
