// The connection rules on their own: which drops and failed dials are
// dialled again, and where the redials stop.
#include <gtest/gtest.h>

#include "app/ConnectionRules.h"

TEST(ConnectionRules, ADropAfterTheUsersHangUpIsNotRedialledButTheNextOneIs) {
  TConnectionRules rules;
  rules.Connect();
  rules.HangUpAsked();
  EXPECT_FALSE(rules.RedialsDrop(true));
  EXPECT_FALSE(rules.RedialsFailure(true));  // nor the dial the hang-up stopped
  rules.DropHandled();
  EXPECT_TRUE(rules.RedialsDrop(true));
  EXPECT_FALSE(rules.RedialsDrop(false));  // without automatic redial, no drop is

  // A hang-up asked for while nothing was up is done with at the next Connect.
  rules.HangUpAsked();
  rules.Connect();
  EXPECT_TRUE(rules.RedialsDrop(true));
  EXPECT_TRUE(rules.RedialsFailure(true));
  EXPECT_FALSE(rules.RedialsFailure(false));
}

TEST(ConnectionRules, RedialsStopPastTheLimitAndConnectCountsFromOneAgain) {
  TConnectionRules rules;
  rules.Connect();
  EXPECT_EQ(rules.AttemptNo(), 1);
  EXPECT_TRUE(rules.NextAttempt(3));
  EXPECT_TRUE(rules.NextAttempt(3));
  EXPECT_EQ(rules.AttemptNo(), 3);  // the last one within the limit
  EXPECT_FALSE(rules.NextAttempt(3));
  EXPECT_EQ(rules.AttemptNo(), 4);
  rules.Connect();
  EXPECT_EQ(rules.AttemptNo(), 1);
  EXPECT_FALSE(rules.NextAttempt(0));  // a limit of 0 leaves only Connect's own dial
  EXPECT_FALSE(rules.NextAttempt(1));
}
