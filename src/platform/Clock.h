// The current local time and the user's locale formats for it.
#pragma once
#include <string>
#include "platform/DateTime.h"

class IClock {
 public:
  virtual ~IClock() = default;
  virtual TDateTime Now() = 0;
};

class ILocale {
 public:
  virtual ~ILocale() = default;
  // The user's long time format, e.g. "10:15:30 PM".
  virtual std::string LongTime(TDateTime t) = 0;
  // The user's short date format, e.g. "12/8/2026".
  virtual std::string ShortDate(TDateTime t) = 0;
  virtual char TimeSeparator() = 0;
  virtual char DateSeparator() = 0;
  // Whether a byte starts a two-byte character in the ANSI code page (as in
  // Japanese, code page 932); never in a single-byte code page.
  virtual bool IsLeadByte(unsigned char byte) = 0;
};
