// The timed hang-up or shutdown on the virtual clock: the minute it acts in,
// the missed moment, the shutdown request through the system seam.
#include <gtest/gtest.h>

#include <functional>

#include "QuindleWorld.h"

namespace {

const char* const kBook = "[Home]\nScript=0:100,8192:100\n";

// Starts the program with the timed event armed for `time` on `date`.
void StartArmed(TQuindleWorld& q, const std::string& time, const std::string& date,
                bool disconnectOnly, TDateParts now) {
  q.world.clock.Set(EncodeDateTime(now));
  auto& r = q.world.registry;
  r.PutDword(kQuindleKey, "EnableTimer", 1);
  r.PutString(kQuindleKey, "Time", time);
  r.PutString(kQuindleKey, "Date", date);
  r.PutDword(kQuindleKey, "DisOrShut", disconnectOnly ? 1 : 0);
  r.PutDword(kQuindleKey, "AutoRecon", 1);
  r.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();
}

bool Connected(TQuindleWorld& q) {
  return q.form1->Panel1->Caption() == "Connected to Home";
}

TEST(TimedEvent, DeadlineReadsTheTwelveHourClockAndAddsTwoMinutes) {
  auto at = [](const char* text) {
    auto d = TForm1::TimedDeadline(text);
    return d ? DecodeDateTime(*d) : TDateParts{0, 0, 0};
  };
  TDateParts p = at("10:58 PM 08/12/26");
  EXPECT_EQ(p.hour, 23);
  EXPECT_EQ(p.minute, 0);
  p = at("11:59 PM 31/12/26");
  EXPECT_EQ(p.year, 2027);  // carried into the next day, month and year
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 1);
  EXPECT_EQ(p.hour, 0);
  EXPECT_EQ(p.minute, 1);
  EXPECT_EQ(at("12:05 AM 08/12/26").hour, 0);
  EXPECT_EQ(at("12:05 PM 08/12/26").hour, 12);
  EXPECT_EQ(at("01:30 PM 08.12.26").hour, 13);  // separators are skipped
  EXPECT_FALSE(TForm1::TimedDeadline("13:00 PM 08/12/26"));
  EXPECT_FALSE(TForm1::TimedDeadline("10:00 AM 31/04/26"));
  EXPECT_FALSE(TForm1::TimedDeadline("10:00 AM 29/02/27"));
  EXPECT_TRUE(TForm1::TimedDeadline("10:00 AM 29/02/28"));
  EXPECT_FALSE(TForm1::TimedDeadline("  :   AM   /  /  "));
  EXPECT_FALSE(TForm1::TimedDeadline("short"));
}

TEST(TimedEvent, HangsUpWithinTheFirstTenSecondsOfTheSetMinuteAndIsNotRedialled) {
  TQuindleWorld q(kBook);
  StartArmed(q, "10:58 PM", "08/12/26", true, {2026, 12, 8, 22, 55, 3, 0});
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  ASSERT_TRUE(q.AdvanceUntil([&] { return !Connected(q); }, 10 * 60000LL));
  TDateParts when = DecodeDateTime(q.world.clock.Now());
  EXPECT_EQ(when.hour, 22);
  EXPECT_EQ(when.minute, 58);
  EXPECT_LE(when.second, 11);  // the drop shows at the monitor's next poll
  EXPECT_FALSE(q.form1->DisTimer->Enabled());
  q.Advance(60000);
  EXPECT_EQ(q.CountLinesStartingWith("Connection attempt #"), 1);
  EXPECT_TRUE(q.world.system.shutdowns.empty());
}

TEST(TimedEvent, MissedMinuteStopsTheTimerAfterTheDeadline) {
  TQuindleWorld q(kBook);
  StartArmed(q, "10:58 PM", "08/12/26", true, {2026, 12, 8, 22, 59, 0, 0});
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  q.Advance(60000);  // 23:00:00 is the deadline itself: not yet past
  EXPECT_TRUE(q.form1->DisTimer->Enabled());
  q.Advance(10000);
  EXPECT_FALSE(q.form1->DisTimer->Enabled());
  EXPECT_TRUE(Connected(q));
}

TEST(TimedEvent, MidnightAndNoonReadCorrectly) {
  {
    TQuindleWorld q(kBook);
    StartArmed(q, "12:05 AM", "09/12/26", true, {2026, 12, 9, 0, 4, 55, 0});
    q.Advance(20000);
    EXPECT_FALSE(q.form1->DisTimer->Enabled());
    EXPECT_TRUE(q.form1->Rules().UserHangUp());  // acted at 00:05
  }
  {
    TQuindleWorld q(kBook);
    StartArmed(q, "12:05 PM", "09/12/26", true, {2026, 12, 9, 0, 4, 55, 0});
    q.Advance(20000);
    EXPECT_TRUE(q.form1->DisTimer->Enabled());  // that is noon, not now
    EXPECT_FALSE(q.form1->Rules().UserHangUp());
  }
}

