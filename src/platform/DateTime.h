// Local date and time as the program handles them: a millisecond count on the
// proleptic Gregorian calendar, with no time zone (the clock gives local time).
#pragma once
#include <cstdint>
#include <string>

struct TDateTime {
  int64_t ms = 0;  // milliseconds since 1970-01-01 00:00:00 local time
  // The check takes the defaulted comparison's own test against 0 for a
  // null pointer constant.
  // NOLINTNEXTLINE(modernize-use-nullptr)
  friend auto operator<=>(const TDateTime&, const TDateTime&) = default;
};

struct TDateParts {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);
TDateTime EncodeDateTime(const TDateParts& parts);
TDateParts DecodeDateTime(TDateTime t);
TDateTime IncMinutes(TDateTime t, int64_t minutes);

// "hh:mm AM/PM": 12-hour clock, two-digit hour and minute, then " AM" or " PM".
std::string FormatTimeAmPm(TDateTime t, char timeSeparator);
// "dd/mm/yy": two-digit day, month and year.
std::string FormatDateDdMmYy(TDateTime t, char dateSeparator);
