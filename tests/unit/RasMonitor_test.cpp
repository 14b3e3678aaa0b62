// The connection monitor on the virtual clock, against a small RAS service.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "TestWorld.h"
#include "platform/Errors.h"
#include "platform/memory/MemoryLibraryLoader.h"
#include "ras/RasTypes.h"
#include "rasmonitor/RasMonitor.h"

// The service: plain functions over static state (reset by Install for each
// test), registered as "RASAPI32.DLL" in the in-memory library loader. It
// checks record sizes the way the real service does, so a caller that passes
// the wrong dwSize or too small a buffer gets the real errors back.
namespace fakeras {

struct Conn {
  HRASCONN handle = 0;
  std::string entry, deviceType = "modem", deviceName = "Standard Modem";
  RASCONNSTATE state = RASCS_Connected;
  uint32_t error = 0;
};

struct Service {
  std::vector<Conn> conns;
  uint32_t enumFailure = 0;       // non-zero: the enumeration returns it
  uint32_t statusFailure = 0;     // non-zero: the status query returns it, record untouched
  uint32_t projectionResult = 0;  // non-zero: the projection query returns it
  std::string clientIP = "10.20.30.2", serverIP = "10.20.30.1";
  bool hangUpRemoves = true;  // the connection leaves the list at once
  int enumCalls = 0, statusCalls = 0, hangUpCalls = 0, projectionCalls = 0;
  std::vector<HRASCONN> hungUp;
};

inline Service& S() {
  static Service s;
  return s;
}

inline Conn* Find(HRASCONN h) {
  for (auto& c : S().conns)
    if (c.handle == h) return &c;
  return nullptr;
}

template <size_t N>
void Fill(char (&field)[N], const std::string& text) {
  std::memcpy(field, text.data(), std::min(N, text.size()));
}

inline uint32_t RASAPI_CALL Enum(RASCONNA* conns, uint32_t* bytes, uint32_t* count) {
  ++S().enumCalls;
  if (S().enumFailure) return S().enumFailure;
  if (conns[0].dwSize != sizeof(RASCONNA)) return ERROR_INVALID_SIZE_RAS;
  const uint32_t need = static_cast<uint32_t>(S().conns.size() * sizeof(RASCONNA));
  if (need > *bytes) {
    *bytes = need;
    *count = 0;
    return ERROR_BUFFER_TOO_SMALL_RAS;
  }
  for (size_t i = 0; i < S().conns.size(); ++i) {
    const Conn& c = S().conns[i];
    RASCONNA& r = conns[i];
    r.dwSize = sizeof(RASCONNA);
    r.hrasconn = c.handle;
    // A text as long as its field fills it without a terminator.
    Fill(r.szEntryName, c.entry);
    Fill(r.szDeviceType, c.deviceType);
    Fill(r.szDeviceName, c.deviceName);
  }
  *bytes = need;
  *count = static_cast<uint32_t>(S().conns.size());
  return 0;
}

inline uint32_t RASAPI_CALL Status(HRASCONN h, RASCONNSTATUSA* st) {
  ++S().statusCalls;
  if (st->dwSize != sizeof(RASCONNSTATUSA)) return ERROR_INVALID_SIZE_RAS;
  if (S().statusFailure) return S().statusFailure;
  Conn* c = Find(h);
  if (!c) return ERROR_INVALID_HANDLE_RAS;
  st->rasconnstate = c->state;
  st->dwError = c->error;
  return 0;
}

inline uint32_t RASAPI_CALL HangUp(HRASCONN h) {
  ++S().hangUpCalls;
  S().hungUp.push_back(h);
  if (!Find(h)) return ERROR_INVALID_HANDLE_RAS;
  if (S().hangUpRemoves) {
    auto& v = S().conns;
    v.erase(std::remove_if(v.begin(), v.end(), [h](const Conn& c) { return c.handle == h; }),
            v.end());
  }
  return 0;
}

inline uint32_t RASAPI_CALL Projection(HRASCONN h, uint32_t kind, void* info, uint32_t* size) {
  ++S().projectionCalls;
  auto* ip = static_cast<RASPPPIPA*>(info);
  if (kind != RASP_PppIp || *size < sizeof(RASPPPIPA) || ip->dwSize != sizeof(RASPPPIPA))
    return ERROR_INVALID_SIZE_RAS;
  if (!Find(h)) return ERROR_INVALID_HANDLE_RAS;
  if (S().projectionResult) return S().projectionResult;
  Fill(ip->szIpAddress, S().clientIP);
  Fill(ip->szServerIpAddress, S().serverIP);
  return 0;
}

// Registers every function (or all but the ones named in `omit`).
inline void Install(TMemoryLibraryLoader& libs, const std::vector<std::string>& omit = {}) {
  S() = Service{};
  auto add = [&](const char* name, auto fn) {
    if (std::find(omit.begin(), omit.end(), name) == omit.end()) libs.Add("RASAPI32.DLL", name, fn);
  };
  add("RasEnumConnectionsA", &Enum);
  add("RasGetConnectStatusA", &Status);
  add("RasHangUpA", &HangUp);
  add("RasGetProjectionInfoA", &Projection);
}

// What a monitor raised, in order.
struct Event {
  std::string kind;  // "connected", "disconnected", "status"
  TRasConnectionDetails details;
  std::string text;
  bool onlineSeen = false;  // the monitor's Online as the handler saw it
};

struct Recorder {
  std::vector<Event> events;
  void Attach(TRasMonitor& m, bool withStatus = true) {
    m.OnRasConnected = [this, &m](TObject*, TRasConnectionDetails d) {
      events.push_back({"connected", d, "", m.Online()});
    };
    m.OnRasDisconnected = [this, &m](TObject*, TRasConnectionDetails d) {
      events.push_back({"disconnected", d, "", m.Online()});
    };
    if (withStatus)
      m.OnRasStatusChanged = [this, &m](TObject*, TRasConnectionDetails d, const std::string& t) {
        events.push_back({"status", d, t, m.Online()});
      };
  }
  std::vector<std::string> Kinds() const {
    std::vector<std::string> k;
    for (auto& e : events) k.push_back(e.kind == "status" ? "status:" + e.text : e.kind);
    return k;
  }
};

inline bool AllZero(const TRasConnectionDetails& d) {
  auto empty = [](const char* s) { return s[0] == '\0'; };
  return d.Handle == 0 && d.StatusText.empty() && empty(d.EntryName) && empty(d.DeviceType) &&
         empty(d.DeviceName) && empty(d.ClientIP) && empty(d.ServerIP);
}

}  // namespace fakeras

