// The connection controller end to end on the virtual clock: the program with
// the simulated RAS service dials, redials, follows drops and hangs up.
#include <gtest/gtest.h>

#include <cstring>

#include "QuindleWorld.h"
#include "ResourceIds.h"

namespace {

const char* const kBook =
    "[Office]\nUserName=alice\nPassword=secret\n"
    "Script=0:100,1:100,2:300,3:100,5:100,14:100,8192:100\nDropAfter=30\n"
    "[Busy]\nScript=0:100,1:100,2:300,8192:100\nFailCode=678\nFailAt=2\n"
    "[Denied]\nScript=0:100,1:100,5:100,8192:100\nFailCode=691\nFailAt=5\nFailCount=2\n"
    "[NoTone]\nScript=0:100,2:100,8192:100\nFailCode=680\nFailAt=2\n"
    "[Home]\nScript=0:100,8192:100\n"
    "[Once Busy]\nScript=0:100,1:100,2:300,8192:100\nFailCode=678\nFailAt=2\nFailCount=1\n";

// Starts the program with these stored settings and `entry` chosen.
void StartWith(TQuindleWorld& q, int entryIndex, bool autoRecon, int retryMs = 2000,
               int attempts = 99999, bool sync = false) {
  auto& r = q.world.registry;
  r.PutDword(kQuindleKey, "ConInt", static_cast<uint32_t>(entryIndex));
  r.PutDword(kQuindleKey, "AutoRecon", autoRecon ? 1 : 0);
  r.PutDword(kQuindleKey, "RetryInt", static_cast<uint32_t>(retryMs));
  r.PutDword(kQuindleKey, "AttempsInt", static_cast<uint32_t>(attempts));
  r.PutDword(kQuindleKey, "DialMode", sync ? 1 : 0);
  r.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();
}

bool Connected(TQuindleWorld& q) {
  return q.form1->Panel1->Caption().rfind("Connected to", 0) == 0;
}

TEST(Controller, AsyncDialShowsProgressThenTheConnectedState) {
  TQuindleWorld q(kBook);
  StartWith(q, 0, true);
  q.form1->ConButton->Click();
  EXPECT_EQ(q.form1->Panel1->Caption(), "Connecting...");
  EXPECT_EQ(q.form1->TrayIcon->Hint(), "Quindle\r(Connecting...)");
  EXPECT_TRUE(q.form1->TrayIcon->Animate());
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); })) << ::testing::PrintToString(q.Pane());
  auto pane = q.Pane();
  ASSERT_EQ(pane.size(), 8u) << ::testing::PrintToString(pane);
  EXPECT_EQ(pane[0], "Connection attempt #1 (9:00:00 AM)");
  EXPECT_EQ(pane[1], "Opening port");
  EXPECT_EQ(pane[2], "Port opened");
  EXPECT_EQ(pane[3], "Connecting device");
  EXPECT_EQ(pane[4], "Device connected");
  EXPECT_EQ(pane[5], "Verifying user name and password..");
  EXPECT_EQ(pane[6], "Authenticated");
  // The dial ends at 0.9 s; the monitor's poll at 1 s reports the line up.
  EXPECT_EQ(pane[7], "Connected 9:00:01 AM (12/8/2026)");
  EXPECT_EQ(q.form1->Panel1->Caption(), "Connected to Office");
  EXPECT_FALSE(q.form1->ConButton->Enabled());
  EXPECT_TRUE(q.form1->DisButton->Enabled());
  EXPECT_EQ(q.form1->TrayIcon->Hint(), "Quindle\r(Connected)");
  EXPECT_FALSE(q.form1->TrayIcon->Animate());
  EXPECT_EQ(q.TrayIconResource(), IDI_CONNECTED);
}

TEST(Controller, FailedDialWithoutAutomaticRedialStopsAfterOneAttempt) {
  TQuindleWorld q(kBook);
  StartWith(q, 1, false);
  q.form1->ConButton->Click();
  q.Advance(60000);
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), 1);
  EXPECT_EQ(q.Pane().back(), "Error: 678");
  EXPECT_EQ(q.form1->Panel1->Caption(), "Disconnected");
  EXPECT_TRUE(q.form1->ConButton->Enabled());
  EXPECT_FALSE(q.form1->Timer->Enabled());
  EXPECT_EQ(q.TrayIconResource(), IDI_DISCONNECTED);
}

