// Milliseconds since start-up as a 64-bit count, made from a 32-bit tick
// count that wraps every 49.7 days (GetTickCount on systems without
// GetTickCount64). A wrap is seen as a reading smaller than the one before;
// the program reads the clock every few seconds, far more often than once a
// wrap.
#pragma once
#include <cstdint>
#include <mutex>

class TTickExtender {
 public:
  uint64_t Extend(uint32_t now) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (now < last_) high_ += uint64_t{1} << 32;
    last_ = now;
    return high_ | now;
  }

 private:
  std::mutex mutex_;
  uint32_t last_ = 0;
  uint64_t high_ = 0;
};