using fakeras::Conn;
using fakeras::S;

namespace {

const char* const kNotLoaded = "RASAPI Not Loaded, unable to access RAS Functions";

class RasMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override { fakeras::Install(world.libraries); }

  TRasMonitor& Make() {
    auto* m = new TRasMonitor(world.app.get());
    rec.Attach(*m);
    return *m;
  }
  TRasMonitor& MakeEnabled() {
    TRasMonitor& m = Make();
    m.SetEnabled(true);
    return m;
  }
  void Ticks(int n) { world.backend.Advance(1000LL * n); }

  TTestWorld world;
  fakeras::Recorder rec;
};

using Kinds = std::vector<std::string>;

// ---- transitions -----------------------------------------------------------

TEST_F(RasMonitorTest, ConnectionAlreadyUpIsReportedOneIntervalAfterEnabling) {
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = MakeEnabled();
  world.backend.Advance(999);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_EQ(S().enumCalls, 0);

  world.backend.Advance(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"connected", "status:Connected"}));
  for (const auto& e : rec.events) {
    EXPECT_TRUE(e.onlineSeen);  // Online changes before the event that reports it
    EXPECT_EQ(e.details.Handle, 0x51u);
    EXPECT_STREQ(e.details.EntryName, "Office");
    EXPECT_STREQ(e.details.DeviceType, "modem");
    EXPECT_STREQ(e.details.DeviceName, "Standard Modem");
    EXPECT_EQ(e.details.StatusText, "Connected");
    EXPECT_STREQ(e.details.ClientIP, "10.20.30.2");
    EXPECT_STREQ(e.details.ServerIP, "10.20.30.1");
  }
  EXPECT_TRUE(m.Online());
  EXPECT_EQ(S().projectionCalls, 1);

  // Steady online: one enumeration and one status call per tick, no events.
  Ticks(5);
  EXPECT_EQ(rec.events.size(), 2u);
  EXPECT_EQ(S().enumCalls, 6);
  EXPECT_EQ(S().statusCalls, 6);
  EXPECT_EQ(S().projectionCalls, 1);
  // The record is refreshed each tick, but the addresses only came with the connecting one.
  EXPECT_STREQ(m.ConnectionDetails().EntryName, "Office");
  EXPECT_EQ(m.ConnectionDetails().Handle, 0x51u);
  EXPECT_STREQ(m.ConnectionDetails().ClientIP, "");
  EXPECT_STREQ(m.ConnectionDetails().ServerIP, "");
}

