// Drop-to-redial latency on the Windows backend, in real time: the whole
// program (both windows, the monitor polling on a real timer, the dialer)
// with the simulated RAS service in process, automatic redial on. The line is
// connected, then dropped (hung up through the service) at a moment spread
// over the time between two polls; the figure is the time from the drop to the redial's
// Dial call, on the performance counter. Run it under Wine with a display
// (scripts/bench); the rule is at most one poll interval (1000 ms).
//
//   redial_win.exe [drops]      (default 40, about 1.5 s each)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/Program.h"
#include "app/Unit1.h"
#include "platform/memory/MemoryLibraryLoader.h"
#include "platform/memory/MemoryRegistry.h"
#include "platform/memory/MemorySystem.h"
#include "platform/win32/Win32Clock.h"
#include "rassim/RasSimService.h"
#include "rassim/SimExports.h"
#include "toolkit/Application.h"
#include "toolkit/win32/Win32Backend.h"

namespace {

double NowMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

void Register(TMemoryLibraryLoader& l, const std::string& library) {
  l.Add(library, "RasDialA", &rassim::RasDialA);
  l.Add(library, "RasEnumEntriesA", &rassim::RasEnumEntriesA);
  l.Add(library, "RasGetEntryDialParamsA", &rassim::RasGetEntryDialParamsA);
  l.Add(library, "RasSetEntryDialParamsA", &rassim::RasSetEntryDialParamsA);
  l.Add(library, "RasHangUpA", &rassim::RasHangUpA);
  l.Add(library, "RasGetConnectStatusA", &rassim::RasGetConnectStatusA);
  l.Add(library, "RasGetErrorStringA", &rassim::RasGetErrorStringA);
  l.Add(library, "RasEnumConnectionsA", &rassim::RasEnumConnectionsA);
  l.Add(library, "RasGetProjectionInfoA", &rassim::RasGetProjectionInfoA);
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
  const int drops = argc > 1 ? std::max(5, std::atoi(argv[1])) : 40;
  const uint32_t seed = 4711;
  std::mt19937 rng(seed);

  auto scheduler = std::make_unique<TRealTimeScheduler>();
  auto service = std::make_unique<TRasSimService>(
      *scheduler, TSimPhoneBook::Parse("[Line]\nScript=0:20,1:20,2:50,14:20,8192:20\n", "bench"));
  rassim::Install(service.get());

  TMemoryLibraryLoader libraries;
  Register(libraries, "rasapi32.dll");
  TMemoryRegistry registry;
  registry.MakeKey("HKCU\\SOFTWARE");
  registry.MakeKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  registry.PutDword("HKCU\\SOFTWARE\\Quindle", "AutoRecon", 1);
  registry.PutDword("HKCU\\SOFTWARE\\Quindle", "ZimAdvt", 1);
  TWin32Clock clock;
  TWin32Locale locale;
  TMemorySystem system;
  TMemoryShell shell;  // no icon in the notification area
  TMemorySockets sockets;
  TStdioFiles files;
  TPlatform platform;
  platform.registry = &registry;
  platform.libraries = &libraries;
  platform.clock = &clock;
  platform.locale = &locale;
  platform.system = &system;
  platform.shell = &shell;
  platform.sockets = &sockets;
  platform.files = &files;

  std::vector<double> latencies;
  int failed = 0;
  {
    TWin32Backend backend;
    TApplication app(backend, platform);
    app.SetTitle("Quindle");
    backend.SetApplication(&app);
    TQuindle q = CreateQuindle(app);
    TForm1& f = *q.Form1;

    double dialAt = -1;
    auto dialing = f.DialUp1->OnDialing;
    f.DialUp1->OnDialing = [&](TObject* s) {
      dialAt = NowMs();
      dialing(s);
    };
    auto connected = [&] { return f.Panel1->Caption().rfind("Connected to", 0) == 0; };
    // A one-shot timer of the backend; `fired` is set when it has run.
    auto after = [&](unsigned ms, bool& fired, std::function<void()> work) {
      fired = false;
      auto id = std::make_shared<uintptr_t>(0);
      *id = backend.StartTimer(ms, [&backend, &fired, id, work] {
        backend.StopTimer(*id);
        if (work) work();
        fired = true;
      });
      return *id;
    };

    f.ConButton->Click();
    // Phases spread evenly over the poll interval, each at a random point of
    // its own slice, so that a few dozen drops cover the whole interval.
    std::uniform_real_distribution<double> within(0.0, 1.0);
    for (int i = 0; i < drops && !failed; ++i) {
      bool expired = false;
      uintptr_t limit = after(10000, expired, nullptr);
      backend.RunUntil([&] { return connected() || expired; });
      backend.StopTimer(limit);
      if (!connected()) {
        std::fprintf(stderr, "the line did not come up\n");
        failed = 1;
        break;
      }
      // Up for a moment, then dropped.
      double dropAt = -1;
      dialAt = -1;
      bool dropped = false;
      const double phase = (i + within(rng)) * 1000.0 / drops;
      after(static_cast<unsigned>(phase), dropped, [&] {
        if (HRASCONN h = ListedConnection(*service)) {
          dropAt = NowMs();
          service->RasHangUpA(h);
        }
      });
      limit = after(10000, expired, nullptr);
      backend.RunUntil([&] { return (dropped && dialAt >= 0) || expired; });
      backend.StopTimer(limit);
      if (dropAt < 0 || dialAt < 0) {
        std::fprintf(stderr, "no redial within 10 s of a drop\n");
        failed = 1;
        break;
      }
      latencies.push_back(dialAt - dropAt);
    }
    app.DestroyForms();
    backend.SetApplication(nullptr);
  }
  scheduler.reset();  // no service work may run once the service is gone
  rassim::Install(nullptr);
  service.reset();
  if (failed || latencies.empty()) return 1;

  double sum = 0;
  for (double l : latencies) sum += l;
  const auto over =
      std::count_if(latencies.begin(), latencies.end(), [](double l) { return l > 1000.0; });
  std::printf(
      "drop -> redial Dial call, Windows backend, real time, %zu drops spread over the poll "
      "interval\n",
      latencies.size());
  std::printf(
      "min %.1f ms   median %.1f ms   mean %.1f ms   p90 %.1f ms   max %.1f ms   (%ld over 1000 "
      "ms)\n",
      Percentile(latencies, 0.0), Percentile(latencies, 0.5),
      sum / static_cast<double>(latencies.size()), Percentile(latencies, 0.9),
      Percentile(latencies, 1.0), static_cast<long>(over));
  return 0;
}
