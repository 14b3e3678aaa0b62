// A clock that moves only when told to: the headless backend's time.
#pragma once
#include <atomic>
#include "platform/Clock.h"

class TVirtualClock : public IClock {
 public:
  explicit TVirtualClock(TDateTime start = EncodeDateTime({2026, 12, 8, 9, 0, 0, 0}))
      : now_(start.ms) {}
  TDateTime Now() override { return TDateTime{now_.load()}; }
  int64_t NowMs() const { return now_.load(); }
  void Set(TDateTime t) { now_ = t.ms; }
  void AdvanceMs(int64_t ms) { now_ += ms; }

 private:
  std::atomic<int64_t> now_;
};

// A locale with settable formats; by default the English (United States) one:
// long time "h:mm:ss AM", short date "M/d/yyyy", separators ':' and '/', a
// single-byte code page (or, with doubleByte, Japanese code page 932's lead
// bytes).
class TMemoryLocale : public ILocale {
 public:
  std::string LongTime(TDateTime t) override;
  std::string ShortDate(TDateTime t) override;
  char TimeSeparator() override { return timeSeparator; }
  char DateSeparator() override { return dateSeparator; }
  bool IsLeadByte(unsigned char byte) override {
    return doubleByte && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
  }

  char timeSeparator = ':';
  char dateSeparator = '/';
  bool twentyFourHour = false;  // "HH:mm:ss" instead of "h:mm:ss AM"
  bool dayFirst = false;        // "dd.MM.yyyy" style short date
  bool doubleByte = false;
};