TEST_F(RasMonitorTest, StatusIsReportedOnEveryTickWhileConnecting) {
  S().conns = {Conn{0x7, "Home", "modem", "Modem", RASCS_Authenticate}};
  TRasMonitor& m = MakeEnabled();
  Ticks(3);
  ASSERT_EQ(rec.Kinds(), (Kinds{"status:Start authenticating", "status:Start authenticating",
                                "status:Start authenticating"}));
  EXPECT_FALSE(m.Online());
  EXPECT_STREQ(rec.events[0].details.ClientIP, "");
  EXPECT_EQ(S().projectionCalls, 0);

  // A state outside the table gives no event; an error gives "ERRROR", whatever the state.
  rec.events.clear();
  S().conns[0].state = 55;
  Ticks(1);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_EQ(m.ConnectionDetails().StatusText, "");
  EXPECT_STREQ(m.ConnectionDetails().EntryName, "Home");
  S().conns[0].state = RASCS_Authenticate;
  S().conns[0].error = 691;
  Ticks(2);
  ASSERT_EQ(rec.Kinds(), (Kinds{"status:ERRROR", "status:ERRROR"}));

  rec.events.clear();
  S().conns[0].error = 0;
  S().conns[0].state = RASCS_Connected;
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"connected", "status:Connected"}));
  EXPECT_STREQ(rec.events[1].details.ClientIP, "10.20.30.2");  // same tick, same record
  Ticks(3);
  EXPECT_EQ(rec.events.size(), 2u);
}

TEST_F(RasMonitorTest, DropIsReportedOnceWithAnAllZeroRecord) {
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = MakeEnabled();
  Ticks(1);
  rec.events.clear();

  S().conns.clear();
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"disconnected"}));
  EXPECT_TRUE(fakeras::AllZero(rec.events[0].details));
  EXPECT_FALSE(rec.events[0].onlineSeen);
  EXPECT_FALSE(m.Online());
  EXPECT_TRUE(fakeras::AllZero(m.ConnectionDetails()));
  Ticks(3);
  EXPECT_EQ(rec.events.size(), 1u);

  // And it comes back.
  S().conns = {Conn{0x52, "Office"}};
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"disconnected", "connected", "status:Connected"}));
  EXPECT_EQ(rec.events[1].details.Handle, 0x52u);
}

TEST_F(RasMonitorTest, NoConnectionEverGivesNoEvent) {
  TRasMonitor& m = MakeEnabled();
  Ticks(5);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_FALSE(m.Online());
  EXPECT_EQ(S().enumCalls, 5);
  EXPECT_EQ(S().statusCalls, 0);
}

TEST_F(RasMonitorTest, WhileOnlineOnlyAnEmptyListEndsTheOnlineState) {
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = MakeEnabled();
  Ticks(1);
  rec.events.clear();
  S().conns[0].state = RASCS_Disconnected;
  Ticks(1);
  S().conns[0] = Conn{0x99, "Other", "isdn", "ISDN", RASCS_Authenticate};
  Ticks(1);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_TRUE(m.Online());
  EXPECT_EQ(m.ConnectionDetails().Handle, 0x99u);
  EXPECT_STREQ(m.ConnectionDetails().EntryName, "Other");
  EXPECT_EQ(m.ConnectionDetails().StatusText, "Start authenticating");
}

TEST_F(RasMonitorTest, OnlyTheFirstOfTwoConnectionsCounts) {
  S().conns = {Conn{0x1, "First", "modem", "Modem", RASCS_ConnectDevice}, Conn{0x2, "Second"}};
  TRasMonitor& m = MakeEnabled();
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"status:Connecting device"}));
  EXPECT_STREQ(rec.events[0].details.EntryName, "First");
  EXPECT_FALSE(m.Online());

  // The first goes: the second, already connected, is now the one reported.
  S().conns.erase(S().conns.begin());
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"status:Connecting device", "connected", "status:Connected"}));
  EXPECT_STREQ(rec.events[1].details.EntryName, "Second");

  // Online while any connection is listed.
  S().conns.insert(S().conns.begin(), Conn{0x3, "Third", "modem", "Modem", RASCS_OpenPort});
  Ticks(1);
  S().conns.pop_back();
  Ticks(1);
  EXPECT_EQ(rec.events.size(), 3u);
  EXPECT_TRUE(m.Online());
  S().conns.clear();
  Ticks(1);
  ASSERT_EQ(rec.Kinds(),
            (Kinds{"status:Connecting device", "connected", "status:Connected", "disconnected"}));
}

