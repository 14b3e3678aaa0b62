// The dialer's run-time binding: which library serves, when the older one is
// taken instead, and the errors that end an operation.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "SimHarness.h"
#include "dialup/DialUp.h"
#include "dialup/RasBinding.h"
#include "platform/Errors.h"

namespace {

// The older service library: a phone book of one entry, "Legacy".
uint32_t RASAPI_CALL LegacyEnumEntries(const char*, const char*, RASENTRYNAMEA* entries,
                                       uint32_t* bytes, uint32_t* count) {
  std::strcpy(entries[0].szEntryName, "Legacy");
  *bytes = sizeof(RASENTRYNAMEA);
  *count = 1;
  return 0;
}
uint32_t RASAPI_CALL LegacyGetParams(const char*, RASDIALPARAMSA* p, int32_t* saved) {
  std::strcpy(p->szUserName, "legacy-user");
  *saved = 0;
  return 0;
}

std::string ThrownBy(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const EQuindleError& e) {
    return e.Message();
  }
  return "<nothing thrown>";
}

class DialUpBindingTest : public ::testing::Test {
 protected:
  DialUpBindingTest() : sim(world, "[Home]\nUserName=alice\n") {
    dialer = new TDialUp(world.app.get());
    dialer->SetEntry("Home");
    dialer->OnDialing = [this](TObject*) { ++events; };
    dialer->OnError = [this](TObject*, TDialStep, int32_t, const std::string&) { ++events; };
    world.libraries.Add("rnaph.dll", "RasEnumEntriesA", &LegacyEnumEntries);
    world.libraries.Add("rnaph.dll", "RasGetEntryDialParamsA", &LegacyGetParams);
  }
  TRasBinding& Binding() { return TRasBinding::Of(*dialer); }

  TTestWorld world;
  TSimHarness sim;
  TDialUp* dialer = nullptr;
  int events = 0;
};

TEST_F(DialUpBindingTest, TheServiceLibraryServesWhenItHasTheFunction) {
  EXPECT_EQ(0, dialer->GetEntries());
  EXPECT_EQ(std::vector<std::string>{"Home"}, dialer->Entries().ToVector());
  EXPECT_TRUE(Binding().Bound());
  EXPECT_FALSE(Binding().Fallback());
  EXPECT_EQ(0, world.libraries.LoadCount("rnaph.dll"));
}

TEST_F(DialUpBindingTest, MissingServiceLibraryEndsTheOperationWithoutTryingTheOlderOne) {
  world.libraries.RemoveLibrary("rasapi32.dll");
  EXPECT_EQ("Error opening rasapi.dll", ThrownBy([&] { dialer->GetEntries(); }));
  EXPECT_EQ("Error opening rasapi.dll", ThrownBy([&] { dialer->Dial(); }));
  EXPECT_EQ(0, events);  // no event for an operation that could not reach the service
  EXPECT_EQ(0, world.libraries.LoadCount("rnaph.dll"));
  EXPECT_FALSE(Binding().Bound());
}

TEST_F(DialUpBindingTest, AFunctionMissingAtTheFirstLookupSwitchesToTheOlderLibraryForGood) {
  world.libraries.RemoveFunction("rasapi32.dll", "RasEnumEntriesA");
  EXPECT_EQ(0, dialer->GetEntries());
  EXPECT_EQ(std::vector<std::string>{"Legacy"}, dialer->Entries().ToVector());
  EXPECT_TRUE(Binding().Fallback());
  // Later calls go to the older library even where the service has the function.
  std::string name;
  EXPECT_EQ(0, dialer->GetUsername(name));
  EXPECT_EQ("legacy-user", name);
  // ... and a function it lacks is an error, not a way back.
  EXPECT_EQ("Function RasSetEntryDialParamsA not found!",
            ThrownBy([&] { dialer->SetUsername("x"); }));
}

TEST_F(DialUpBindingTest, TheOlderLibraryIsFreedAtProgramEndTheServiceLibraryIsNot) {
  world.libraries.RemoveFunction("rasapi32.dll", "RasEnumEntriesA");
  dialer->GetEntries();
  EXPECT_EQ(0, world.libraries.FreeCount("rnaph.dll"));
  world.app.reset();
  EXPECT_EQ(1, world.libraries.FreeCount("rnaph.dll"));
  EXPECT_EQ(0, world.libraries.FreeCount("rasapi32.dll"));
}

TEST_F(DialUpBindingTest, AFunctionMissingEverywhereLeavesTheBindingOpen) {
  world.libraries.RemoveFunction("rasapi32.dll", "RasHangUpA");
  EXPECT_EQ("Function RasHangUpA not found!", ThrownBy([&] { dialer->HangUp(); }));
  EXPECT_FALSE(Binding().Bound());
  // The next call starts again from the service library.
  EXPECT_EQ(0, dialer->GetEntries());
  EXPECT_EQ(std::vector<std::string>{"Home"}, dialer->Entries().ToVector());
  EXPECT_FALSE(Binding().Fallback());
}

TEST_F(DialUpBindingTest, MissingOlderLibraryIsReportedByName) {
  world.libraries.RemoveLibrary("rnaph.dll");
  world.libraries.RemoveFunction("rasapi32.dll", "RasEnumEntriesA");
  EXPECT_EQ("Error opening rnaph.dll", ThrownBy([&] { dialer->GetEntries(); }));
}

TEST_F(DialUpBindingTest, AFunctionMissingAfterTheFirstLookupIsAnErrorNotASwitch) {
  ASSERT_EQ(0, dialer->GetEntries());
  world.libraries.RemoveFunction("rasapi32.dll", "RasGetEntryDialParamsA");
  world.libraries.Add("rnaph.dll", "RasGetEntryDialParamsA", &LegacyGetParams);
  std::string name;
  EXPECT_EQ("Function RasGetEntryDialParamsA not found!",
            ThrownBy([&] { dialer->GetUsername(name); }));
  EXPECT_EQ(0, world.libraries.LoadCount("rnaph.dll"));
  EXPECT_FALSE(Binding().Fallback());
}

TEST_F(DialUpBindingTest, EntryPointsAreLookedUpOnEveryCall) {
  ASSERT_EQ(0, dialer->GetEntries());
  int before = world.libraries.LookupCount("RasEnumEntriesA") +
               world.libraries.LookupCount("RasEnumEntriesAA");
  dialer->GetEntries();
  dialer->GetEntries();
  int after = world.libraries.LookupCount("RasEnumEntriesA") +
              world.libraries.LookupCount("RasEnumEntriesAA");
  EXPECT_GE(after - before, 2);
}

TEST(DialUpBindingWorld, EachApplicationStartsUnbound) {
  for (int round = 0; round < 2; ++round) {
    TTestWorld world;
    TSimHarness sim(world, "[Home]\n");
    if (round == 1) world.libraries.RemoveLibrary("rasapi32.dll");
    auto* dialer = new TDialUp(world.app.get());
    if (round == 0) {
      EXPECT_EQ(0, dialer->GetEntries());
    } else {
      EXPECT_EQ("Error opening rasapi.dll", ThrownBy([&] { dialer->GetEntries(); }));
    }
  }
}

}  // namespace
