// Plain files by ANSI name: existence tests, empty creation, and the appended
// text file of the session log.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

// True for an existing file (a device counts); a directory does not.
bool FileExists(const std::string& name);
bool DirectoryExists(const std::string& name);
// Creates an empty file (or leaves an existing one as it is); false on failure.
bool CreateEmptyFile(const std::string& name);

// A text file opened for appending; every failure throws EInOutError.
class TAppendFile {
 public:
  TAppendFile() = default;
  ~TAppendFile();
  TAppendFile(const TAppendFile&) = delete;
  TAppendFile& operator=(const TAppendFile&) = delete;

  void Open(const std::string& name);
  bool IsOpen() const { return file_ != nullptr; }
  // Writes the line and CR LF.
  void WriteLine(const std::string& line);
  // Writes the lines, each ended by CR LF, and flushes them. A failure takes
  // the file back to its length before the call (so a retry does not write
  // any line twice) and throws EInOutError.
  void WriteLines(const std::vector<std::string>& lines);
  void Flush();
  void Close();

 private:
  void Fail(const char* what);
  std::FILE* file_ = nullptr;
  std::string name_;
};