TEST(Controller, FailuresAreRedialledOneIntervalApartUpToTheLimitThenSilence) {
  TQuindleWorld q(kBook);
  StartWith(q, 1, true, 2000, 3);
  q.form1->ConButton->Click();
  q.Advance(120000);
  auto pane = q.Pane();
  std::vector<std::string> attempts;
  for (auto& l : pane)
    if (l.rfind("Connection attempt #", 0) == 0) attempts.push_back(l);
  // Each dial fails 0.5 s after it starts; the next comes 2 s after that.
  ASSERT_EQ(attempts.size(), 3u);
  EXPECT_EQ(attempts[0], "Connection attempt #1 (9:00:00 AM)");
  EXPECT_EQ(attempts[1], "Connection attempt #2 (9:00:02 AM)");
  EXPECT_EQ(attempts[2], "Connection attempt #3 (9:00:05 AM)");
  EXPECT_EQ(q.CountLinesStartingWith("Error: 678"), 3);
  EXPECT_EQ(q.form1->Rules().AttemptNo(), 4);  // the last tick counted and stopped
  EXPECT_FALSE(q.form1->Timer->Enabled());
  EXPECT_TRUE(q.form1->ConButton->Enabled());
}

TEST(Controller, LimitZeroStillMakesTheFirstAttemptButNoRedial) {
  TQuindleWorld q(kBook);
  StartWith(q, 1, true, 1000, 0);
  q.form1->ConButton->Click();
  q.Advance(30000);
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), 1);
}

TEST(Controller, UnaskedDropIsRedialledAtOnceFromAttemptOne) {
  TQuindleWorld q(kBook);
  StartWith(q, 0, true, 2000, 3);
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  const size_t before = q.Pane().size();
  ASSERT_TRUE(q.AdvanceUntil([&] { return !Connected(q); }, 40000));
  auto pane = q.Pane();
  ASSERT_GE(pane.size(), before + 2);
  EXPECT_EQ(pane[before].rfind("Disconnected ", 0), 0u);
  EXPECT_EQ(pane[before + 1].rfind("Connection attempt #1 (", 0), 0u);
  EXPECT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
}

TEST(Controller, DropWithoutAutomaticRedialOnlyReportsIt) {
  TQuindleWorld q(kBook);
  StartWith(q, 0, false);
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  ASSERT_TRUE(q.AdvanceUntil([&] { return !Connected(q); }, 40000));
  q.Advance(10000);
  EXPECT_EQ(q.Pane().back().rfind("Disconnected ", 0), 0u);
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), 1);
}

TEST(Controller, DisconnectIsNotRedialledButALaterDropIs) {
  TQuindleWorld q(kBook);
  StartWith(q, 4, true);  // Home: stays up until hung up
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  q.form1->DisButton->Click();
  // The monitor looks at once after a hang-up: the drop is shown before the
  // click returns, and its handler has cleared the flag without redialling.
  EXPECT_FALSE(Connected(q));
  EXPECT_FALSE(q.form1->Rules().UserHangUp());
  q.Advance(5000);
  EXPECT_FALSE(Connected(q));
  EXPECT_EQ(q.Pane().back().rfind("Disconnected ", 0), 0u);
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), 1);
  EXPECT_FALSE(q.form1->Rules().UserHangUp());
}

TEST(Controller, AfterADisconnectTheNextUnaskedDropIsRedialled) {
  TQuindleWorld q(kBook);
  StartWith(q, 0, true);  // Office: drops 30 s after it is up
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  q.form1->DisButton->Click();
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  ASSERT_TRUE(q.AdvanceUntil([&] { return !Connected(q); }, 40000));
  EXPECT_EQ(q.Pane().back().rfind("Connection attempt #1 (", 0), 0u);
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), 3);
}

