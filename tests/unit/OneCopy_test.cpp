// One Quindle in the user's session: a second start shows the running
// copy's window, as the tray menu's Restore does, and ends without making a
// window or touching the registry, the log file or the RAS library.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "QuindleWorld.h"
#include "app/OneCopy.h"
#include "platform/memory/MemorySingleCopy.h"

namespace {

const char* const kBook = "[Office]\nScript=0:100,8192:100\n";
const char* const kAlice = "S-1-5-21-7-1001";
const char* const kBob = "S-1-5-21-7-1002";

TPlatform PlatformOf(TTestWorld& w, ISingleCopy& copy) {
  TPlatform p = w.app->Platform();
  p.singleCopy = &copy;
  return p;
}

std::string Bytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The running copy's main window as another process finds it; what is sent
// to it reaches the copy's backend as a message to its main window.
uintptr_t AddMainWindow(TMemorySession& session, THeadlessBackend& backend, uint32_t process) {
  return session.AddWindow(kFormWindowClass, "Quindle", process,
                           [&backend](uint32_t m, uintptr_t w, intptr_t l) -> intptr_t {
                             TApplication* app = backend.Application();
                             return app ? backend.SendMessage(app->Handle(), m, w, l) : 0;
                           });
}

TEST(OneCopy, ASecondStartBringsTheFirstOutOfTheTrayAndTouchesNothingItself) {
  TTempDir dir;
  const std::string log = dir.File("session.log");
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "LogEnabled", 1);
  q.world.registry.PutString(kQuindleKey, "LogFile", log);
  TMemorySession session;
  TMemorySingleCopy firstCopy(session, kAlice);
  const TPlatform first = PlatformOf(q.world, firstCopy);
  // The first copy makes an application of its own; the world's, which has
  // no forms, stays (its end would stop the backend's callbacks).
  THeadlessBackend& backend = q.world.backend;

  int backendsMadeBySecond = -1, secondExit = -1;
  bool done = false;
  backend.loopScript = [&] {
    if (done) return;
    done = true;
    TApplication& app = *backend.Application();
    auto* form = dynamic_cast<TForm1*>(app.MainForm());
    ASSERT_NE(form, nullptr);
    form->ConButton->Click();  // connected, with lines in the log file
    for (int t = 0; t < 100 && form->Panel1->Caption() != "Connected to Office"; ++t)
      backend.Advance(100);
    ASSERT_EQ(form->Panel1->Caption(), "Connected to Office");
    form->Close();  // the close box: to the tray
    backend.Settle();
    ASSERT_FALSE(backend.IsWindowVisible(app.Handle()));
    ASSERT_EQ(q.world.shell.icons.size(), 1u);
    AddMainWindow(session, backend, 1);

    const size_t registryCalls = q.world.registry.log.size();
    const int rasLoads = q.world.libraries.LoadCount("rasapi32.dll");
    const std::string logBytes = Bytes(log);
    const size_t trayCalls = q.world.shell.notifyCalls.size();
    ASSERT_FALSE(logBytes.empty());
    const size_t windowCalls = backend.windowCalls.size();

    TMemorySingleCopy secondCopy(session, kAlice);
    backendsMadeBySecond = 0;
    secondExit = RunQuindle(PlatformOf(q.world, secondCopy), [&]() -> IBackend& {
      ++backendsMadeBySecond;
      return backend;
    });
    backend.Settle();

    EXPECT_EQ(q.world.registry.log.size(), registryCalls);
    EXPECT_EQ(q.world.libraries.LoadCount("rasapi32.dll"), rasLoads);
    EXPECT_EQ(Bytes(log), logBytes);
    EXPECT_TRUE(secondCopy.created.empty());
    // The first copy came out as its tray menu's Restore brings it: shown,
    // restored, in front, and still with its one icon.
    EXPECT_TRUE(backend.IsWindowVisible(app.Handle()));
    EXPECT_EQ(form->WindowState(), wsNormal);
    EXPECT_EQ(backend.LastShowCommand(app.Handle()), SW_RESTORE_T);
    bool toFront = false;
    for (size_t i = windowCalls; i < backend.windowCalls.size(); ++i)
      toFront |= backend.windowCalls[i].call == "SetForegroundWindow" &&
                 backend.windowCalls[i].window == app.Handle();
    EXPECT_TRUE(toFront);
    EXPECT_EQ(session.foregroundAllowed, std::vector<uint32_t>{1});
    EXPECT_EQ(q.world.shell.icons.size(), 1u);
    EXPECT_EQ(q.world.shell.notifyCalls.size(), trayCalls);
    form->Exit1Click(form);
  };
  EXPECT_EQ(RunQuindle(first, [&]() -> IBackend& { return backend; }), 0);
  EXPECT_EQ(backendsMadeBySecond, 0);
  EXPECT_EQ(secondExit, 0);
  EXPECT_TRUE(q.world.backend.messageBoxes.empty());
}

