// TRegistry over the real Windows registry: the encodings the settings use,
// the type errors, access faults, and the machine-wide Run value.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/Registry.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string ThrownMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const ERegistryException& e) {
    return e.Message();
  }
  return "(nothing thrown)";
}

// Each test works in a scratch key of its own under HKCU\SOFTWARE, removed
// afterwards with everything in it.
class RegistryWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    scratch_ = "QuindleTest" + std::to_string(random());
    path_ = "SOFTWARE\\" + scratch_;
    HKEY_T key = 0;
    ASSERT_EQ(api_.CreateKey(HKEY_CURRENT_USER_T, path_, KEY_ALL_ACCESS_T, &key), ERROR_SUCCESS_T);
    api_.CloseKey(key);
  }
  void TearDown() override { api_.DeleteTree(HKEY_CURRENT_USER_T, path_); }

  // Raw access, straight through the Win32 calls, to see what TRegistry stored
  // and to plant values it would never write.
  void PutRaw(const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
    HKEY_T key = 0;
    ASSERT_EQ(api_.OpenKey(HKEY_CURRENT_USER_T, path_, KEY_ALL_ACCESS_T, &key), ERROR_SUCCESS_T);
    EXPECT_EQ(api_.SetValue(key, name, type, data.data(), static_cast<uint32_t>(data.size())),
              ERROR_SUCCESS_T);
    api_.CloseKey(key);
  }
  void PutText(const std::string& name, uint32_t type, const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    PutRaw(name, type, bytes);
  }
  bool GetRaw(const std::string& name, uint32_t& type, std::vector<uint8_t>& data) {
    HKEY_T key = 0;
    if (api_.OpenKey(HKEY_CURRENT_USER_T, path_, KEY_READ_T, &key) != ERROR_SUCCESS_T) return false;
    uint32_t size = 0;
    long rc = api_.QueryValue(key, name, &type, nullptr, &size);
    data.assign(size, 0);
    if (rc == ERROR_SUCCESS_T && size) rc = api_.QueryValue(key, name, &type, data.data(), &size);
    api_.CloseKey(key);
    return rc == ERROR_SUCCESS_T;
  }

  TWin32RegistryApi api_;
  std::string scratch_, path_;
};

TEST_F(RegistryWin32, IntegersAndBooleansAreFourByteDwords) {
  {
    TRegistry reg(api_);
    ASSERT_TRUE(reg.OpenKey("SOFTWARE", false));
    ASSERT_TRUE(reg.OpenKey(scratch_, false));
    reg.WriteInteger("RetryInt", 3000);
    reg.WriteInteger("Negative", -1);
    reg.WriteBool("AutoRecon", true);
    reg.WriteBool("LogEnabled", false);
  }
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_TRUE(GetRaw("RetryInt", type, data));
  EXPECT_EQ(type, REG_DWORD_T);
  EXPECT_EQ(data, (std::vector<uint8_t>{0xB8, 0x0B, 0, 0}));
  ASSERT_TRUE(GetRaw("AutoRecon", type, data));
  EXPECT_EQ(type, REG_DWORD_T);
  EXPECT_EQ(data, (std::vector<uint8_t>{1, 0, 0, 0}));
  ASSERT_TRUE(GetRaw("LogEnabled", type, data));
  EXPECT_EQ(data, (std::vector<uint8_t>{0, 0, 0, 0}));

  TRegistry reg(api_);
  ASSERT_TRUE(reg.OpenKey("\\" + path_, false));
  EXPECT_EQ(reg.ReadInteger("RetryInt"), 3000);
  EXPECT_EQ(reg.ReadInteger("Negative"), -1);
  EXPECT_TRUE(reg.ReadBool("AutoRecon"));
  EXPECT_FALSE(reg.ReadBool("LogEnabled"));
}

