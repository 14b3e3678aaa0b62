// The simulated RAS service called as the program calls it: record sizes and
// buffer rules, handles after a hang-up, scripted dials, drops, projections,
// error texts, and the notifier on a thread of the service's own.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "SimHarness.h"

namespace {

const char* const kBook = R"(
[Up]
Script=0:100, 2:400, 0x2000:500
DropAfter=40
ClientIP=10.1.1.2
ServerIP=10.1.1.1
HangUpDelay=200

[Flaky]
Password=pw
Script=0:10, 5:10, 0x2000:10
FailCode=691
FailAt=5
FailCount=2

[Dead]
ImmediateError=797
)";

class RasSimServiceTest : public ::testing::Test {
 protected:
  RasSimServiceTest() : sim(world, kBook) {}
  TRasSimService& S() { return *sim.service; }

  uint32_t Dial(const std::string& entry, HRASCONN* handle, void* notifier = nullptr) {
    RASDIALPARAMSA p{};
    p.dwSize = sizeof p;
    std::strcpy(p.szEntryName, entry.c_str());
    return S().RasDialA(nullptr, nullptr, &p, 0, notifier, handle);
  }
  uint32_t Status(HRASCONN h, RASCONNSTATUSA* st) {
    *st = RASCONNSTATUSA{};
    st->dwSize = sizeof *st;
    return S().RasGetConnectStatusA(h, st);
  }
  std::vector<std::string> Listed() {
    std::vector<RASCONNA> conns(8);
    conns[0].dwSize = sizeof(RASCONNA);
    uint32_t bytes = 8 * sizeof(RASCONNA), count = 0;
    EXPECT_EQ(0u, S().RasEnumConnectionsA(conns.data(), &bytes, &count));
    std::vector<std::string> names;
    for (uint32_t i = 0; i < count; ++i) names.emplace_back(conns[i].szEntryName);
    return names;
  }

  TTestWorld world;
  TSimHarness sim;
};

// ---------------------------------------------------------------- records

TEST_F(RasSimServiceTest, EntryListingFollowsTheBufferRules) {
  std::vector<RASENTRYNAMEA> names(3);
  uint32_t bytes = 3 * sizeof(RASENTRYNAMEA), count = 0;
  names[0].dwSize = 100;
  EXPECT_EQ(632u, S().RasEnumEntriesA(nullptr, nullptr, names.data(), &bytes, &count));
  names[0].dwSize = sizeof(RASENTRYNAMEA);
  bytes = 2 * sizeof(RASENTRYNAMEA);
  EXPECT_EQ(603u, S().RasEnumEntriesA(nullptr, nullptr, names.data(), &bytes, &count));
  EXPECT_EQ(3 * sizeof(RASENTRYNAMEA), bytes);  // what it would take
  EXPECT_EQ(3u, count);
  EXPECT_EQ(0u, S().RasEnumEntriesA(nullptr, nullptr, names.data(), &bytes, &count));
  EXPECT_EQ(3u, count);
  EXPECT_STREQ("Up", names[0].szEntryName);
  EXPECT_STREQ("Dead", names[2].szEntryName);
}

TEST_F(RasSimServiceTest, ConnectionListingAcceptsOnlyThisBuildsRecord) {
  std::vector<RASCONNA> conns(2);
  uint32_t bytes = 2 * sizeof(RASCONNA), count = 7;
  for (uint32_t size : {412u, 416u, 0u, 1052u}) {
    conns[0].dwSize = size;
    uint32_t r = S().RasEnumConnectionsA(conns.data(), &bytes, &count);
    EXPECT_EQ(size == sizeof(RASCONNA) ? 0u : 632u, r) << size;
  }
  EXPECT_EQ(0u, count);
  HRASCONN a = 0, b = 0;
  Dial("Up", &a);
  Dial("Up", &b);
  bytes = sizeof(RASCONNA);
  conns[0].dwSize = sizeof(RASCONNA);
  EXPECT_EQ(603u, S().RasEnumConnectionsA(conns.data(), &bytes, &count));
  EXPECT_EQ(2 * sizeof(RASCONNA), bytes);
}

