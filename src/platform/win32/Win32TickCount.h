// Milliseconds since the system started, as a 64-bit count on every Windows:
// GetTickCount64 where the system has it (Vista on), else the 32-bit
// GetTickCount carried over its wraps.
#pragma once
#include <cstdint>

uint64_t Win32TickCount64();
