#include "platform/win32/Win32Files.h"

#include <windows.h>

namespace {

HANDLE AsHandle(IFileSystem::THandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// SetFilePointer with both halves of the distance: every Windows has it.
uint32_t MoveTo(HANDLE h, uint64_t distance, DWORD from) {
  LONG high = static_cast<LONG>(distance >> 32);
  SetLastError(ERROR_SUCCESS);
  const DWORD low = SetFilePointer(h, static_cast<LONG>(distance & 0xFFFFFFFFu), &high, from);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return GetLastError();
  return ERROR_SUCCESS;
}

}  // namespace

bool TWin32Files::FileExists(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  return !name.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool TWin32Files::DirectoryExists(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  return !name.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t TWin32Files::OpenAppend(const std::string& name, THandle& handle) {
  if (name.empty()) return ERROR_PATH_NOT_FOUND;
  // Write access (not append-only) so that a failed write can be cut back;
  // shared for reading and writing, as the C library's files are, so that
  // the user can read the log while the program runs.
  HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  handle = reinterpret_cast<THandle>(h);
  return ERROR_SUCCESS;
}

uint32_t TWin32Files::Append(THandle handle, const char* data, size_t size) {
  HANDLE h = AsHandle(handle);
  // Another writer may have made the file longer since the last write.
  if (uint32_t error = MoveTo(h, 0, FILE_END)) return error;
  while (size > 0) {
    const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(h, data, chunk, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_DISK_FULL;
    data += written;
    size -= written;
  }
  return ERROR_SUCCESS;
}

uint32_t TWin32Files::Size(THandle handle, uint64_t& size) {
  DWORD high = 0;
  SetLastError(ERROR_SUCCESS);
  const DWORD low = GetFileSize(AsHandle(handle), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return GetLastError();
  size = (static_cast<uint64_t>(high) << 32) | low;
  return ERROR_SUCCESS;
}

uint32_t TWin32Files::Truncate(THandle handle, uint64_t size) {
  HANDLE h = AsHandle(handle);
  if (uint32_t error = MoveTo(h, size, FILE_BEGIN)) return error;
  return SetEndOfFile(h) ? ERROR_SUCCESS : GetLastError();
}

void TWin32Files::Close(THandle handle) {
  if (handle) CloseHandle(AsHandle(handle));
}

uint32_t TWin32Files::CreateFolder(const std::string& name) {
  if (CreateDirectoryA(name.c_str(), nullptr)) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS && DirectoryExists(name)) return ERROR_SUCCESS;
  return error;
}

std::string TWin32Files::ErrorMessage(uint32_t code) {
  char buffer[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, buffer, sizeof buffer, nullptr);
  while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == ' ')) --n;
  if (n == 0) return "Error " + std::to_string(code) + ".";
  return std::string(buffer, n);
}
