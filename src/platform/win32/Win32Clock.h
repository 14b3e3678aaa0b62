// The local clock and the user's locale formats, from the Windows API
// (GetLocalTime, GetTimeFormatA, GetDateFormatA, GetLocaleInfoA).
#pragma once
#include "platform/Clock.h"

class TWin32Clock : public IClock {
 public:
  TDateTime Now() override;
};

class TWin32Locale : public ILocale {
 public:
  // The user's default time format with seconds; empty if Windows cannot
  // format the moment (a year outside 1601..30827).
  std::string LongTime(TDateTime t) override;
  // The user's short date format; empty under the same condition.
  std::string ShortDate(TDateTime t) override;
  // The first character of the locale's separator; ':' and '/' if none is set.
  char TimeSeparator() override;
  char DateSeparator() override;
  // IsDBCSLeadByte.
  bool IsLeadByte(unsigned char byte) override;
};
