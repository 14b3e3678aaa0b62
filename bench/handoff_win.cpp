// Hand-off latency of dial notifications on the Windows backend: from the
// moment the simulated service's thread calls the dialer's notifier to the
// moment OnAsyncEvent runs in the real message loop. The service runs in
// process on real time, one state a millisecond, so that each notification
// is handed over alone. Prints the median and the 99th percentile.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dialup/DialUp.h"
#include "platform/memory/MemoryLibraryLoader.h"
#include "rassim/RasSimService.h"
#include "rassim/SimExports.h"
#include "toolkit/Application.h"
#include "toolkit/win32/Win32Backend.h"

namespace {

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double Percentile(std::vector<int64_t> v, double p) {
  std::sort(v.begin(), v.end());
  size_t i = static_cast<size_t>(p * (v.size() - 1) + 0.5);
  return v[i] / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  std::string script;
  for (int i = 0; i < count; ++i) script += std::to_string(i % 22) + ":1,";
  script += "0x2000:1";

  auto scheduler = std::make_unique<TRealTimeScheduler>();
  auto service = std::make_unique<TRasSimService>(
      *scheduler, TSimPhoneBook::Parse("[Bench]\nScript=" + script + "\n", "bench"));
  rassim::Install(service.get());
  std::atomic<int64_t> calledAt{0};
  service->Notifier().beforeCall = [&](RASCONNSTATE, uint32_t) { calledAt = NowNs(); };

  TMemoryLibraryLoader libraries;
  libraries.Add("rasapi32.dll", "RasDialA", &rassim::RasDialA);
  libraries.Add("rasapi32.dll", "RasHangUpA", &rassim::RasHangUpA);
  libraries.Add("rasapi32.dll", "RasGetEntryDialParamsA", &rassim::RasGetEntryDialParamsA);
  libraries.Add("rasapi32.dll", "RasGetConnectStatusA", &rassim::RasGetConnectStatusA);
  libraries.Add("rasapi32.dll", "RasGetErrorStringA", &rassim::RasGetErrorStringA);

  std::vector<int64_t> latencies;
  latencies.reserve(count + 1);
  {
    TWin32Backend backend;
    TPlatform platform;
    platform.libraries = &libraries;
    TApplication app(backend, platform);
    backend.SetApplication(&app);
    auto* dialer = new TDialUp(&app);
    dialer->OnAsyncEvent = [&](TObject*, int32_t, int32_t, const std::string&) {
      latencies.push_back(NowNs() - calledAt.load());
    };
    dialer->SetEntry("Bench");
    if (dialer->Dial() != 0) {
      std::fprintf(stderr, "the dial did not start\n");
      return 1;
    }
    bool expired = false;
    uintptr_t limit = backend.StartTimer(120000, [&] { expired = true; });
    backend.RunUntil([&] { return expired || latencies.size() == static_cast<size_t>(count + 1); });
    backend.StopTimer(limit);
    backend.SetApplication(nullptr);
  }
  scheduler.reset();  // no service work may run once the service is gone
  rassim::Install(nullptr);
  service.reset();

  if (latencies.size() != static_cast<size_t>(count + 1)) {
    std::fprintf(stderr, "delivered %zu of %d notifications\n", latencies.size(), count + 1);
    return 1;
  }
  std::printf("hand-off service thread -> OnAsyncEvent, Windows backend, %zu notifications\n",
              latencies.size());
  std::printf("median %.1f us   p99 %.1f us   max %.1f us\n", Percentile(latencies, 0.5),
              Percentile(latencies, 0.99), Percentile(latencies, 1.0));
  return 0;
}