// A hang-up asked for while nothing was up (the timed event does it) is done
// with once the user connects again: that connection's drop is redialled.
TEST(Controller, DisconnectWithNoConnectionStopsNoRedialOfALaterConnection) {
  TQuindleWorld q(kBook);
  StartWith(q, 0, true);
  q.form1->DisButtonClick(q.form1);  // as the timed event does while offline
  EXPECT_TRUE(q.form1->Rules().UserHangUp());
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  ASSERT_TRUE(q.AdvanceUntil([&] { return !Connected(q); }, 40000));
  q.Advance(5000);
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), 2);
}

// A busy line redialled every 2 s: Disconnect, in the window or the tray
// menu, stops the dial under way or the redial that waits, and nothing
// more is dialled.
TEST(Controller, DisconnectStopsTheDialUnderWayAndTheRedials) {
  for (const bool whileDialling : {true, false}) {
    SCOPED_TRACE(whileDialling ? "during a dial" : "between redials");
    TQuindleWorld q(kBook);
    StartWith(q, 1, true);
    q.form1->ConButton->Click();
    q.Advance(200);  // the first dial is under way
    EXPECT_TRUE(q.form1->DisButton->Enabled());
    ASSERT_TRUE(q.AdvanceUntil([&] { return q.form1->Rules().AttemptNo() == 3; }));
    if (!whileDialling) {
      ASSERT_TRUE(q.AdvanceUntil([&] { return q.form1->Timer->Enabled(); }));
    }
    q.form1->PopupMenu1Popup(nullptr);
    ASSERT_TRUE(q.form1->Disconnect1->Enabled());
    q.form1->Disconnect1->Click();
    const int dials = q.sim->service->DialCount("Busy");
    q.Advance(60000);
    EXPECT_EQ(q.sim->service->DialCount("Busy"), dials);
    EXPECT_EQ(q.sim->service->HandleCount(), 0);  // the dial under way was hung up
    EXPECT_FALSE(q.form1->DisButton->Enabled());
    EXPECT_TRUE(q.form1->ConButton->Enabled());
    EXPECT_EQ(q.form1->Panel1->Caption(), "Disconnected");
  }
}

TEST(Controller, RedialTickThatFindsAConnectionMadeElsewhereDialsNothing) {
  TQuindleWorld q(kBook);
  StartWith(q, 5, true, 2000, 5);
  q.form1->ConButton->Click();
  q.Advance(600);  // the first attempt has failed; the redial timer runs
  ASSERT_TRUE(q.form1->Timer->Enabled());
  // Another program brings the chosen entry's line up meanwhile.
  auto* other = new TDialUp(q.world.app.get());
  other->SetDialMode(dmSync);
  other->SetEntry("Once Busy");
  ASSERT_EQ(other->Dial(), 0);
  const int attempts = q.CountLinesStartingWith("Connection attempt #");
  q.Advance(2000);
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), attempts);
  EXPECT_FALSE(q.form1->Timer->Enabled());
}

TEST(Controller, AccessDeniedGivesExactlyOneErrorLineWithTheServiceText) {
  TQuindleWorld q(kBook);
  StartWith(q, 2, false);
  q.form1->ConButton->Click();
  q.Advance(5000);
  std::vector<std::string> errors;
  for (auto& l : q.Pane())
    if (l.rfind("Error: ", 0) == 0) errors.push_back(l);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Access was denied because the"), std::string::npos);
}

