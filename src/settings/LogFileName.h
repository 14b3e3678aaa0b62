// The rules for the session log's file name: which names are refused, and
// where a relative name lives.
#pragma once
#include <string>

// True for a name the log must never be written to: one whose own extension
// makes it a program or an archive (.exe, .com, .zip, .rar, any case), or one
// that names a device (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with or
// without an extension or a folder).
bool RefusedLogName(const std::string& name);

// The file a log name stands for: a relative name lives in the program's own
// folder, whatever the current folder (the system folder when Windows starts
// the program at logon).
std::string LogFilePath(const std::string& name, const std::string& programPath);
