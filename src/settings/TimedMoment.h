// The timed event's moment as the settings dialog writes it and the timer
// compares it: "hh:mm AM" (or PM), a space, "dd/mm/yy", 17 characters in
// all. The separators are not examined; each caller keeps its own rules for
// which moments it takes.
#pragma once
#include <optional>
#include <string>

struct TTimedMoment {
  int hour = 0;  // as written on the 12-hour clock: 12 at midnight and at noon
  int minute = 0;
  bool pm = false;  // the seventh character is 'P'
  int year = 0;     // 2000 and the two digits written
  int month = 0;
  int day = 0;

  // The hour on the 24-hour clock: 12 AM is 0, 1 PM to 11 PM are 13 to 23.
  int Hour24() const;
  // A time of day on the 24-hour clock and a date that exist.
  bool IsReal() const;
};

// The five numbers of a moment's text and its AM or PM; nothing when the
// text is shorter than 17 characters or a number is not two digits.
std::optional<TTimedMoment> ReadTimedMoment(const std::string& text);