TEST_F(RegistryWin32, AnyNonZeroDwordReadsAsTrue) {
  PutRaw("DialMode", REG_DWORD_T, {2, 0, 0, 0});
  PutRaw("MiniStart", REG_DWORD_T, {0, 0, 0, 0x80});
  TRegistry reg(api_);
  ASSERT_TRUE(reg.OpenKey("\\" + path_, false));
  EXPECT_TRUE(reg.ReadBool("DialMode"));
  EXPECT_EQ(reg.ReadInteger("DialMode"), 2);
  EXPECT_TRUE(reg.ReadBool("MiniStart"));
}

TEST_F(RegistryWin32, TextIsStoredWithItsTerminatorAndReadBack) {
  const std::string cafe =
      "Caf\xE9 \xA3"
      "5";  // "Café £5" in the ANSI code page
  {
    TRegistry reg(api_);
    ASSERT_TRUE(reg.OpenKey("\\" + path_, false));
    reg.WriteString("LogFile", "C:\\Logs\\SessionLog.txt");
    reg.WriteString("Empty", "");
    reg.WriteString("Cafe", cafe);
    reg.WriteExpandString("Expand", "%TEMP%\\q.log");
  }
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_TRUE(GetRaw("LogFile", type, data));
  EXPECT_EQ(type, REG_SZ_T);
  const std::string stored = "C:\\Logs\\SessionLog.txt";
  std::vector<uint8_t> expected(stored.begin(), stored.end());
  expected.push_back(0);
  EXPECT_EQ(data, expected);
  ASSERT_TRUE(GetRaw("Expand", type, data));
  EXPECT_EQ(type, REG_EXPAND_SZ_T);

  TRegistry reg(api_);
  ASSERT_TRUE(reg.OpenKey("\\" + path_, false));
  EXPECT_EQ(reg.ReadString("LogFile"), stored);
  EXPECT_EQ(reg.ReadString("Empty"), "");
  EXPECT_EQ(reg.ReadString("Cafe"), cafe);
  // Expandable text is taken as it stands.
  EXPECT_EQ(reg.ReadString("Expand"), "%TEMP%\\q.log");
}

TEST_F(RegistryWin32, TextIsCutAtTheFirstNulAndMayLackOne) {
  PutRaw("Time", REG_SZ_T, {'0', '9', ':', '3', '0', 0, 'X', 'Y', 0});
  PutRaw("Date", REG_SZ_T, {'0', '1', '/', '0', '2', '/', '2', '7'});  // no terminator
  PutRaw("Zero", REG_SZ_T, {});
  const std::string longText(3000, 'q');
  PutText("Long", REG_SZ_T, longText);
  TRegistry reg(api_);
  ASSERT_TRUE(reg.OpenKey("\\" + path_, false));
  EXPECT_EQ(reg.ReadString("Time"), "09:30");
  EXPECT_EQ(reg.ReadString("Date"), "01/02/27");
  EXPECT_EQ(reg.ReadString("Zero"), "");
  EXPECT_EQ(reg.ReadString("Long"), longText);
}