// Today's Windows words a refused password otherwise, and at more length
// than 100 bytes: each attempt still says why, once, whole; so does a long
// text of a synchronous dial.
TEST(Controller, TodaysLongErrorTextsAreToldWholeWhateverTheirWording) {
  const std::string long678(300, 'x');
  const std::string book = "ErrorTexts=Windows10\nErrorText678=" + long678 +
                           "\n"
                           "[Denied]\nScript=0:100,1:100,5:100,8192:100\nFailCode=691\nFailAt=5\n"
                           "[Busy]\nScript=0:100,2:100,8192:100\nFailCode=678\nFailAt=2\n";
  const std::string denied =
      "Error: The remote connection was denied because the user name and password combination "
      "you provided is not recognized, or the selected authentication protocol is not permitted "
      "on the remote access server.";
  {
    TQuindleWorld q(book);
    StartWith(q, 0, true, 500, 3);
    q.form1->ConButton->Click();
    q.Advance(10000);
    EXPECT_EQ(q.sim->service->DialCount("Denied"), 3);
    std::vector<std::string> told;
    for (const std::string& l : q.Pane())
      if (l.rfind("Error: ", 0) == 0) told.push_back(l);
    EXPECT_EQ(told, std::vector<std::string>(3, denied));
  }
  {
    TQuindleWorld q(book);
    StartWith(q, 1, false, 2000, 5, true);
    q.form1->ConButton->Click();
    q.Advance(1000);
    EXPECT_EQ(q.Pane().back(), "Error: " + long678);
  }
}

TEST(Controller, DeniedTwiceThenConnectsWithAutomaticRedial) {
  TQuindleWorld q(kBook);
  StartWith(q, 2, true, 1000, 5);
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), 3);
}

TEST(Controller, NoDialToneHasItsOwnLine) {
  TQuindleWorld q(kBook);
  StartWith(q, 3, false);
  q.form1->ConButton->Click();
  q.Advance(5000);
  EXPECT_EQ(q.Pane().back(), "Unable to connect device");
}

TEST(Controller, EmptyPhoneBookGivesOnlyTheNoConnectionsLine) {
  TQuindleWorld q("");
  StartWith(q, 0, true);
  EXPECT_EQ(q.settings->ComboBox1->Text(), "No connections available");
  q.form1->ConButton->Click();
  q.Advance(10000);
  EXPECT_EQ(q.Pane(), (std::vector<std::string>{"Error: No connections available"}));
  EXPECT_EQ(q.form1->Panel1->Caption(), "Disconnected");
  EXPECT_TRUE(q.form1->ConButton->Enabled());
}

TEST(Controller, EmptyEntryListAsksForAConnection) {
  TQuindleWorld q(kBook);
  StartWith(q, 0, true);
  q.settings->ComboBox1->Items().Clear();
  q.form1->ConButton->Click();
  EXPECT_EQ(q.Pane(), (std::vector<std::string>{"Make sure you have a connection set up"}));
  EXPECT_TRUE(q.form1->ConButton->Enabled());
}

// The stored choice is gone from the phone book: no entry the user never
// chose (maybe another provider's) is dialled, by Connect or at start-up.
TEST(Controller, StoredChoiceOutsideTheListDialsNothingAndAsksForAChoice) {
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "AutoCon", 1);
  StartWith(q, 42, true);
  EXPECT_EQ(q.settings->ComboBox1->ItemIndex(), -1);
  q.Advance(10000);  // the start-up dial's tick
  q.form1->ConButton->Click();
  q.Advance(10000);
  EXPECT_EQ(q.Pane(), (std::vector<std::string>{"Choose a connection in Settings",
                                                "Choose a connection in Settings"}));
  EXPECT_EQ(q.sim->service->DialCount("Office"), 0);
  EXPECT_EQ(q.form1->Panel1->Caption(), "Disconnected");
  EXPECT_TRUE(q.form1->ConButton->Enabled());
  EXPECT_FALSE(q.form1->DisButton->Enabled());
  EXPECT_FALSE(q.form1->Timer->Enabled());
}

TEST(Controller, SyncDialBlocksAndLogsOnlyItsAttemptLine) {
  TQuindleWorld q(kBook);
  StartWith(q, 4, false, 2000, 3, true);
  const int64_t before = q.world.clock.NowMs();
  q.form1->ConButton->Click();
  EXPECT_GE(q.world.clock.NowMs() - before, 200);  // the dial's own time passed inside it
  EXPECT_EQ(q.Pane(), (std::vector<std::string>{"Connection Sync attempt #1 (9:00:00 AM)"}));
  q.Advance(1000);
  EXPECT_TRUE(Connected(q));
}

