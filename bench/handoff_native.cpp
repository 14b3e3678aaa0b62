// Hand-off latency of dial notifications on the headless backend: from the
// moment the simulated service's thread calls the dialer's notifier to the
// moment OnAsyncEvent runs on the GUI thread. Prints the median and the 99th
// percentile over many notifications, each made with the slot free.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "unit/SimHarness.h"
#include "dialup/DialUp.h"

namespace {

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double Percentile(std::vector<int64_t> v, double p) {
  std::sort(v.begin(), v.end());
  const auto i = static_cast<size_t>(std::lround(p * static_cast<double>(v.size() - 1)));
  return v[i] / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(10, std::atoi(argv[1])) : 5000;
  // One state every virtual millisecond: each notification is handed over
  // alone, after the previous one has been delivered.
  std::string script;
  for (int i = 0; i < count; ++i) script += std::to_string(i % 22) + ":1,";
  script += "0x2000:1";

  TTestWorld world;
  TSimHarness sim(world, "[Bench]\nScript=" + script + "\n");
  std::atomic<int64_t> calledAt{0};
  sim.service->Notifier().beforeCall = [&](RASCONNSTATE, uint32_t) { calledAt = NowNs(); };

  auto* dialer = new TDialUp(world.app.get());
  std::vector<int64_t> latencies;
  latencies.reserve(count + 1);
  dialer->OnAsyncEvent = [&](TObject*, int32_t, int32_t, const std::string&) {
    latencies.push_back(NowNs() - calledAt.load());
  };
  dialer->SetEntry("Bench");
  if (dialer->Dial() != 0) {
    std::fprintf(stderr, "the dial did not start\n");
    return 1;
  }
  world.backend.Advance(count + 10);

  if (latencies.size() != static_cast<size_t>(count) + 1) {
    std::fprintf(stderr, "delivered %zu of %d notifications\n", latencies.size(), count + 1);
    return 1;
  }
  std::printf("hand-off service thread -> OnAsyncEvent, headless backend, %zu notifications\n",
              latencies.size());
  std::printf("median %.1f us   p99 %.1f us   max %.1f us\n", Percentile(latencies, 0.5),
              Percentile(latencies, 0.99), Percentile(latencies, 1.0));
  return 0;
}
