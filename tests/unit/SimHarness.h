// The simulated RAS service inside a test world: registered as "rasapi32.dll"
// with the in-memory library loader, its time the headless backend's virtual
// clock, its notifier thread known to the backend as a busy producer.
#pragma once
#include <memory>
#include <set>
#include <string>

#include "TestWorld.h"
#include "rassim/RasSimService.h"
#include "rassim/SimExports.h"

// Service time on the virtual clock: work at a time is a one-shot timer of
// the service's own (work due now is posted), which goes on when the program
// stops its callbacks; a blocking pause advances the clock.
class THeadlessSimScheduler : public ISimScheduler {
 public:
  explicit THeadlessSimScheduler(THeadlessBackend& backend) : backend_(backend) {}
  ~THeadlessSimScheduler() override {
    *alive_ = false;
    for (uintptr_t id : timers_) backend_.StopTimer(id);
  }

  uint64_t NowMs() override { return backend_.TickCount(); }

  void RunAt(uint64_t atMs, std::function<void()> work) override {
    uint64_t now = NowMs();
    auto alive = alive_;
    if (atMs <= now) {
      backend_.PostExternal([alive, work = std::move(work)] {
        if (*alive) work();
      });
      return;
    }
    auto id = std::make_shared<uintptr_t>(0);
    *id = backend_.StartExternalTimer(static_cast<unsigned>(atMs - now),
                                      [this, alive, id, work = std::move(work)] {
                                        if (!*alive) return;
                                        backend_.StopTimer(*id);
                                        timers_.erase(*id);
                                        work();
                                      });
    timers_.insert(*id);
  }

  void Sleep(unsigned ms) override { backend_.Sleep(ms); }

 private:
  THeadlessBackend& backend_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::set<uintptr_t> timers_;
};

struct TSimHarness {
  TTestWorld& world;
  THeadlessSimScheduler scheduler;
  std::unique_ptr<TRasSimService> service;

  // `phoneBook` is the text of a phone-book file; `savePath` where stored
  // credentials are written (empty: memory only).
  TSimHarness(TTestWorld& w, const std::string& phoneBook, const std::string& savePath = "")
      : world(w), scheduler(w.backend) {
    service = std::make_unique<TRasSimService>(
        scheduler, TSimPhoneBook::Parse(phoneBook, "phonebook.ini"), savePath);
    rassim::Install(service.get());
    TRasSimService* s = service.get();
    world.backend.AddBusyProbe([s] { return s->NotifierBusy(); });
    // Wakes a settling backend when the notifier thread goes idle without posting.
    THeadlessBackend* backend = &world.backend;
    service->Notifier().afterCall = [backend] { backend->PostExternal([] {}); };
    Register("rasapi32.dll");
  }

  ~TSimHarness() {
    // The program ends first: its dialers let go of a notifier that may be
    // waiting for them, so the service's thread can stop.
    world.app.reset();
    world.backend.ClearBusyProbes();
    rassim::Install(nullptr);
    service.reset();
  }

  // Offers every function of the service under `library`.
  void Register(const std::string& library) {
    auto& l = world.libraries;
    l.Add(library, "RasDialA", &rassim::RasDialA);
    l.Add(library, "RasEnumEntriesA", &rassim::RasEnumEntriesA);
    l.Add(library, "RasGetEntryDialParamsA", &rassim::RasGetEntryDialParamsA);
    l.Add(library, "RasSetEntryDialParamsA", &rassim::RasSetEntryDialParamsA);
    l.Add(library, "RasHangUpA", &rassim::RasHangUpA);
    l.Add(library, "RasGetConnectStatusA", &rassim::RasGetConnectStatusA);
    l.Add(library, "RasGetErrorStringA", &rassim::RasGetErrorStringA);
    l.Add(library, "RasEnumConnectionsA", &rassim::RasEnumConnectionsA);
    l.Add(library, "RasGetProjectionInfoA", &rassim::RasGetProjectionInfoA);
    l.Add(library, "QuindleSimMarker", &rassim::QuindleSimMarker);
  }
};
