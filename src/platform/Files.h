// Plain files by ANSI name. The program reaches them through the file seam
// (IFileSystem), whose error codes are Windows' own whatever the system
// underneath, so that a refused folder or a full disk is told as Windows
// tells it. The appended text file of the session log sits on top of it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The Windows error codes the file seam reports.
constexpr uint32_t kFileOk = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorWriteProtect = 19;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorBadPathname = 161;
constexpr uint32_t kErrorFilenameTooLong = 206;
constexpr uint32_t kErrorDirectoryName = 267;

class IFileSystem {
 public:
  using THandle = intptr_t;
  virtual ~IFileSystem() = default;
  // True for an existing file (a device counts); a folder does not.
  virtual bool FileExists(const std::string& name) = 0;
  virtual bool DirectoryExists(const std::string& name) = 0;
  // Opens the file for appending, creating it when it is missing, and shares
  // it with readers and other writers; 0 and the handle, or the error code.
  virtual uint32_t OpenAppend(const std::string& name, THandle& handle) = 0;
  // Appends every byte at the file's end, handed to the system before the
  // call returns; 0 or the error code (part of the bytes may be written).
  virtual uint32_t Append(THandle handle, const char* data, size_t size) = 0;
  virtual uint32_t Size(THandle handle, uint64_t& size) = 0;
  // Cuts the file back to `size` bytes.
  virtual uint32_t Truncate(THandle handle, uint64_t size) = 0;
  virtual void Close(THandle handle) = 0;
  // Makes one folder; 0 also when the folder is there already.
  virtual uint32_t CreateFolder(const std::string& name) = 0;
  // The system's own text for an error code, in the user's language and
  // without a line end ("Access is denied.").
  virtual std::string ErrorMessage(uint32_t code) = 0;
};

// Makes an empty file or leaves an existing one as it is (the file opened
// for appending and closed again); 0 or the error code. A folder is refused.
uint32_t TouchFile(IFileSystem& files, const std::string& name);

// "I/O error 5: cannot open 'name' (Access is denied.)": what the program
// says of a file it cannot open, create or write.
std::string FileErrorText(IFileSystem& files, const char* what, const std::string& name,
                          uint32_t code);

// The C library's files, for the native build and the tests: errno is told
// as the Windows error Windows gives for the same fault, and the message is
// the one Windows words for it in English.
class TStdioFiles : public IFileSystem {
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
  // The Windows error for an errno value.
  static uint32_t FromErrno(int err);
};

// Plain helpers over the C library for tests and tools, outside the seam.
bool FileExists(const std::string& name);
bool DirectoryExists(const std::string& name);
// Creates an empty file (or leaves an existing one as it is); false on failure.
bool CreateEmptyFile(const std::string& name);

// A text file opened for appending through the file seam; every failure
// throws EInOutError with the system's message.
class TAppendFile {
 public:
  TAppendFile() = default;
  ~TAppendFile();
  TAppendFile(const TAppendFile&) = delete;
  TAppendFile& operator=(const TAppendFile&) = delete;

  void Open(IFileSystem& files, const std::string& name);
  bool IsOpen() const { return files_ != nullptr; }
  const std::string& Name() const { return name_; }
  // Writes the lines, each ended by CR LF, and hands them to the system. A
  // failure takes the file back to its length before the call (so a retry
  // does not write any line twice) and throws EInOutError.
  void WriteLines(const std::vector<std::string>& lines);
  void Close();

 private:
  [[noreturn]] void Fail(IFileSystem& files, const char* what, uint32_t code);
  IFileSystem* files_ = nullptr;
  IFileSystem::THandle handle_ = 0;
  std::string name_;
};
