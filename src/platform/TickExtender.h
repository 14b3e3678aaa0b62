// Milliseconds since start-up as a 64-bit count, made from a 32-bit tick
// count that wraps every 49.7 days (GetTickCount on systems without
// GetTickCount64). The program reads the clock every few seconds, far more
// often than once a wrap: a reading less than half the count's range ahead of
// the newest one seen (counting round the wrap) is newer, and passing 0 on
// the way is a wrap. Any other reading is one another thread took a moment
// earlier and handed in later: no wrap, and its time is that moment.
#pragma once
#include <cstdint>
#include <mutex>

class TTickExtender {
 public:
  uint64_t Extend(uint32_t now) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_ || static_cast<uint32_t>(now - newest_) < kHalf) {
      if (started_ && now < newest_) high_ += kWrap;
      started_ = true;
      newest_ = now;
      return high_ | now;
    }
    // Late: taken before the newest, and before the last wrap if above it
    // (there is none before the first reading).
    if (now > newest_) return (high_ >= kWrap ? high_ - kWrap : 0) | now;
    return high_ | now;
  }

 private:
  static constexpr uint32_t kHalf = 0x80000000u;
  static constexpr uint64_t kWrap = uint64_t{1} << 32;
  std::mutex mutex_;
  bool started_ = false;
  uint32_t newest_ = 0;
  uint64_t high_ = 0;
};
