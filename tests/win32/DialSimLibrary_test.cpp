// The dialer over the real Windows backend and the simulated service built as
// rasapi32.dll: the library's exports, the entry list, dials in both modes
// with the notifications arriving on the GUI thread, credentials written back
// to the phone-book file, a second copy speaking as Windows 10 does beside a
// VPN of another program, with its counts file, and (when it is installed)
// the system's own copy.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ToolkitWin32World.h"
#include "unit/Watchdog.h"
// The seam's method, not the Windows macro of the same name.
#undef LoadLibrary
#include "dialup/DialUp.h"
#include "platform/win32/Win32LibraryLoader.h"
#include "rasmonitor/RasMonitor.h"

namespace {

std::string ExeFolder() {
  char buffer[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string path = buffer;
  return path.substr(0, path.find_last_of("\\/"));
}

// The simulated library as the build leaves it (rassim\rasapi32.dll beside
// the test runner), loaded by its full path under the system's name.
class TBuiltSimLoader : public ILibraryLoader {
 public:
  HMODULE_T LoadLibrary(const std::string& name) override {
    if (_stricmp(name.c_str(), "rasapi32.dll") != 0) return nullptr;
    return LoadLibraryA((ExeFolder() + "\\rassim\\rasapi32.dll").c_str());
  }
  void* GetProcAddress(HMODULE_T library, const std::string& name) override {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
  }
  bool FreeLibrary(HMODULE_T library) override {
    return ::FreeLibrary(static_cast<HMODULE>(library)) != 0;
  }
};

// The library reads its phone book once, at its first call: every test of the
// run shares this one.
const std::string& PhoneBookPath() {
  static std::string path = [] {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    std::string p =
        std::string(dir) + "quindle-dialsim-" + std::to_string(GetCurrentProcessId()) + ".ini";
    std::ofstream(p, std::ios::binary) << "[Fast]\r\nUserName=fred\r\nPassword=flint\r\n"
                                          "Script=0:20, 1:20, 14:20, 0x2000:20\r\n"
                                          "\r\n[Refused]\r\nScript=0:20, 5:20, 0x2000:0\r\n"
                                          "FailCode=691\r\nFailAt=5\r\nHangUpDelay=50\r\n";
    SetEnvironmentVariableA("QUINDLE_PHONEBOOK", p.c_str());
    return p;
  }();
  return path;
}

// A backend whose wake-up for posted work the queue refuses while `full` is
// set, as a queue past its limit of posted messages refuses a post.
class TFullQueueBackend : public TRecordingWin32Backend {
 public:
  std::atomic<bool> full{false};
  std::atomic<int> refused{0};

 protected:
  bool PostWake() override {
    if (full) {
      ++refused;
      return false;
    }
    return TWin32Backend::PostWake();
  }
};

// Waits (on real time, dispatching nothing) until the service's thread has
// had a wake-up refused.
bool WakeUpRefused(TFullQueueBackend& backend) {
  const int before = backend.refused;
  for (int i = 0; i < 10000 && backend.refused == before; ++i) Sleep(1);
  return backend.refused != before;
}

class DialSimLibrary : public ::testing::Test {
 protected:
  DialSimLibrary() {
    PhoneBookPath();
    TPlatform platform;
    platform.libraries = &loader;
    app = std::make_unique<TApplication>(backend, platform);
    backend.SetApplication(app.get());
    dialer = new TDialUp(app.get());
  }
  ~DialSimLibrary() override {
    app.reset();
    backend.SetApplication(nullptr);
  }

  bool PumpUntil(const std::function<bool()>& done, unsigned limitMs = 10000) {
    bool expired = false;
    uintptr_t limit = backend.StartTimer(limitMs, [&] { expired = true; });
    backend.RunUntil([&] { return done() || expired; });
    backend.StopTimer(limit);
    return done();
  }

  TBuiltSimLoader loader;
  TFullQueueBackend backend;
  std::unique_ptr<TApplication> app;
  TDialUp* dialer = nullptr;
};

TEST_F(DialSimLibrary, TheBuiltLibraryExportsTheServiceAndItsMarker) {
  HMODULE_T lib = loader.LoadLibrary("rasapi32.dll");
  ASSERT_NE(nullptr, lib) << "build the rasapi32 target first";
  for (const char* name : {"RasDialA", "RasEnumEntriesA", "RasGetEntryDialParamsA",
                           "RasSetEntryDialParamsA", "RasHangUpA", "RasGetConnectStatusA",
                           "RasGetErrorStringA", "RasEnumConnectionsA", "RasGetProjectionInfoA"})
    EXPECT_NE(nullptr, loader.GetProcAddress(lib, name)) << name;
  auto marker = ProcAs<const char*(WINAPI*)()>(loader.GetProcAddress(lib, "QuindleSimMarker"));
  ASSERT_NE(nullptr, marker);
  EXPECT_STREQ("Quindle simulated RAS service", marker());
}

TEST_F(DialSimLibrary, ListsThePhoneBookEntries) {
  EXPECT_EQ(0, dialer->GetEntries());
  EXPECT_EQ((std::vector<std::string>{"Fast", "Refused"}), dialer->Entries().ToVector());
}

TEST_F(DialSimLibrary, AnAsyncDialsNotificationsArriveOnTheGuiThreadInOrder) {
  const DWORD gui = GetCurrentThreadId();
  std::vector<std::string> got;
  bool offThread = false;
  dialer->OnAsyncEvent = [&](TObject*, int32_t state, int32_t error, const std::string& text) {
    if (GetCurrentThreadId() != gui) offThread = true;
    got.push_back(std::to_string(state) + " " + std::to_string(error) + " " + text);
  };
  dialer->SetEntry("Fast");
  ASSERT_EQ(0, dialer->Dial());
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 4; }));
  EXPECT_EQ((std::vector<std::string>{"0 0 Opening port", "1 0 Port opened", "14 0 Authenticated",
                                      "8192 0 Connected"}),
            got);
  EXPECT_FALSE(offThread);
  EXPECT_EQ(0, dialer->HangUp());
}

