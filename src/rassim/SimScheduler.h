// Time for the simulated service: the current time, work run at a set time,
// and a blocking pause. Tests give it the virtual clock; the library real time.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

class ISimScheduler {
 public:
  virtual ~ISimScheduler() = default;
  virtual uint64_t NowMs() = 0;
  // Runs `work` once the time has reached `atMs`; works due at the same time
  // run in the order they were given.
  virtual void RunAt(uint64_t atMs, std::function<void()> work) = 0;
  // Blocks the calling thread (a dial made without a notifier).
  virtual void Sleep(unsigned ms) = 0;
};

// Real time, with a thread of its own that runs the due work.
class TRealTimeScheduler : public ISimScheduler {
 public:
  TRealTimeScheduler();
  ~TRealTimeScheduler() override;  // drops work not yet due
  TRealTimeScheduler(const TRealTimeScheduler&) = delete;
  TRealTimeScheduler& operator=(const TRealTimeScheduler&) = delete;

  uint64_t NowMs() override;
  void RunAt(uint64_t atMs, std::function<void()> work) override;
  void Sleep(unsigned ms) override;

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::multimap<uint64_t, std::function<void()>> due_;  // equal keys keep insertion order
  bool stop_ = false;
  std::thread thread_;
};