TEST(Controller, SyncDialFailureShowsTheServiceText) {
  TQuindleWorld q(kBook);
  StartWith(q, 1, false, 2000, 3, true);
  q.form1->ConButton->Click();
  // The service's text is long: the pane wraps it over several lines.
  auto pane = q.Pane();
  ASSERT_GE(pane.size(), 2u);
  EXPECT_EQ(pane[0], "Connection Sync attempt #1 (9:00:00 AM)");
  EXPECT_EQ(pane[1].rfind("Error: There was no answer", 0), 0u);
  EXPECT_EQ(q.form1->Panel1->Caption(), "Disconnected");
}

TEST(Controller, ConnectOnStartUpDialsAtTheFirstTickAndAConnectionAlreadyUpIsReported) {
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "AutoCon", 1);
  q.world.registry.PutDword(kQuindleKey, "ConInt", 4);
  q.world.registry.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();
  q.Advance(2999);
  EXPECT_TRUE(q.Pane().empty());
  q.Advance(1);
  EXPECT_EQ(q.Pane().front(), "Connection attempt #1 (9:00:03 AM)");
}

TEST(Controller, ConnectionAlreadyUpAtStartIsReportedByTheFirstPoll) {
  TQuindleWorld q(kBook);
  auto* other = new TDialUp(q.world.app.get());
  other->SetDialMode(dmSync);
  other->SetEntry("Home");
  ASSERT_EQ(other->Dial(), 0);
  q.world.registry.PutDword(kQuindleKey, "ConInt", 4);  // the entry chosen is Home
  q.world.registry.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();
  q.Advance(1000);
  ASSERT_FALSE(q.Pane().empty());
  EXPECT_EQ(q.Pane().front().rfind("Connected ", 0), 0u);
  EXPECT_EQ(q.form1->Panel1->Caption(), "Connected to Home");
}

// Another program's VPN is up from the start and listed before the chosen
// entry's line: Quindle neither shows it nor counts it as its connection,
// and never hangs it up.
const char* const kVpnBook =
    "[Corp VPN]\nForeign=1\nDeviceType=vpn\nDeviceName=WAN Miniport (IKEv2)\n"
    "[Office]\nScript=0:100,1:100,2:300,3:100,5:100,14:100,8192:100\nDropAfter=30\n"
    "[Home]\nScript=0:100,8192:100\n"
    "[Busy]\nScript=0:100,2:300,8192:100\nFailCode=676\nFailAt=2\n";

TEST(ChosenEntry, AVpnListedFirstIsLeftAloneWhileTheChosenEntryIsDialledRedialledAndHungUp) {
  TQuindleWorld q(kVpnBook);
  StartWith(q, 0, true);  // Office; the VPN is no entry of Quindle's
  q.Advance(3000);
  EXPECT_EQ(q.form1->Panel1->Caption(), "Disconnected");
  EXPECT_TRUE(q.form1->ConButton->Enabled());
  EXPECT_FALSE(q.form1->DisButton->Enabled());
  EXPECT_TRUE(q.Pane().empty()) << ::testing::PrintToString(q.Pane());

  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  EXPECT_EQ(q.form1->Panel1->Caption(), "Connected to Office");
  EXPECT_EQ(q.sim->service->DialCount("Office"), 1);

  // Office drops 30 s later, the VPN stays: the drop is seen and redialled.
  ASSERT_TRUE(q.AdvanceUntil([&] { return !Connected(q); }, 40000));
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  EXPECT_EQ(q.CountLinesStartingWith("Disconnected "), 1);
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #1 ("), 2);
  EXPECT_EQ(q.sim->service->DialCount("Office"), 2);

  q.form1->DisButton->Click();
  EXPECT_FALSE(Connected(q));
  q.Advance(5000);
  EXPECT_EQ(q.sim->service->HangUpCount("Office"), 2);  // the dropped line and the last one
  EXPECT_EQ(q.sim->service->HangUpCount("Corp VPN"), 0);
  EXPECT_EQ(q.sim->service->HandlesNotHungUp(), 0);
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), 2);
  EXPECT_EQ(q.form1->Panel1->Caption(), "Disconnected");
  TRasConnectionDetails vpn;
  q.form1->RasMonitor1->FollowAnyConnection();
  EXPECT_TRUE(q.form1->RasMonitor1->GetConnectionDetails(vpn));  // still up
  EXPECT_STREQ(vpn.EntryName, "Corp VPN");
}

