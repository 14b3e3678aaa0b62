#include "settings/LogFileName.h"

#include <algorithm>
#include <cctype>

#include "platform/Files.h"

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The last part of a path, as Windows takes it: trailing dots and blanks are
// dropped ("x.exe." is "x.exe").
std::string LastPart(const std::string& name) {
  size_t start = 0;
  for (size_t i = 0; i < name.size(); ++i)
    if (IsSeparator(name[i]) || (i == 1 && name[i] == ':')) start = i + 1;
  std::string part = name.substr(start);
  while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
  return part;
}

bool IsRelative(const std::string& name) {
  const bool rooted = !name.empty() && IsSeparator(name[0]);
  const bool drive =
      name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
  return !name.empty() && !rooted && !drive;
}

// Errors that say the name cannot be a file's, wherever it is put.
bool IsNameError(uint32_t error) {
  return error == kErrorInvalidName || error == kErrorBadPathname ||
         error == kErrorFilenameTooLong || error == kErrorDirectoryName;
}

// A place refused to the user (rather than a missing folder or a full disk),
// which the user's own folder may still take.
bool IsRefusedPlace(uint32_t error) {
  return error == kErrorAccessDenied || error == kErrorWriteProtect;
}

// A name in a folder, with the separator the folder's own path uses.
std::string Join(const std::string& folder, const std::string& name) {
  const char separator =
      folder.find('\\') == std::string::npos && folder.find('/') != std::string::npos ? '/' : '\\';
  return folder + separator + name;
}

TLogPlace TryPlace(IFileSystem& files, const std::string& path, bool beside) {
  TLogPlace place;
  place.path = path;
  place.besideProgram = beside;
  if (files.DirectoryExists(path)) {
    place.error = kErrorAccessDenied;
    place.invalidName = true;
    return place;
  }
  place.error = TouchFile(files, path);
  place.invalidName = IsNameError(place.error);
  return place;
}

bool IsDeviceName(const std::string& part) {
  // The device is named by what comes before the first dot, blanks at its
  // end ignored: "nul.txt" and "COM1 .log" are devices too.
  std::string base = Upper(part.substr(0, part.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool RefusedLogName(const std::string& name) {
  const std::string part = LastPart(name);
  if (IsDeviceName(part)) return true;
  const size_t dot = part.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = Upper(part.substr(dot));
  return extension == ".EXE" || extension == ".COM" || extension == ".ZIP" || extension == ".RAR";
}

std::string LogFilePath(const std::string& name, const std::string& programPath) {
  if (!IsRelative(name)) return name;
  const auto separator = std::find_if(programPath.rbegin(), programPath.rend(), IsSeparator);
  if (separator == programPath.rend()) return name;
  return std::string(programPath.begin(), separator.base()) + name;
}

TLogPlace PlaceLogFile(IFileSystem& files, const std::string& name, const std::string& programPath,
                       const std::string& localAppData) {
  if (name.empty()) {
    TLogPlace none;
    none.error = kErrorPathNotFound;
    none.invalidName = true;
    return none;
  }
  TLogPlace beside = TryPlace(files, LogFilePath(name, programPath), true);
  if (beside.error == 0 || !IsRelative(name) || !IsRefusedPlace(beside.error) ||
      beside.invalidName || localAppData.empty())
    return beside;
  const std::string folder = Join(localAppData, "Quindle");
  files.CreateFolder(folder);
  TLogPlace own = TryPlace(files, Join(folder, name), false);
  // When the user's own folder fails too, the place the name stands for is
  // the one to report.
  return own.error == 0 ? own : beside;
}
