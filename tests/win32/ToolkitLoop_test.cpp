// The Windows backend's message loop: timers, the post from other threads,
// hidden windows, and the callback boundaries that hand an exception to the
// application instead of letting it unwind through Windows.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "ToolkitWin32World.h"
#include "platform/Errors.h"
#include "toolkit/Menus.h"
#include "toolkit/OwnedIcon.h"

namespace {

TEST(Win32Loop, TimerTicksUntilStoppedAndMayStopItselfFromItsTick) {
  TWin32World w;
  int ticks = 0;
  uint64_t started = w.backend.TickCount();
  uintptr_t id = w.backend.StartTimer(10, [&] { ++ticks; });
  ASSERT_TRUE(w.PumpUntil([&] { return ticks >= 3; }));
  // Three ticks of a 10 ms timer cannot come sooner than the interval allows.
  EXPECT_GE(w.backend.TickCount() - started, 20u);
  w.backend.StopTimer(id);
  int stoppedAt = ticks;

  // A tick that stops its own timer runs exactly once.
  int once = 0;
  uintptr_t self = 0;
  self = w.backend.StartTimer(5, [&] {
    ++once;
    w.backend.StopTimer(self);
  });
  int other = 0;
  w.backend.StartTimer(5, [&] { ++other; });
  ASSERT_TRUE(w.PumpUntil([&] { return other >= 5; }));
  EXPECT_EQ(once, 1);
  EXPECT_EQ(ticks, stoppedAt);
}

TEST(Win32Loop, WorkPostedFromOtherThreadsRunsOnTheGuiThreadInOrder) {
  TWin32World w;
  const DWORD gui = GetCurrentThreadId();
  constexpr int kPerThread = 2000;
  std::vector<int> seenA, seenB;
  std::atomic<int> offThread{0};
  auto producer = [&](std::vector<int>& seen) {
    for (int i = 0; i < kPerThread; ++i)
      w.backend.PostToGui([&, i] {
        if (GetCurrentThreadId() != gui) ++offThread;
        seen.push_back(i);
      });
  };
  std::thread a(producer, std::ref(seenA));
  std::thread b(producer, std::ref(seenB));
  bool done =
      w.PumpUntil([&] { return seenA.size() == kPerThread && seenB.size() == kPerThread; }, 20000);
  a.join();
  b.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(offThread.load(), 0);
  for (int i = 0; i < kPerThread; ++i) {
    ASSERT_EQ(seenA[static_cast<size_t>(i)], i);
    ASSERT_EQ(seenB[static_cast<size_t>(i)], i);
  }
}

TEST(Win32Loop, ProcessMessagesRunsWhatIsPendingAndReturns) {
  TWin32World w;
  std::vector<std::string> log;
  w.backend.PostToGui([&] { log.emplace_back("first"); });
  w.backend.PostToGui([&] {
    log.emplace_back("second");
    // Posted while the queue drains: still runs, after the rest.
    w.backend.PostToGui([&] { log.emplace_back("third"); });
  });
  w.backend.ProcessMessages();
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "third"}));
}

TEST(Win32Loop, QuitMessageEndsTheLoopAndReachesTheEnclosingOne) {
  TWin32World w;
  bool innerEnded = false;
  w.backend.PostToGui([&] {
    PostQuitMessage(3);
    w.backend.RunUntil([] { return false; });  // a nested loop: the quit ends it
    innerEnded = true;
  });
  w.backend.RunUntil([] { return false; });  // ended by the quit handed on
  EXPECT_TRUE(innerEnded);
}

TEST(Win32Loop, ExceptionsAtEveryCallbackBoundaryReachTheApplication) {
  TWin32World w;
  // A timer tick.
  uintptr_t id = w.backend.StartTimer(5, [] { throw EQuindleError("tick failed"); });
  ASSERT_TRUE(w.PumpUntil([&] { return !w.backend.messages.empty(); }));
  w.backend.StopTimer(id);
  EXPECT_EQ(w.backend.messages.front(), "tick failed");

  // Posted work; the work after it still runs.
  bool after = false;
  w.backend.PostToGui([] { throw std::runtime_error("posted work failed"); });
  w.backend.PostToGui([&] { after = true; });
  w.backend.ProcessMessages();
  EXPECT_TRUE(after);

  // A hidden window's handler: the message still gets the default answer.
  TWindowHandle hidden =
      w.backend.CreateHiddenWindow([](uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        if (message == WM_USER_T + 7) throw EQuindleError("window handler failed");
        return 0;
      });
  ASSERT_NE(hidden, TWindowHandle{});
  w.backend.SendMessage(hidden, WM_USER_T + 7, 0, 0);
  w.backend.DestroyHiddenWindow(hidden);

  EXPECT_EQ(w.backend.messages, (std::vector<std::string>{"tick failed", "posted work failed",
                                                          "window handler failed"}));
}