TEST_F(RegistryWin32, ValuesOfTheWrongTypeAreReportedByName) {
  PutText("DialMode", REG_SZ_T, "1");        // short text where a number belongs
  PutText("RetryInt", REG_SZ_T, "3000 ms");  // longer than a DWORD's buffer
  PutRaw("AutoRecon", REG_BINARY_T, {1, 0, 0, 0});
  PutRaw("Wide", REG_QWORD_T, {1, 0, 0, 0, 0, 0, 0, 0});
  PutRaw("LogFile", REG_DWORD_T, {1, 0, 0, 0});
  PutRaw("Time", REG_MULTI_SZ_T, {'a', 0, 0});
  PutRaw("Date", REG_BINARY_T, {'0', '1', 0});

  TRegistry reg(api_);
  ASSERT_TRUE(reg.OpenKey("\\" + path_, false));
  EXPECT_EQ(ThrownMessage([&] { reg.ReadInteger("DialMode"); }),
            "Invalid data type for 'DialMode'");
  EXPECT_EQ(ThrownMessage([&] { reg.ReadInteger("RetryInt"); }),
            "Invalid data type for 'RetryInt'");
  EXPECT_EQ(ThrownMessage([&] { reg.ReadBool("AutoRecon"); }), "Invalid data type for 'AutoRecon'");
  EXPECT_EQ(ThrownMessage([&] { reg.ReadInteger("Wide"); }), "Invalid data type for 'Wide'");
  EXPECT_EQ(ThrownMessage([&] { reg.ReadString("LogFile"); }), "Invalid data type for 'LogFile'");
  EXPECT_EQ(ThrownMessage([&] { reg.ReadString("Time"); }), "Invalid data type for 'Time'");
  EXPECT_EQ(ThrownMessage([&] { reg.ReadString("Date"); }), "Invalid data type for 'Date'");
  // The faulty values are left as they were.
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_TRUE(GetRaw("RetryInt", type, data));
  EXPECT_EQ(type, REG_SZ_T);
}

TEST_F(RegistryWin32, MissingValuesAndKeys) {
  TRegistry reg(api_);
  EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\" + scratch_ + "\\Absent", false));
  EXPECT_FALSE(reg.KeyExists("\\SOFTWARE\\" + scratch_ + "\\Absent"));
  ASSERT_TRUE(reg.OpenKey("\\" + path_, false));
  EXPECT_FALSE(reg.ValueExists("ConInt"));
  TRegDataInfo info;
  EXPECT_FALSE(reg.GetDataInfo("ConInt", info));
  EXPECT_FALSE(reg.DeleteValue("ConInt"));
  EXPECT_FALSE(reg.HasSubKeys());
  EXPECT_TRUE(reg.GetKeyNames().empty());
}

TEST_F(RegistryWin32, SubkeysAreFoundListedAndMatchedWithoutCase) {
  TRegistry reg(api_);
  ASSERT_TRUE(reg.OpenKey("\\" + path_, false));
  EXPECT_TRUE(reg.CreateKey("Quindle"));
  EXPECT_TRUE(reg.CreateKey("Other"));
  EXPECT_TRUE(reg.HasSubKeys());
  std::vector<std::string> names = reg.GetKeyNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Other", "Quindle"}));
  EXPECT_TRUE(reg.KeyExists("QUINDLE"));
  ASSERT_TRUE(reg.OpenKey("quindle", false));
  reg.WriteInteger("ConInt", 4);
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\" + path_ + "\\Quindle"));
  EXPECT_EQ(reg.ReadInteger("ConInt"), 4);
  TRegDataInfo info;
  ASSERT_TRUE(reg.GetDataInfo("ConInt", info));
  EXPECT_EQ(info.type, REG_DWORD_T);
  EXPECT_EQ(info.size, 4u);
}

TEST_F(RegistryWin32, AKeyOpenedForReadingRefusesWrites) {
  PutRaw("RetryInt", REG_DWORD_T, {1, 0, 0, 0});
  TRegistry reg(api_);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\" + path_));
  EXPECT_EQ(ThrownMessage([&] { reg.WriteInteger("RetryInt", 9); }),
            "Failed to set data for 'RetryInt'");
  EXPECT_EQ(ThrownMessage([&] { reg.WriteString("LogFile", "x.txt"); }),
            "Failed to set data for 'LogFile'");
  EXPECT_EQ(reg.ReadInteger("RetryInt"), 1);
}

TEST_F(RegistryWin32, AKeyThatCannotBeCreatedIsReportedByName) {
  // Key names are limited to 255 characters.
  const std::string tooLong(300, 'k');
  TRegistry reg(api_);
  ASSERT_TRUE(reg.OpenKey("\\" + path_, false));
  EXPECT_EQ(ThrownMessage([&] { reg.CreateKey(tooLong); }), "Failed to create key " + tooLong);
  EXPECT_FALSE(reg.OpenKey(tooLong, true));
  EXPECT_FALSE(reg.HasSubKeys());
}

