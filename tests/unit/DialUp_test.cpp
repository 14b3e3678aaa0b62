// TDialUp against the simulated service: dial event orders in both modes and
// every failure path, the hand-off of notifications to the GUI thread, the
// hang-up wait, the entry list and the stored credentials.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "SimHarness.h"
#include "Watchdog.h"
#include "dialup/DialUp.h"
#include "platform/Errors.h"

namespace {

const char* const kBook = R"(; test phone book
[Home]
PhoneNumber=555 0100
UserName=alice
Password=secret
Script=0:100, 1:100, 2:1000, 14:200, 0x2000:100

[Office]
UserName=bob
Script=0:10, 0x2000:10

[Busy]
Script=0:100, 2:500, 0x2000:0
FailCode=678
FailAt=2
HangUpDelay=300

[Denied]
Script=0:10, 5:10, 0x2000:10
FailCode=691
FailAt=5

[Broken]
ImmediateError=797
)";

std::string ServiceText(uint32_t code) {
  const char* t = SimErrorText(code);
  return t ? t : "";
}

class DialUpTest : public ::testing::Test {
 protected:
  DialUpTest() : sim(world, kBook) {
    dialer = new TDialUp(world.app.get());
    dialer->OnDialing = [this](TObject* s) { Log(s, "Dialing"); };
    dialer->OnConnect = [this](TObject* s) { Log(s, "Connect"); };
    dialer->OnNotConnected = [this](TObject* s, int32_t code, const std::string& text) {
      Log(s, "NotConnected " + std::to_string(code) + " " + text);
    };
    dialer->OnError = [this](TObject* s, TDialStep step, int32_t code, const std::string& text) {
      Log(s, std::string(step == dsReadParams ? "Error reading parameters " : "Error dialling ") +
                 std::to_string(code) + " " + text);
    };
    dialer->OnAsyncEvent = [this](TObject* s, int32_t state, int32_t error,
                                  const std::string& text) {
      EXPECT_EQ(std::this_thread::get_id(), guiThread);
      Log(s, "Async " + std::to_string(state) + " " + std::to_string(error) + " " + text);
    };
  }

  void Log(TObject* sender, const std::string& line) {
    EXPECT_EQ(sender, dialer);
    events.push_back(line);
  }

  int DialEntry(const std::string& entry, TDialMode mode) {
    dialer->SetEntry(entry);
    dialer->SetDialMode(mode);
    return dialer->Dial();
  }

  // Entry names of the connections the service lists.
  std::vector<std::string> Listed() {
    std::vector<RASCONNA> conns(8);
    conns[0].dwSize = sizeof(RASCONNA);
    uint32_t bytes = 8 * sizeof(RASCONNA), count = 0;
    EXPECT_EQ(0u, sim.service->RasEnumConnectionsA(conns.data(), &bytes, &count));
    std::vector<std::string> names;
    for (uint32_t i = 0; i < count; ++i) names.emplace_back(conns[i].szEntryName);
    return names;
  }

  TTestWorld world;
  TSimHarness sim;
  TDialUp* dialer = nullptr;
  std::vector<std::string> events;
  std::thread::id guiThread = std::this_thread::get_id();
};

using Events = std::vector<std::string>;

// ---------------------------------------------------------------- async mode

TEST_F(DialUpTest, AsyncDialRelaysEveryStateInOrderOnTheGuiThread) {
  EXPECT_EQ(0, DialEntry("Home", dmAsync));
  EXPECT_EQ(Events{"Dialing"}, events);  // the dial goes on in the background
  world.backend.Advance(1500);
  EXPECT_EQ(
      (Events{"Dialing", "Async 0 0 Opening port", "Async 1 0 Port opened",
              "Async 2 0 Connecting device", "Async 14 0 Authenticated", "Async 8192 0 Connected"}),
      events);
  EXPECT_EQ(Events{"Home"}, Listed());
}

