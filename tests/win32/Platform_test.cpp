// The Windows seams other than the registry: library loading from the system
// directory only, the clock and the locale's formats, the system facts, file
// versions and Winsock.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32LibraryLoader.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32Sockets.h"
#include "platform/win32/Win32System.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

using GetTickCountFn = unsigned long(__stdcall*)();

TEST(LibraryLoaderWin32, LoadsSystemLibrariesAndFindsTheirFunctions) {
  TWin32LibraryLoader loader;
  HMODULE_T kernel = loader.LoadLibrary("kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  auto tick = ProcAs<GetTickCountFn>(loader.GetProcAddress(kernel, "GetTickCount"));
  ASSERT_NE(tick, nullptr);
  EXPECT_GT(tick(), 0u);
  EXPECT_EQ(loader.GetProcAddress(kernel, "NoSuchFunctionAnywhere"), nullptr);
  EXPECT_TRUE(loader.FreeLibrary(kernel));

  // Names compare without case, as Windows file names do.
  HMODULE_T version = loader.LoadLibrary("VERSION.DLL");
  ASSERT_NE(version, nullptr);
  EXPECT_NE(loader.GetProcAddress(version, "GetFileVersionInfoSizeA"), nullptr);
  EXPECT_TRUE(loader.FreeLibrary(version));
}

TEST(LibraryLoaderWin32, MissingLibrariesAndNullHandlesFailQuietly) {
  TWin32LibraryLoader loader;
  EXPECT_EQ(loader.LoadLibrary("quindle-no-such-library.dll"), nullptr);
  EXPECT_EQ(loader.LoadLibrary(""), nullptr);
  EXPECT_EQ(loader.GetProcAddress(nullptr, "GetTickCount"), nullptr);
  EXPECT_FALSE(loader.FreeLibrary(nullptr));
}

TEST(LibraryLoaderWin32, NeverLoadsFromTheProgramFolderOrAGivenPath) {
  // quindle_probe.dll is built beside the test runner: the ordinary search
  // order would find it there, and in the current directory.
  TWin32System system;
  const std::string folder = FolderOf(system.ModuleFileName());
  const std::string probe = folder + "\\quindle_probe.dll";
  ASSERT_TRUE(FileExists(probe)) << probe;

  TWin32LibraryLoader loader;
  EXPECT_EQ(loader.LoadLibrary("quindle_probe.dll"), nullptr);
  EXPECT_EQ(loader.LoadLibrary(probe), nullptr);
  EXPECT_EQ(loader.LoadLibrary(".\\quindle_probe.dll"), nullptr);
  EXPECT_EQ(loader.LoadLibrary("../windows/quindle_probe.dll"), nullptr);
}

TEST(ClockWin32, NowIsTheLocalTime) {
  TWin32Clock clock;
  const std::time_t seconds = std::time(nullptr);
  const std::tm local = *std::localtime(&seconds);
  const TDateTime expected = EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                             local.tm_hour, local.tm_min, local.tm_sec, 0});
  const TDateTime now = clock.Now();
  EXPECT_GE(now.ms, expected.ms - 2000);
  EXPECT_LE(now.ms, expected.ms + 3000);
}

// What the user's locale gives for a few moments. scripts/test runs these
// suites under the English (United States) locale and runs the locale suite
// again under others, naming the one in QUINDLE_EXPECT_LOCALE.
struct TLocaleCase {
  const char* name;
  char timeSeparator, dateSeparator;
  const char* eveningTime;  // 2026-12-08 21:05:07.450
  const char* eveningDate;
  const char* midnightTime;  // 2000-02-29 00:00:00
  const char* midnightDate;
  const char* ampm;  // 2027-03-04 00:15 as "hh:mm AM/PM" and "dd/mm/yy"
  const char* ddmmyy;
};

const TLocaleCase kLocales[] = {
    {"en-US", ':', '/', "9:05:07 PM", "12/8/2026", "12:00:00 AM", "2/29/2000", "12:15 AM",
     "04/03/27"},
    {"fi-FI", '.', '.', "21.05.07", "8.12.2026", "0.00.00", "29.2.2000", "12.15 AM", "04.03.27"},
};

const TLocaleCase& ExpectedLocale() {
  const char* wanted = std::getenv("QUINDLE_EXPECT_LOCALE");
  const std::string name = wanted && *wanted ? wanted : "en-US";
  for (const TLocaleCase& c : kLocales) {
    if (name == c.name) return c;
  }
  ADD_FAILURE() << "no expectations for the locale " << name;
  return kLocales[0];
}