// ---- the entry followed -----------------------------------------------------

// Another program's VPN is listed before the entry's connection and stays up
// throughout: given the entry's name, the monitor sees only the entry's line.
TEST_F(RasMonitorTest, GivenAnEntryNameOnlyThatEntrysConnectionIsReportedAndCountedAsUp) {
  S().conns = {Conn{0x1, "Corp VPN", "vpn", "WAN Miniport"},
               Conn{0x2, "Office", "modem", "Modem", RASCS_ConnectDevice}};
  TRasMonitor& m = Make();
  m.SetEntryName("OFFICE");
  m.SetEnabled(true);
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"status:Connecting device"}));
  EXPECT_STREQ(rec.events[0].details.EntryName, "Office");
  EXPECT_FALSE(m.Online());
  TRasConnectionDetails d;
  EXPECT_FALSE(m.GetConnectionDetails(d));
  EXPECT_EQ(d.Handle, 0x2u);

  S().conns[1].state = RASCS_Connected;
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"status:Connecting device", "connected", "status:Connected"}));
  EXPECT_EQ(rec.events[1].details.Handle, 0x2u);
  EXPECT_STREQ(rec.events[1].details.DeviceType, "modem");
  EXPECT_TRUE(m.GetConnectionDetails(d));
  EXPECT_STREQ(d.EntryName, "Office");

  // The entry's line drops while the VPN stays: the drop is seen.
  S().conns.pop_back();
  Ticks(1);
  EXPECT_EQ(rec.Kinds().back(), "disconnected");
  EXPECT_FALSE(m.Online());
  EXPECT_FALSE(m.GetConnectionDetails(d));
  EXPECT_TRUE(fakeras::AllZero(d));
  // What the monitor shows is never the VPN: a hang-up of it cannot reach the VPN.
  EXPECT_EQ(m.ConnectionDetails().Handle, 0u);
  m.HangUpConnection(m.ConnectionDetails().Handle);
  EXPECT_EQ(S().hungUp, (std::vector<HRASCONN>{0}));
  Ticks(3);
  EXPECT_EQ(rec.Kinds().size(), 4u);
  EXPECT_EQ(S().conns.size(), 1u);
}

TEST_F(RasMonitorTest, WithoutAnEntryNameTheFirstListedConnectionIsFollowed) {
  S().conns = {Conn{0x1, "Corp VPN"}};
  TRasMonitor& m = MakeEnabled();
  EXPECT_FALSE(m.FollowsEntry());
  m.SetEntryName("Office");
  Ticks(2);
  EXPECT_TRUE(rec.events.empty());
  // An empty name is no entry's: nothing is followed.
  m.SetEntryName("");
  Ticks(1);
  EXPECT_TRUE(rec.events.empty());
  m.FollowAnyConnection();
  EXPECT_FALSE(m.FollowsEntry());
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"connected", "status:Connected"}));
  EXPECT_STREQ(rec.events[0].details.EntryName, "Corp VPN");
}

// Names are compared without regard to case, letter by letter; in a
// double-byte code page the second byte of a character may look like a
// letter and is compared as it is.
TEST_F(RasMonitorTest, EntryNamesFoldTheirLettersButNotTheSecondByteOfACharacter) {
  world.locale.doubleByte = true;
  // Code page 932: 0x83 0x41 and 0x83 0x61 are two different katakana.
  S().conns = {Conn{0x1, "\x83\x41 Line"}, Conn{0x2, "Dial \x83\x61"}};
  TRasMonitor& m = Make();
  TRasConnectionDetails d;
  m.SetEntryName("\x83\x61 LINE");
  EXPECT_FALSE(m.GetConnectionDetails(d));
  EXPECT_EQ(d.Handle, 0u);
  m.SetEntryName("\x83\x41 line");
  EXPECT_TRUE(m.GetConnectionDetails(d));
  EXPECT_EQ(d.Handle, 0x1u);
  m.SetEntryName("DIAL \x83\x61");
  EXPECT_TRUE(m.GetConnectionDetails(d));
  EXPECT_EQ(d.Handle, 0x2u);
  // A name filling its field, with no terminator, is read as the details
  // show it: its first 256 characters, all of them compared.
  S().conns = {Conn{0x3, std::string(300, 'e')}};
  m.SetEntryName(std::string(256, 'E'));
  EXPECT_TRUE(m.GetConnectionDetails(d));
  m.SetEntryName(std::string(255, 'E'));
  EXPECT_FALSE(m.GetConnectionDetails(d));
  m.SetEntryName(std::string(257, 'E'));
  EXPECT_FALSE(m.GetConnectionDetails(d));
}