TEST_F(DialUpTest, AsyncFailureCarriesTheServiceTextAndNothingElse) {
  EXPECT_EQ(0, DialEntry("Busy", dmAsync));
  world.backend.Advance(5000);
  EXPECT_EQ((Events{"Dialing", "Async 0 0 Opening port", "Async 2 678 " + ServiceText(678)}),
            events);
}

TEST_F(DialUpTest, AsyncAuthenticationFailureTextNamesTheDenial) {
  DialEntry("Denied", dmAsync);
  world.backend.Advance(1000);
  ASSERT_EQ(3u, events.size());
  EXPECT_NE(std::string::npos, events.back().find("Async 5 691 Access was denied because the"));
}

TEST_F(DialUpTest, AsyncImmediateErrorRaisesOnErrorNotNotConnected) {
  EXPECT_EQ(797, DialEntry("Broken", dmAsync));
  world.backend.Advance(5000);
  EXPECT_EQ((Events{"Dialing", "Error dialling 797 " + ServiceText(797)}), events);
}

TEST_F(DialUpTest, CzechStatesButServiceErrorTexts) {
  dialer->SetLanguage(Czech);
  DialEntry("Office", dmAsync);
  world.backend.Advance(100);
  EXPECT_EQ((Events{"Dialing", "Async 0 0 Otev\xEDr\xE1 se port", "Async 8192 0 Spojeno"}), events);
  events.clear();
  DialEntry("Denied", dmAsync);
  world.backend.Advance(100);
  EXPECT_EQ("Async 5 691 " + ServiceText(691), events.back());
}

// ---------------------------------------------------------------- sync mode

TEST_F(DialUpTest, SyncDialBlocksForTheWholeDialAndConnects) {
  int64_t before = world.clock.NowMs();
  EXPECT_EQ(0, DialEntry("Home", dmSync));
  EXPECT_EQ(1500, world.clock.NowMs() - before);
  EXPECT_EQ((Events{"Dialing", "Connect"}), events);
  EXPECT_EQ(Events{"Home"}, Listed());
}

TEST_F(DialUpTest, SyncFailureHangsUpAndWaitsBeforeNotConnected) {
  int ticks = 0;
  world.backend.StartTimer(50, [&] { ++ticks; });
  int handlesAtReport = -1;
  dialer->OnNotConnected = [&](TObject*, int32_t code, const std::string& text) {
    handlesAtReport = sim.service->HandleCount();
    events.push_back("NotConnected " + std::to_string(code) + " " + text);
  };
  int64_t before = world.clock.NowMs();
  EXPECT_EQ(678, DialEntry("Busy", dmSync));
  EXPECT_EQ((Events{"Dialing", "NotConnected 678 " + ServiceText(678)}), events);
  EXPECT_EQ(0, handlesAtReport);  // the failed connection was gone before the report
  // 600 ms of dialling, then the 300 ms hang-up, waited for with messages processed.
  EXPECT_GE(world.clock.NowMs() - before, 900);
  EXPECT_GE(ticks, 5);
}

// ---------------------------------------------------------------- both modes

TEST_F(DialUpTest, UnknownEntryRaisesOnlyOnErrorInBothModes) {
  for (TDialMode mode : {dmAsync, dmSync}) {
    events.clear();
    EXPECT_EQ(623, DialEntry("Nowhere", mode));
    world.backend.Advance(1000);
    EXPECT_EQ(Events{"Error reading parameters 623 GetEntryDialParams failed"}, events);
  }
}

TEST_F(DialUpTest, EntryNameLongerThanTheRecordIsAnUnknownEntry) {
  EXPECT_EQ(623, DialEntry(std::string(300, 'H'), dmAsync));
  EXPECT_EQ(Events{"Error reading parameters 623 GetEntryDialParams failed"}, events);
}