TEST(OneCopy, TheNameIsTheUsersInTheSessionAndFreeOnceItsCopyHasEnded) {
  TMemorySession session;
  {
    TMemorySingleCopy alice(session, kAlice), aliceAgain(session, kAlice);
    EXPECT_TRUE(OneCopy::ClaimFirst(alice));
    EXPECT_FALSE(OneCopy::ClaimFirst(aliceAgain));
    // Another user in the same session (a program run as that user) has a
    // copy of their own, and only one.
    TMemorySingleCopy bob(session, kBob), bobAgain(session, kBob);
    EXPECT_TRUE(OneCopy::ClaimFirst(bob));
    EXPECT_EQ(bob.created.size(), 1u);
    EXPECT_FALSE(OneCopy::ClaimFirst(bobAgain));
    EXPECT_EQ(OneCopy::ObjectName(bob).rfind("Local\\", 0), 0u);
  }
  TMemorySingleCopy later(session, kAlice);
  EXPECT_TRUE(OneCopy::ClaimFirst(later));
}

// The 95 family has no session namespaces, and its object names may hold no
// backslash: there a start claims the name without the "Local\" prefix (its
// token gives no user, so the name is the program's alone), and a second
// start finds it taken.
TEST(OneCopy, OnThe95FamilyTheNameHasNoNamespacePrefix) {
  TQuindleWorld q(kBook);
  q.world.system.platformId = VER_PLATFORM_WIN32_WINDOWS_T;
  TMemorySession session;
  TMemorySingleCopy running(session, "");
  ASSERT_EQ(running.CreateNamedObject("Quindle"), ISingleCopy::TClaim::Created);
  TMemorySingleCopy second(session, "");
  int backendsMade = 0;
  const int status = RunQuindle(PlatformOf(q.world, second), [&]() -> IBackend& {
    ++backendsMade;
    throw std::runtime_error("the second start made an application of its own");
  });
  EXPECT_EQ(status, 1);  // no window of the running copy answered
  EXPECT_EQ(backendsMade, 0);
  EXPECT_TRUE(second.created.empty());

  // The name itself: the program's alone on the 95 family; NT keeps the
  // session's namespace and the user.
  TMemorySingleCopy first95(session, "");
  EXPECT_EQ(OneCopy::ObjectName(first95, VER_PLATFORM_WIN32_WINDOWS_T), "Quindle");
  TMemorySingleCopy firstNt(session, kAlice);
  EXPECT_EQ(OneCopy::ObjectName(firstNt, VER_PLATFORM_WIN32_NT_T),
            std::string("Local\\Quindle-") + kAlice);
}

TEST(OneCopy, ASecondStartWaitsBoundedForACopyThatIsStartingOrDoesNotAnswer) {
  // The copy that runs has its name but no window yet, or its window hangs:
  // the second start gives up within its time, still without a window.
  TTestWorld w;
  TMemorySession session;
  TMemorySingleCopy first(session, kAlice);
  ASSERT_TRUE(OneCopy::ClaimFirst(first));
  for (bool hung : {false, true}) {
    if (hung) {
      AddMainWindow(session, w.backend, 1);
      session.windows.back().hung = true;
    }
    TMemorySingleCopy second(session, kAlice);
    int made = 0;
    EXPECT_EQ(RunQuindle(PlatformOf(w, second),
                         [&]() -> IBackend& {
                           ++made;
                           return w.backend;
                         }),
              1);
    EXPECT_EQ(made, 0);
    EXPECT_GE(second.sleptMs, OneCopy::kLookMs);
    EXPECT_LE(second.sleptMs, OneCopy::kLookMs + OneCopy::kAnswerTimeoutMs);
    EXPECT_EQ(second.sends, hung ? 3 : 0);
  }
  EXPECT_TRUE(w.registry.log.empty());

  // A copy whose window is made but answers only once its start-up is done.
  TQuindleWorld q(kBook);
  TMemorySingleCopy started(session, kAlice);
  TApplication app(q.world.backend, PlatformOf(q.world, started));
  TForm1* form = CreateQuindle(app).Form1;
  form->Close();
  q.Advance(100);
  ASSERT_FALSE(q.world.backend.IsWindowVisible(app.Handle()));
  int looks = 0;
  session.windows.clear();
  session.AddWindow(kFormWindowClass, "Quindle", 1, [&](uint32_t m, uintptr_t, intptr_t) {
    if (++looks == 3) OneCopy::AnswerSecondStarts(app, *form);
    return q.world.backend.SendMessage(app.Handle(), m, 0, 0);
  });
  TMemorySingleCopy third(session, kAlice);
  EXPECT_TRUE(OneCopy::ShowFirstCopy(third));
  EXPECT_EQ(looks, 3);
  EXPECT_TRUE(q.world.backend.IsWindowVisible(app.Handle()));
}