TEST_F(RegistryWin32, DeletedValuesAreGone) {
  TRegistry reg(api_);
  ASSERT_TRUE(reg.OpenKey("\\" + path_, false));
  reg.WriteString("Quindle", "C:\\q.exe");
  EXPECT_TRUE(reg.ValueExists("Quindle"));
  EXPECT_TRUE(reg.DeleteValue("Quindle"));
  EXPECT_FALSE(reg.ValueExists("Quindle"));
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_FALSE(GetRaw("Quindle", type, data));
}

// The machine-wide Run value, as the program writes and removes it. Whatever
// the prefix held there before is put back afterwards.
TEST(RegistryWin32Run, RunValueIsWrittenWithTheModulePathAndDeleted) {
  TWin32RegistryApi api;
  TWin32System system;
  const std::string path = system.ModuleFileName();
  ASSERT_FALSE(path.empty());

  TRegistry reg(api);
  reg.SetRootKey(HKEY_LOCAL_MACHINE_T);
  ASSERT_TRUE(reg.OpenKey(kRunKey, true)) << "the Run key cannot be opened";
  const bool hadValue = reg.ValueExists("Quindle");
  const std::string previous = hadValue ? reg.ReadString("Quindle") : "";
  reg.CloseKey();

  ASSERT_TRUE(reg.OpenKey(kRunKey, false));
  reg.WriteString("Quindle", path);
  reg.CloseKey();

  // Read back through a fresh, read-only handle.
  HKEY_T key = 0;
  ASSERT_EQ(api.OpenKey(HKEY_LOCAL_MACHINE_T, kRunKey, KEY_READ_T, &key), ERROR_SUCCESS_T);
  char buffer[1024] = {};
  uint32_t type = 0, size = sizeof buffer;
  ASSERT_EQ(api.QueryValue(key, "Quindle", &type, reinterpret_cast<uint8_t*>(buffer), &size),
            ERROR_SUCCESS_T);
  api.CloseKey(key);
  EXPECT_EQ(type, REG_SZ_T);
  EXPECT_EQ(size, path.size() + 1);
  EXPECT_EQ(std::string(buffer), path);

  ASSERT_TRUE(reg.OpenKey(kRunKey, false));
  EXPECT_TRUE(reg.DeleteValue("Quindle"));
  EXPECT_FALSE(reg.ValueExists("Quindle"));
  if (hadValue) reg.WriteString("Quindle", previous);
}

}  // namespace

// Before Vista there is no RegDeleteTreeA: the scratch keys are then removed
// one key at a time, deepest first.
TEST_F(RegistryWin32, ATreeIsRemovedKeyByKeyWithoutRegDeleteTree) {
  for (const char* sub : {"\\A", "\\A\\B", "\\A\\B\\C", "\\A\\D", "\\E"}) {
    HKEY_T key = 0;
    ASSERT_EQ(api_.CreateKey(HKEY_CURRENT_USER_T, path_ + sub, KEY_ALL_ACCESS_T, &key),
              ERROR_SUCCESS_T);
    api_.CloseKey(key);
  }
  PutText("Value", REG_SZ_T, "kept until the key goes");
  EXPECT_EQ(api_.DeleteTreeKeyByKey(HKEY_CURRENT_USER_T, path_), ERROR_SUCCESS_T);
  HKEY_T key = 0;
  EXPECT_EQ(api_.OpenKey(HKEY_CURRENT_USER_T, path_, KEY_READ_T, &key), ERROR_FILE_NOT_FOUND_T);
  EXPECT_EQ(api_.DeleteTreeKeyByKey(HKEY_CURRENT_USER_T, path_), ERROR_FILE_NOT_FOUND_T);
}