TEST(Win32Loop, HiddenWindowsAreTopLevelSoBroadcastsReachThem) {
  TWin32World w;
  const uint32_t restarted = w.backend.RegisterWindowMessage("QuindleTestBroadcast");
  ASSERT_NE(restarted, 0u);
  EXPECT_EQ(w.backend.RegisterWindowMessage("QuindleTestBroadcast"), restarted);
  std::vector<uint32_t> got;
  TWindowHandle hidden;
  hidden = w.backend.CreateHiddenWindow([&](uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == restarted) got.push_back(message);
    return w.backend.DefWindowProc(hidden, message, wParam, lParam);
  });
  ASSERT_NE(hidden, TWindowHandle{});
  EXPECT_FALSE(w.backend.IsWindowVisible(hidden));
  EXPECT_EQ(GetParent(Hwnd(hidden)), nullptr);

  DWORD_PTR answer = 0;
  SendMessageTimeoutA(HWND_BROADCAST, restarted, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
  EXPECT_EQ(got.size(), 1u);

  // Posted to the window itself, through the loop.
  EXPECT_TRUE(w.backend.PostMessage(hidden, restarted, 0, 0));
  w.backend.ProcessMessages();
  EXPECT_EQ(got.size(), 2u);

  // A handler that destroys its own window is safe.
  TWindowHandle self;
  self = w.backend.CreateHiddenWindow([&](uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_USER_T + 1) {
      w.backend.DestroyHiddenWindow(self);
      return intptr_t{42};
    }
    return w.backend.DefWindowProc(self, message, wParam, lParam);
  });
  EXPECT_EQ(w.backend.SendMessage(self, WM_USER_T + 1, 0, 0), 42);
  EXPECT_FALSE(IsWindow(Hwnd(self)));
  w.backend.DestroyHiddenWindow(hidden);
  EXPECT_FALSE(IsWindow(Hwnd(hidden)));
}

TEST(Win32Loop, HotKeysRegisterOnceAndIconsAreOwnedCopies) {
  TWin32World w;
  TWindowHandle hidden = w.backend.CreateHiddenWindow(
      [&](uint32_t m, uintptr_t wp, intptr_t lp) { return intptr_t{0}; });
  // Ctrl+Alt+F11: a combination nothing else in the prefix holds.
  ASSERT_TRUE(w.backend.RegisterHotKey(hidden, 1, MOD_CONTROL | MOD_ALT, VK_F11));
  EXPECT_TRUE(w.backend.UnregisterHotKey(hidden, 1));
  EXPECT_FALSE(w.backend.UnregisterHotKey(hidden, 1));
  w.backend.DestroyHiddenWindow(hidden);

  {
    const TOwnedIcon icon(w.backend, w.backend.ApplicationIcon());
    ASSERT_NE(icon.Get(), TIconHandle{});
    ICONINFO info{};
    EXPECT_TRUE(GetIconInfo(reinterpret_cast<HICON>(icon.Get().Raw()), &info));
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
  }
  EXPECT_NE(w.backend.LoadSystemIcon(32512), TIconHandle{});  // IDI_APPLICATION, shared

  TRect area = w.backend.WorkArea();
  EXPECT_GT(area.right - area.left, 0);
  EXPECT_LE(area.right - area.left, w.backend.ScreenWidth());
  EXPECT_LE(area.bottom - area.top, w.backend.ScreenHeight());
}

TEST(Win32Loop, PopupMenuReturnsTheItemChosenWithTheKeyboard) {
  TWin32World w;
  TComponent owner(nullptr);
  auto* menu = new TPopupMenu(&owner);
  auto item = [&](const std::string& caption, bool enabled = true) {
    auto* i = new TMenuItem(&owner);
    i->SetCaption(caption);
    i->SetEnabled(enabled);
    menu->Add(i);
    return i;
  };
  item("&Restore")->SetDefault(true);
  item("-");
  item("&Connect", false);
  TMenuItem* disconnect = item("&Disconnect");
  item("-");
  item("E&xit")->SetVisible(false);

  TWindowHandle window = w.backend.CreateHiddenWindow([&](uint32_t m, uintptr_t wp, intptr_t lp) {
    return w.backend.DefWindowProc(window, m, wp, lp);
  });
  // Should the menu not see a key, this closes it rather than hang the run.
  uintptr_t limit = w.backend.StartTimer(3000, [] { EndMenu(); });
  // A key waiting in the queue when the menu opens picks the item it marks.
  PostKey(Hwnd(window), 'D');
  EXPECT_EQ(w.backend.TrackPopupMenu(*menu, 100, 100, window), disconnect);
  PostKey(Hwnd(window), VK_ESCAPE);
  EXPECT_EQ(w.backend.TrackPopupMenu(*menu, 100, 100, window), nullptr);
  // The hidden item is not in the menu: its letter picks nothing.
  PostKey(Hwnd(window), 'X');
  PostKey(Hwnd(window), VK_ESCAPE);
  EXPECT_EQ(w.backend.TrackPopupMenu(*menu, 100, 100, window), nullptr);
  w.backend.StopTimer(limit);
  w.backend.DestroyHiddenWindow(window);
}

