// The file seam over the Windows API: appending, cutting back, and the
// errors Windows gives for a folder, a missing path, a file another program
// holds without sharing it and a read-only file, told in Windows' own words;
// and the user's own application-data folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32Shell.h"

namespace {

std::string TempFolder() {
  char path[MAX_PATH + 1] = {};
  GetTempPathA(sizeof path, path);
  std::string folder = std::string(path) + "quindle-files-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

std::string Contents(const std::string& name) {
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<unreadable>";
  char buffer[256];
  DWORD n = 0;
  ReadFile(h, buffer, sizeof buffer, &n, nullptr);
  CloseHandle(h);
  return std::string(buffer, n);
}

TEST(FilesWin32, AppendsAtTheEndAndCutsBackWhileOthersReadAndWrite) {
  TWin32Files files;
  const std::string folder = TempFolder();
  const std::string name = folder + "\\append.log";
  DeleteFileA(name.c_str());
  IFileSystem::THandle h = 0;
  ASSERT_EQ(files.OpenAppend(name, h), 0u);
  EXPECT_TRUE(files.FileExists(name));
  EXPECT_EQ(files.Append(h, "one\r\n", 5), 0u);
  uint64_t size = 0;
  EXPECT_EQ(files.Size(h, size), 0u);
  EXPECT_EQ(size, 5u);
  // Another writer appends in between (the file is shared): the next
  // append still goes at the end, and a cut takes the file back.
  IFileSystem::THandle other = 0;
  ASSERT_EQ(files.OpenAppend(name, other), 0u);
  EXPECT_EQ(files.Append(other, "two\r\n", 5), 0u);
  files.Close(other);
  EXPECT_EQ(files.Append(h, "three\r\n", 7), 0u);
  EXPECT_EQ(Contents(name), "one\r\ntwo\r\nthree\r\n");
  EXPECT_EQ(files.Truncate(h, 10), 0u);
  EXPECT_EQ(files.Append(h, "four\r\n", 6), 0u);
  files.Close(h);
  EXPECT_EQ(Contents(name), "one\r\ntwo\r\nfour\r\n");
  DeleteFileA(name.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST(FilesWin32, RefusalsAreWindowsOwnCodesAndMessages) {
  TWin32Files files;
  const std::string folder = TempFolder();
  EXPECT_TRUE(files.DirectoryExists(folder));
  EXPECT_FALSE(files.FileExists(folder));
  // A folder is no file; a missing folder is no place.
  EXPECT_EQ(TouchFile(files, folder), static_cast<uint32_t>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(TouchFile(files, folder + "\\missing\\x.log"),
            static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(files.CreateFolder(folder), 0u);  // already there
  EXPECT_NE(files.CreateFolder(folder + "\\missing\\deeper"), 0u);

  // A file another program holds without sharing it.
  const std::string held = folder + "\\held.log";
  HANDLE h = CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(TouchFile(files, held), static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  CloseHandle(h);
  EXPECT_EQ(TouchFile(files, held), 0u);
  DeleteFileA(held.c_str());

  // The messages are the system's, whole and without a line end.
  const std::string denied = files.ErrorMessage(ERROR_ACCESS_DENIED);
  const std::string full = files.ErrorMessage(ERROR_DISK_FULL);
  for (const std::string& m : {denied, full}) {
    EXPECT_GT(m.size(), 5u) << m;
    EXPECT_EQ(m.find_first_of("\r\n"), std::string::npos) << m;
  }
  EXPECT_NE(denied, full);
  char system[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 ERROR_ACCESS_DENIED, 0, system, sizeof system, nullptr);
  EXPECT_EQ(std::string(system).rfind(denied, 0), 0u) << system;
  EXPECT_EQ(files.ErrorMessage(0x2FFFFFFF), "Error " + std::to_string(0x2FFFFFFF) + ".");
  RemoveDirectoryA(folder.c_str());
}

TEST(ShellWin32, TheUsersOwnApplicationDataFolderIsThere) {
  TWin32Shell shell;
  TWin32Files files;
  const std::string folder = shell.LocalAppDataFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(files.DirectoryExists(folder)) << folder;
  EXPECT_NE(folder.back(), '\\');
  EXPECT_EQ(folder.find(':'), 1u) << folder;
}

}  // namespace
