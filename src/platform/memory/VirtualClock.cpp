#include "platform/memory/VirtualClock.h"

#include <cstdio>

std::string TMemoryLocale::LongTime(TDateTime t) {
  TDateParts p = DecodeDateTime(t);
  char buf[32];
  if (twentyFourHour) {
    std::snprintf(buf, sizeof buf, "%02d%c%02d%c%02d", p.hour, timeSeparator, p.minute,
                  timeSeparator, p.second);
  } else {
    int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
    std::snprintf(buf, sizeof buf, "%d%c%02d%c%02d %s", h12, timeSeparator, p.minute, timeSeparator,
                  p.second, p.hour < 12 ? "AM" : "PM");
  }
  return buf;
}

std::string TMemoryLocale::ShortDate(TDateTime t) {
  TDateParts p = DecodeDateTime(t);
  char buf[32];
  if (dayFirst)
    std::snprintf(buf, sizeof buf, "%02d%c%02d%c%04d", p.day, dateSeparator, p.month, dateSeparator,
                  p.year);
  else
    std::snprintf(buf, sizeof buf, "%d%c%d%c%04d", p.month, dateSeparator, p.day, dateSeparator,
                  p.year);
  return buf;
}