TEST_F(DialUpTest, FirstDialStartsAtOnceAndEachDialEndsThePreviousConnection) {
  // Nothing was dialled yet: the hang-up of handle 0 fails and is not waited for.
  int64_t before = world.clock.NowMs();
  DialEntry("Home", dmSync);
  EXPECT_EQ(1500, world.clock.NowMs() - before);
  DialEntry("Office", dmSync);
  EXPECT_EQ(Events{"Office"}, Listed());
  EXPECT_EQ(1, sim.service->HandleCount());
}

// ---------------------------------------------------------------- hand-off

TEST(DialUpHandOff, ManyRapidNotificationsArriveInOrderOneAtATime) {
  // 400 states reported with no time between them.
  std::string script;
  std::vector<int32_t> expected;
  for (int i = 0; i < 400; ++i) {
    int32_t state = i % 22;
    script += std::to_string(state) + ":0,";
    expected.push_back(state);
  }
  script += "0x2000:0";
  expected.push_back(0x2000);
  TTestWorld world;
  TSimHarness sim(world, "[Fast]\nScript=" + script + "\n");
  auto* dialer = new TDialUp(world.app.get());
  std::vector<int32_t> got;
  bool inHandler = false;
  int nested = 0;
  dialer->OnAsyncEvent = [&](TObject*, int32_t state, int32_t, const std::string&) {
    if (inHandler) ++nested;
    inHandler = true;
    got.push_back(state);
    // A handler that pumps messages must not see the next notification inside it.
    world.backend.ProcessMessages();
    inHandler = false;
  };
  dialer->SetEntry("Fast");
  ASSERT_EQ(0, dialer->Dial());
  world.backend.Advance(10);
  EXPECT_EQ(expected, got);
  EXPECT_EQ(0, nested);
}

TEST(DialUpHandOff, AHandlerThatThrowsIsReportedAndTheNextNotificationStillArrives) {
  TTestWorld world;
  TSimHarness sim(world, "[Two]\nScript=0:10,0x2000:10\n");
  auto* dialer = new TDialUp(world.app.get());
  std::vector<int32_t> got;
  dialer->OnAsyncEvent = [&](TObject*, int32_t state, int32_t, const std::string&) {
    got.push_back(state);
    if (state == 0) throw EQuindleError("handler failed");
  };
  dialer->SetEntry("Two");
  dialer->Dial();
  world.backend.Advance(100);
  EXPECT_EQ((std::vector<int32_t>{0, 0x2000}), got);
  EXPECT_EQ(std::vector<std::string>{"handler failed"}, world.MessageTexts());
}

// A service that keeps the dialer's notifier so that a test can call it from
// threads of its own, at the moments it chooses.
std::atomic<RASDIALFUNC> gNotifier{nullptr};
uint32_t RASAPI_CALL KeepNotifier(void*, const char*, RASDIALPARAMSA*, uint32_t, void* notifier,
                                  HRASCONN* conn) {
  gNotifier = reinterpret_cast<RASDIALFUNC>(notifier);
  *conn = 0x77;
  return 0;
}

void NotifyFromAnotherThread(int32_t state) {
  std::thread t([state] { gNotifier.load()(0xCCCD, state, 0); });
  t.join();
}

TEST(DialUpHandOff, LateNotificationsNeverReachADestroyedDialer) {
  TTestWorld world;
  TSimHarness sim(world, "[Office]\n");
  world.libraries.Add("rasapi32.dll", "RasDialA", &KeepNotifier);
  auto* dialer = new TDialUp(world.app.get());
  std::vector<int32_t> got;
  dialer->OnAsyncEvent = [&](TObject*, int32_t state, int32_t, const std::string&) {
    got.push_back(state);
  };
  dialer->SetEntry("Office");
  ASSERT_EQ(0, dialer->Dial());

  NotifyFromAnotherThread(1);
  world.backend.Settle();
  EXPECT_EQ(std::vector<int32_t>{1}, got);

  // State 2 fills the slot (its delivery is posted, not yet run); state 3
  // waits for the slot on another thread.
  NotifyFromAnotherThread(2);
  std::thread waiting([] { gNotifier.load()(0xCCCD, 3, 0); });
  delete dialer;
  waiting.join();              // released by the destruction, its notification dropped
  NotifyFromAnotherThread(4);  // no dialer any more: dropped at once
  world.backend.Settle();      // runs the posted delivery of state 2
  EXPECT_EQ(std::vector<int32_t>{1}, got);
}

