#include "platform/memory/TestFiles.h"

#include <filesystem>

namespace {

// The folder that holds `name`, made absolute and with no trailing separator.
std::string FolderOf(const std::string& name) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(name, ec).lexically_normal();
  return p.parent_path().string();
}

std::string Normal(const std::string& folder) {
  std::error_code ec;
  std::string s = std::filesystem::absolute(folder, ec).lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace

bool TTestFiles::InRefusedFolder(const std::string& name) const {
  const std::string folder = FolderOf(name);
  for (const std::string& refused : refusedFolders) {
    const std::string r = Normal(refused);
    if (folder == r || folder.rfind(r + "/", 0) == 0) return true;
  }
  return false;
}

uint32_t TTestFiles::OpenAppend(const std::string& name, THandle& handle) {
  if (heldFiles.count(name)) return kErrorSharingViolation;
  if (!name.empty() && InRefusedFolder(name)) return kErrorAccessDenied;
  return TStdioFiles::OpenAppend(name, handle);
}

uint32_t TTestFiles::Append(THandle handle, const char* data, size_t size) {
  if (diskFull) return kErrorDiskFull;
  const uint32_t error = TStdioFiles::Append(handle, data, size);
  if (error == kFileOk) ++appends;
  return error;
}

uint32_t TTestFiles::CreateFolder(const std::string& name) {
  if (DirectoryExists(name)) return kFileOk;
  if (InRefusedFolder(name)) return kErrorAccessDenied;
  return TStdioFiles::CreateFolder(name);
}