TEST_F(RasMonitorTest, FailedEnumerationClearsOnlineSilentlyAndTheConnectionIsReportedAgain) {
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = MakeEnabled();
  Ticks(1);
  rec.events.clear();

  S().enumFailure = 610;
  Ticks(2);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_FALSE(m.Online());
  EXPECT_TRUE(fakeras::AllZero(m.ConnectionDetails()));

  S().enumFailure = 0;
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"connected", "status:Connected"}));
  EXPECT_EQ(S().projectionCalls, 2);

  // A connection that went during the failure is not reported as a drop afterwards.
  rec.events.clear();
  S().enumFailure = 610;
  Ticks(1);
  S().enumFailure = 0;
  S().conns.clear();
  Ticks(2);
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(RasMonitorTest, EightConnectionsFitTheBufferAndNineDoNot) {
  // The service demands this build's record size and a buffer for every listed record.
  for (HRASCONN h = 1; h <= 8; ++h) S().conns.push_back(Conn{h, "Entry" + std::to_string(h)});
  TRasMonitor& m = MakeEnabled();
  Ticks(1);
  EXPECT_TRUE(m.Online());
  EXPECT_STREQ(m.ConnectionDetails().EntryName, "Entry1");

  S().conns.push_back(Conn{9, "Entry9"});
  Ticks(1);
  EXPECT_FALSE(m.Online());
  ASSERT_EQ(rec.Kinds(), (Kinds{"connected", "status:Connected"}));  // no drop reported
}

TEST_F(RasMonitorTest, FailedProjectionStillReportsTheConnectionWithoutAddresses) {
  S().conns = {Conn{0x51, "Office"}};
  S().projectionResult = 731;
  MakeEnabled();
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"connected", "status:Connected"}));
  EXPECT_STREQ(rec.events[0].details.ClientIP, "");
  EXPECT_STREQ(rec.events[0].details.ServerIP, "");
  EXPECT_STREQ(rec.events[0].details.EntryName, "Office");
}

TEST_F(RasMonitorTest, FailedStatusQueryReadsAsOpeningPort) {
  S().conns = {Conn{0x51, "Office"}};
  S().statusFailure = ERROR_INVALID_HANDLE_RAS;
  TRasMonitor& m = MakeEnabled();
  Ticks(2);
  ASSERT_EQ(rec.Kinds(), (Kinds{"status:Opening port", "status:Opening port"}));
  EXPECT_FALSE(m.Online());
  EXPECT_STREQ(m.ConnectionDetails().EntryName, "Office");
}

TEST_F(RasMonitorTest, TextsThatFillTheirFieldsStayZeroTerminated) {
  S().conns = {Conn{0x51, std::string(300, 'E'), std::string(40, 'T'), std::string(200, 'D')}};
  S().clientIP = std::string(20, '1');
  S().serverIP = std::string(20, '2');
  MakeEnabled();
  Ticks(1);
  ASSERT_EQ(rec.events.size(), 2u);
  const TRasConnectionDetails& d = rec.events[0].details;
  EXPECT_EQ(std::string(d.EntryName), std::string(256, 'E'));
  EXPECT_EQ(std::string(d.DeviceType), std::string(16, 'T'));
  EXPECT_EQ(std::string(d.DeviceName), std::string(128, 'D'));
  EXPECT_EQ(std::string(d.ClientIP), std::string(15, '1'));
  EXPECT_EQ(std::string(d.ServerIP), std::string(15, '2'));
}

// ---- on-demand queries -----------------------------------------------------