TEST(DialUpHandOff, NotificationsGoToTheDialerThatDialledLast) {
  TTestWorld world;
  TSimHarness sim(world, "[Office]\n");
  world.libraries.Add("rasapi32.dll", "RasDialA", &KeepNotifier);
  auto* first = new TDialUp(world.app.get());
  auto* second = new TDialUp(world.app.get());
  std::vector<std::string> got;
  first->OnAsyncEvent = [&](TObject*, int32_t s, int32_t, const std::string&) {
    got.push_back("first " + std::to_string(s));
  };
  second->OnAsyncEvent = [&](TObject*, int32_t s, int32_t, const std::string&) {
    got.push_back("second " + std::to_string(s));
  };
  first->SetEntry("Office");
  second->SetEntry("Office");
  first->Dial();
  NotifyFromAnotherThread(0);
  second->Dial();
  NotifyFromAnotherThread(1);
  world.backend.Settle();
  EXPECT_EQ((std::vector<std::string>{"first 0", "second 1"}), got);
  // The first dialer going does not silence the second.
  delete first;
  NotifyFromAnotherThread(2);
  world.backend.Settle();
  EXPECT_EQ("second 2", got.back());
}

// Waits (on real time) until another thread's post waits for room.
bool PostWaitsForRoom(THeadlessBackend& backend) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (backend.PostsWaitingForRoom() == 0) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::yield();
  }
  return true;
}

// The GUI thread's queue is full while a notification is being posted (as
// Windows refuses posts past its limit): the service's thread waits for room,
// and the GUI thread, which alone empties the queue, is held up neither by a
// new Dial nor by the dialer's destruction. Once the queue has room again,
// every notification arrives, in order.
TEST(DialUpHandOff, AFullQueueHoldsUpNeitherDialNorTheDestructorAndLosesNoNotification) {
  TTestWorld world;
  TSimHarness sim(world, "[Office]\n");
  world.libraries.Add("rasapi32.dll", "RasDialA", &KeepNotifier);
  auto* dialer = new TDialUp(world.app.get());
  std::vector<int32_t> got;
  dialer->OnAsyncEvent = [&](TObject*, int32_t state, int32_t, const std::string&) {
    got.push_back(state);
  };
  dialer->SetEntry("Office");
  ASSERT_EQ(0, dialer->Dial());

  const std::vector<int32_t> states{0, 1, 14, 0x2000};
  world.backend.SetQueueFull(true);
  std::thread service([&] {
    for (int32_t state : states) gNotifier.load()(0xCCCD, state, 0);
  });
  ASSERT_TRUE(PostWaitsForRoom(world.backend));
  {
    TWatchdog watchdog([&] { world.backend.SetQueueFull(false); });
    EXPECT_EQ(0, dialer->Dial());
    EXPECT_FALSE(watchdog.Release()) << "Dial waited for room in the queue";
  }
  world.backend.SetQueueFull(false);
  // The service's thread posts the next only once the last was delivered.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (got.size() < states.size() && std::chrono::steady_clock::now() < giveUp) {
    world.backend.ProcessMessages();
    std::this_thread::yield();
  }
  service.join();
  EXPECT_EQ(states, got);

  // A notification waits for room when the dialer goes.
  world.backend.SetQueueFull(true);
  std::thread late([] { gNotifier.load()(0xCCCD, 3, 0); });
  ASSERT_TRUE(PostWaitsForRoom(world.backend));
  {
    TWatchdog watchdog([&] { world.backend.SetQueueFull(false); });
    delete dialer;
    EXPECT_FALSE(watchdog.Release()) << "the destructor waited for room in the queue";
  }
  world.backend.SetQueueFull(false);
  late.join();
  world.backend.Settle();  // the late delivery finds the dialer gone
  EXPECT_EQ(states, got);
}

