// The cost of one idle poll of the connection monitor: a tick that finds the
// connection it already reported (enumeration + status), and a tick that finds
// no connection at all (enumeration only). Each is run once, after warm-up
// ticks, inside its own function so that callgrind can count it alone.
//
// Measure it without sanitizers (valgrind cannot run an ASan build):
//
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
//   cmake --build build/bench --target poll_native
//   valgrind --tool=callgrind --callgrind-out-file=build/bench/poll.cg
//       --toggle-collect='*MeasuredPoll*' build/bench/poll_native      (one line)
//   callgrind_annotate --inclusive=yes build/bench/poll.cg | grep MeasuredPoll
//
// The program prints how many polls each measured function made, so the
// inclusive instruction count of that function divided by it is the cost of
// one poll. The RAS service here is a minimal in-process one, so the figure is
// the monitor's own work plus two trivial calls.
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/memory/MemoryLibraryLoader.h"
#include "platform/memory/MemoryRegistry.h"
#include "platform/memory/MemorySystem.h"
#include "platform/memory/VirtualClock.h"
#include "rasmonitor/RasMonitor.h"
#include "toolkit/Application.h"
#include "toolkit/headless/HeadlessBackend.h"

namespace {

bool gConnected = true;

uint32_t RASAPI_CALL BenchEnum(RASCONNA* conns, uint32_t* bytes, uint32_t* count) {
  if (conns[0].dwSize != sizeof(RASCONNA)) return ERROR_INVALID_SIZE_RAS;
  *count = 0;
  if (!gConnected) return 0;
  conns[0].hrasconn = 0x5150;
  std::strcpy(conns[0].szEntryName, "Office");
  std::strcpy(conns[0].szDeviceType, "modem");
  std::strcpy(conns[0].szDeviceName, "Standard 56000 bps Modem");
  *count = 1;
  return 0;
}

uint32_t RASAPI_CALL BenchStatus(HRASCONN, RASCONNSTATUSA* status) {
  status->rasconnstate = RASCS_Connected;
  return 0;
}

uint32_t RASAPI_CALL BenchHangUp(HRASCONN) {
  return 0;
}

uint32_t RASAPI_CALL BenchProjection(HRASCONN, uint32_t, void* info, uint32_t*) {
  auto* ip = static_cast<RASPPPIPA*>(info);
  std::strcpy(ip->szIpAddress, "10.0.0.2");
  std::strcpy(ip->szServerIpAddress, "10.0.0.1");
  return 0;
}

__attribute__((noinline, noipa)) void MeasuredPollConnected(TRasMonitor& monitor, int polls) {
  for (int i = 0; i < polls; ++i) monitor.Poll();
}

__attribute__((noinline, noipa)) void MeasuredPollNoConnection(TRasMonitor& monitor, int polls) {
  for (int i = 0; i < polls; ++i) monitor.Poll();
}

}  // namespace

int main() {
  TMemoryLibraryLoader libraries;
  libraries.Add("RASAPI32.DLL", "RasEnumConnectionsA", &BenchEnum);
  libraries.Add("RASAPI32.DLL", "RasGetConnectStatusA", &BenchStatus);
  libraries.Add("RASAPI32.DLL", "RasHangUpA", &BenchHangUp);
  libraries.Add("RASAPI32.DLL", "RasGetProjectionInfoA", &BenchProjection);
  TMemoryRegistry registry;
  TVirtualClock clock;
  TMemoryLocale locale;
  TMemorySystem system;
  TMemoryShell shell;
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
  THeadlessBackend backend(clock);
  auto app = std::make_unique<TApplication>(backend, platform);

  auto* monitor = new TRasMonitor(app.get());
  int connectedEvents = 0, disconnectedEvents = 0;
  monitor->OnRasConnected = [&](TObject*, const TRasConnectionDetails&) { ++connectedEvents; };
  monitor->OnRasDisconnected = [&](TObject*, const TRasConnectionDetails&) {
    ++disconnectedEvents;
  };

  const int polls = 1;

  // Warm-up: the tick that reports the connection, then one idle tick.
  gConnected = true;
  monitor->Poll();
  monitor->Poll();
  MeasuredPollConnected(*monitor, polls);
  std::printf("connected:     %d poll(s) in MeasuredPollConnected, online=%d\n", polls,
              monitor->Online() ? 1 : 0);

  // The tick that reports the drop, then one idle tick.
  gConnected = false;
  monitor->Poll();
  monitor->Poll();
  MeasuredPollNoConnection(*monitor, polls);
  std::printf("no connection: %d poll(s) in MeasuredPollNoConnection, online=%d\n", polls,
              monitor->Online() ? 1 : 0);

  std::printf("events: %d connected, %d disconnected\n", connectedEvents, disconnectedEvents);
  return connectedEvents == 1 && disconnectedEvents == 1 ? 0 : 1;
}
