// The dialer's status texts in its three languages, the error-text rule, and
// the list of dial-up statistics providers.
#include <gtest/gtest.h>

#include <cstring>

#include "SimHarness.h"
#include "dialup/DialUp.h"

namespace {

class DialUpTextsTest : public ::testing::Test {
 protected:
  DialUpTextsTest() : sim(world, "[Home]\n") { dialer = new TDialUp(world.app.get()); }
  std::string Text(TLanguage language, int32_t state, int32_t error = 0) {
    dialer->SetLanguage(language);
    return dialer->GetStatusText(state, error);
  }

  TTestWorld world;
  TSimHarness sim;
  TDialUp* dialer = nullptr;
};

TEST_F(DialUpTextsTest, EnglishTextsAreTheOnesTheOwnerComparesWith) {
  EXPECT_EQ("Opening port", Text(English, 0));
  EXPECT_EQ("Start authenticating", Text(English, 5));
  EXPECT_EQ("Authenticated", Text(English, 14));
  EXPECT_EQ("Logging on network", Text(English, 21));
  EXPECT_EQ("Retry Authentication", Text(English, 0x1001));
  EXPECT_EQ("Connected", Text(English, 0x2000));
  EXPECT_EQ("Disconnected", Text(English, 0x2001));
}

TEST_F(DialUpTextsTest, CzechTextsAreInCodePage1250) {
  EXPECT_EQ("Spojeno", Text(Czech, 0x2000));
  EXPECT_EQ("P\xF8ipojuje se na s\xED\x9D", Text(Czech, 21));  // Připojuje se na síť
  EXPECT_EQ(
      "V\x9A"
      "echna za\xF8\xEDzen\xED spojena",
      Text(Czech, 4));  // Všechna zařízení spojena
  EXPECT_EQ(
      "\xC8"
      "ek\xE1 se na reset modemu",
      Text(Czech, 16));  // Čeká se na reset modemu
  EXPECT_EQ("Zpe\xECtn\xE9 vol\xE1n\xED zvoleno u\x9Eivatelem", Text(Czech, 0x1002));
}

TEST_F(DialUpTextsTest, PortugueseTextsAreInCodePage1252) {
  EXPECT_EQ(
      "Autentica\xE7"
      "ao: enviando",
      Text(Portuguese, 10));  // Autenticaçao: enviando
  EXPECT_EQ(Text(Portuguese, 6), Text(Portuguese, 10));
  EXPECT_EQ(Text(Portuguese, 12), Text(Portuguese, 10));
  EXPECT_EQ("Senha inv\xE1lida", Text(Portuguese, 0x1003));  // Senha inválida
  EXPECT_EQ("Componente conenctado", Text(Portuguese, 3));
}

TEST_F(DialUpTextsTest, EveryKnownStateHasATextInEveryLanguage) {
  const int32_t states[] = {0,  1,  2,      3,      4,      5,      6,      7,     8,  9,
                            10, 11, 12,     13,     14,     15,     16,     17,    18, 19,
                            20, 21, 0x1000, 0x1001, 0x1002, 0x1003, 0x2000, 0x2001};
  for (int32_t s : states)
    for (TLanguage l : {English, Czech, Portuguese}) EXPECT_NE("", Text(l, s)) << s << " " << l;
}

TEST_F(DialUpTextsTest, UnknownStatesHaveNoText) {
  for (int32_t s : {22, 23, 4100, -1})
    for (TLanguage l : {English, Czech, Portuguese}) EXPECT_EQ("", Text(l, s)) << s;
}

TEST_F(DialUpTextsTest, AnyOtherLanguageValueReadsEnglish) {
  EXPECT_EQ("Connected", Text(static_cast<TLanguage>(3), 0x2000));
}

TEST_F(DialUpTextsTest, AnErrorGivesTheServiceTextWhateverStateAndLanguage) {
  for (TLanguage l : {English, Czech, Portuguese}) {
    EXPECT_EQ(SimErrorText(691), Text(l, 0x2000, 691));
    EXPECT_EQ(SimErrorText(678), Text(l, 22, 678));
  }
}

TEST_F(DialUpTextsTest, AnErrorWithoutServiceTextGivesAnEmptyText) {
  EXPECT_EQ("", Text(English, 0x2000, 12345));
}

uint32_t RASAPI_CALL UnterminatedText(uint32_t, char* buffer, uint32_t size) {
  std::memset(buffer, 'x', size);  // fills the buffer, no terminator
  return 0;
}

TEST_F(DialUpTextsTest, ATextThatDoesNotFitTheBufferIsNoText) {
  world.libraries.Add("rasapi32.dll", "RasGetErrorStringA", &UnterminatedText);
  EXPECT_EQ("", Text(English, 0, 691));
}

// ---------------------------------------------------------------- statistics

const char* const kEnumKey = "HKLM\\System\\CurrentControlSet\\Control\\PerfStats\\Enum";
const char* const kStartKey = "HKDD\\PerfStats\\StartStat";

class DialUpStatsTest : public ::testing::Test {
 protected:
  DialUpStatsTest() {
    world.registry.MakeKey(std::string(kEnumKey) + "\\bEta");
    world.registry.MakeKey(std::string(kEnumKey) + "\\Alpha");
    world.registry.MakeKey(std::string(kEnumKey) + "\\gamma");
    world.registry.PutDword(kStartKey, "bEta\\ConnectSpeed", 0);
    world.registry.PutDword(kStartKey, "Alpha\\ConnectSpeed", 0);
    world.registry.PutDword(kStartKey, "gamma\\BytesXmit", 0);
  }
  TTestWorld world;
};

TEST_F(DialUpStatsTest, OnTheNtFamilyNothingIsRead) {
  world.system.platformId = VER_PLATFORM_WIN32_NT_T;
  auto* dialer = new TDialUp(world.app.get());
  EXPECT_EQ(0, dialer->DUNA().Count());
  EXPECT_FALSE(dialer->GetStats());
  EXPECT_TRUE(world.registry.log.empty());
}

TEST_F(DialUpStatsTest, ConstructionListsTheProvidersThatHaveASpeed) {
  world.system.platformId = VER_PLATFORM_WIN32_WINDOWS_T;
  auto* dialer = new TDialUp(world.app.get());
  // Sorted without regard to case.
  EXPECT_EQ((std::vector<std::string>{"Alpha", "bEta"}), dialer->DUNA().ToVector());
  EXPECT_TRUE(dialer->GetStats());
  EXPECT_EQ((std::vector<std::string>{"Alpha", "bEta"}), dialer->DUNA().ToVector());
  // Read only, and every key closed again.
  for (const std::string& line : world.registry.log) {
    EXPECT_EQ(0u, line.rfind("Open ", 0)) << line;
    EXPECT_NE(std::string::npos, line.find("access=131097")) << line;
  }
  EXPECT_EQ(0, world.registry.OpenHandles());
}

TEST(DialUpStats, WithoutTheStartKeyTheListIsEmpty) {
  TTestWorld world;
  world.system.platformId = VER_PLATFORM_WIN32_WINDOWS_T;
  world.registry.MakeKey(std::string(kEnumKey) + "\\Alpha");
  auto* dialer = new TDialUp(world.app.get());
  EXPECT_FALSE(dialer->GetStats());
  EXPECT_EQ(0, dialer->DUNA().Count());
  EXPECT_EQ(0, world.registry.OpenHandles());
}

// A registry whose provider names keep their case, listed in the order given.
class TCasedProviders : public IRegistryApi {
 public:
  std::vector<std::string> providers{"bEta", "Alpha", "gamma"};
  long OpenKey(HKEY_T, const std::string&, uint32_t, HKEY_T* result) override {
    *result = 0x1000 + opened++;
    return ERROR_SUCCESS_T;
  }
  long CreateKey(HKEY_T, const std::string&, uint32_t, HKEY_T*) override { return 5; }
  long CloseKey(HKEY_T) override { return ERROR_SUCCESS_T; }
  long QueryValue(HKEY_T, const std::string& name, uint32_t* type, uint8_t*,
                  uint32_t* size) override {
    if (name.rfind("gamma", 0) == 0) return ERROR_FILE_NOT_FOUND_T;
    *type = REG_BINARY_T;
    *size = 4;
    return ERROR_SUCCESS_T;
  }
  long SetValue(HKEY_T, const std::string&, uint32_t, const uint8_t*, uint32_t) override {
    return 5;
  }
  long DeleteValue(HKEY_T, const std::string&) override { return 5; }
  long QueryInfoKey(HKEY_T, uint32_t* subKeys, uint32_t* maxLen, uint32_t* values) override {
    *subKeys = static_cast<uint32_t>(providers.size());
    *maxLen = 32;
    *values = 0;
    return ERROR_SUCCESS_T;
  }
  long EnumKey(HKEY_T, uint32_t index, char* name, uint32_t* len) override {
    std::strcpy(name, providers[index].c_str());
    *len = static_cast<uint32_t>(providers[index].size());
    return ERROR_SUCCESS_T;
  }
  int opened = 0;
};

TEST(DialUpStats, ProviderNamesAreSortedWithoutRegardToCase) {
  TTestWorld world;
  world.system.platformId = VER_PLATFORM_WIN32_WINDOWS_T;
  TCasedProviders registry;
  TPlatform platform = world.app->Platform();
  platform.registry = &registry;
  TApplication app(world.backend, platform);
  auto* dialer = new TDialUp(&app);
  EXPECT_EQ((std::vector<std::string>{"Alpha", "bEta"}), dialer->DUNA().ToVector());
}

}  // namespace