TEST_F(RasSimServiceTest, UnknownEntriesAndWrongSizes) {
  RASDIALPARAMSA p{};
  p.dwSize = sizeof p;
  std::strcpy(p.szEntryName, "Nowhere");
  int32_t saved = 0;
  EXPECT_EQ(623u, S().RasGetEntryDialParamsA(nullptr, &p, &saved));
  EXPECT_EQ(623u, S().RasSetEntryDialParamsA(nullptr, &p, 0));
  HRASCONN h = 0;
  EXPECT_EQ(623u, S().RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
  p.dwSize = 1000;
  std::strcpy(p.szEntryName, "Up");
  EXPECT_EQ(632u, S().RasGetEntryDialParamsA(nullptr, &p, &saved));
  RASCONNSTATUSA st{};
  st.dwSize = 64;
  EXPECT_EQ(632u, S().RasGetConnectStatusA(0x100, &st));
}

// A caller that fills the user-name field to its end leaves no NUL: the
// value is one character too long to store, and the call says so instead of
// failing inside the service.
TEST_F(RasSimServiceTest, AnUnterminatedUserNameIsAnInvalidParameterAndChangesNothing) {
  RASDIALPARAMSA p{};
  p.dwSize = sizeof p;
  std::strcpy(p.szEntryName, "flaky");
  std::memset(p.szUserName, 'u', sizeof p.szUserName);
  std::strcpy(p.szPassword, "new");
  EXPECT_EQ(87u, S().RasSetEntryDialParamsA(nullptr, &p, 0));
  TSimPhoneBook book = S().Book();
  EXPECT_EQ("pw", book.Find("flaky")->password.value_or("<none>"));
  EXPECT_NE(std::string(sizeof p.szUserName, 'u'), book.Find("flaky")->userName);
}

TEST_F(RasSimServiceTest, ThePasswordFlagTellsWhetherOneIsStored) {
  RASDIALPARAMSA p{};
  p.dwSize = sizeof p;
  std::strcpy(p.szEntryName, "flaky");
  int32_t saved = 0;
  ASSERT_EQ(0u, S().RasGetEntryDialParamsA(nullptr, &p, &saved));
  EXPECT_EQ(1, saved);
  EXPECT_STREQ("pw", p.szPassword);
  ASSERT_EQ(0u, S().RasSetEntryDialParamsA(nullptr, &p, 1));  // remove it
  ASSERT_EQ(0u, S().RasGetEntryDialParamsA(nullptr, &p, &saved));
  EXPECT_EQ(0, saved);
  EXPECT_STREQ("", p.szPassword);
}

// ---------------------------------------------------------------- error texts

TEST_F(RasSimServiceTest, ErrorTextsForTheCommonCodesFitTheDialersBuffer) {
  for (uint32_t code : {603u, 619u, 623u, 632u, 678u, 680u, 691u, 797u}) {
    char buffer[100];
    std::memset(buffer, 0x55, sizeof buffer);
    ASSERT_EQ(0u, S().RasGetErrorStringA(code, buffer, sizeof buffer)) << code;
    size_t len = strnlen(buffer, sizeof buffer);
    EXPECT_GT(len, 5u) << code;
    EXPECT_LT(len, sizeof buffer) << code;
  }
  char buffer[100];
  S().RasGetErrorStringA(691, buffer, sizeof buffer);
  EXPECT_NE(nullptr, std::strstr(buffer, "Access was denied because the"));
  EXPECT_EQ(87u, S().RasGetErrorStringA(4242, buffer, sizeof buffer));
  EXPECT_EQ(122u, S().RasGetErrorStringA(691, buffer, 10));
}

// Windows 10 words its texts at greater length: 691 takes 197 bytes, more
// than the 100 a dialer of the classic days gave it. A buffer too small for
// the text fails with ERROR_INSUFFICIENT_BUFFER and is left as it was; the
// 512 characters Windows documents as always enough take every text.
TEST(RasSimErrorTexts, Windows10WordsItsTextsAtLengthAndASmallBufferGetsNone) {
  TTestWorld world;
  TSimHarness sim(world, "ErrorTexts=Windows10\nErrorText797=" + std::string(511, 'm') + "\n[A]\n");
  TRasSimService& s = *sim.service;
  char big[512];
  ASSERT_EQ(0u, s.RasGetErrorStringA(691, big, sizeof big));
  const std::string text = big;
  EXPECT_EQ(197u, text.size());
  EXPECT_EQ(0u,
            text.rfind("The remote connection was denied because the user name and password", 0));
  EXPECT_NE(text, SimErrorText(691));

  for (uint32_t size : {0u, 10u, 100u, 197u}) {
    char small[200];
    std::memset(small, 0x55, sizeof small);
    EXPECT_EQ(122u, s.RasGetErrorStringA(691, small, size)) << size;
    EXPECT_EQ(std::string(sizeof small, '\x55'), std::string(small, sizeof small)) << size;
  }
  char exact[198];
  ASSERT_EQ(0u, s.RasGetErrorStringA(691, exact, sizeof exact));
  EXPECT_EQ(text, exact);

  // Every text the service knows fits the documented buffer; 678 and 720
  // are longer than 100 bytes too.
  for (uint32_t code : {6u, 87u, 122u, 603u, 619u, 621u, 623u, 632u, 651u, 668u, 676u, 678u, 680u,
                        691u, 720u, 730u, 797u}) {
    ASSERT_EQ(0u, s.RasGetErrorStringA(code, big, sizeof big)) << code;
    if (code == 678 || code == 720 || code == 619) {
      EXPECT_GT(std::strlen(big), 100u) << code;
    }
  }
  // The phone book's own text for a code, as long as the buffer allows.
  ASSERT_EQ(0u, s.RasGetErrorStringA(797, big, sizeof big));
  EXPECT_EQ(std::string(511, 'm'), big);
  // 730 has no wording of today's: the classic one stays.
  ASSERT_EQ(0u, s.RasGetErrorStringA(730, big, sizeof big));
  EXPECT_STREQ(SimErrorText(730), big);
  EXPECT_EQ(87u, s.RasGetErrorStringA(4242, big, sizeof big));
}

TEST(RasSimErrorTexts, AnOwnTextReplacesTheClassicOneOrAddsACode) {
  TTestWorld world;
  TSimHarness sim(world, "ErrorText691=Go away.\nErrorText4242=Made up.\n[A]\n");
  char buffer[100];
  ASSERT_EQ(0u, sim.service->RasGetErrorStringA(691, buffer, sizeof buffer));
  EXPECT_STREQ("Go away.", buffer);
  ASSERT_EQ(0u, sim.service->RasGetErrorStringA(4242, buffer, sizeof buffer));
  EXPECT_STREQ("Made up.", buffer);
  ASSERT_EQ(0u, sim.service->RasGetErrorStringA(678, buffer, sizeof buffer));
  EXPECT_STREQ(SimErrorText(678), buffer);  // the rest keep the wording asked for
}

// ---------------------------------------------------------------- other programs

const char* const kOthersBook = R"(
[Corp VPN]
Foreign=1
DeviceType=vpn
DeviceName=WAN Miniport (IKEv2)
ClientIP=172.16.0.9
HangUpDelay=100

[Office]
Script=0:100, 0x2000:100

[Dial-up Tool]
Foreign=1
UpFor=10
DownFor=5
)";

