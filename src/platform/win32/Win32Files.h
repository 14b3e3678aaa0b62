// The file seam over the Windows API (CreateFileA, WriteFile, CreateDirectoryA),
// so that a failure is told with Windows' own error code and message.
#pragma once
#include "platform/Files.h"

class TWin32Files : public IFileSystem {
 public:
  bool FileExists(const std::string& name) override;
  bool DirectoryExists(const std::string& name) override;
  uint32_t OpenAppend(const std::string& name, THandle& handle) override;
  uint32_t Append(THandle handle, const char* data, size_t size) override;
  uint32_t Size(THandle handle, uint64_t& size) override;
  uint32_t Truncate(THandle handle, uint64_t size) override;
  void Close(THandle handle) override;
  uint32_t CreateFolder(const std::string& name) override;
  std::string ErrorMessage(uint32_t code) override;
};