TEST_F(RasMonitorTest, GetConnectionDetailsAnswersWithoutTouchingTheMonitorState) {
  TRasMonitor& m = Make();
  TRasConnectionDetails d;
  std::strcpy(d.EntryName, "stale");
  EXPECT_FALSE(m.GetConnectionDetails(d));
  EXPECT_TRUE(fakeras::AllZero(d));

  S().conns = {Conn{0x33, "Office", "modem", "Modem", RASCS_Authenticate}};
  EXPECT_FALSE(m.GetConnectionDetails(d));
  EXPECT_EQ(d.Handle, 0x33u);
  EXPECT_STREQ(d.EntryName, "Office");
  EXPECT_EQ(d.StatusText, "Start authenticating");
  EXPECT_STREQ(d.ClientIP, "");

  S().conns[0].state = RASCS_Connected;
  EXPECT_TRUE(m.GetConnectionDetails(d));
  EXPECT_EQ(d.StatusText, "Connected");
  EXPECT_STREQ(d.ClientIP, "10.20.30.2");
  EXPECT_STREQ(d.ServerIP, "10.20.30.1");

  EXPECT_FALSE(m.Online());
  EXPECT_TRUE(fakeras::AllZero(m.ConnectionDetails()));
  EXPECT_TRUE(rec.events.empty());

  S().enumFailure = 610;
  EXPECT_FALSE(m.GetConnectionDetails(d));
  EXPECT_TRUE(fakeras::AllZero(d));
}

TEST_F(RasMonitorTest, HangUpReportsTheDropBeforeItReturnsEvenWhenDisabled) {
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = MakeEnabled();
  Ticks(1);
  m.SetEnabled(false);
  rec.events.clear();

  const int result = m.HangUpConnection(m.ConnectionDetails().Handle);
  rec.events.push_back({"returned " + std::to_string(result), {}, "", m.Online()});
  ASSERT_EQ(rec.Kinds(), (Kinds{"disconnected", "returned 0"}));
  EXPECT_EQ(S().hungUp, (std::vector<HRASCONN>{0x51}));
  EXPECT_FALSE(m.Online());

  // Disabled: no tick polls afterwards.
  const int calls = S().enumCalls;
  Ticks(3);
  EXPECT_EQ(S().enumCalls, calls);
}

TEST_F(RasMonitorTest, HangUpPassesTheServiceResultBackAndALaterTickReportsTheDrop) {
  S().conns = {Conn{0x51, "Office"}};
  S().hangUpRemoves = false;
  TRasMonitor& m = MakeEnabled();
  Ticks(1);
  rec.events.clear();

  EXPECT_EQ(m.HangUpConnection(0x999), static_cast<int>(ERROR_INVALID_HANDLE_RAS));
  EXPECT_EQ(m.HangUpConnection(0x51), 0);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_TRUE(m.Online());
  S().conns.clear();  // the line finally drops
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"disconnected"}));
}

TEST_F(RasMonitorTest, HangUpFromTheConnectedHandlerReportsTheDropInside) {
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = MakeEnabled();
  m.OnRasConnected = [&](TObject*, TRasConnectionDetails d) {
    rec.events.push_back({"connected", d, "", m.Online()});
    m.HangUpConnection(d.Handle);
  };
  Ticks(1);
  ASSERT_GE(rec.events.size(), 2u);
  EXPECT_EQ(rec.events[0].kind, "connected");
  EXPECT_EQ(rec.events[1].kind, "disconnected");
  EXPECT_FALSE(m.Online());
  Ticks(2);
  EXPECT_EQ(std::count_if(rec.events.begin(), rec.events.end(),
                          [](auto& e) { return e.kind == "disconnected"; }),
            1);
}

TEST_F(RasMonitorTest, AHandlerThatThrowsReachesTheApplicationAndPollingGoesOn) {
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = MakeEnabled();
  m.OnRasConnected = [](TObject*, TRasConnectionDetails) { throw EQuindleError("handler broke"); };
  Ticks(1);
  EXPECT_EQ(world.MessageTexts(), (std::vector<std::string>{"handler broke"}));
  EXPECT_TRUE(m.Online());
  Ticks(1);
  EXPECT_EQ(S().enumCalls, 2);
}

// ---- Enabled and PollInterval ----------------------------------------------

TEST_F(RasMonitorTest, PollIntervalIsTakenOverOnlyWhenEnabledTurnsTrue) {
  TRasMonitor& m = Make();
  m.SetPollInterval(500);
  m.SetEnabled(true);
  world.backend.Advance(1000);
  EXPECT_EQ(S().enumCalls, 2);

  m.SetPollInterval(2000);
  world.backend.Advance(1000);
  EXPECT_EQ(S().enumCalls, 4);

  m.SetEnabled(true);  // no change: the timer keeps its interval
  world.backend.Advance(1000);
  EXPECT_EQ(S().enumCalls, 6);

  m.SetEnabled(false);
  world.backend.Advance(5000);
  EXPECT_EQ(S().enumCalls, 6);

  m.SetEnabled(true);
  world.backend.Advance(1999);
  EXPECT_EQ(S().enumCalls, 6);
  world.backend.Advance(1);
  EXPECT_EQ(S().enumCalls, 7);
}

