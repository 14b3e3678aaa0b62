// The in-memory registry as a model of Windows' access checks: a normal
// user's token may read HKEY_LOCAL_MACHINE, and every change to it is
// refused with ERROR_ACCESS_DENIED, as for UAC's filtered token.
#include <gtest/gtest.h>

#include "platform/memory/MemoryRegistry.h"

namespace {

const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr uint32_t kSetValue = 0x2;  // KEY_SET_VALUE

TEST(MemoryRegistry, ANormalUserReadsTheMachineWideKeyAndEveryChangeIsRefused) {
  TMemoryRegistry r;
  r.PutString(std::string("HKLM\\") + kRun, "Other", "C:\\Other.exe");
  HKEY_T h = 0;
  EXPECT_EQ(r.OpenKey(HKEY_LOCAL_MACHINE_T, kRun, KEY_ALL_ACCESS_T, &h), ERROR_ACCESS_DENIED_T);
  EXPECT_EQ(r.OpenKey(HKEY_LOCAL_MACHINE_T, kRun, kSetValue, &h), ERROR_ACCESS_DENIED_T);
  EXPECT_EQ(r.CreateKey(HKEY_LOCAL_MACHINE_T, kRun, KEY_WRITE_T, &h), ERROR_ACCESS_DENIED_T);
  EXPECT_EQ(r.CreateKey(HKEY_LOCAL_MACHINE_T, "Software\\New", KEY_READ_T, &h),
            ERROR_ACCESS_DENIED_T);
  EXPECT_FALSE(r.HasKey("HKLM\\Software\\New"));
  // Read-only, the key opens and reads; a handle without KEY_SET_VALUE may
  // neither set nor delete a value.
  ASSERT_EQ(r.OpenKey(HKEY_LOCAL_MACHINE_T, kRun, KEY_READ_T, &h), ERROR_SUCCESS_T);
  uint32_t type = 0, size = 0;
  EXPECT_EQ(r.QueryValue(h, "Other", &type, nullptr, &size), ERROR_SUCCESS_T);
  const uint8_t text[] = "C:\\Q.exe";
  EXPECT_EQ(r.SetValue(h, "Quindle", REG_SZ_T, text, sizeof text), ERROR_ACCESS_DENIED_T);
  EXPECT_EQ(r.DeleteValue(h, "Other"), ERROR_ACCESS_DENIED_T);
  r.CloseKey(h);
  EXPECT_EQ(r.String(std::string("HKLM\\") + kRun, "Other"), "C:\\Other.exe");
  // The user's own root is the user's to change.
  ASSERT_EQ(r.CreateKey(HKEY_CURRENT_USER_T, kRun, KEY_ALL_ACCESS_T, &h), ERROR_SUCCESS_T);
  EXPECT_EQ(r.SetValue(h, "Quindle", REG_SZ_T, text, sizeof text), ERROR_SUCCESS_T);
  r.CloseKey(h);
  // An administrator's token changes the machine-wide key.
  r.administrator = true;
  ASSERT_EQ(r.OpenKey(HKEY_LOCAL_MACHINE_T, kRun, KEY_ALL_ACCESS_T, &h), ERROR_SUCCESS_T);
  EXPECT_EQ(r.DeleteValue(h, "Other"), ERROR_SUCCESS_T);
  r.CloseKey(h);
  EXPECT_FALSE(r.HasValue(std::string("HKLM\\") + kRun, "Other"));
}

}  // namespace