TEST(ChosenEntry, ConnectOnStartUpDialsTheChosenEntryWhileAVpnIsUp) {
  TQuindleWorld q(kVpnBook);
  q.world.registry.PutDword(kQuindleKey, "AutoCon", 1);
  StartWith(q, 1, true);  // Home
  q.Advance(2000);        // the first tick of the redial timer
  ASSERT_FALSE(q.Pane().empty());
  EXPECT_EQ(q.Pane().front(), "Connection attempt #1 (9:00:02 AM)");
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  EXPECT_EQ(q.form1->Panel1->Caption(), "Connected to Home");
  EXPECT_EQ(q.sim->service->DialCount("Home"), 1);
  EXPECT_EQ(q.sim->service->DialCount("Office"), 0);
}

// Another entry chosen in Settings: Connect dials it, and its line is the
// one shown from then on.
TEST(ChosenEntry, ConnectAfterAnotherChoiceFollowsTheEntryDialled) {
  TQuindleWorld q(kVpnBook);
  StartWith(q, 1, false);  // Home
  q.Advance(2000);
  q.settings->ComboBox1->SetItemIndex(0);  // Office
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  EXPECT_EQ(q.form1->Panel1->Caption(), "Connected to Office");
  EXPECT_EQ(q.sim->service->DialCount("Office"), 1);
}

// The choice changes in Settings while a redial waits: the tick looks for
// the entry chosen now, and finds it already up.
TEST(ChosenEntry, ARedialTickLooksForTheEntryChosenNow) {
  TQuindleWorld q(kVpnBook);
  StartWith(q, 2, true, 2000, 5);  // Busy
  q.form1->ConButton->Click();
  q.Advance(600);  // the dial has failed; the redial timer runs
  ASSERT_TRUE(q.form1->Timer->Enabled());
  q.settings->ComboBox1->SetItemIndex(1);  // Home
  auto* other = new TDialUp(q.world.app.get());
  other->SetDialMode(dmSync);
  other->SetEntry("Home");
  ASSERT_EQ(other->Dial(), 0);
  q.Advance(2000);
  EXPECT_EQ(q.sim->service->DialCount("Home"), 1);  // the other program's dial only
  EXPECT_EQ(q.sim->service->DialCount("Busy"), 1);
  EXPECT_FALSE(q.form1->Timer->Enabled());
  q.Advance(1000);
  EXPECT_EQ(q.form1->Panel1->Caption(), "Connected to Home");
}

TEST(Controller, MinimiseOnConnectedHidesTheWindow) {
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "MiniStart", 1);
  StartWith(q, 4, false);
  q.form1->Show();
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  EXPECT_FALSE(q.world.backend.IsWindowVisible(q.form1->Handle()));
}

// A second dial must never start while one is under way: its connection would
// overwrite the first one's handle and stay up, never hung up, holding the
// line. The program's only handle is its last dial's; the service must hold
// no other at the end.
const char* const kFailingBook =
    "[Failing]\nScript=0:100,1:100,2:300,8192:100\nFailCode=678\nFailAt=2\nHangUpDelay=3000\n"
    "[Slow]\nScript=0:100,1:100,2:4000,8192:100\n";

void ExpectOneDialPerAttemptLine(TQuindleWorld& q, int attempts) {
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), attempts)
      << ::testing::PrintToString(q.Pane());
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #1 "), 1);
  EXPECT_EQ(q.sim->service->DialCount("Failing") + q.sim->service->DialCount("Slow"), attempts);
  EXPECT_LE(q.sim->service->HandleCount(), 1);
}

