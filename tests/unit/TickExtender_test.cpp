#include "platform/TickExtender.h"

#include <gtest/gtest.h>

// The 32-bit count wraps after 49.7 days; the program's timers must see the
// time go on, never back to start-up, and never leap 49.7 days ahead.
TEST(TickExtender, ACountThatWrapsGoesOnRisingThroughEachWrap) {
  TTickExtender ticks;
  EXPECT_EQ(ticks.Extend(5), 5u);
  EXPECT_EQ(ticks.Extend(0x7FFFFFF8u), 0x7FFFFFF8u);
  EXPECT_EQ(ticks.Extend(0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(ticks.Extend(0x10u), 0x100000010u);
  EXPECT_EQ(ticks.Extend(0x80000000u), 0x180000000u);
  EXPECT_EQ(ticks.Extend(0xFFFFFFFFu), 0x1FFFFFFFFu);
  EXPECT_EQ(ticks.Extend(0x3u), 0x200000003u);
}

// Two threads read the count, and the one that read first is the second to
// hand its reading in: that reading is a few milliseconds behind, not a wrap,
// and one taken before a wrap stays before it.
TEST(TickExtender, AReadingHandedInLateIsNoWrap) {
  TTickExtender ticks;
  EXPECT_EQ(ticks.Extend(1000), 1000u);
  EXPECT_EQ(ticks.Extend(990), 990u);
  EXPECT_EQ(ticks.Extend(1010), 1010u);
  EXPECT_EQ(ticks.Extend(0x7FFFFFF8u), 0x7FFFFFF8u);
  // Taken just before a wrap, and handed in just after it.
  EXPECT_EQ(ticks.Extend(0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(ticks.Extend(0x5u), 0x100000005u);
  EXPECT_EQ(ticks.Extend(0xFFFFFFFEu), 0xFFFFFFFEu);
  EXPECT_EQ(ticks.Extend(0x9u), 0x100000009u);
}

// Started a moment before the count wraps: a reading taken before the first
// one handed in has no earlier wrap to belong to.
TEST(TickExtender, AReadingHandedInLateAtStartUpStaysNearStartUp) {
  TTickExtender ticks;
  EXPECT_EQ(ticks.Extend(0x10u), 0x10u);
  EXPECT_EQ(ticks.Extend(0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(ticks.Extend(0x20u), 0x20u);
}
