#include "platform/Files.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"

namespace {

std::FILE* AsFile(IFileSystem::THandle handle) {
  return reinterpret_cast<std::FILE*>(handle);
}

}  // namespace

uint32_t TouchFile(IFileSystem& files, const std::string& name) {
  if (name.empty()) return kErrorPathNotFound;
  // Windows refuses to open a folder as a file with this code.
  if (files.DirectoryExists(name)) return kErrorAccessDenied;
  IFileSystem::THandle handle = 0;
  const uint32_t error = files.OpenAppend(name, handle);
  if (error == kFileOk) files.Close(handle);
  return error;
}

// ---- the C library's files ----

bool TStdioFiles::FileExists(const std::string& name) {
  return ::FileExists(name);
}

bool TStdioFiles::DirectoryExists(const std::string& name) {
  return ::DirectoryExists(name);
}

uint32_t TStdioFiles::OpenAppend(const std::string& name, THandle& handle) {
  if (name.empty()) return kErrorPathNotFound;
  if (DirectoryExists(name)) return kErrorAccessDenied;
  // Binary mode: the CR LF line ends are the caller's on every system.
  std::FILE* f = std::fopen(name.c_str(), "ab");
  if (!f) return FromErrno(errno);
  handle = reinterpret_cast<THandle>(f);
  return kFileOk;
}

uint32_t TStdioFiles::Append(THandle handle, const char* data, size_t size) {
  std::FILE* f = AsFile(handle);
  if (!f) return kErrorInvalidHandle;
  if (std::fwrite(data, 1, size, f) == size && std::fflush(f) == 0) return kFileOk;
  const int err = errno;
  std::clearerr(f);
  return FromErrno(err);
}

uint32_t TStdioFiles::Size(THandle handle, uint64_t& size) {
  std::FILE* f = AsFile(handle);
  struct stat st {};
  if (!f || ::fstat(fileno(f), &st) != 0) return kErrorInvalidHandle;
  size = static_cast<uint64_t>(st.st_size);
  return kFileOk;
}

uint32_t TStdioFiles::Truncate(THandle handle, uint64_t size) {
  std::FILE* f = AsFile(handle);
  if (!f) return kErrorInvalidHandle;
  // What a failed write left in the buffer must not reach the file later.
  std::fflush(f);
  std::clearerr(f);
#ifdef _WIN32
  if (::_chsize_s(::_fileno(f), static_cast<long long>(size)) != 0) return FromErrno(errno);
#else
  if (::ftruncate(fileno(f), static_cast<off_t>(size)) != 0) return FromErrno(errno);
#endif
  return kFileOk;
}

void TStdioFiles::Close(THandle handle) {
  if (std::FILE* f = AsFile(handle)) std::fclose(f);
}

uint32_t TStdioFiles::CreateFolder(const std::string& name) {
  if (DirectoryExists(name)) return kFileOk;
#ifdef _WIN32
  const int made = ::mkdir(name.c_str());
#else
  const int made = ::mkdir(name.c_str(), 0777);
#endif
  return made == 0 ? kFileOk : FromErrno(errno);
}

uint32_t TStdioFiles::FromErrno(int err) {
  switch (err) {
    case 0:
      return kFileOk;
    case ENOENT:
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EEXIST:
      return kErrorAccessDenied;
    case EROFS:
      return kErrorWriteProtect;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return kErrorDiskFull;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
      return kErrorSharingViolation;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    case EINVAL:
    case EILSEQ:
      return kErrorInvalidName;
    case EBADF:
      return kErrorInvalidHandle;
    default:
      return kErrorGenFailure;
  }
}

std::string TStdioFiles::ErrorMessage(uint32_t code) {
  // Windows' own English texts for these codes.
  switch (code) {
    case kErrorFileNotFound:
      return "The system cannot find the file specified.";
    case kErrorPathNotFound:
      return "The system cannot find the path specified.";
    case kErrorAccessDenied:
      return "Access is denied.";
    case kErrorInvalidHandle:
      return "The handle is invalid.";
    case kErrorWriteProtect:
      return "The media is write protected.";
    case kErrorGenFailure:
      return "A device attached to the system is not functioning.";
    case kErrorSharingViolation:
      return "The process cannot access the file because it is being used by another process.";
    case kErrorDiskFull:
      return "There is not enough space on the disk.";
    case kErrorInvalidName:
      return "The filename, directory name, or volume label syntax is incorrect.";
    case kErrorBadPathname:
      return "The specified path is invalid.";
    case kErrorFilenameTooLong:
      return "The filename or extension is too long.";
    case kErrorDirectoryName:
      return "The directory name is invalid.";
    default:
      return "Error " + std::to_string(code) + ".";
  }
}

// ---- plain helpers ----

bool FileExists(const std::string& name) {
  struct stat st {};
  return !name.empty() && ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& name) {
  struct stat st {};
  return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateEmptyFile(const std::string& name) {
  if (name.empty() || DirectoryExists(name)) return false;
  std::FILE* f = std::fopen(name.c_str(), "ab");
  if (!f) return false;
  return std::fclose(f) == 0;
}

// ---- the appended text file ----

TAppendFile::~TAppendFile() {
  Close();
}

std::string FileErrorText(IFileSystem& files, const char* what, const std::string& name,
                          uint32_t code) {
  return "I/O error " + std::to_string(code) + ": cannot " + what + " '" + name + "' (" +
         files.ErrorMessage(code) + ")";
}

[[noreturn]] void TAppendFile::Fail(IFileSystem& files, const char* what, uint32_t code) {
  throw EInOutError(FileErrorText(files, what, name_, code));
}

void TAppendFile::Open(IFileSystem& files, const std::string& name) {
  Close();
  name_ = name;
  IFileSystem::THandle handle = 0;
  const uint32_t error = files.OpenAppend(name, handle);
  if (error != kFileOk) Fail(files, "open", error);
  files_ = &files;
  handle_ = handle;
}

void TAppendFile::WriteLines(const std::vector<std::string>& lines) {
  if (!files_)
    throw EInOutError("I/O error 6: cannot write '" + name_ + "' (the file is not open)");
  std::string batch;
  for (const std::string& line : lines) batch += line + "\r\n";
  IFileSystem& files = *files_;
  uint64_t before = 0;
  const bool sized = files.Size(handle_, before) == kFileOk;
  const uint32_t error = files.Append(handle_, batch.data(), batch.size());
  if (error == kFileOk) return;
  // Nothing of a failed batch may stay behind: the file is cut back to where
  // it was, and closed so that the next write opens it afresh.
  if (sized) files.Truncate(handle_, before);
  Close();
  Fail(files, "write", error);
}

void TAppendFile::Close() {
  if (files_) files_->Close(handle_);
  files_ = nullptr;
  handle_ = 0;
}