TEST(TimedEvent, AMomentAlreadyPastStopsAtTheFirstTick) {
  TQuindleWorld q(kBook);
  StartArmed(q, "09:00 AM", "07/12/26", true, {2026, 12, 8, 9, 0, 0, 0});
  EXPECT_TRUE(q.form1->DisTimer->Enabled());
  q.Advance(10000);
  EXPECT_FALSE(q.form1->DisTimer->Enabled());
  EXPECT_FALSE(q.form1->Rules().UserHangUp());
}

TEST(TimedEvent, TheRightMinuteOnAnotherDateDoesNothing) {
  TQuindleWorld q(kBook);
  StartArmed(q, "09:01 AM", "10/12/26", true, {2026, 12, 8, 9, 0, 55, 0});
  q.Advance(70000);
  EXPECT_TRUE(q.form1->DisTimer->Enabled());
  EXPECT_FALSE(q.form1->Rules().UserHangUp());
}

TEST(TimedEvent, DisconnectOnlyWithNoConnectionJustMarksTheHangUp) {
  TQuindleWorld q(kBook);
  StartArmed(q, "09:01 AM", "08/12/26", true, {2026, 12, 8, 9, 0, 55, 0});
  const auto pane = q.Pane();
  q.form1->Timer->SetInterval(60000);  // a redial due later
  q.form1->Timer->SetEnabled(true);
  q.Advance(10000);
  EXPECT_TRUE(q.form1->Rules().UserHangUp());
  EXPECT_FALSE(q.form1->Timer->Enabled());
  EXPECT_EQ(q.Pane(), pane);
}

TEST(TimedEvent, ShutdownHangsUpWaitsFiveSecondsThenAsksWithFlagsFive) {
  TQuindleWorld q(kBook);
  StartArmed(q, "09:01 AM", "08/12/26", false, {2026, 12, 8, 9, 0, 55, 0});
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return Connected(q); }));
  q.world.backend.messageBoxes.clear();
  int64_t asked = 0;
  q.Advance(9000);  // the tick at 09:01:05 acts
  ASSERT_EQ(q.world.system.shutdowns.size(), 1u);
  EXPECT_EQ(q.world.system.shutdowns[0], EWX_SHUTDOWN_T | EWX_FORCE_T);
  EXPECT_EQ(q.world.system.privilegeRequests, 1);
  (void)asked;
  EXPECT_TRUE(q.world.backend.messageBoxes.empty());
  EXPECT_FALSE(q.form1->DisTimer->Enabled());
}

TEST(TimedEvent, ShutdownWaitBlocksForFiveSecondsBeforeTheRequest) {
  TQuindleWorld q(kBook);
  StartArmed(q, "09:01 AM", "08/12/26", false, {2026, 12, 8, 9, 1, 0, 0});
  // The tick due at 09:01:10 acts; the request comes five seconds later with
  // nothing dispatched in between.
  q.world.backend.Advance(9999);
  EXPECT_TRUE(q.world.system.shutdowns.empty());
  const int64_t before = q.world.clock.NowMs();
  q.world.backend.Advance(1);
  ASSERT_EQ(q.world.system.shutdowns.size(), 1u);
  EXPECT_EQ(q.world.clock.NowMs() - before, 1 + 5000);
}

TEST(TimedEvent, RefusedShutdownShowsItsMessageAndTheProgramGoesOn) {
  TQuindleWorld q(kBook);
  q.world.system.acceptShutdown = false;
  StartArmed(q, "09:01 AM", "08/12/26", false, {2026, 12, 8, 9, 0, 55, 0});
  q.Advance(10000);
  ASSERT_EQ(q.world.backend.messageBoxes.size(), 1u);
  EXPECT_EQ(q.world.backend.messageBoxes[0].text, "Error shutting down Windows");
  EXPECT_EQ(q.world.backend.messageBoxes[0].flags, MB_OK_T | MB_ICONERROR_T);
  EXPECT_FALSE(q.form1->DisTimer->Enabled());
}

TEST(TimedEvent, NoPrivilegeStepOutsideTheNtFamily) {
  TQuindleWorld q(kBook);
  q.world.system.platformId = VER_PLATFORM_WIN32_WINDOWS_T;
  q.Start();
  EXPECT_TRUE(q.form1->ShutDownWindows(5));
  EXPECT_EQ(q.world.system.privilegeRequests, 0);
}