TEST_F(DialSimLibrary, ARefusedSyncDialIsHungUpAndReportedWithTheServiceText) {
  std::vector<std::string> got;
  dialer->OnDialing = [&](TObject*) { got.emplace_back("Dialing"); };
  dialer->OnNotConnected = [&](TObject*, int32_t code, const std::string& text) {
    got.push_back(std::to_string(code) + " " + text);
  };
  dialer->SetEntry("Refused");
  dialer->SetDialMode(dmSync);
  EXPECT_EQ(691, dialer->Dial());
  ASSERT_EQ(2u, got.size());
  EXPECT_EQ("Dialing", got[0]);
  EXPECT_EQ(0u, got[1].find("691 Access was denied because the"));
}

TEST_F(DialSimLibrary, StoredCredentialsAreWrittenToThePhoneBookFile) {
  dialer->SetEntry("Refused");
  ASSERT_EQ(0, dialer->SetUsername("wilma"));
  ASSERT_EQ(0, dialer->SetPassword("pebbles"));
  std::string name, password;
  EXPECT_EQ(0, dialer->GetUsername(name));
  EXPECT_EQ(0, dialer->GetPassword(password));
  EXPECT_EQ("wilma", name);
  EXPECT_EQ("pebbles", password);
  std::ifstream in(PhoneBookPath(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(std::string::npos,
            text.str().find("[Refused]\r\nUserName=wilma\r\nPassword=pebbles\r\n"))
      << text.str();
}

// The GUI thread's queue is full while the service's thread posts a
// notification: that thread posts again until the queue takes it, and the
// GUI thread, which alone empties the queue, is held up neither by a new Dial
// nor by the dialer's destruction. Once the queue has room, the new dial's
// notifications all arrive.
TEST_F(DialSimLibrary, AFullQueueHoldsUpNeitherDialNorTheDestructorAndLosesNoNotification) {
  std::vector<std::string> got;
  dialer->OnAsyncEvent = [&](TObject*, int32_t state, int32_t error, const std::string& text) {
    got.push_back(std::to_string(state) + " " + std::to_string(error) + " " + text);
  };
  // A dial that fails by itself: only the second can connect.
  dialer->SetEntry("Refused");
  backend.full = true;
  ASSERT_EQ(0, dialer->Dial());
  ASSERT_TRUE(WakeUpRefused(backend));
  dialer->SetEntry("Fast");
  {
    TWatchdog watchdog([&] { backend.full = false; });
    EXPECT_EQ(0, dialer->Dial());
    EXPECT_FALSE(watchdog.Release()) << "Dial waited for room in the queue";
  }
  backend.full = false;
  ASSERT_TRUE(PumpUntil([&] { return !got.empty() && got.back() == "8192 0 Connected"; }));
  const std::vector<std::string> fast{"0 0 Opening port", "1 0 Port opened", "14 0 Authenticated",
                                      "8192 0 Connected"};
  ASSERT_GE(got.size(), fast.size());
  EXPECT_EQ(fast, std::vector<std::string>(got.end() - 4, got.end()));
  EXPECT_EQ(0, dialer->HangUp());

  // A notification waits for room when the dialer goes.
  got.clear();
  dialer->SetEntry("Refused");
  backend.full = true;
  ASSERT_EQ(0, dialer->Dial());
  ASSERT_TRUE(WakeUpRefused(backend));
  {
    TWatchdog watchdog([&] { backend.full = false; });
    delete dialer;
    dialer = nullptr;
    EXPECT_FALSE(watchdog.Release()) << "the destructor waited for room in the queue";
  }
  backend.full = false;
  PumpUntil([] { return false; }, 300);  // the late delivery finds the dialer gone
  EXPECT_TRUE(got.empty());
}

// ---- a second copy: Windows 10's wording, another program's VPN, the counts file

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The built library copied under a name of its own, so that it loads as a
// second library with a service of its own. It reads its phone book and
// its counts file's name at its first call: they are set for that call
// only, and the shared copy keeps its own.
struct TSecondSim {
  std::string library, phoneBook, report;
  HMODULE module = nullptr;
};

const TSecondSim& SecondSim() {
  static TSecondSim sim = [] {
    PhoneBookPath();
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string base =
        std::string(dir) + "quindle-dialsim-w10-" + std::to_string(GetCurrentProcessId());
    TSecondSim s;
    s.library = base + "-rasapi32.dll";
    s.phoneBook = base + ".ini";
    s.report = base + "-counts.ini";
    CopyFileA((ExeFolder() + "\\rassim\\rasapi32.dll").c_str(), s.library.c_str(), FALSE);
    std::ofstream(s.phoneBook, std::ios::binary)
        << "ErrorTexts=Windows10\r\n\r\n[Corp VPN]\r\nForeign=1\r\nDeviceType=vpn\r\n"
           "HangUpDelay=50\r\n\r\n[Office]\r\nScript=0:20, 1:20, 0x2000:20\r\n";
    SetEnvironmentVariableA("QUINDLE_PHONEBOOK", s.phoneBook.c_str());
    SetEnvironmentVariableA("QUINDLE_SIM_REPORT", s.report.c_str());
    s.module = LoadLibraryA(s.library.c_str());
    if (s.module) {
      auto text = ProcAs<RasGetErrorStringA_t>(
          reinterpret_cast<void*>(::GetProcAddress(s.module, "RasGetErrorStringA")));
      char first[512];
      if (text) text(6, first, sizeof first);
    }
    SetEnvironmentVariableA("QUINDLE_PHONEBOOK", PhoneBookPath().c_str());
    SetEnvironmentVariableA("QUINDLE_SIM_REPORT", nullptr);
    return s;
  }();
  return sim;
}

// The second copy offered under the system's name.
class TSecondSimLoader : public TBuiltSimLoader {
 public:
  HMODULE_T LoadLibrary(const std::string& name) override {
    if (_stricmp(name.c_str(), "rasapi32.dll") != 0) return nullptr;
    return LoadLibraryA(SecondSim().library.c_str());
  }
};

template <class Fn>
Fn SecondSimProc(const char* name) {
  return ProcAs<Fn>(reinterpret_cast<void*>(::GetProcAddress(SecondSim().module, name)));
}

TEST(DialSimWindows10, ErrorTextsComeInTodaysWordingWholeOrNotAtAll) {
  ASSERT_NE(nullptr, SecondSim().module) << "build the rasapi32 target first";
  auto text = SecondSimProc<RasGetErrorStringA_t>("RasGetErrorStringA");
  ASSERT_NE(nullptr, text);
  char big[512];
  ASSERT_EQ(0u, text(691, big, sizeof big));
  EXPECT_EQ(197u, strlen(big));
  EXPECT_EQ(0, strncmp(big, "The remote connection was denied because", 40)) << big;
  char small[100];
  memset(small, 0x55, sizeof small);
  EXPECT_EQ(122u, text(691, small, sizeof small));
  EXPECT_EQ(std::string(sizeof small, '\x55'), std::string(small, sizeof small));
  // The shared copy keeps the classic wording of its own phone book.
  TBuiltSimLoader builtLoader;
  HMODULE_T shared = builtLoader.LoadLibrary("rasapi32.dll");
  ASSERT_NE(nullptr, shared);
  auto classic =
      ProcAs<RasGetErrorStringA_t>(builtLoader.GetProcAddress(shared, "RasGetErrorStringA"));
  ASSERT_EQ(0u, classic(691, small, sizeof small));
  EXPECT_EQ(0, strncmp(small, "Access was denied because the", 29)) << small;
  // Its last reference let go: the library, whose service threads run,
  // stays loaded (the next test would crash in unmapped code otherwise).
  builtLoader.FreeLibrary(shared);
}

TEST(DialSimWindows10, TheMonitorPassesOverAVpnListedFirstAndTheCountsFileSaysWhoWasHungUp) {
  ASSERT_NE(nullptr, SecondSim().module) << "build the rasapi32 target first";
  TSecondSimLoader loader;
  TRecordingWin32Backend backend;
  TPlatform platform;
  platform.libraries = &loader;
  {
    TApplication app(backend, platform);
    backend.SetApplication(&app);
    auto* dialer = new TDialUp(&app);
    auto* monitor = new TRasMonitor(&app);
    monitor->SetEntryName("office");
    monitor->SetPollInterval(50);
    monitor->SetEnabled(true);
    dialer->SetEntry("Office");
    ASSERT_EQ(0, dialer->Dial());
    bool expired = false;
    uintptr_t limit = backend.StartTimer(10000, [&] { expired = true; });
    backend.RunUntil([&] { return monitor->Online() || expired; });
    backend.StopTimer(limit);
    ASSERT_TRUE(monitor->Online());
    EXPECT_STREQ("Office", monitor->ConnectionDetails().EntryName);

    // The service lists the VPN first.
    auto enumerate = SecondSimProc<RasEnumConnectionsA_t>("RasEnumConnectionsA");
    std::vector<RASCONNA> conns(8);
    conns[0].dwSize = sizeof(RASCONNA);
    uint32_t bytes = 8 * sizeof(RASCONNA), count = 0;
    ASSERT_EQ(0u, enumerate(conns.data(), &bytes, &count));
    ASSERT_EQ(2u, count);
    EXPECT_STREQ("Corp VPN", conns[0].szEntryName);
    EXPECT_STREQ("Office", conns[1].szEntryName);

    EXPECT_EQ(0, monitor->HangUpConnection(monitor->ConnectionDetails().Handle));
    EXPECT_FALSE(monitor->Online());
    const std::string counts = ReadText(SecondSim().report);
    EXPECT_NE(std::string::npos, counts.find("NotHungUp=0\n")) << counts;
    EXPECT_NE(std::string::npos, counts.find("[Corp VPN]\nDials=0\nHangUps=0\n")) << counts;
    EXPECT_NE(std::string::npos, counts.find("[Office]\nDials=1\nHangUps=1\n")) << counts;
    EXPECT_FALSE(std::ifstream(SecondSim().report + ".tmp").good());
  }
  backend.SetApplication(nullptr);
}

TEST(DialSystemLibrary, TheProgramsLoaderFindsTheInstalledSimulatedService) {
  TWin32LibraryLoader loader;
  HMODULE_T lib = loader.LoadLibrary("rasapi32.dll");
  if (!lib) GTEST_SKIP() << "no rasapi32.dll in the system directory";
  char path[MAX_PATH] = {}, system[MAX_PATH] = {};
  GetModuleFileNameA(static_cast<HMODULE>(lib), path, MAX_PATH);
  GetSystemDirectoryA(system, MAX_PATH);
  // The build's copy, loaded by the tests above, answers to the same name.
  if (_strnicmp(path, system, strlen(system)) != 0)
    GTEST_SKIP() << "rasapi32.dll of this process is " << path;
  auto marker = ProcAs<const char*(WINAPI*)()>(loader.GetProcAddress(lib, "QuindleSimMarker"));
  if (!marker) GTEST_SKIP() << "the system's rasapi32.dll is not the simulated service";
  EXPECT_STREQ("Quindle simulated RAS service", marker());
  // The dialer's own binding serves from it.
  TRecordingWin32Backend backend;
  TPlatform platform;
  platform.libraries = &loader;
  {
    TApplication app(backend, platform);
    backend.SetApplication(&app);
    auto* dialer = new TDialUp(&app);
    EXPECT_EQ(0, dialer->GetEntries());
  }
  backend.SetApplication(nullptr);
}

}  // namespace