TEST(NestedDial, ConnectClickedDuringTheWaitForTheLastHangUpStartsNothing) {
  TQuindleWorld q(kFailingBook);
  StartWith(q, 0, true, 1000, 2);
  // The first dial fails at 0.5 s; the redial at 1.5 s waits 3 s for the
  // failed line's handle, with Connect enabled. The user clicks it then.
  uintptr_t click = q.world.backend.StartTimer(2500, [&] {
    q.world.backend.StopTimer(click);
    q.form1->ConButton->Click();
  });
  q.form1->ConButton->Click();
  q.Advance(20000);
  ExpectOneDialPerAttemptLine(q, 2);
}

TEST(NestedDial, ConnectClickedWhileTheDialShowsItsAttemptStartsNothing) {
  TQuindleWorld q(kFailingBook);
  StartWith(q, 0, true, 1000, 2);
  // The click arrives among the messages the redial lets through just before
  // it dials (the attempt line is being shown).
  TStandartEv dialing = q.form1->DialUp1->OnDialing;
  q.form1->DialUp1->OnDialing = [&q, dialing](TObject* sender) {
    if (q.form1->Rules().AttemptNo() == 2)
      q.world.backend.PostToGui([&q] { q.form1->ConButton->Click(); });
    dialing(sender);
  };
  q.form1->ConButton->Click();
  q.Advance(20000);
  ExpectOneDialPerAttemptLine(q, 2);
}

TEST(NestedDial, ARedialTickDuringADialMakesNoSecondDial) {
  TQuindleWorld q(kFailingBook);
  StartWith(q, 1, true, 1000);
  q.form1->ConButton->Click();
  q.form1->Timer->SetEnabled(true);  // a tick due one second into a 4.5 s dial
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  ExpectOneDialPerAttemptLine(q, 1);
}

// The texts of a failed dial: a service text ends in the line break system
// texts carry, or there is none at all.
uint32_t RASAPI_CALL TextWithLineBreak(uint32_t code, char* buffer, uint32_t size) {
  const std::string text = "The line is busy.\r\n";
  if (size < text.size() + 1) return 603;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return 0;
}

TEST(FailedDialTexts, AServiceTextIsJudgedAndShownWithoutItsLineBreak) {
  TQuindleWorld q(kBook);
  StartWith(q, 1, false, 2000, 3, true);  // "Busy", dialled synchronously
  q.world.libraries.Add("rasapi32.dll", "RasGetErrorStringA", &TextWithLineBreak);
  q.form1->ConButton->Click();
  auto pane = q.Pane();
  ASSERT_EQ(pane.size(), 2u) << ::testing::PrintToString(pane);
  EXPECT_EQ(pane[1], "Error: The line is busy.");
}

// A service text that reads like the dialer's own message for an entry it
// cannot read.
uint32_t RASAPI_CALL TextLikeTheParamsStep(uint32_t, char* buffer, uint32_t size) {
  const std::string text = "GetEntryDialParams failed";
  if (size < text.size() + 1) return 603;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return 0;
}

// The failed step chooses the line, not the words: a dial call the service
// refuses is told in the service's text, whatever it says.
TEST(FailedDialTexts, ARefusedDialIsToldInTheServicesWordsEvenWhenTheyReadLikeAnUnknownEntry) {
  TQuindleWorld q("[Broken]\nImmediateError=4321\n");
  StartWith(q, 0, false);
  q.world.libraries.Add("rasapi32.dll", "RasGetErrorStringA", &TextLikeTheParamsStep);
  q.form1->ConButton->Click();
  auto pane = q.Pane();
  ASSERT_EQ(pane.size(), 2u) << ::testing::PrintToString(pane);
  EXPECT_EQ(pane[1], "Error: GetEntryDialParams failed");
}

TEST(FailedDialTexts, AnAsyncDialFailingAtOnceWithoutATextShowsTheCode) {
  TQuindleWorld q("[Broken]\nImmediateError=4321\n");
  StartWith(q, 0, false);
  q.form1->ConButton->Click();
  auto pane = q.Pane();
  ASSERT_EQ(pane.size(), 2u) << ::testing::PrintToString(pane);
  EXPECT_EQ(pane[1], "Error: 4321");
}

}  // namespace
