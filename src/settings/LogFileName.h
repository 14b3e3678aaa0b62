// The rules for the session log's file name: which names are refused, and
// where a relative name lives.
#pragma once
#include <cstdint>
#include <string>

class IFileSystem;

// True for a name the log must never be written to: one whose own extension
// makes it a program or an archive (.exe, .com, .zip, .rar, any case), or one
// that names a device (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with or
// without an extension or a folder).
bool RefusedLogName(const std::string& name);

// The file a log name stands for beside the program: a relative name lives
// in the program's own folder, whatever the current folder (the system folder
// when Windows starts the program at logon).
std::string LogFilePath(const std::string& name, const std::string& programPath);

// Where a log name's file is written, found by creating it (or opening it)
// there: a relative name beside the program when that folder lets the user
// write, and otherwise in the folder "Quindle" of the user's own local
// application-data folder (made when missing). A program in a folder only an
// administrator may write (Program Files) keeps its log there.
struct TLogPlace {
  std::string path;    // the file in force
  uint32_t error = 0;  // 0, or why it cannot be written (a Windows error code)
  bool besideProgram = true;
  // The name itself is wrong (a folder, a name Windows cannot take), rather
  // than the place or the disk.
  bool invalidName = false;
};
TLogPlace PlaceLogFile(IFileSystem& files, const std::string& name, const std::string& programPath,
                       const std::string& localAppData);
