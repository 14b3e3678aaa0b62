// The one reading of the timed event's "hh:mm AM dd/mm/yy" text that the
// timer's deadline and the dialog's check share.
#include <gtest/gtest.h>

#include "settings/TimedMoment.h"

namespace {

TEST(TimedMoment, ReadsTheFiveNumbersAndTheHalfOfTheDay) {
  auto m = ReadTimedMoment("07:45 PM 29.02.28");  // separators are not examined
  ASSERT_TRUE(m);
  EXPECT_EQ(m->hour, 7);
  EXPECT_EQ(m->minute, 45);
  EXPECT_TRUE(m->pm);
  EXPECT_EQ(m->Hour24(), 19);
  EXPECT_EQ(m->day, 29);
  EXPECT_EQ(m->month, 2);
  EXPECT_EQ(m->year, 2028);
  EXPECT_TRUE(m->IsReal());
}

TEST(TimedMoment, TwelveIsMidnightBeforeNoonAndNoonAfter) {
  EXPECT_EQ(ReadTimedMoment("12:00 AM 01/01/26")->Hour24(), 0);
  EXPECT_EQ(ReadTimedMoment("12:00 PM 01/01/26")->Hour24(), 12);
  EXPECT_FALSE(ReadTimedMoment("11:00 PM 29/02/27")->IsReal());  // no such day
  EXPECT_FALSE(ReadTimedMoment("13:00 PM 01/01/26")->IsReal());  // hour 25
}

TEST(TimedMoment, ATextWithoutItsNumbersReadsAsNothing) {
  EXPECT_FALSE(ReadTimedMoment("07:45 PM 29/02/2"));
  EXPECT_FALSE(ReadTimedMoment("7 :45 PM 29/02/28"));
  EXPECT_FALSE(ReadTimedMoment("07:45 PM 29/02/2x"));
  EXPECT_FALSE(ReadTimedMoment("  :   AM   /  /  "));
}

}  // namespace
