// The names under which Quindle keeps its state in the registry: the settings
// key, the machine-wide Run key and value, and every value name.
//
// These spellings are the stored format, odd ones included ("AttempsInt",
// "ZimAdvt", "DisOrShut", "ConInt"): what every earlier run wrote is found by
// them, so they must never change.
#pragma once

namespace Stored {

// HKEY_CURRENT_USER\SOFTWARE\Quindle: the settings and the window's state.
inline constexpr const char* kSettingsParentKey = "SOFTWARE";
inline constexpr const char* kSettingsKey = "Quindle";
// HKEY_LOCAL_MACHINE: the value that starts the program with Windows.
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValue = "Quindle";

// The settings dialog's values.
inline constexpr const char* kDialMode = "DialMode";        // 0 asynchronous, 1 synchronous
inline constexpr const char* kAutoRecon = "AutoRecon";      // automatic redial
inline constexpr const char* kRetryInt = "RetryInt";        // redial interval, ms
inline constexpr const char* kAttempsInt = "AttempsInt";    // most redial attempts
inline constexpr const char* kEnableTimer = "EnableTimer";  // the timed event is on
inline constexpr const char* kTime = "Time";                // its time, "hh:mm AM"
inline constexpr const char* kDate = "Date";                // its date, "dd/mm/yy"
inline constexpr const char* kDisOrShut = "DisOrShut";      // true: hang up only; false: shut down
inline constexpr const char* kLogEnabled = "LogEnabled";
inline constexpr const char* kLogFile = "LogFile";
inline constexpr const char* kWinBoot = "WinBoot";      // start with Windows
inline constexpr const char* kAutoCon = "AutoCon";      // connect on start-up
inline constexpr const char* kConInt = "ConInt";        // index of the chosen entry
inline constexpr const char* kConName = "ConName";      // its name, which an added entry keeps
inline constexpr const char* kMiniStart = "MiniStart";  // minimise once connected
inline constexpr const char* kZimAdvt = "ZimAdvt";      // no advert line in the pane

// The main window's values.
inline constexpr const char* kSLeft = "SLeft";  // window position
inline constexpr const char* kSTop = "STop";
inline constexpr const char* kTimedDone = "TimedDone";  // the timed moment that has acted

}  // namespace Stored
