#include "platform/Files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/Errors.h"

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

TAppendFile::~TAppendFile() {
  if (file_) std::fclose(file_);
}

void TAppendFile::Fail(const char* what) {
  int err = errno;
  throw EInOutError(std::string("I/O error ") + std::to_string(err) + ": cannot " + what + " '" +
                    name_ + "' (" + std::strerror(err) + ")");
}

void TAppendFile::Open(const std::string& name) {
  Close();
  name_ = name;
  // Binary mode: the CR LF line ends are written by WriteLine on every system.
  file_ = std::fopen(name.c_str(), "ab");
  if (!file_) Fail("open");
}

void TAppendFile::WriteLine(const std::string& line) {
  if (!file_) {
    errno = EBADF;
    Fail("write");
  }
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
      std::fwrite("\r\n", 1, 2, file_) != 2)
    Fail("write");
}

void TAppendFile::WriteLines(const std::vector<std::string>& lines) {
  if (!file_) {
    errno = EBADF;
    Fail("write");
  }
  std::string batch;
  for (const std::string& line : lines) batch += line + "\r\n";
  std::error_code ec;
  const auto before = std::filesystem::file_size(name_, ec);
  if (std::fwrite(batch.data(), 1, batch.size(), file_) == batch.size() && std::fflush(file_) == 0)
    return;
  int err = errno;
  // Nothing of a failed batch may stay behind: drop what is buffered and cut
  // the file back to where it was.
  std::FILE* f = file_;
  file_ = nullptr;
  std::fclose(f);
  if (!ec) std::filesystem::resize_file(name_, before, ec);
  errno = err;
  Fail("write");
}

void TAppendFile::Flush() {
  if (file_ && std::fflush(file_) != 0) Fail("flush");
}

void TAppendFile::Close() {
  if (file_) {
    std::FILE* f = file_;
    file_ = nullptr;
    std::fclose(f);
  }
}