TEST(LocaleWin32, LongTimeAndShortDateFollowTheUserLocale) {
  const TLocaleCase& expected = ExpectedLocale();
  TWin32Locale locale;
  EXPECT_EQ(locale.TimeSeparator(), expected.timeSeparator) << expected.name;
  EXPECT_EQ(locale.DateSeparator(), expected.dateSeparator) << expected.name;
  const TDateTime evening = EncodeDateTime({2026, 12, 8, 21, 5, 7, 450});
  EXPECT_EQ(locale.LongTime(evening), expected.eveningTime);
  EXPECT_EQ(locale.ShortDate(evening), expected.eveningDate);
  const TDateTime midnight = EncodeDateTime({2000, 2, 29, 0, 0, 0, 0});
  EXPECT_EQ(locale.LongTime(midnight), expected.midnightTime);
  EXPECT_EQ(locale.ShortDate(midnight), expected.midnightDate);
}

TEST(LocaleWin32, TimedEventPatternsUseTheLocaleSeparators) {
  const TLocaleCase& expected = ExpectedLocale();
  TWin32Locale locale;
  const TDateTime t = EncodeDateTime({2027, 3, 4, 0, 15, 0, 0});
  EXPECT_EQ(FormatTimeAmPm(t, locale.TimeSeparator()), expected.ampm);
  EXPECT_EQ(FormatDateDdMmYy(t, locale.DateSeparator()), expected.ddmmyy);
}

TEST(LocaleWin32, MomentsWindowsCannotFormatGiveEmptyText) {
  TWin32Locale locale;
  const TDateTime tooEarly = EncodeDateTime({1500, 6, 1, 10, 0, 0, 0});
  EXPECT_EQ(locale.LongTime(tooEarly), "");
  EXPECT_EQ(locale.ShortDate(tooEarly), "");
  const TDateTime lastDay = EncodeDateTime({30827, 12, 31, 23, 59, 59, 0});
  EXPECT_FALSE(locale.ShortDate(lastDay).empty());
}

TEST(SystemWin32, ReportsTheProgramPathPlatformAndSystemDirectory) {
  TWin32System system;
  const std::string path = system.ModuleFileName();
  ASSERT_GT(path.size(), 3u);
  EXPECT_EQ(path.substr(1, 2), ":\\");
  EXPECT_EQ(Lower(path.substr(path.size() - 20)), "quindle_wintests.exe");
  EXPECT_TRUE(FileExists(path));

  EXPECT_EQ(system.PlatformId(), VER_PLATFORM_WIN32_NT_T);

  const std::string systemDir = system.SystemDirectory();
  EXPECT_EQ(Lower(systemDir.substr(systemDir.size() - 9)), "\\system32");
  EXPECT_TRUE(DirectoryExists(systemDir));
  EXPECT_TRUE(FileExists(systemDir + "\\kernel32.dll"));
}

TEST(SystemWin32, ShutdownPrivilegeCanBeLookedUp) {
  // Only the privilege is enabled here; no shutdown is requested.
  TWin32System system;
  EXPECT_TRUE(system.EnableShutdownPrivilege());
  EXPECT_TRUE(system.EnableShutdownPrivilege());
}

TEST(ShellWin32, ReadsTheFixedVersionOfShell32) {
  TWin32System system;
  TWin32Shell shell;
  TFixedFileVersion info;
  ASSERT_TRUE(shell.FileVersion(system.SystemDirectory() + "\\shell32.dll", info));
  EXPECT_EQ(info.signature, 0xFEEF04BDu);
  EXPECT_GE(info.fileVersionMS >> 16, 5u);
}

TEST(ShellWin32, FilesWithoutVersionInformation) {
  TWin32System system;
  TWin32Shell shell;
  TFixedFileVersion info;
  EXPECT_FALSE(shell.FileVersion(system.SystemDirectory() + "\\quindle-missing.dll", info));
  // The probe library carries no version resource.
  EXPECT_FALSE(shell.FileVersion(FolderOf(system.ModuleFileName()) + "\\quindle_probe.dll", info));
  EXPECT_EQ(info.signature, 0u);
}

TEST(SocketsWin32, HostNameAndAddresses) {
  TWin32Sockets sockets;
  ASSERT_EQ(sockets.Startup(0x0101), 0);
  char name[255] = {};
  ASSERT_EQ(sockets.GetHostName(name, sizeof name), 0);
  EXPECT_GT(std::string(name).size(), 0u);
  EXPECT_EQ(sockets.GetHostName(name, 1), -1);  // too small a buffer

  auto loopback = sockets.FirstAddressOf("127.0.0.1");
  ASSERT_TRUE(loopback.has_value());
  EXPECT_EQ(*loopback, (std::array<uint8_t, 4>{127, 0, 0, 1}));
  EXPECT_TRUE(sockets.FirstAddressOf(name).has_value());
  EXPECT_EQ(sockets.Cleanup(), 0);
}

}  // namespace
