// The tray icon's hints for the connection's three states ("\r" breaks the
// hint's line). "Disconneted" is spelt as the program has always shown it.
#pragma once

inline constexpr const char* kHintDisconnected = "Quindle\r(Disconneted)";
inline constexpr const char* kHintConnecting = "Quindle\r(Connecting...)";
inline constexpr const char* kHintConnected = "Quindle\r(Connected)";