TEST(RasSimOtherPrograms, AConnectionOfAnotherProgramIsListedFirstAndItsHangUpsAreCounted) {
  TTestWorld world;
  TSimHarness sim(world, kOthersBook);
  TRasSimService& s = *sim.service;
  auto listed = [&] {
    std::vector<RASCONNA> conns(8);
    conns[0].dwSize = sizeof(RASCONNA);
    uint32_t bytes = 8 * sizeof(RASCONNA), count = 0;
    EXPECT_EQ(0u, s.RasEnumConnectionsA(conns.data(), &bytes, &count));
    conns.resize(count);
    return conns;
  };
  RASDIALPARAMSA p{};
  p.dwSize = sizeof p;
  std::strcpy(p.szEntryName, "Office");
  HRASCONN office = 0;
  ASSERT_EQ(0u, s.RasDialA(nullptr, nullptr, &p, 0, nullptr, &office));

  std::vector<RASCONNA> conns = listed();
  ASSERT_EQ(3u, conns.size());
  EXPECT_STREQ("Corp VPN", conns[0].szEntryName);
  EXPECT_STREQ("vpn", conns[0].szDeviceType);
  EXPECT_STREQ("Dial-up Tool", conns[1].szEntryName);
  EXPECT_STREQ("Office", conns[2].szEntryName);
  const HRASCONN listedOffice = conns[2].hrasconn;  // a copy: the record is packed
  EXPECT_EQ(office, listedOffice);
  const HRASCONN vpn = conns[0].hrasconn;
  RASCONNSTATUSA st{};
  st.dwSize = sizeof st;
  ASSERT_EQ(0u, s.RasGetConnectStatusA(vpn, &st));
  EXPECT_EQ(RASCS_Connected, st.rasconnstate);
  RASPPPIPA ip{};
  ip.dwSize = sizeof ip;
  uint32_t size = sizeof ip;
  ASSERT_EQ(0u, s.RasGetProjectionInfoA(vpn, RASP_PppIp, &ip, &size));
  EXPECT_STREQ("172.16.0.9", ip.szIpAddress);

  // Not among the service's entries, and not to be dialled through it.
  std::vector<RASENTRYNAMEA> names(3);
  names[0].dwSize = sizeof(RASENTRYNAMEA);
  uint32_t bytes = 3 * sizeof(RASENTRYNAMEA), count = 0;
  ASSERT_EQ(0u, s.RasEnumEntriesA(nullptr, nullptr, names.data(), &bytes, &count));
  ASSERT_EQ(1u, count);
  EXPECT_STREQ("Office", names[0].szEntryName);
  std::strcpy(p.szEntryName, "corp vpn");
  HRASCONN h = 0;
  EXPECT_EQ(623u, s.RasDialA(nullptr, nullptr, &p, 0, nullptr, &h));
  EXPECT_EQ(0, s.DialCount("Corp VPN"));

  EXPECT_EQ(0, s.HangUpCount("Corp VPN"));
  EXPECT_EQ(0u, s.RasHangUpA(office));
  EXPECT_EQ(1, s.HangUpCount("OFFICE"));
  EXPECT_EQ(0, s.HangUpCount("Corp VPN"));
  EXPECT_EQ(0u, s.RasHangUpA(vpn));
  EXPECT_EQ(1, s.HangUpCount("Corp VPN"));
  conns = listed();
  ASSERT_EQ(1u, conns.size());
  EXPECT_STREQ("Dial-up Tool", conns[0].szEntryName);
  world.backend.Advance(100);
  EXPECT_EQ(6u, s.RasGetConnectStatusA(vpn, &st));
  // Hung up, it does not come back.
  world.backend.Advance(60000);
  for (const RASCONNA& c : listed()) EXPECT_STRNE("Corp VPN", c.szEntryName);
  EXPECT_EQ(0, s.HandleCount());  // only dialled connections hold the service's handles
}