TEST(TimedEvent, StoredValuesThatAreNoRealMomentStopTheTimer) {
  TQuindleWorld q(kBook);
  StartArmed(q, "25:99 PM", "31/02/26", true, {2026, 12, 8, 9, 0, 0, 0});
  q.Advance(10000);
  EXPECT_FALSE(q.form1->DisTimer->Enabled());
  EXPECT_FALSE(q.form1->Rules().UserHangUp());
}

// One set moment acts at most once: a shutdown refused by the system, then
// the clock set back into the minute and Settings closed again (which arms
// the timer again) ask for no second shutdown; a moment changed in Settings
// acts again.
TEST(TimedEvent, AMomentActsOnceEvenWhenTheClockGoesBackAndSettingsArmItAgain) {
  TQuindleWorld q(kBook);
  q.world.system.acceptShutdown = false;
  StartArmed(q, "09:01 AM", "08/12/26", false, {2026, 12, 8, 9, 0, 55, 0});
  q.Advance(10000);
  ASSERT_EQ(q.world.system.shutdowns.size(), 1u);
  EXPECT_EQ(q.world.registry.String(kQuindleKey, "TimedDone"), "09:01 AM 08/12/26");

  auto closeSettings = [&](const std::function<void()>& act) {
    q.world.backend.loopScript = [&q, act] {
      q.world.backend.loopScript = nullptr;
      act();
      q.settings->Button1->Click();
    };
    q.form1->SetButton->Click();
  };
  q.world.clock.Set(EncodeDateTime({2026, 12, 8, 9, 1, 0, 0}));  // a time server's correction
  closeSettings([] {});
  ASSERT_TRUE(q.form1->DisTimer->Enabled());
  q.Advance(30000);
  EXPECT_EQ(q.world.system.shutdowns.size(), 1u);
  EXPECT_FALSE(q.form1->DisTimer->Enabled());

  closeSettings([&] { q.settings->TimeEdit->SetText("09:03"); });
  q.Advance(90000);
  EXPECT_EQ(q.world.system.shutdowns.size(), 2u);
  EXPECT_EQ(q.world.registry.String(kQuindleKey, "TimedDone"), "09:03 AM 08/12/26");
}

// The same time on the next day is another moment: set again in Settings
// with only the date moved on, it acts (a user who shuts down at 09:01 every
// morning).
TEST(TimedEvent, TheSameTimeOnAnotherDateActsAgain) {
  TQuindleWorld q(kBook);
  q.world.system.acceptShutdown = false;
  StartArmed(q, "09:01 AM", "08/12/26", false, {2026, 12, 8, 9, 0, 55, 0});
  q.Advance(10000);
  ASSERT_EQ(q.world.system.shutdowns.size(), 1u);
  q.world.clock.Set(EncodeDateTime({2026, 12, 9, 9, 0, 55, 0}));
  q.world.backend.loopScript = [&q] {
    q.world.backend.loopScript = nullptr;
    q.settings->DateEdit->SetText("09/12/26");
    q.settings->Button1->Click();
  };
  q.form1->SetButton->Click();
  q.Advance(10000);
  EXPECT_EQ(q.world.system.shutdowns.size(), 2u);
  EXPECT_EQ(q.world.registry.String(kQuindleKey, "TimedDone"), "09:01 AM 09/12/26");
}

// A restart inside the set minute (a fast boot with "Start with Windows")
// finds the moment done and does nothing.
TEST(TimedEvent, ARestartInsideTheSetMinuteDoesNotActAgain) {
  std::string done;
  {
    TQuindleWorld q(kBook);
    StartArmed(q, "09:01 AM", "08/12/26", false, {2026, 12, 8, 9, 1, 0, 0});
    q.Advance(10000);
    ASSERT_EQ(q.world.system.shutdowns.size(), 1u);
    done = q.world.registry.String(kQuindleKey, "TimedDone");
  }
  TQuindleWorld q(kBook);
  q.world.registry.PutString(kQuindleKey, "TimedDone", done);
  StartArmed(q, "09:01 AM", "08/12/26", false, {2026, 12, 8, 9, 1, 20, 0});
  q.Advance(60000);
  EXPECT_TRUE(q.world.system.shutdowns.empty());
  EXPECT_FALSE(q.form1->Rules().UserHangUp());
  EXPECT_FALSE(q.form1->DisTimer->Enabled());
}

}  // namespace