// ---------------------------------------------------------------- hang-up

uint32_t RASAPI_CALL HangUpAccepted(HRASCONN) {
  return 0;
}
std::atomic<int> gStatusCalls{0};
uint32_t RASAPI_CALL StatusAlwaysUp(HRASCONN, RASCONNSTATUSA*) {
  ++gStatusCalls;
  return 0;
}

TEST_F(DialUpTest, HangUpWaitGivesUpOnAServiceThatNeverLetsGo) {
  world.libraries.Add("rasapi32.dll", "RasHangUpA", &HangUpAccepted);
  world.libraries.Add("rasapi32.dll", "RasGetConnectStatusA", &StatusAlwaysUp);
  gStatusCalls = 0;
  int ticks = 0;
  world.backend.StartTimer(1000, [&] { ++ticks; });
  int64_t before = world.clock.NowMs();
  EXPECT_EQ(0, dialer->HangUpConnection(0x4321));
  int64_t waited = world.clock.NowMs() - before;
  EXPECT_GE(waited, 10000);
  EXPECT_LT(waited, 10100);
  EXPECT_GE(ticks, 9);  // the GUI went on while waiting
  EXPECT_GT(gStatusCalls.load(), 100);
  // A later dial is not held up further than the cap.
  before = world.clock.NowMs();
  DialEntry("Office", dmSync);
  EXPECT_LT(world.clock.NowMs() - before, 10100 + 20);
}

TEST_F(DialUpTest, HangUpFailureIsReturnedWithoutWaiting) {
  int64_t before = world.clock.NowMs();
  EXPECT_EQ(6, dialer->HangUpConnection(0x9999));
  EXPECT_EQ(before, world.clock.NowMs());
}

// Windows keeps a failed dial's port until it is hung up: the dialer lets it
// go once the failure has been told, and waits for the handle to go.
TEST_F(DialUpTest, AFailedDialIsHungUpOnceToldAndItsHandleWaitedFor) {
  int handlesWhenTold = -1;
  int64_t toldAt = -1, releasedAt = -1;
  dialer->OnAsyncEvent = [&](TObject*, int32_t, int32_t error, const std::string&) {
    if (error == 0) return;
    handlesWhenTold = sim.service->HandleCount();
    toldAt = world.clock.NowMs();
  };
  world.backend.StartTimer(10, [&] {
    if (toldAt >= 0 && releasedAt < 0 && sim.service->HandleCount() == 0)
      releasedAt = world.clock.NowMs();
  });
  DialEntry("Busy", dmAsync);
  world.backend.Advance(2000);
  EXPECT_EQ(handlesWhenTold, 1);
  EXPECT_EQ(sim.service->HandleCount(), 0);
  EXPECT_GE(releasedAt - toldAt, 300);  // the service's hang-up time, waited out
  EXPECT_EQ(6, dialer->HangUp());       // nothing left to hang up
}

// ---------------------------------------------------------------- entries

TEST_F(DialUpTest, EntriesComeInTheServiceOrderWithOneEventEach) {
  std::vector<std::string> announced;
  dialer->OnEntryGet = [&](TObject*, const char* name) { announced.emplace_back(name); };
  EXPECT_EQ(0, dialer->GetEntries());
  std::vector<std::string> expected{"Home", "Office", "Busy", "Denied", "Broken"};
  EXPECT_EQ(expected, dialer->Entries().ToVector());
  EXPECT_EQ(expected, announced);
  // A second listing replaces the first.
  EXPECT_EQ(0, dialer->GetEntries());
  EXPECT_EQ(expected, dialer->Entries().ToVector());
}

TEST(DialUpEntries, EmptyPhoneBookGivesAnEmptyListAndNoEvents) {
  TTestWorld world;
  TSimHarness sim(world, "; nothing here\n");
  auto* dialer = new TDialUp(world.app.get());
  int announced = 0;
  dialer->OnEntryGet = [&](TObject*, const char*) { ++announced; };
  EXPECT_EQ(0, dialer->GetEntries());
  EXPECT_EQ(0, dialer->Entries().Count());
  EXPECT_EQ(0, announced);
}