TEST(RasSimOtherPrograms, AConnectionThatComesAndGoesHasANewHandleEachTime) {
  TTestWorld world;
  TSimHarness sim(world, kOthersBook);
  TRasSimService& s = *sim.service;
  auto tool = [&]() -> HRASCONN {
    std::vector<RASCONNA> conns(8);
    conns[0].dwSize = sizeof(RASCONNA);
    uint32_t bytes = 8 * sizeof(RASCONNA), count = 0;
    EXPECT_EQ(0u, s.RasEnumConnectionsA(conns.data(), &bytes, &count));
    for (uint32_t i = 0; i < count; ++i)
      if (std::string(conns[i].szEntryName) == "Dial-up Tool") return conns[i].hrasconn;
    return 0;
  };
  const HRASCONN first = tool();
  ASSERT_NE(0u, first);
  world.backend.Advance(9999);
  EXPECT_EQ(first, tool());
  world.backend.Advance(1);
  EXPECT_EQ(0u, tool());
  RASCONNSTATUSA st{};
  st.dwSize = sizeof st;
  EXPECT_EQ(6u, s.RasGetConnectStatusA(first, &st));  // its program hung it up
  world.backend.Advance(5000);
  const HRASCONN second = tool();
  EXPECT_NE(0u, second);
  EXPECT_NE(first, second);
  world.backend.Advance(10000);
  EXPECT_EQ(0u, tool());
  EXPECT_EQ(0, s.HangUpCount("Dial-up Tool"));
}

