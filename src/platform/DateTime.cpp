#include "platform/DateTime.h"

#include <cstdio>

namespace {
constexpr int64_t kMsPerDay = 86400000;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}
}  // namespace

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

TDateTime EncodeDateTime(const TDateParts& p) {
  int64_t days =
      DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day));
  int64_t ms =
      ((static_cast<int64_t>(p.hour) * 60 + p.minute) * 60 + p.second) * 1000 + p.millisecond;
  return TDateTime{days * kMsPerDay + ms};
}

TDateParts DecodeDateTime(TDateTime t) {
  int64_t days = t.ms >= 0 ? t.ms / kMsPerDay : -((-t.ms + kMsPerDay - 1) / kMsPerDay);
  int64_t rest = t.ms - days * kMsPerDay;
  TDateParts p;
  CivilFromDays(days, p.year, p.month, p.day);
  p.hour = static_cast<int>(rest / 3600000);
  p.minute = static_cast<int>(rest / 60000 % 60);
  p.second = static_cast<int>(rest / 1000 % 60);
  p.millisecond = static_cast<int>(rest % 1000);
  return p;
}

TDateTime IncMinutes(TDateTime t, int64_t minutes) {
  return TDateTime{t.ms + minutes * 60000};
}

std::string FormatTimeAmPm(TDateTime t, char timeSeparator) {
  TDateParts p = DecodeDateTime(t);
  int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%c%02d %s", h12, timeSeparator, p.minute,
                p.hour < 12 ? "AM" : "PM");
  return buf;
}

std::string FormatDateDdMmYy(TDateTime t, char dateSeparator) {
  TDateParts p = DecodeDateTime(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%c%02d%c%02d", p.day, dateSeparator, p.month, dateSeparator,
                ((p.year % 100) + 100) % 100);
  return buf;
}
