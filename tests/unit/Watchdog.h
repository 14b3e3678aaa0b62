// A test's guard against a wait that never ends: unless released within
// ten seconds of real time, it runs `rescue` (which should end the wait, so
// that the test can go on to fail) and reports that it had to.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TWatchdog {
 public:
  explicit TWatchdog(std::function<void()> rescue)
      : thread_([this, rescue = std::move(rescue)] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (released_.wait_for(lock, std::chrono::seconds(10), [this] { return done_; })) return;
          expired_ = true;
          rescue();
        }) {}
  ~TWatchdog() { Release(); }
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;

  // True when it had to rescue the wait.
  bool Release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    released_.notify_all();
    if (thread_.joinable()) thread_.join();
    return expired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool done_ = false;
  std::atomic<bool> expired_{false};
  std::thread thread_;
};
