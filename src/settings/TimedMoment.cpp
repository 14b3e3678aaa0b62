#include "settings/TimedMoment.h"

#include "platform/DateTime.h"

int TTimedMoment::Hour24() const {
  if (pm) return hour == 12 ? hour : hour + 12;
  return hour == 12 ? 0 : hour;
}

bool TTimedMoment::IsReal() const {
  return Hour24() <= 23 && minute <= 59 && IsValidDate(year, month, day);
}

std::optional<TTimedMoment> ReadTimedMoment(const std::string& text) {
  if (text.size() < 17) return std::nullopt;
  bool digits = true;
  auto number = [&text, &digits](size_t at) {
    const char a = text[at], b = text[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') digits = false;
    return (a - '0') * 10 + (b - '0');
  };
  TTimedMoment m;
  m.hour = number(0);
  m.minute = number(3);
  m.pm = text[6] == 'P';
  m.day = number(9);
  m.month = number(12);
  m.year = 2000 + number(15);
  if (!digits) return std::nullopt;
  return m;
}
