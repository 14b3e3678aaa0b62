// The tray icon against the real shell: the records the component fills are
// accepted by Shell_NotifyIconA in both layouts, the hidden window hears the
// icon's messages and the shell's restart broadcast, a refused icon leaves
// the minimised window on the taskbar, the window lets the broadcast through
// the message filter, and the hot key is given back at destruction.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

// Before any Windows header, whose macros would rename the loader's methods.
#include "platform/win32/Win32Platform.h"

#include "ToolkitWin32World.h"
#include "components/TrayIcon.h"
#include "toolkit/ImgList.h"

namespace {

// The real shell, with every notify-icon call and its answer recorded; it can
// pretend to be an old shell so that the older record is used, and refuse
// adds as a shell that is not ready yet does.
class TRecordingShell : public IShell {
 public:
  explicit TRecordingShell(IShell& real) : real_(real) {}
  struct Call {
    uint32_t message;
    uint32_t size;
    bool ok;
  };
  bool NotifyIcon(uint32_t message, const void* record) override {
    bool ok = !(refuseAdds && message == NIM_ADD_T) && real_.NotifyIcon(message, record);
    calls.push_back({message, *static_cast<const uint32_t*>(record), ok});
    return ok;
  }
  intptr_t ShellExecute(uintptr_t parent, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& directory,
                        int show) override {
    return real_.ShellExecute(parent, verb, file, parameters, directory, show);
  }
  bool FileVersion(const std::string& path, TFixedFileVersion& info) override {
    if (!real_.FileVersion(path, info)) return false;
    if (pretendOldShell) info.fileVersionMS = (4u << 16) | (info.fileVersionMS & 0xFFFF);
    return true;
  }
  std::string LocalAppDataFolder() override { return real_.LocalAppDataFolder(); }
  std::vector<Call> calls;
  bool pretendOldShell = false;
  bool refuseAdds = false;

 private:
  IShell& real_;
};

// The real backend, with each window's message filter change and its
// answer recorded.
class TFilterRecordingBackend : public TRecordingWin32Backend {
 public:
  struct FilterCall {
    THandle window;
    uint32_t message;
    bool allowed;
  };
  bool AllowMessageThroughFilter(THandle window, uint32_t message) override {
    const bool allowed = TRecordingWin32Backend::AllowMessageThroughFilter(window, message);
    filterCalls.push_back({window, message, allowed});
    return allowed;
  }
  std::vector<FilterCall> filterCalls;
};

struct TTrayWorld {
  TFilterRecordingBackend backend;
  TWin32Platform platform;
  TRecordingShell shell{platform.shell};
  std::unique_ptr<TApplication> app;
  TForm* form = nullptr;