// A backend whose wake-up for posted work is refused the first few times, as
// a full message queue refuses a post.
class TFullQueueBackend : public TRecordingWin32Backend {
 public:
  std::atomic<int> refusals{0};

 protected:
  bool PostWake() override {
    if (refusals > 0) {
      --refusals;
      return false;
    }
    return TWin32Backend::PostWake();
  }
};

TEST(Win32Loop, WorkWhoseWakeUpTheFullQueueRefusedStillRuns) {
  TFullQueueBackend backend;
  TApplication app(backend, TPlatform{});
  backend.SetApplication(&app);
  auto pumpUntil = [&](const std::function<bool()>& done) {
    bool expired = false;
    uintptr_t limit = backend.StartTimer(5000, [&] { expired = true; });
    backend.RunUntil([&] { return done() || expired; });
    backend.StopTimer(limit);
    return done();
  };
  // From another thread (the dialer's notifier), which posts nothing more
  // until this work has run.
  std::atomic<bool> ran{false};
  backend.refusals = 5;
  std::thread notifier([&] { backend.PostToGui([&] { ran = true; }); });
  EXPECT_TRUE(pumpUntil([&] { return ran.load(); }));
  notifier.join();
  // From the GUI thread itself, which cannot wait for its own queue.
  bool ranHere = false;
  backend.refusals = 1;
  EXPECT_TRUE(backend.PostToGui([&] { ranHere = true; }));
  EXPECT_TRUE(pumpUntil([&] { return ranHere; }));
  backend.SetApplication(nullptr);
}

// On the way out nothing calls back any more: no tick, no posted work (the
// post says so), no hidden window's handler.
TEST(Win32Loop, StoppedCallbacksRunNothing) {
  TWin32World w;
  int ticks = 0, handled = 0;
  w.backend.StartTimer(5, [&] { ++ticks; });
  TWindowHandle hidden = w.backend.CreateHiddenWindow([&](uint32_t message, uintptr_t, intptr_t) {
    if (message == WM_USER_T + 9) ++handled;
    return intptr_t{0};
  });
  bool ran = false;
  w.backend.PostToGui([&] { ran = true; });
  w.backend.StopCallbacks();
  EXPECT_FALSE(w.backend.PostToGui([&] { ran = true; }));
  w.backend.StartTimer(5, [&] { ++ticks; });
  SendMessageA(Hwnd(hidden), WM_USER_T + 9, 0, 0);
  bool waited = false;
  UINT_PTR wait = SetTimer(nullptr, 0, 100, nullptr);  // a thread timer, outside the backend
  MSG msg;
  while (!waited && GetMessageA(&msg, nullptr, 0, 0)) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr) waited = true;
    DispatchMessageA(&msg);
  }
  KillTimer(nullptr, wait);
  EXPECT_EQ(ticks, 0);
  EXPECT_FALSE(ran);
  EXPECT_EQ(handled, 0);
  w.backend.DestroyHiddenWindow(hidden);
}

}  // namespace

// The monitor functions answer for a place on no monitor with the nearest
// one's work area, which lies on the screen; a window there is moved back.
TEST(Win32Screen, APlaceOffEveryMonitorGetsTheNearestWorkAreaOnTheScreen) {
  TWin32World w;
  const TRect work = w.backend.WorkAreaNearest({5000, 5000, 5247, 5217});
  EXPECT_EQ(work.left, w.backend.WorkArea().left);
  EXPECT_EQ(work.bottom, w.backend.WorkArea().bottom);
  EXPECT_GT(work.right - work.left, 0);
  EXPECT_LE(work.right, w.backend.ScreenWidth());
  const TRect left = w.backend.WorkAreaNearest({-9000, 10, -8800, 200});
  EXPECT_EQ(left.left, work.left);
  EXPECT_EQ(left.top, work.top);
}
