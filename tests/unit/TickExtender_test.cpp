#include "platform/TickExtender.h"

#include <gtest/gtest.h>

// The 32-bit count wraps after 49.7 days; the program's timers must see the
// time go on, never back to start-up.
TEST(TickExtender, ACountThatWrapsGoesOnRisingThroughEachWrap) {
  TTickExtender ticks;
  EXPECT_EQ(ticks.Extend(5), 5u);
  EXPECT_EQ(ticks.Extend(0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(ticks.Extend(0xFFFFFFF0u), 0xFFFFFFF0u);  // the same reading: no wrap
  EXPECT_EQ(ticks.Extend(0x10u), 0x100000010u);
  EXPECT_EQ(ticks.Extend(0x20u), 0x100000020u);
  EXPECT_EQ(ticks.Extend(0x1Fu + 0u), 0x20000001Fu);  // smaller again: the second wrap
}
