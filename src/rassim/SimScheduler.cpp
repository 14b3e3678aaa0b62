#include "rassim/SimScheduler.h"

#include <chrono>

TRealTimeScheduler::TRealTimeScheduler() : thread_([this] { Run(); }) {}

TRealTimeScheduler::~TRealTimeScheduler() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

uint64_t TRealTimeScheduler::NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void TRealTimeScheduler::RunAt(uint64_t atMs, std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    due_.emplace(atMs, std::move(work));
  }
  changed_.notify_all();
}

void TRealTimeScheduler::Sleep(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void TRealTimeScheduler::Run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    if (due_.empty()) {
      changed_.wait(lock);
      continue;
    }
    uint64_t now = NowMs();
    auto first = due_.begin();
    if (first->first > now) {
      changed_.wait_for(lock, std::chrono::milliseconds(first->first - now));
      continue;
    }
    std::function<void()> work = std::move(first->second);
    due_.erase(first);
    // The work may schedule more; it runs without the lock.
    lock.unlock();
    try {
      work();
    } catch (...) {
      // A fault in one piece of work must not end the service's clock.
    }
    lock.lock();
  }
}
