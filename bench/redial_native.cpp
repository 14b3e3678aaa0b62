// Drop-to-redial latency on the virtual clock: the whole program with the
// simulated RAS service and automatic redial on. The line is connected, then
// dropped (hung up through the service, as a line that the far end drops
// disappears from the service's list) at a random moment between two polls of
// the connection monitor; the figure is the time from the drop to the
// redial's Dial call. The rule: at most one poll interval (1000 ms).
//
//   build/bench/redial_native [drops]      (default 2000)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "unit/QuindleWorld.h"

namespace {

double Percentile(std::vector<int64_t> v, double p) {
  std::sort(v.begin(), v.end());
  return static_cast<double>(
      v[static_cast<size_t>(std::lround(p * static_cast<double>(v.size() - 1)))]);
}

HRASCONN ListedConnection(TRasSimService& service) {
  RASCONNA conns[4];
  std::memset(conns, 0, sizeof conns);
  conns[0].dwSize = sizeof(RASCONNA);
  uint32_t bytes = sizeof conns, count = 0;
  if (service.RasEnumConnectionsA(conns, &bytes, &count) != 0 || count == 0) return 0;
  return conns[0].hrasconn;
}

}  // namespace

int main(int argc, char** argv) {
  const int drops = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  const uint32_t seed = 4711;
  std::mt19937 rng(seed);

  TQuindleWorld q("[Line]\nScript=0:40,1:40,2:300,14:60,8192:60\n");
  auto& r = q.world.registry;
  r.PutDword(kQuindleKey, "AutoRecon", 1);
  r.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();
  TForm1& f = *q.form1;

  int64_t dialAt = -1;
  auto dialing = f.DialUp1->OnDialing;
  f.DialUp1->OnDialing = [&](TObject* s) {
    dialAt = q.world.clock.NowMs();
    dialing(s);
  };
  auto connected = [&] { return f.Panel1->Caption().rfind("Connected to", 0) == 0; };

  f.ConButton->Click();
  std::vector<int64_t> latencies;
  std::uniform_int_distribution<int> phase(0, 9999);
  for (int i = 0; i < drops; ++i) {
    for (int t = 0; !connected(); ++t) {
      if (t > 100) {
        std::fprintf(stderr, "the line did not come up\n");
        return 1;
      }
      q.Advance(100);
    }
    // Up for a while, then dropped at a random millisecond.
    q.Advance(phase(rng));
    HRASCONN h = ListedConnection(*q.sim->service);
    if (!h) {
      std::fprintf(stderr, "no connection to drop\n");
      return 1;
    }
    dialAt = -1;
    const int64_t dropAt = q.world.clock.NowMs();
    q.sim->service->RasHangUpA(h);
    for (int t = 0; dialAt < 0; ++t) {
      if (t > 50) {
        std::fprintf(stderr, "no redial within 5 s of a drop\n");
        return 1;
      }
      q.Advance(100);
    }
    latencies.push_back(dialAt - dropAt);
  }

  double sum = 0;
  for (int64_t l : latencies) sum += static_cast<double>(l);
  const int64_t poll = f.RasMonitor1->PollInterval();
  const auto over =
      std::count_if(latencies.begin(), latencies.end(), [&](int64_t l) { return l > poll; });
  std::printf("drop -> redial Dial call, virtual clock, %zu drops at random phases (seed %u)\n",
              latencies.size(), seed);
  std::printf(
      "min %.0f ms   median %.0f ms   mean %.0f ms   p90 %.0f ms   p99 %.0f ms   max %.0f ms\n",
      Percentile(latencies, 0.0), Percentile(latencies, 0.5),
      sum / static_cast<double>(latencies.size()), Percentile(latencies, 0.9),
      Percentile(latencies, 0.99), Percentile(latencies, 1.0));
  std::printf("poll interval %lld ms: %s (%ld over)\n", static_cast<long long>(poll),
              over == 0 ? "every redial within one poll interval"
                        : "SOME REDIALS LATER THAN ONE POLL INTERVAL",
              static_cast<long>(over));
  return over == 0 ? 0 : 1;
}