  explicit TTrayWorld(bool oldShell = false) {
    shell.pretendOldShell = oldShell;
    TPlatform seams = platform.Seams();
    seams.shell = &shell;
    app = std::make_unique<TApplication>(backend, seams);
    app->SetTitle("Quindle");
    backend.SetApplication(app.get());
    form = app->CreateForm<TForm>();
    form->SetClientSize(200, 100);
  }
  ~TTrayWorld() {
    app.reset();
    backend.SetApplication(nullptr);
  }
  bool PumpUntil(const std::function<bool()>& done, unsigned limitMs = 5000) {
    bool expired = false;
    uintptr_t limit = backend.StartTimer(limitMs, [&] { expired = true; });
    backend.RunUntil([&] { return done() || expired; });
    backend.StopTimer(limit);
    return done();
  }
};

void ShellAcceptsAddModifyDelete(bool oldShell) {
  TTrayWorld w(oldShell);
  auto* tray = new TTrayIcon(w.form);
  EXPECT_EQ(tray->NewShell(), !oldShell);
  auto* list = new TImageList(w.form);
  list->AddIcon(1);
  tray->SetImageList(list);
  tray->SetActive(true);
  tray->SetShowHint(true);
  tray->SetHint(
      "Quindle\r(Disconneted) and a hint longer than any tip the shell keeps for it, "
      "so that it has to be cut before it reaches the shell at all");
  tray->SetUseAppIcon(true);
  tray->SetWinIcon(idiQUESTION);
  tray->SetActive(false);

  const uint32_t size = oldShell ? sizeof(TNotifyIconDataOld) : sizeof(TNotifyIconDataV5);
  std::vector<uint32_t> messages;
  for (const auto& c : w.shell.calls) {
    messages.push_back(c.message);
    EXPECT_EQ(c.size, size);
    EXPECT_TRUE(c.ok) << "message " << c.message;
  }
  EXPECT_EQ(messages, (std::vector<uint32_t>{NIM_ADD_T, NIM_MODIFY_T, NIM_MODIFY_T, NIM_MODIFY_T,
                                             NIM_MODIFY_T, NIM_DELETE_T}));
  // Once removed, a refresh is refused: the icon stays away.
  w.shell.calls.clear();
  tray->SetHint("gone");
  ASSERT_EQ(w.shell.calls.size(), 1u);
  EXPECT_FALSE(w.shell.calls[0].ok);
}

TEST(Win32TrayIcon, ShellAcceptsTheVersion5Record) {
  ShellAcceptsAddModifyDelete(false);
}

TEST(Win32TrayIcon, ShellAcceptsTheOlderRecord) {
  ShellAcceptsAddModifyDelete(true);
}

TEST(Win32TrayIcon, IconMessagesReachTheHiddenWindow) {
  TTrayWorld w;
  auto* tray = new TTrayIcon(w.form);
  int clicks = 0, doubles = 0, rights = 0;
  tray->OnClick = [&](TObject*) { ++clicks; };
  tray->OnDblClick = [&](TObject*) { ++doubles; };
  tray->OnRightClick = [&](TObject*, TMouseButton, TShiftState, int, int) { ++rights; };
  HWND window = Hwnd(tray->WindowHandle());
  ASSERT_TRUE(IsWindow(window));
  // Top-level, so that the shell's broadcasts reach it, and never shown.
  EXPECT_EQ(GetParent(window), nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  for (LPARAM m : {WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE})
    PostMessageA(window, WM_TRAYNOTIFY_T, 0, m);
  EXPECT_TRUE(w.PumpUntil([&] { return rights == 1; }));
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(doubles, 1);
}

TEST(Win32TrayIcon, ShellRestartBroadcastAddsTheIconAgain) {
  TTrayWorld w;
  auto* tray = new TTrayIcon(w.form);
  tray->SetActive(true);
  tray->SetShowHint(true);
  tray->SetHint("Quindle");
  ASSERT_EQ(w.shell.calls.size(), 3u);
  for (const auto& c : w.shell.calls) ASSERT_TRUE(c.ok);

  // The shell loses the icon, as when it restarts, and then says so.
  TNotifyIconDataV5 gone{};
  gone.cbSize = sizeof gone;
  gone.hWnd = tray->WindowHandle();
  ASSERT_TRUE(w.platform.shell.NotifyIcon(NIM_DELETE_T, &gone));
  w.shell.calls.clear();
  UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  SendMessageTimeoutA(HWND_BROADCAST, taskbarCreated, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
  EXPECT_TRUE(w.PumpUntil([&] { return !w.shell.calls.empty(); }));
  ASSERT_EQ(w.shell.calls.size(), 1u);
  EXPECT_EQ(w.shell.calls[0].message, NIM_ADD_T);
  EXPECT_TRUE(w.shell.calls[0].ok);
}

TEST(Win32TrayIcon, TheRestartBroadcastIsLetThroughTheWindowsMessageFilter) {
  TTrayWorld w;
  auto* tray = new TTrayIcon(w.form);
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  ASSERT_EQ(w.backend.filterCalls.size(), 1u);
  EXPECT_EQ(w.backend.filterCalls[0].window, tray->WindowHandle());
  EXPECT_EQ(w.backend.filterCalls[0].message, taskbarCreated);
  // user32 has the call, bound by its name, and took the change.
  EXPECT_TRUE(w.backend.filterCalls[0].allowed);
  // Asked again, a system that reports the filter's state says the message
  // is let through to this window already (Wine's leaves the state as it is).
  constexpr DWORD kUnset = 0xFFFFFFFF;
  CHANGEFILTERSTRUCT state{sizeof state, kUnset};
  ASSERT_TRUE(ChangeWindowMessageFilterEx(Hwnd(tray->WindowHandle()), taskbarCreated, MSGFLT_ALLOW,
                                          &state));
  if (state.ExtStatus != kUnset) {
    EXPECT_EQ(state.ExtStatus, DWORD{MSGFLTINFO_ALREADYALLOWED_FORWND});
  }
}

TEST(Win32TrayIcon, RefusedIconLeavesTheMinimisedWindowOnTheTaskbarUntilARetryAddsIt) {
  TTrayWorld w;
  w.shell.refuseAdds = true;
  auto* tray = new TTrayIcon(w.form);
  tray->SetHideAppOnMinimize(true);
  tray->SetActive(true);
  w.form->Show();
  HWND window = Hwnd(w.form->Handle());
  // The minimise button: the window procedure minimises the application.
  SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(IsIconic(window));

  w.shell.refuseAdds = false;
  auto added = [&] {
    for (const auto& c : w.shell.calls)
      if (c.message == NIM_ADD_T && c.ok) return true;
    return false;
  };
  EXPECT_TRUE(w.PumpUntil(added, TTrayIcon::kAddRetryInterval + 3000));
  SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(IsIconic(window));
  SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(IsWindowVisible(window));  // now only the icon is left
}

TEST(Win32TrayIcon, DestructionGivesTheHotKeyBack) {
  TTrayWorld w;
  auto* tray = new TTrayIcon(w.form);
  tray->SetShortCut(scCtrl | scAlt | scShift | VK_F9);
  if (!tray->HotKeyRegistered()) GTEST_SKIP() << "this display takes no hot keys";
  HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  // Held by the tray icon, the combination cannot be had by anyone else.
  EXPECT_FALSE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F9));
  delete tray;
  EXPECT_TRUE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F9));
  UnregisterHotKey(other, 1);
  DestroyWindow(other);
}

}  // namespace