// Every dial that made a handle owes a hang-up, a failed one too; the count
// and the report a test in another process reads say how many are owed.
TEST_F(RasSimServiceTest, HandlesNeverHungUpAreCountedFailedDialsIncluded) {
  HRASCONN failed = 0, up = 0, none = 0;
  EXPECT_EQ(691u, Dial("Flaky", &failed));
  EXPECT_EQ(0u, Dial("Up", &up));
  EXPECT_EQ(797u, Dial("Dead", &none));
  EXPECT_EQ(2, S().HandlesNotHungUp());
  EXPECT_EQ(
      "NotHungUp=2\n[Up]\nDials=1\nHangUps=0\n[Flaky]\nDials=1\nHangUps=0\n"
      "[Dead]\nDials=1\nHangUps=0\n",
      S().CountsReport());
  EXPECT_EQ(0u, S().RasHangUpA(failed));
  EXPECT_EQ(1, S().HandlesNotHungUp());
  EXPECT_EQ(1, S().HangUpCount("flaky"));
  EXPECT_EQ(6u, S().RasHangUpA(failed));  // gone at once: not found, not counted
  EXPECT_EQ(1, S().HangUpCount("flaky"));
  world.backend.Advance(40000);  // Up drops: a dropped line still owes its hang-up
  EXPECT_EQ(1, S().HandlesNotHungUp());
  EXPECT_EQ(0u, S().RasHangUpA(up));
  EXPECT_EQ(0u, S().RasHangUpA(up));  // a second one while it goes counts too
  EXPECT_EQ(2, S().HangUpCount("Up"));
  EXPECT_EQ(0, S().HandlesNotHungUp());
  EXPECT_EQ(0u, S().CountsReport().rfind("NotHungUp=0\n", 0));
}

// ---------------------------------------------------------------- dials

TEST_F(RasSimServiceTest, ABlockingDialTakesTheScriptsTime) {
  HRASCONN h = 0;
  int64_t before = world.clock.NowMs();
  EXPECT_EQ(0u, Dial("Up", &h));
  EXPECT_EQ(1000, world.clock.NowMs() - before);
  EXPECT_NE(0u, h);
  RASCONNSTATUSA st;
  EXPECT_EQ(0u, Status(h, &st));
  EXPECT_EQ(RASCS_Connected, st.rasconnstate);
  EXPECT_STREQ("modem", st.szDeviceType);
}

TEST_F(RasSimServiceTest, TheFirstDialsFailThenTheEntryConnects) {
  HRASCONN h = 0;
  EXPECT_EQ(691u, Dial("Flaky", &h));
  RASCONNSTATUSA st;
  EXPECT_EQ(0u, Status(h, &st));  // the failed connection keeps its handle until hung up
  EXPECT_EQ(5u, st.rasconnstate);
  EXPECT_EQ(691u, st.dwError);
  EXPECT_TRUE(Listed().empty());
  EXPECT_EQ(691u, Dial("Flaky", &h));
  EXPECT_EQ(0u, Dial("Flaky", &h));
  EXPECT_EQ(0u, Dial("Flaky", &h));
  EXPECT_EQ(4, S().DialCount("FLAKY"));
}

TEST(RasSimFailures, EveryNthDialFailsAndTheOthersConnect) {
  TTestWorld world;
  TSimHarness sim(world,
                  "[Now And Then]\nScript=0:10, 5:10, 0x2000:10\n"
                  "FailCode=678\nFailAt=5\nFailEvery=3\n");
  std::string outcomes;
  for (int i = 0; i < 7; ++i) {
    RASDIALPARAMSA p{};
    p.dwSize = sizeof p;
    std::strcpy(p.szEntryName, "Now And Then");
    HRASCONN h = 0;
    uint32_t code = sim.service->RasDialA(nullptr, nullptr, &p, 0, nullptr, &h);
    outcomes += code == 0 ? '+' : code == 678 ? 'x' : '?';
    EXPECT_EQ(0u, sim.service->RasHangUpA(h));
  }
  EXPECT_EQ("++x++x+", outcomes);
}

