// The dialer's status texts: one line per RAS connection state, in English,
// Czech (code page 1250) and Portuguese (code page 1252).
#pragma once
#include <cstdint>

// The text of `state` in the table of `language` (0 English, 1 Czech,
// 2 Portuguese, anything else English); "" for a state the tables lack.
const char* DialStatusText(int language, int32_t state);