TEST_F(RasMonitorTest, ZeroOrNegativePollIntervalLeavesTheTimerStopped) {
  TRasMonitor& m = Make();
  m.SetPollInterval(0);
  m.SetEnabled(true);
  EXPECT_TRUE(m.Enabled());
  world.backend.Advance(10000);
  EXPECT_EQ(S().enumCalls, 0);

  m.SetEnabled(false);
  m.SetPollInterval(-5);
  m.SetEnabled(true);
  world.backend.Advance(10000);
  EXPECT_EQ(S().enumCalls, 0);
}

TEST_F(RasMonitorTest, DestroyingAnEnabledMonitorStopsItsTimer) {
  const int before = world.backend.TimerCount();
  TRasMonitor& m = MakeEnabled();
  EXPECT_EQ(world.backend.TimerCount(), before + 1);
  delete &m;
  EXPECT_EQ(world.backend.TimerCount(), before);
  world.backend.Advance(3000);
  EXPECT_EQ(S().enumCalls, 0);
}

// ---- the binding -------------------------------------------------------------

TEST_F(RasMonitorTest, MissingLibraryRefusesEveryRasOperation) {
  world.libraries.RemoveLibrary("RASAPI32.DLL");
  TRasMonitor& m = Make();
  EXPECT_FALSE(m.RasApiLoaded());
  for (bool value : {true, false}) {
    try {
      m.SetEnabled(value);
      ADD_FAILURE() << "Enabled := " << value << " was accepted";
    } catch (const EQuindleError& e) {
      EXPECT_STREQ(e.what(), kNotLoaded);
    }
    EXPECT_FALSE(m.Enabled());
  }
  TRasConnectionDetails d;
  EXPECT_THROW(m.GetConnectionDetails(d), EQuindleError);
  EXPECT_THROW(m.HangUpConnection(0x51), EQuindleError);
  m.Poll();  // a poll by hand does nothing without the library
  EXPECT_FALSE(m.Online());
  // The host queries do not need RAS.
  EXPECT_EQ(m.LocalHost(), "quindle-pc");
  EXPECT_EQ(m.LocalIP(), "192.168.1.20");
}