TEST_F(RasSimServiceTest, AnImmediateErrorGivesNoHandle) {
  HRASCONN h = 0x55;
  EXPECT_EQ(797u, Dial("Dead", &h));
  EXPECT_EQ(0u, h);
  EXPECT_EQ(0, S().HandleCount());
}

TEST_F(RasSimServiceTest, AHandleIsInvalidOnceTheHangUpHasRunItsCourse) {
  HRASCONN h = 0;
  Dial("Up", &h);
  EXPECT_EQ(0u, S().RasHangUpA(h));
  EXPECT_TRUE(Listed().empty());
  RASCONNSTATUSA st;
  EXPECT_EQ(0u, Status(h, &st));  // still going away
  EXPECT_EQ(RASCS_Disconnected, st.rasconnstate);
  world.backend.Advance(200);
  EXPECT_EQ(6u, Status(h, &st));
  EXPECT_EQ(6u, S().RasHangUpA(h));
  EXPECT_EQ(6u, S().RasHangUpA(0));
}

TEST_F(RasSimServiceTest, TheLineDropsAfterTheSetTime) {
  HRASCONN h = 0;
  Dial("Up", &h);
  world.backend.Advance(39999);
  EXPECT_EQ(std::vector<std::string>{"Up"}, Listed());
  world.backend.Advance(1);
  EXPECT_TRUE(Listed().empty());
  RASCONNSTATUSA st;
  ASSERT_EQ(0u, Status(h, &st));
  EXPECT_EQ(RASCS_Disconnected, st.rasconnstate);
  EXPECT_EQ(619u, st.dwError);
  S().RasHangUpA(h);
  world.backend.Advance(200);
  EXPECT_EQ(6u, Status(h, &st));
}

void RASAPI_CALL Ignore(uint32_t, RASCONNSTATE, uint32_t) {}

TEST_F(RasSimServiceTest, ProjectionIsThereOnceConnected) {
  HRASCONN h = 0;
  RASPPPIPA ip{};
  ip.dwSize = sizeof ip;
  uint32_t size = sizeof ip;
  ASSERT_EQ(0u, Dial("Up", &h, reinterpret_cast<void*>(&Ignore)));
  EXPECT_EQ(730u, S().RasGetProjectionInfoA(h, RASP_PppIp, &ip, &size));  // still dialling
  world.backend.Advance(1000);
  EXPECT_EQ(0u, S().RasGetProjectionInfoA(h, RASP_PppIp, &ip, &size));
  EXPECT_STREQ("10.1.1.2", ip.szIpAddress);
  EXPECT_STREQ("10.1.1.1", ip.szServerIpAddress);
  EXPECT_EQ(720u, S().RasGetProjectionInfoA(h, 0x803F, &ip, &size));
  size = 20;
  EXPECT_EQ(603u, S().RasGetProjectionInfoA(h, RASP_PppIp, &ip, &size));
  EXPECT_EQ(sizeof(RASPPPIPA), size);
  EXPECT_EQ(6u, S().RasGetProjectionInfoA(0x7777, RASP_PppIp, &ip, &size));
}

// ---------------------------------------------------------------- notifier

std::mutex gMutex;
std::vector<std::pair<uint32_t, uint32_t>> gSeen;
std::vector<std::thread::id> gThreads;
void RASAPI_CALL Record(uint32_t message, RASCONNSTATE state, uint32_t error) {
  std::lock_guard lock(gMutex);
  gSeen.emplace_back(state, error);
  gThreads.push_back(std::this_thread::get_id());
}

