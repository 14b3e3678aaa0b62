// The one-copy calls against the real system: the named object in the
// session's namespace, and a main window found hidden by its class and
// caption that answers a registered message sent from another thread
// through its own window procedure.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

// Before the Windows headers, which would rename its methods.
#include "app/OneCopy.h"
#include "platform/win32/Win32SingleCopy.h"
#include "toolkit/Forms.h"

#include "ToolkitWin32World.h"

// windows.h maps these names to the ANSI or wide functions.
#undef FindWindow
#undef RegisterWindowMessage
#undef SendMessageTimeout

namespace {

TEST(Win32OneCopy, TheNamedObjectIsHeldUntilItsMakerLetsGo) {
  const std::string name = "Local\\QuindleTest-" + std::to_string(GetCurrentProcessId());
  {
    TWin32SingleCopy first, second;
    EXPECT_EQ(first.CreateNamedObject(name), ISingleCopy::TClaim::Created);
    EXPECT_EQ(second.CreateNamedObject(name), ISingleCopy::TClaim::AlreadyExists);
    // The second start did not keep the object alive.
    EXPECT_EQ(second.CreateNamedObject(name), ISingleCopy::TClaim::AlreadyExists);
  }
  TWin32SingleCopy later;
  EXPECT_EQ(later.CreateNamedObject(name), ISingleCopy::TClaim::Created);

  const std::string sid = later.UserSid();
  EXPECT_EQ(sid.rfind("S-1-", 0), 0u) << sid;
  EXPECT_EQ(sid.find('\\'), std::string::npos);
  EXPECT_EQ(OneCopy::ObjectName(later), "Local\\Quindle-" + sid);
}

TEST(Win32OneCopy, AHiddenMainWindowIsFoundAndAnswersThroughItsWindowProcedure) {
  TWin32World w;
  TWin32SingleCopy system;
  const uint32_t message = system.RegisterWindowMessage("Quindle.Test.Show");
  ASSERT_GE(message, 0xC000u);
  int asked = 0;
  w.app->HookMainWindow([&](uint32_t m, uintptr_t, intptr_t, intptr_t& result) {
    if (m != message) return false;
    if (++asked == 2) throw std::runtime_error("Cannot show the window");
    result = 0x77;
    return true;
  });
  auto* form = w.app->CreateForm<TForm>();
  form->SetCaption("Quindle");
  form->SetClientSize(120, 80);
  ASSERT_FALSE(IsWindowVisible(Hwnd(form->Handle())));

  // From another thread, as from another process: answered only while the
  // window's thread runs its loop.
  std::optional<intptr_t> answers[2];
  uintptr_t found = 0;
  std::atomic<bool> finished{false};
  std::thread second([&] {
    TWin32SingleCopy other;
    found = other.FindWindow(kFormWindowClass, "Quindle");
    for (auto& answer : answers) answer = other.SendMessageTimeout(found, message, 0, 0, 5000);
    finished = true;
    // Wakes the loop, which waits for a message.
    PostMessageA(reinterpret_cast<HWND>(found), WM_NULL, 0, 0);
  });
  w.PumpUntil([&] { return finished.load(); });
  second.join();
  EXPECT_EQ(found, form->Handle().Raw());
  EXPECT_EQ(answers[0], std::optional<intptr_t>(0x77));
  // What escapes the hook is reported, and the message counts as answered.
  EXPECT_EQ(answers[1], std::optional<intptr_t>(0));
  EXPECT_EQ(w.backend.messages, std::vector<std::string>{"Cannot show the window"});

  w.app->DestroyForms();
  EXPECT_EQ(system.FindWindow(kFormWindowClass, "Quindle"), 0u);
}

}  // namespace