// The check start-up makes: the library and its enumeration function, or
// the monitor's message, with nothing started and nothing called.
TEST(RasMonitorRequire, TheRasLibraryIsRequiredWithTheMonitorsMessage) {
  struct TCase {
    const char* what;
    void (*remove)(TMemoryLibraryLoader&);
    bool loaded;
  } cases[] = {
      {"library and functions", [](TMemoryLibraryLoader&) {}, true},
      {"no library", [](TMemoryLibraryLoader& l) { l.RemoveLibrary("RASAPI32.DLL"); }, false},
      {"no enumeration",
       [](TMemoryLibraryLoader& l) { l.RemoveFunction("RASAPI32.DLL", "RasEnumConnectionsA"); },
       false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TTestWorld world;
    fakeras::Install(world.libraries);
    S().conns = {Conn{0x51, "Office"}};
    c.remove(world.libraries);
    auto* m = new TRasMonitor(world.app.get());
    std::string refusal;
    try {
      m->RequireRasLibrary();
    } catch (const EQuindleError& e) {
      refusal = e.what();
    }
    EXPECT_EQ(refusal, c.loaded ? "" : kNotLoaded);
    EXPECT_FALSE(m->Enabled());
    world.backend.Advance(3000);
    EXPECT_EQ(S().enumCalls, 0);
  }
}

TEST_F(RasMonitorTest, MissingEnumerationMeansNotLoadedAndNothingIsCalled) {
  world.libraries.RemoveFunction("RASAPI32.DLL", "RasEnumConnectionsA");
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = Make();
  EXPECT_FALSE(m.RasApiLoaded());
  EXPECT_THROW(m.HangUpConnection(0x51), EQuindleError);
  TRasConnectionDetails d;
  EXPECT_THROW(m.GetConnectionDetails(d), EQuindleError);
  m.Poll();
  EXPECT_EQ(S().hangUpCalls + S().statusCalls + S().projectionCalls, 0);
  EXPECT_EQ(S().conns.size(), 1u);
}

TEST_F(RasMonitorTest, MissingStatusFunctionReadsAsOpeningPort) {
  world.libraries.RemoveFunction("RASAPI32.DLL", "RasGetConnectStatusA");
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = MakeEnabled();
  EXPECT_TRUE(m.RasApiLoaded());
  Ticks(2);
  ASSERT_EQ(rec.Kinds(), (Kinds{"status:Opening port", "status:Opening port"}));
  EXPECT_FALSE(m.Online());
  TRasConnectionDetails d;
  EXPECT_FALSE(m.GetConnectionDetails(d));
  EXPECT_STREQ(d.EntryName, "Office");
}

TEST_F(RasMonitorTest, MissingHangUpFunctionFailsTheHangUpAndStillPolls) {
  world.libraries.RemoveFunction("RASAPI32.DLL", "RasHangUpA");
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = Make();
  const int calls = S().enumCalls;
  EXPECT_NE(m.HangUpConnection(0x51), 0);
  EXPECT_EQ(S().enumCalls, calls + 1);
  EXPECT_TRUE(m.Online());  // the poll found the connection, still up
  EXPECT_EQ(S().conns.size(), 1u);
}

TEST_F(RasMonitorTest, MissingProjectionFunctionLeavesTheAddressesEmpty) {
  world.libraries.RemoveFunction("RASAPI32.DLL", "RasGetProjectionInfoA");
  S().conns = {Conn{0x51, "Office"}};
  TRasMonitor& m = MakeEnabled();
  Ticks(1);
  ASSERT_EQ(rec.Kinds(), (Kinds{"connected", "status:Connected"}));
  EXPECT_STREQ(rec.events[0].details.ClientIP, "");
  TRasConnectionDetails d;
  EXPECT_TRUE(m.GetConnectionDetails(d));
  EXPECT_STREQ(d.ServerIP, "");
}

TEST_F(RasMonitorTest, TheLibraryIsLoadedOnceAndFreedWithTheApplication) {
  Make();
  Make();
  EXPECT_EQ(world.libraries.LoadCount("RASAPI32.DLL"), 1);
  EXPECT_EQ(world.libraries.LookupCount("RasEnumConnectionsA"), 1);
  EXPECT_EQ(world.sockets.startups, (std::vector<uint16_t>{0x0101}));
  EXPECT_EQ(world.sockets.cleanups, 0);

  world.app.reset();
  EXPECT_EQ(world.libraries.FreeCount("RASAPI32.DLL"), 1);
  EXPECT_FALSE(world.libraries.IsLoaded("RASAPI32.DLL"));
  EXPECT_EQ(world.sockets.cleanups, 1);
}

TEST_F(RasMonitorTest, AFailedLoadIsNotRepeated) {
  world.libraries.RemoveLibrary("RASAPI32.DLL");
  TRasMonitor& first = Make();
  fakeras::Install(world.libraries);  // the library appears later in the run
  TRasMonitor& second = Make();
  EXPECT_FALSE(first.RasApiLoaded());
  EXPECT_FALSE(second.RasApiLoaded());
  EXPECT_EQ(world.libraries.LoadCount("RASAPI32.DLL"), 0);

  world.app.reset();
  EXPECT_EQ(world.libraries.FreeCount("RASAPI32.DLL"), 0);  // nothing loaded, nothing freed
}

// ---- local host ----------------------------------------------------------------

TEST_F(RasMonitorTest, LocalHostAndAddressAreReadAtConstruction) {
  world.sockets.address = std::array<uint8_t, 4>{200, 1, 255, 7};
  TRasMonitor& m = Make();
  EXPECT_EQ(m.LocalHost(), "quindle-pc");
  EXPECT_EQ(m.LocalIP(), "200.1.255.7");

  world.sockets.hostName = "renamed";
  EXPECT_EQ(m.LocalHost(), "quindle-pc");  // never recomputed
  EXPECT_EQ(m.GetLocalHost(), "renamed");
}

TEST_F(RasMonitorTest, UnresolvableOrMissingHostNameGivesEmptyTexts) {
  world.sockets.address = std::nullopt;
  TRasMonitor& unresolved = Make();
  EXPECT_EQ(unresolved.LocalHost(), "quindle-pc");
  EXPECT_EQ(unresolved.LocalIP(), "");

  world.sockets.hostNameFails = true;
  TRasMonitor& nameless = Make();
  EXPECT_EQ(nameless.LocalHost(), "");
  EXPECT_EQ(nameless.LocalIP(), "");
}

}  // namespace