TEST_F(RasSimServiceTest, TheNotifierIsCalledInOrderOnTheServicesThread) {
  gSeen.clear();
  gThreads.clear();
  HRASCONN h = 0;
  ASSERT_EQ(0u, Dial("Up", &h, reinterpret_cast<void*>(&Record)));
  world.backend.Advance(99);
  world.backend.Settle();
  {
    std::lock_guard lock(gMutex);
    EXPECT_TRUE(gSeen.empty());
  }
  world.backend.Advance(901);
  std::lock_guard lock(gMutex);
  EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}, {2, 0}, {0x2000, 0}}), gSeen);
  for (auto id : gThreads) EXPECT_NE(std::this_thread::get_id(), id);
}

TEST_F(RasSimServiceTest, AFailingDialReportsItsCodeAtTheFailingState) {
  gSeen.clear();
  HRASCONN h = 0;
  Dial("Flaky", &h, reinterpret_cast<void*>(&Record));
  world.backend.Advance(100);
  std::lock_guard lock(gMutex);
  EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}, {5, 691}}), gSeen);
}

TEST_F(RasSimServiceTest, HangingUpStopsTheScript) {
  gSeen.clear();
  HRASCONN h = 0;
  Dial("Up", &h, reinterpret_cast<void*>(&Record));
  world.backend.Advance(150);
  S().RasHangUpA(h);
  world.backend.Advance(5000);
  std::lock_guard lock(gMutex);
  EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}}), gSeen);
}

TEST_F(RasSimServiceTest, OnlyTheFirstNotifierTypeIsOffered) {
  RASDIALPARAMSA p{};
  p.dwSize = sizeof p;
  std::strcpy(p.szEntryName, "Up");
  HRASCONN h = 0;
  EXPECT_EQ(87u, S().RasDialA(nullptr, nullptr, &p, 1, reinterpret_cast<void*>(&Record), &h));
}

// ---------------------------------------------------------------- real time

TEST(RasSimScheduler, RealTimeWorkRunsInOrderOnItsOwnThread) {
  TRealTimeScheduler scheduler;
  std::mutex m;
  std::condition_variable done;
  std::vector<int> order;
  std::thread::id runner;
  uint64_t now = scheduler.NowMs();
  for (int i = 0; i < 5; ++i)
    scheduler.RunAt(now, [&, i] {
      std::lock_guard lock(m);
      order.push_back(i);
      runner = std::this_thread::get_id();
      done.notify_all();
    });
  std::unique_lock lock(m);
  ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(10), [&] { return order.size() == 5; }));
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), order);
  EXPECT_NE(std::this_thread::get_id(), runner);
}

TEST(RasSimDemo, TheDemoPhoneBookShowsTheRange) {
  std::filesystem::path demo =
      std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "demo" / "phonebook.ini";
  TSimPhoneBook book = TSimPhoneBook::Load(demo.string());
  ASSERT_FALSE(book.Entries().empty()) << demo;
  TTestWorld world;
  std::string text = book.Text();
  TSimHarness sim(world, text);
  auto dial = [&](const char* entry) {
    RASDIALPARAMSA p{};
    p.dwSize = sizeof p;
    std::strcpy(p.szEntryName, entry);
    HRASCONN h = 0;
    return sim.service->RasDialA(nullptr, nullptr, &p, 0, nullptr, &h);
  };
  EXPECT_EQ(0u, dial("Quindle Online"));
  EXPECT_EQ(678u, dial("Always Busy"));
  EXPECT_EQ(678u, dial("Always Busy"));
  EXPECT_EQ(797u, dial("No Modem"));
  EXPECT_EQ(691u, dial("Picky Server"));
  EXPECT_EQ(691u, dial("Picky Server"));
  EXPECT_EQ(0u, dial("Picky Server"));
  EXPECT_EQ(0u, dial("Evening Line"));
  auto listed = [&] {
    std::vector<RASCONNA> conns(8);
    conns[0].dwSize = sizeof(RASCONNA);
    uint32_t bytes = 8 * sizeof(RASCONNA), count = 0;
    sim.service->RasEnumConnectionsA(conns.data(), &bytes, &count);
    return count;
  };
  EXPECT_EQ(3u, listed());
  world.backend.Advance(40000);
  EXPECT_EQ(2u, listed());  // the evening line has dropped
}

}  // namespace