TEST(DialUpEntries, MoreEntriesThanTheBufferHoldsGiveNoList) {
  std::string book;
  for (int i = 0; i < 101; ++i) book += "[Entry " + std::to_string(i) + "]\n";
  TTestWorld world;
  TSimHarness sim(world, book);
  auto* dialer = new TDialUp(world.app.get());
  EXPECT_EQ(603, dialer->GetEntries());
  EXPECT_EQ(0, dialer->Entries().Count());
}

// ---------------------------------------------------------------- credentials

TEST(DialUpCredentials, StoredNameAndPasswordReadBackAndReachTheFile) {
  TTempDir dir;
  std::string path = dir.File("phonebook.ini");
  TTestWorld world;
  TSimHarness sim(world, kBook, path);
  auto* dialer = new TDialUp(world.app.get());
  dialer->SetEntry("Office");
  std::string name, password = "untouched";
  EXPECT_EQ(0, dialer->GetUsername(name));
  EXPECT_EQ("bob", name);
  EXPECT_EQ(0, dialer->GetPassword(password));
  EXPECT_EQ("", password);  // none saved

  EXPECT_EQ(0, dialer->SetUsername("carol"));
  EXPECT_EQ(0, dialer->SetPassword(" two words "));
  EXPECT_EQ(0, dialer->GetUsername(name));
  EXPECT_EQ(0, dialer->GetPassword(password));
  EXPECT_EQ("carol", name);
  EXPECT_EQ(" two words ", password);

  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  TSimPhoneBook reread = TSimPhoneBook::Parse(text.str(), path);
  ASSERT_NE(nullptr, reread.Find("Office"));
  EXPECT_EQ("carol", reread.Find("Office")->userName);
  EXPECT_EQ(" two words ", reread.Find("Office")->password.value_or("<none>"));
  EXPECT_EQ("alice", reread.Find("Home")->userName);  // other entries as they were
  EXPECT_EQ("secret", reread.Find("Home")->password.value_or("<none>"));
}

TEST_F(DialUpTest, SettingTheNameKeepsThePasswordAndTheOtherWayRound) {
  dialer->SetEntry("Home");
  EXPECT_EQ(0, dialer->SetUsername("alicia"));
  std::string password;
  dialer->GetPassword(password);
  EXPECT_EQ("secret", password);
  EXPECT_EQ(0, dialer->SetPassword("new"));
  std::string name;
  dialer->GetUsername(name);
  EXPECT_EQ("alicia", name);
  EXPECT_EQ("555 0100", sim.service->Book().Find("Home")->phoneNumber);
}

TEST_F(DialUpTest, UnknownEntryLeavesTheOutputsAlone) {
  dialer->SetEntry("Nowhere");
  std::string name = "before", password = "before";
  EXPECT_EQ(623, dialer->GetUsername(name));
  EXPECT_EQ(623, dialer->GetPassword(password));
  EXPECT_EQ(623, dialer->SetUsername("x"));
  EXPECT_EQ(623, dialer->SetPassword("x"));
  EXPECT_EQ("before", name);
  EXPECT_EQ("before", password);
}

TEST_F(DialUpTest, TooLongCredentialsAreRefusedNotCut) {
  dialer->SetEntry("Home");
  EXPECT_NE(0, dialer->SetPassword(std::string(257, 'p')));
  EXPECT_NE(0, dialer->SetUsername(std::string(257, 'u')));
  EXPECT_EQ(0, dialer->SetPassword(std::string(256, 'p')));
  std::string name, password;
  dialer->GetUsername(name);
  dialer->GetPassword(password);
  EXPECT_EQ("alice", name);
  EXPECT_EQ(std::string(256, 'p'), password);
}

}  // namespace
