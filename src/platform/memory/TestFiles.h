// The file seam of the tests: real files (in a temporary folder), with the
// refusals Windows makes and a test running as root would never see: a
// folder a normal user cannot write (Program Files), a full disk, and a
// file another program holds open without sharing it.
#pragma once
#include <set>
#include <string>

#include "platform/Files.h"

class TTestFiles : public TStdioFiles {
 public:
  uint32_t OpenAppend(const std::string& name, THandle& handle) override;
  uint32_t Append(THandle handle, const char* data, size_t size) override;
  uint32_t CreateFolder(const std::string& name) override;

  // Folders in which no file may be created or written, nor a folder made;
  // a file already there stays readable.
  std::set<std::string> refusedFolders;
  // Every append fails with "not enough space" and writes nothing.
  bool diskFull = false;
  // Files another program holds: opening them fails with a sharing violation.
  std::set<std::string> heldFiles;
  // Appends that succeeded.
  long long appends = 0;

 private:
  bool InRefusedFolder(const std::string& name) const;
};