// The installer's /exit start, before the program's files go: the copy that
// runs ends as at the session's end (its last log lines in the file, the
// settings in force saved, the connection left up) and the start waits for
// it to be gone; with no copy running it ends at once, and a copy that does
// not answer is not waited for.
TEST(OneCopy, AnExitStartEndsTheRunningCopyAsTheSessionsEndDoes) {
  EXPECT_EQ(OneCopy::ParseStart("  /EXIT "), OneCopy::TStartRequest::EndRunningCopy);
  EXPECT_EQ(OneCopy::ParseStart("/exit now"), OneCopy::TStartRequest::Run);
  EXPECT_EQ(OneCopy::ParseStart(""), OneCopy::TStartRequest::Run);

  TTempDir dir;
  const std::string log = dir.File("session.log");
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "LogEnabled", 1);
  q.world.registry.PutString(kQuindleKey, "LogFile", log);
  TMemorySession session;
  TMemorySingleCopy running(session, kAlice);
  ASSERT_TRUE(OneCopy::ClaimFirst(running));
  TApplication app(q.world.backend, PlatformOf(q.world, running));
  TForm1* form = CreateQuindle(app).Form1;
  OneCopy::AnswerSecondStarts(app, *form);
  form->ConButton->Click();
  for (int t = 0; t < 100 && form->Panel1->Caption() != "Connected to Office"; ++t) q.Advance(100);
  ASSERT_EQ(form->Panel1->Caption(), "Connected to Office");
  form->SetLeft(form->Left() + 40);  // a place not yet saved
  q.world.registry.log.clear();
  AddMainWindow(session, q.world.backend, 1);

  TMemorySingleCopy exiting(session, kAlice);
  int backendsMade = 0;
  exiting.onSleep = [&] {
    q.world.backend.Settle();
    if (!q.world.system.exitCodes.empty()) session.RemoveWindows(1);
  };
  EXPECT_EQ(RunQuindle(
                PlatformOf(q.world, exiting),
                [&]() -> IBackend& {
                  ++backendsMade;
                  return q.world.backend;
                },
                "/exit"),
            0);
  EXPECT_EQ(backendsMade, 0);
  EXPECT_TRUE(exiting.created.empty());
  EXPECT_EQ(q.world.system.exitCodes, std::vector<unsigned>{0});
  const std::string pane = form->Memo1->Text();
  const size_t lastLine = pane.rfind("Connected ");
  ASSERT_NE(lastLine, std::string::npos);
  EXPECT_NE(Bytes(log).find(pane.substr(lastLine)), std::string::npos);
  bool placeSaved = false;
  for (const auto& call : q.world.registry.log)
    placeSaved |= call.find("Left") != std::string::npos;
  EXPECT_TRUE(placeSaved);
  EXPECT_EQ(q.sim->service->HangUpCount("Office"), 0);
  EXPECT_TRUE(q.world.backend.messageBoxes.empty());

  // Nothing runs: done at once. A window that hangs: not waited for.
  TMemorySession empty;
  TMemorySingleCopy alone(empty, kAlice);
  EXPECT_TRUE(OneCopy::EndFirstCopy(alone));
  EXPECT_EQ(alone.sleptMs, 0u);
  AddMainWindow(empty, q.world.backend, 2);
  empty.windows.back().hung = true;
  EXPECT_FALSE(OneCopy::EndFirstCopy(alone));
  EXPECT_EQ(alone.sleptMs, OneCopy::kAnswerTimeoutMs);  // the one send's time
}

TEST(OneCopy, TheMainWindowsHookRunsInsideTheCallbackBoundaryAndNotOnTheWayOut) {
  TQuindleWorld q(kBook);
  q.Start();
  TApplication& app = *q.world.app;
  int asked = 0;
  app.HookMainWindow([&](uint32_t m, uintptr_t, intptr_t, intptr_t& result) -> bool {
    if (m == 0xC123) throw std::runtime_error("Cannot show the window");
    if (m != 0xC124) return false;
    ++asked;
    result = 7;
    return true;
  });
  EXPECT_EQ(q.world.backend.SendMessage(app.Handle(), 0xC123, 0, 0), 0);
  EXPECT_EQ(q.world.MessageTexts(), std::vector<std::string>{"Cannot show the window"});
  EXPECT_EQ(q.world.backend.SendMessage(app.Handle(), 0xC124, 0, 0), 7);

  // Asked during the saving steps, the window shows nothing any more.
  intptr_t duringExit = -1;
  TNotifyEvent save = q.form1->OnDestroy;
  q.form1->OnDestroy = [&](TObject* sender) {
    duringExit = q.world.backend.SendMessage(app.Handle(), 0xC124, 0, 0);
    save(sender);
  };
  app.DestroyForms();
  EXPECT_EQ(duringExit, 0);
  EXPECT_EQ(asked, 1);
}

}  // namespace
