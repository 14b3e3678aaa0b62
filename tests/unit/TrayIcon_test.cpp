// The notification-area icon on the headless backend: what reaches the shell
// (the record bytes), when, and what the hidden window's messages do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "QuindleWorld.h"
#include "ResourceIds.h"
#include "TestWorld.h"
#include "components/TrayIcon.h"
#include "toolkit/ImgList.h"
#include "toolkit/Menus.h"
#include "toolkit/Timer.h"

namespace {

constexpr int kIdiApplication = 32512, kIdiWinLogo = 32517, kIdiQuestion = 32514;

// One Shell_NotifyIconA call as the shell received it.
struct TSent {
  uint32_t message = 0;
  size_t size = 0;
  TWindowHandle window;
  uint32_t id = 0, flags = 0, callback = 0;
  TIconHandle icon;
  std::string tip;
};

template <class R>
TSent DecodeAs(const TNotifyCall& call) {
  R r;
  std::memcpy(&r, call.record.data(), sizeof r);
  TSent s;
  s.message = call.message;
  s.size = call.record.size();
  s.window = TWindowHandle(r.hWnd);
  s.id = r.uID;
  s.flags = r.uFlags;
  s.callback = r.uCallbackMessage;
  s.icon = TIconHandle(r.hIcon);
  s.tip.assign(r.szTip, strnlen(r.szTip, sizeof r.szTip));
  return s;
}

TSent Decode(const TNotifyCall& call) {
  uint32_t cb = 0;
  std::memcpy(&cb, call.record.data(), sizeof cb);
  EXPECT_EQ(cb, call.record.size());
  if (call.record.size() == sizeof(TNotifyIconDataV5)) return DecodeAs<TNotifyIconDataV5>(call);
  if (call.record.size() == sizeof(TNotifyIconDataOld)) return DecodeAs<TNotifyIconDataOld>(call);
  ADD_FAILURE() << "record of unknown size " << call.record.size();
  return {};
}

// How many calls of one kind (add, modify, delete) the shell has had.
int CountOf(const TMemoryShell& shell, uint32_t message) {
  return static_cast<int>(
      std::count_if(shell.notifyCalls.begin(), shell.notifyCalls.end(),
                    [message](const TNotifyCall& c) { return c.message == message; }));
}

// The last record of one kind the shell received.
TSent LastOf(const TMemoryShell& shell, uint32_t message) {
  for (auto it = shell.notifyCalls.rbegin(); it != shell.notifyCalls.rend(); ++it)
    if (it->message == message) return Decode(*it);
  ADD_FAILURE() << "no call " << message;
  return {};
}

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override { MakeTray(); }

  void MakeTray() {
    form = w.app->CreateForm<TForm>();
    icons = new TImageList(form);
    icons->AddIcon(101);
    icons->AddIcon(102);
    frames = new TImageList(form);
    frames->AddIcon(201);
    frames->AddIcon(202);
    frames->AddIcon(203);
    tray = new TTrayIcon(form);
  }

  std::vector<TSent> Sent() const {
    std::vector<TSent> out;
    for (const auto& c : w.shell.notifyCalls) out.push_back(Decode(c));
    return out;
  }
  TSent Last() const {
    EXPECT_FALSE(w.shell.notifyCalls.empty());
    return w.shell.notifyCalls.empty() ? TSent{} : Decode(w.shell.notifyCalls.back());
  }
  // The icon resource (or system icon) the last record shows.
  int LastImage() const { return w.backend.IconResourceOf(Last().icon); }
  void Forget() { w.shell.notifyCalls.clear(); }
  TIconHandle SystemIcon(int id) { return w.backend.LoadSystemIcon(id); }
  std::vector<int> ShowCommands(TWindowHandle window) const {
    std::vector<int> out;
    for (const auto& c : w.backend.windowCalls)
      if (c.call == "ShowWindow" && c.window == window) out.push_back(static_cast<int>(c.a));
    return out;
  }

  TTestWorld w;
  TForm* form = nullptr;
  TImageList* icons = nullptr;
  TImageList* frames = nullptr;
  TTrayIcon* tray = nullptr;
};

// ---- shell version and record layout ----

TEST(TrayIconShell, RecordLayoutFollowsShell32MajorVersion) {
  struct Case {
    std::string systemDir;
    bool hasVersion;
    uint32_t major;
    bool newShell;
  } cases[] = {
      {"C:\\windows\\system32", true, 6, true},
      {"C:\\windows\\system32\\", true, 5, true},  // the trailing backslash is dropped
      {"C:\\windows\\system32", true, 4, false},
      {"C:\\windows\\system32", false, 6, false},  // no version information
      {"D:\\elsewhere", true, 6, false},           // no shell32.dll there
  };
  for (const auto& c : cases) {
    TTestWorld w;
    w.system.systemDirectory = c.systemDir;
    w.shell.hasVersionInfo = c.hasVersion;
    w.shell.shellMajor = c.major;
    TForm* form = w.app->CreateForm<TForm>();
    auto* tray = new TTrayIcon(form);
    tray->SetHint("Quindle");
    tray->SetShowHint(true);
    tray->SetActive(true);
    SCOPED_TRACE(c.systemDir + " major " + std::to_string(c.major));
    EXPECT_EQ(tray->NewShell(), c.newShell);
    ASSERT_FALSE(w.shell.notifyCalls.empty());
    EXPECT_EQ(w.shell.notifyCalls.back().record.size(),
              c.newShell ? sizeof(TNotifyIconDataV5) : sizeof(TNotifyIconDataOld));
    EXPECT_EQ(Decode(w.shell.notifyCalls.back()).tip, "Quindle");
  }
}

TEST_F(TrayIconTest, RecordCarriesWindowCallbackAndFlags) {
  tray->SetImageList(icons);
  tray->SetImageIndex(1);
  tray->SetActive(true);
  TSent add = Last();
  EXPECT_EQ(add.message, NIM_ADD_T);
  EXPECT_EQ(add.window, tray->WindowHandle());
  EXPECT_TRUE(w.backend.HiddenWindowExists(add.window));
  EXPECT_EQ(add.id, 0u);
  EXPECT_EQ(add.callback, 0x0809u);
  EXPECT_EQ(add.flags, NIF_MESSAGE_T | NIF_ICON_T);  // no tip without ShowHint
  EXPECT_EQ(LastImage(), 102);

  tray->SetShowHint(true);
  EXPECT_EQ(Last().message, NIM_MODIFY_T);
  EXPECT_EQ(Last().flags, NIF_MESSAGE_T | NIF_ICON_T | NIF_TIP_T);
}

TEST_F(TrayIconTest, LongHintIsCutTo127CharactersOnNewShell) {
  std::string hint;
  for (int i = 0; i < 200; ++i) hint += static_cast<char>('a' + i % 26);
  tray->SetShowHint(true);
  tray->SetHint(hint);
  EXPECT_EQ(Last().tip, hint.substr(0, 127));
  tray->SetHint("Quindle\r(Connected)");
  EXPECT_EQ(Last().tip, "Quindle\r(Connected)");
}

TEST(TrayIconShell, LongHintIsCutTo63CharactersOnOldShell) {
  TTestWorld w;
  w.shell.shellMajor = 4;
  TForm* form = w.app->CreateForm<TForm>();
  auto* tray = new TTrayIcon(form);
  std::string hint(100, 'x');
  hint[62] = 'A';
  hint[63] = 'B';
  tray->SetShowHint(true);
  tray->SetHint(hint);
  TSent s = Decode(w.shell.notifyCalls.back());
  EXPECT_EQ(s.size, sizeof(TNotifyIconDataOld));
  EXPECT_EQ(s.tip, hint.substr(0, 63));
  EXPECT_EQ(s.tip.back(), 'A');
  EXPECT_EQ(s.flags, NIF_MESSAGE_T | NIF_ICON_T | NIF_TIP_T);
  EXPECT_EQ(s.callback, 0x0809u);
}

// ---- when the shell hears from the component ----

TEST_F(TrayIconTest, WritingTheSameValueAgainSendsNothing) {
  tray->SetActive(true);
  tray->SetHint("h");
  tray->SetImageIndex(0);
  tray->SetShowHint(true);
  tray->SetUseAppIcon(true);
  tray->SetWinIcon(idiQUESTION);
  Forget();
  tray->SetActive(true);
  tray->SetHint("h");
  tray->SetImageIndex(0);
  tray->SetShowHint(true);
  tray->SetUseAppIcon(true);
  tray->SetWinIcon(idiQUESTION);
  tray->SetAnimate(false);
  tray->SetInterval(1000);
  tray->SetShowAtDesignTime(false);
  EXPECT_TRUE(w.shell.notifyCalls.empty());
}

TEST_F(TrayIconTest, EachRefreshingPropertySendsOneModify) {
  tray->SetActive(true);
  Forget();
  tray->SetHint("a");
  tray->SetImageIndex(1);
  tray->SetShowHint(true);
  tray->SetUseAppIcon(true);
  tray->SetWinIcon(idiHAND);
  auto sent = Sent();
  ASSERT_EQ(sent.size(), 5u);
  for (const auto& s : sent) EXPECT_EQ(s.message, NIM_MODIFY_T);
}

TEST_F(TrayIconTest, ImageListAnimateAndIntervalWritesDoNotRefresh) {
  tray->SetActive(true);
  tray->SetImageIndex(0);
  Forget();
  tray->SetImageList(icons);
  tray->SetInterval(700);
  tray->SetShowOnClick(true);
  EXPECT_TRUE(w.shell.notifyCalls.empty());
  // The list is used from the next refresh on.
  tray->SetImageIndex(-1);
  tray->SetImageIndex(0);
  EXPECT_EQ(LastImage(), 101);
}

TEST_F(TrayIconTest, RefreshWhileIconIsAbsentIsRefusedAndIconStaysAbsent) {
  tray->SetHint("x");
  tray->SetShowHint(true);
  ASSERT_EQ(Sent().size(), 2u);
  EXPECT_EQ(Sent()[0].message, NIM_MODIFY_T);
  EXPECT_FALSE(w.shell.IconShown());
}

TEST_F(TrayIconTest, ActiveAddsAndRemovesTheIcon) {
  tray->SetActive(true);
  EXPECT_TRUE(w.shell.IconShown());
  tray->SetActive(false);
  EXPECT_FALSE(w.shell.IconShown());
  TSent del = Last();
  EXPECT_EQ(del.message, NIM_DELETE_T);
  EXPECT_EQ(del.window, tray->WindowHandle());
  EXPECT_EQ(del.id, 0u);
}

TEST_F(TrayIconTest, ShowAtDesignTimeShowsAndHidesWhateverActiveSays) {
  tray->SetActive(true);
  tray->SetShowAtDesignTime(true);  // a second add, refused by the shell
  EXPECT_EQ(Last().message, NIM_ADD_T);
  tray->SetShowAtDesignTime(false);
  EXPECT_EQ(Last().message, NIM_DELETE_T);
  EXPECT_FALSE(w.shell.IconShown());
  EXPECT_TRUE(tray->Active());
}

// ---- the image shown ----

TEST_F(TrayIconTest, ImageComesFromListIndexOrFallsBackToWinIcon) {
  tray->SetActive(true);
  EXPECT_EQ(Last().icon, SystemIcon(kIdiWinLogo));  // no list yet
  tray->SetImageList(icons);
  tray->SetImageIndex(1);
  EXPECT_EQ(LastImage(), 102);
  tray->SetImageIndex(2);  // past the end of the list
  EXPECT_EQ(Last().icon, SystemIcon(kIdiWinLogo));
  tray->SetWinIcon(idiAPPLICATION);
  EXPECT_EQ(Last().icon, SystemIcon(kIdiApplication));
  tray->SetImageIndex(-1);
  EXPECT_EQ(Last().icon, SystemIcon(kIdiApplication));
  tray->SetImageList(new TImageList(form));  // an empty list
  tray->SetWinIcon(idiQUESTION);
  EXPECT_EQ(Last().icon, SystemIcon(kIdiQuestion));
}

TEST_F(TrayIconTest, UseAppIconWinsOverListIndexAndAnimation) {
  tray->SetImageList(frames);
  tray->SetImageIndex(0);
  tray->SetAnimate(true);
  tray->SetUseAppIcon(true);
  TIconHandle appIcon = Last().icon;
  EXPECT_EQ(w.backend.IconResourceOf(appIcon), 1);  // the application's own icon
  w.backend.Advance(1000);
  EXPECT_EQ(LastImage(), 1);
  tray->SetUseAppIcon(false);
  EXPECT_EQ(LastImage(), 201);  // the animation was not advanced meanwhile
}

TEST_F(TrayIconTest, EachRefreshReleasesThePreviousIconAndDestructionTheLast) {
  tray->SetImageList(icons);
  tray->SetActive(true);
  for (int i = 0; i < 10; ++i) {
    tray->SetImageIndex(i % 2);
    tray->SetUseAppIcon(i % 3 == 0);
  }
  EXPECT_EQ(w.backend.liveIcons(), 1);
  delete tray;
  EXPECT_EQ(w.backend.liveIcons(), 0);
}

TEST_F(TrayIconTest, ShowingAFixedImageAgainByWayOfMinusOne) {
  tray->SetImageList(icons);
  tray->SetImageIndex(1);
  tray->SetActive(true);
  Forget();
  tray->SetImageIndex(1);
  EXPECT_TRUE(w.shell.notifyCalls.empty());
  tray->SetImageIndex(-1);
  tray->SetImageIndex(1);
  ASSERT_EQ(Sent().size(), 2u);
  EXPECT_EQ(LastImage(), 102);
}

TEST_F(TrayIconTest, RemovedImageListAndMenuAreForgotten) {
  auto* menu = new TPopupMenu(form);
  tray->SetImageList(icons);
  tray->SetPopupMenu(menu);
  tray->SetImageIndex(0);
  delete icons;
  delete menu;
  EXPECT_EQ(tray->ImageList(), nullptr);
  EXPECT_EQ(tray->PopupMenu(), nullptr);
  tray->SetHint("after");
  EXPECT_EQ(Last().icon, SystemIcon(kIdiWinLogo));
  w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_TRAYNOTIFY_T, 0, WM_RBUTTONUP_T);
  for (const auto& c : w.backend.windowCalls) EXPECT_NE(c.call, "TrackPopupMenu");
}

TEST_F(TrayIconTest, ListOwnedElsewhereIsForgottenWhenFreed) {
  TImageList* foreign = new TImageList(w.app.get());
  foreign->AddIcon(301);
  tray->SetImageList(foreign);
  delete foreign;
  EXPECT_EQ(tray->ImageList(), nullptr);
}

// ---- animation ----

TEST_F(TrayIconTest, AnimationShowsFramesInOrderOneIntervalApart) {
  tray->SetInterval(700);
  tray->SetImageList(frames);
  tray->SetActive(true);
  Forget();
  tray->SetAnimate(true);
  EXPECT_TRUE(w.shell.notifyCalls.empty());  // nothing changes at once
  w.backend.Advance(699);
  EXPECT_TRUE(w.shell.notifyCalls.empty());
  std::vector<int> shown;
  for (int i = 0; i < 5; ++i) {
    w.backend.Advance(i == 0 ? 1 : 700);
    shown.push_back(LastImage());
  }
  EXPECT_EQ(shown, (std::vector<int>{201, 202, 203, 201, 202}));
  EXPECT_EQ(Sent().size(), 5u);

  // Stopping leaves the last frame until the next refresh.
  tray->SetAnimate(false);
  Forget();
  w.backend.Advance(5000);
  EXPECT_TRUE(w.shell.notifyCalls.empty());
  EXPECT_FALSE(tray->AnimationTimer()->Running());

  // Starting again begins at the first frame.
  tray->SetAnimate(true);
  w.backend.Advance(700);
  EXPECT_EQ(LastImage(), 201);
}

TEST_F(TrayIconTest, AnyRefreshWhileAnimatingAdvancesTheFrame) {
  tray->SetImageList(frames);
  tray->SetAnimate(true);
  tray->SetHint("one");
  EXPECT_EQ(LastImage(), 201);
  tray->SetHint("two");
  EXPECT_EQ(LastImage(), 202);
  EXPECT_EQ(tray->FrameIndex(), 2);
  w.backend.Advance(1000);  // the timer keeps its default interval
  EXPECT_EQ(LastImage(), 203);
  EXPECT_EQ(tray->FrameIndex(), 0);
}

TEST_F(TrayIconTest, AnimationWithoutImagesShowsWinIconOnEveryTick) {
  tray->SetWinIcon(idiAPPLICATION);
  tray->SetAnimate(true);
  Forget();
  w.backend.Advance(3000);
  auto sent = Sent();
  ASSERT_EQ(sent.size(), 3u);
  for (const auto& s : sent) EXPECT_EQ(s.icon, SystemIcon(kIdiApplication));
}

TEST_F(TrayIconTest, IntervalWriteChangesTheTickRate) {
  tray->SetImageList(frames);
  tray->SetAnimate(true);
  tray->SetInterval(250);
  Forget();
  w.backend.Advance(1000);
  EXPECT_EQ(Sent().size(), 4u);
}

// ---- loading the stored configuration ----

class TTrayForm : public TForm {
 public:
  explicit TTrayForm(TComponent* owner) : TForm(owner) {
    IconList = new TImageList(this);
    IconList->AddIcon(101);
    IconList->AddIcon(102);
    TrayIcon = new TTrayIcon(this);
  }
  void ApplyDesign() override {
    TrayIcon->SetActive(true);
    TrayIcon->SetAnimate(false);
    TrayIcon->SetHideAppOnMinimize(true);
    TrayIcon->SetImageIndex(0);
    TrayIcon->SetImageList(IconList);
    TrayIcon->SetInterval(700);
    TrayIcon->SetShortCut(0);
    TrayIcon->SetShowAtDesignTime(false);
    TrayIcon->SetShowHint(true);
    TrayIcon->SetShowOnClick(true);
    TrayIcon->SetUseAppIcon(false);
    TrayIcon->SetWinIcon(idiAPPLICATION);
    loadingCalls = trayShell->notifyCalls.size();
  }
  TImageList* IconList;
  TTrayIcon* TrayIcon;
  TMemoryShell* trayShell = nullptr;
  size_t loadingCalls = 99;
};

TEST(TrayIconLoading, StoredConfigurationShowsTheIconOnceLoadingHasFinished) {
  TTestWorld w;
  struct TForm1 : TTrayForm {
    TForm1(TComponent* owner, TMemoryShell* shell) : TTrayForm(owner) { trayShell = shell; }
  };
  auto* form = w.app->CreateForm<TForm1>(&w.shell);
  EXPECT_EQ(form->loadingCalls, 0u);  // nothing reached the shell while loading
  ASSERT_EQ(w.shell.notifyCalls.size(), 1u);
  TSent add = Decode(w.shell.notifyCalls[0]);
  EXPECT_EQ(add.message, NIM_ADD_T);
  EXPECT_EQ(w.backend.IconResourceOf(add.icon), 101);
  EXPECT_EQ(add.flags, NIF_MESSAGE_T | NIF_ICON_T | NIF_TIP_T);
  EXPECT_TRUE(w.shell.IconShown());
  form->TrayIcon->SetHint("Quindle\r(Disconneted)");
  ASSERT_EQ(w.shell.notifyCalls.size(), 2u);
  EXPECT_EQ(Decode(w.shell.notifyCalls[1]).tip, "Quindle\r(Disconneted)");
  EXPECT_EQ(w.backend.IconResourceOf(Decode(w.shell.notifyCalls[1]).icon), 101);
  EXPECT_EQ(form->TrayIcon->AnimationTimer()->Interval(), 700u);
}

// ---- the hidden window's messages ----

TEST_F(TrayIconTest, LeftClickRestoresTheApplicationBeforeOnClick) {
  tray->SetShowOnClick(true);
  std::vector<int> commandsAtClick;
  tray->OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, tray);
    commandsAtClick = ShowCommands(form->Handle());
  };
  w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_TRAYNOTIFY_T, 0, WM_LBUTTONUP_T);
  EXPECT_EQ(commandsAtClick, (std::vector<int>{SW_SHOW_T, SW_RESTORE_T}));
}

TEST_F(TrayIconTest, DoubleClickYieldsClickDoubleClickClickAndRestoresAtFirstRelease) {
  tray->SetShowOnClick(true);
  std::vector<std::string> log;
  tray->OnClick = [&](TObject*) {
    log.push_back("click " + std::to_string(ShowCommands(form->Handle()).size()));
  };
  tray->OnDblClick = [&](TObject*) { log.emplace_back("dblclick"); };
  for (uint32_t m : {WM_LBUTTONDOWN_T, WM_LBUTTONUP_T, WM_LBUTTONDBLCLK_T, WM_LBUTTONUP_T})
    w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_TRAYNOTIFY_T, 0, m);
  EXPECT_EQ(log, (std::vector<std::string>{"click 2", "dblclick", "click 4"}));
}

TEST_F(TrayIconTest, ClickWithoutShowOnClickLeavesTheWindowAlone) {
  int clicks = 0;
  tray->OnClick = [&](TObject*) { ++clicks; };
  for (uint32_t m : {WM_MOUSEMOVE_T, WM_LBUTTONDOWN_T, WM_RBUTTONDOWN_T, WM_LBUTTONUP_T})
    w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_TRAYNOTIFY_T, 0, m);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(ShowCommands(form->Handle()).empty());
}

TEST_F(TrayIconTest, RightClickWithoutMenuRaisesOnlyOnRightClickAtTheCursor) {
  w.backend.cursorPos = {1003, 741};
  int calls = 0;
  tray->OnRightClick = [&](TObject* sender, TMouseButton b, TShiftState s, int x, int y) {
    ++calls;
    EXPECT_EQ(sender, tray);
    EXPECT_EQ(b, mbRight);
    EXPECT_EQ(s, 0u);
    EXPECT_EQ(x, 1003);
    EXPECT_EQ(y, 741);
  };
  int clicks = 0;
  tray->OnClick = [&](TObject*) { ++clicks; };
  w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_TRAYNOTIFY_T, 0, WM_RBUTTONUP_T);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(clicks, 0);
  for (const auto& c : w.backend.windowCalls) EXPECT_NE(c.call, "TrackPopupMenu");
}

TEST_F(TrayIconTest, RightClickPopsTheMenuUpAtTheCursorBeforeOnRightClick) {
  w.backend.cursorPos = {640, 700};
  auto* menu = new TPopupMenu(form);
  auto* item = new TMenuItem(form);
  item->SetCaption("Restore");
  menu->Add(item);
  tray->SetPopupMenu(menu);
  std::vector<std::string> log;
  menu->OnPopup = [&](TObject*) { log.emplace_back("popup"); };
  item->OnClick = [&](TObject*) { log.emplace_back("item"); };
  w.backend.popupScript = [&](TPopupMenu& m, int x, int y) -> TMenuItem* {
    log.push_back("menu at " + std::to_string(x) + "," + std::to_string(y));
    return m.Items()[0];
  };
  tray->OnRightClick = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
    log.push_back("right " + std::to_string(x) + "," + std::to_string(y));
  };
  w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_TRAYNOTIFY_T, 0, WM_RBUTTONUP_T);
  EXPECT_EQ(log, (std::vector<std::string>{"popup", "menu at 640,700", "item", "right 640,700"}));
}

TEST_F(TrayIconTest, OtherMessagesGoToTheDefaultProcedure) {
  int raised = 0;
  tray->OnClick = tray->OnDblClick = tray->OnShortCut = [&](TObject*) { ++raised; };
  tray->OnRightClick = [&](TObject*, TMouseButton, TShiftState, int, int) { ++raised; };
  EXPECT_EQ(w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_USER_T + 5, 1, 2), 0);
  EXPECT_EQ(raised, 0);
}

TEST_F(TrayIconTest, HandlerExceptionIsReportedAndDoesNotLeaveTheWindowProcedure) {
  tray->OnClick = [](TObject*) { throw std::runtime_error("click failed"); };
  EXPECT_NO_THROW(
      w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_TRAYNOTIFY_T, 0, WM_LBUTTONUP_T));
  EXPECT_EQ(w.MessageTexts(), (std::vector<std::string>{"click failed"}));
}

// ---- hot key ----

TEST_F(TrayIconTest, ShortCutRegistersTheKeyWithItsModifiers) {
  int hits = 0;
  tray->OnShortCut = [&](TObject* s) {
    EXPECT_EQ(s, tray);
    ++hits;
  };
  tray->SetShortCut(scCtrl | scAlt | 'Q');
  EXPECT_TRUE(tray->HotKeyRegistered());
  auto key = std::make_pair(tray->WindowHandle(), 0);
  ASSERT_EQ(w.backend.hotKeys.count(key), 1u);
  EXPECT_EQ(w.backend.hotKeys[key], std::make_pair(MOD_CONTROL_T | MOD_ALT_T, unsigned('Q')));
  w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_HOTKEY_T, 0, 0);
  EXPECT_EQ(hits, 1);

  // Another key replaces the first one.
  tray->SetShortCut(scShift | 0x70);
  ASSERT_EQ(w.backend.hotKeys.size(), 1u);
  EXPECT_EQ(w.backend.hotKeys[key], std::make_pair(MOD_SHIFT_T, 0x70u));

  tray->SetShortCut(0);
  EXPECT_FALSE(tray->HotKeyRegistered());
  EXPECT_TRUE(w.backend.hotKeys.empty());
}

TEST_F(TrayIconTest, RefusedHotKeyOnlyClearsHotKeyRegistered) {
  w.backend.refuseHotKeys = true;
  tray->SetShortCut(scCtrl | 'K');
  EXPECT_FALSE(tray->HotKeyRegistered());
  EXPECT_EQ(tray->ShortCut(), scCtrl | 'K');
  EXPECT_TRUE(w.backend.messageBoxes.empty());
}

// ---- minimise chaining ----

TEST_F(TrayIconTest, MinimiseRunsThePreviousHandlerThenHidesTheApplication) {
  std::vector<std::string> log;
  w.app->OnMinimize = [&](TObject* s) {
    EXPECT_EQ(s, w.app.get());
    log.emplace_back("previous");
  };
  tray->SetHideAppOnMinimize(true);
  tray->SetActive(true);
  w.app->Minimize();
  EXPECT_EQ(log, (std::vector<std::string>{"previous"}));
  EXPECT_EQ(ShowCommands(form->Handle()), (std::vector<int>{SW_MINIMIZE_T, SW_HIDE_T}));

  tray->SetHideAppOnMinimize(false);
  w.backend.windowCalls.clear();
  w.app->Minimize();
  EXPECT_EQ(log, (std::vector<std::string>{"previous", "previous"}));
  EXPECT_EQ(ShowCommands(form->Handle()), (std::vector<int>{SW_MINIMIZE_T}));
}

TEST_F(TrayIconTest, DestructionGivesMinimiseHandlerBackAndReleasesEverything) {
  int previous = 0;
  w.app->OnMinimize = [&](TObject*) { ++previous; };
  tray->SetHideAppOnMinimize(true);
  tray->SetShortCut(scCtrl | 'Q');
  tray->SetAnimate(true);
  tray->SetActive(true);
  TWindowHandle window = tray->WindowHandle();
  Forget();
  delete tray;

  ASSERT_EQ(Sent().size(), 1u);
  EXPECT_EQ(Sent()[0].message, NIM_DELETE_T);
  EXPECT_FALSE(w.shell.IconShown());
  EXPECT_FALSE(w.backend.HiddenWindowExists(window));
  EXPECT_TRUE(w.backend.hotKeys.empty());
  EXPECT_EQ(w.backend.TimerCount(), 0);
  EXPECT_EQ(w.backend.liveIcons(), 0);
  w.backend.windowCalls.clear();
  w.app->Minimize();
  EXPECT_EQ(previous, 1);
  EXPECT_EQ(ShowCommands(form->Handle()), (std::vector<int>{SW_MINIMIZE_T}));
}

// ---- the shell restarting ----

TEST_F(TrayIconTest, TaskbarRestartAddsTheIconAgainWithCurrentImageAndHint) {
  tray->SetImageList(frames);
  tray->SetShowHint(true);
  tray->SetHint("Quindle\r(Connecting...)");
  tray->SetActive(true);
  tray->SetAnimate(true);
  w.backend.Advance(2000);  // frames 201, 202
  EXPECT_EQ(LastImage(), 202);
  const int frame = tray->FrameIndex();

  w.shell.LoseAllIcons();  // the shell restarted
  Forget();
  uint32_t taskbarCreated = w.backend.RegisterWindowMessage("TaskbarCreated");
  w.backend.DeliverToHiddenWindow(tray->WindowHandle(), taskbarCreated, 0, 0);
  ASSERT_EQ(Sent().size(), 1u);
  EXPECT_EQ(Last().message, NIM_ADD_T);
  EXPECT_EQ(LastImage(), 202);
  EXPECT_EQ(Last().tip, "Quindle\r(Connecting...)");
  EXPECT_EQ(tray->FrameIndex(), frame);
  EXPECT_TRUE(w.shell.IconShown());
}

TEST_F(TrayIconTest, ALostIconBringsTheHiddenWindowBackToTheTaskbarUntilItIsAddedAgain) {
  tray->SetShowHint(true);
  tray->SetHideAppOnMinimize(true);
  tray->SetActive(true);
  const TWindowHandle window = form->Handle();
  // The shell loses the icon and refuses it for now. It says so by its
  // restart broadcast, or (to an elevated program) not at all, and then only
  // a refused refresh tells.
  for (bool broadcast : {true, false}) {
    SCOPED_TRACE(broadcast ? "restart broadcast" : "refused refresh");
    w.app->Minimize();
    ASSERT_FALSE(w.backend.IsWindowVisible(window));
    w.shell.LoseAllIcons();
    w.shell.refuseAdds = true;
    if (broadcast)
      w.backend.DeliverToHiddenWindow(tray->WindowHandle(),
                                      w.backend.RegisterWindowMessage("TaskbarCreated"), 0, 0);
    else
      tray->SetHint("Quindle\r(Disconneted)");
    EXPECT_TRUE(w.backend.IsWindowVisible(window) && w.backend.IsIconic(window));

    tray->SetHint(broadcast ? "Quindle\r(Connected)" : "Quindle");
    w.shell.refuseAdds = false;
    Forget();
    w.backend.Advance(TTrayIcon::kAddRetryInterval);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Last().message, NIM_ADD_T);
    EXPECT_EQ(Last().tip, tray->Hint());
    w.app->Restore();
  }
}

// A window hidden to the tray stays hidden while the icon is removed and
// shown again; should the shell then refuse the icon, the window comes back
// to the taskbar, and a click on an icon it takes restores the window.
TEST_F(TrayIconTest, AWindowHiddenToTheTrayIsStillReachedAfterTheIconWasRemovedAndShownAgain) {
  tray->SetHideAppOnMinimize(true);
  tray->SetActive(true);
  const TWindowHandle window = form->Handle();
  const uint32_t restarted = w.backend.RegisterWindowMessage("TaskbarCreated");
  for (bool taken : {false, true}) {
    SCOPED_TRACE(taken ? "shown again and taken" : "shown again and refused");
    w.app->Minimize();
    ASSERT_FALSE(w.backend.IsWindowVisible(window));
    tray->SetActive(false);
    EXPECT_FALSE(w.backend.IsWindowVisible(window));
    w.shell.refuseAdds = !taken;
    tray->SetActive(true);
    EXPECT_EQ(tray->InNotificationArea(), taken);
    if (taken) {
      w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_TRAYNOTIFY_T, 0, WM_LBUTTONUP_T);
      EXPECT_FALSE(w.backend.IsWindowVisible(window)) << "a click without ShowOnClick";
      tray->SetShowOnClick(true);
      w.backend.DeliverToHiddenWindow(tray->WindowHandle(), WM_TRAYNOTIFY_T, 0, WM_LBUTTONUP_T);
      EXPECT_TRUE(w.backend.IsWindowVisible(window));
      EXPECT_FALSE(w.backend.IsIconic(window));
    } else {
      w.backend.DeliverToHiddenWindow(tray->WindowHandle(), restarted, 0, 0);
      EXPECT_TRUE(w.backend.IsWindowVisible(window) && w.backend.IsIconic(window));
      w.shell.refuseAdds = false;
      w.backend.Advance(TTrayIcon::kAddRetryInterval);
      ASSERT_TRUE(tray->InNotificationArea());
      w.app->Restore();
    }
  }
}

TEST_F(TrayIconTest, ARefusedAddIsOfferedAgainUntilTheShellHasTheIconAndNeverAfterHideIcon) {
  auto adds = [&] {
    return std::count_if(w.shell.notifyCalls.begin(), w.shell.notifyCalls.end(),
                         [](const TNotifyCall& c) { return c.message == NIM_ADD_T; });
  };
  // Refused twice; the third add is carried out but its answer comes too late.
  w.shell.refuseNextAdds = 2;
  w.shell.addsTimingOut = 1;
  tray->SetHideAppOnMinimize(true);
  tray->SetActive(true);
  w.backend.Advance(TTrayIcon::kAddRetryInterval - 1);
  EXPECT_EQ(adds(), 1);
  w.backend.Advance(1 + TTrayIcon::kAddRetryInterval);
  EXPECT_EQ(adds(), 3);
  w.backend.Advance(int64_t{10} * TTrayIcon::kAddRetryInterval);
  EXPECT_EQ(adds(), 3);  // the icon is there: no more offers
  w.app->Minimize();
  EXPECT_FALSE(w.backend.IsWindowVisible(form->Handle()));

  w.shell.refuseAdds = true;
  tray->SetActive(false);
  tray->SetActive(true);
  tray->SetActive(false);
  Forget();
  w.backend.Advance(int64_t{10} * TTrayIcon::kAddRetryInterval);
  EXPECT_TRUE(w.shell.notifyCalls.empty());
}

// The whole program, started while the shell refuses the icon, as at logon.
TEST(TrayIconRefused, EveryMinimiseStaysOnTheTaskbarUntilTheIconIsAddedWithTheCurrentState) {
  TQuindleWorld q("[Home]\nScript=0:100,8192:100\n");
  q.world.registry.PutDword(kQuindleKey, "MiniStart", 1);
  q.world.shell.refuseAdds = true;
  q.Start();
  TForm1& f = *q.form1;
  THeadlessBackend& b = q.world.backend;
  f.Show();
  auto onTaskbar = [&] { return b.IsWindowVisible(f.Handle()) && b.IsIconic(f.Handle()); };
  f.Close();  // the close box
  EXPECT_TRUE(onTaskbar());
  q.world.app->Restore();
  WORD_T esc = VK_ESCAPE_T;
  f.ConButton->TypeKey(esc);
  EXPECT_TRUE(onTaskbar());
  q.world.app->Restore();
  f.ConButton->Click();  // "Minimize on connected"
  ASSERT_TRUE(q.AdvanceUntil([&] { return f.Panel1->Caption() == "Connected to Home"; }));
  EXPECT_TRUE(onTaskbar());
  EXPECT_FALSE(q.world.app->Terminated());
  EXPECT_FALSE(q.world.shell.IconShown());

  // The shell takes the icon at the next offer, as the program stands now.
  q.world.shell.refuseAdds = false;
  q.world.shell.notifyCalls.clear();
  ASSERT_TRUE(
      q.AdvanceUntil([&] { return q.world.shell.IconShown(); }, TTrayIcon::kAddRetryInterval));
  ASSERT_EQ(q.world.shell.notifyCalls.size(), 1u);
  TSent add = Decode(q.world.shell.notifyCalls[0]);
  EXPECT_EQ(add.message, NIM_ADD_T);
  EXPECT_EQ(b.IconResourceOf(add.icon), IDI_CONNECTED);
  EXPECT_EQ(add.tip, "Quindle\r(Connected)");
  q.Advance(60000);
  EXPECT_EQ(CountOf(q.world.shell, NIM_ADD_T), 1);  // the icon is in: no more offers
  q.world.app->Restore();
  f.Close();
  EXPECT_FALSE(b.IsWindowVisible(f.Handle()));
}

TEST_F(TrayIconTest, ARefusedAddIsOfferedAgainFiveSecondsAfterEachRefusal) {
  // The shell is not ready for the first two adds (as at logon).
  w.shell.refuseNextAdds = 2;
  tray->SetActive(true);
  const uint64_t start = w.backend.TickCount();
  std::vector<uint64_t> offeredAt;
  for (int ms = 0; ms < 20000 && offeredAt.size() < 3; ++ms) {
    const size_t before = w.shell.notifyCalls.size();
    w.backend.Advance(1);
    for (size_t i = before; i < w.shell.notifyCalls.size(); ++i)
      if (w.shell.notifyCalls[i].message == NIM_ADD_T)
        offeredAt.push_back(w.backend.TickCount() - start);
  }
  // Five seconds after the first add and after the refused retry; the
  // third add is taken, and no fourth follows.
  EXPECT_EQ(offeredAt, (std::vector<uint64_t>{5000, 10000}));
  EXPECT_TRUE(w.shell.IconShown());
}

// The shell takes the icon later than the first add: it refused that add
// (not started yet) and takes the retry, or it carried the add out but
// answered too late, and the next refresh finds the icon there.
TEST_F(TrayIconTest, AnIconTheShellTakesLateIsKnownToBeThereAndMinimisingHidesToIt) {
  tray->SetHideAppOnMinimize(true);
  const TWindowHandle window = form->Handle();
  for (bool answeredLate : {false, true}) {
    SCOPED_TRACE(answeredLate ? "add answered too late" : "add refused, retry taken");
    if (answeredLate)
      w.shell.addsTimingOut = 1;
    else
      w.shell.refuseNextAdds = 1;
    tray->SetActive(true);
    EXPECT_FALSE(tray->InNotificationArea());
    w.app->Minimize();
    EXPECT_TRUE(w.backend.IsWindowVisible(window) && w.backend.IsIconic(window));
    w.app->Restore();

    if (answeredLate)
      tray->SetHint("Quindle\r(Connected)");  // a refresh the shell takes
    else
      w.backend.Advance(5000);  // the retry
    EXPECT_TRUE(w.shell.IconShown());
    EXPECT_TRUE(tray->InNotificationArea());
    w.app->Minimize();
    EXPECT_FALSE(w.backend.IsWindowVisible(window));  // only the icon is left
    Forget();
    w.backend.Advance(30000);
    EXPECT_EQ(CountOf(w.shell, NIM_ADD_T), 0);  // nothing more is offered
    w.app->Restore();
    tray->SetActive(false);
  }
}

TEST_F(TrayIconTest, AnElevatedProgramHearsTheShellsRestartBroadcastThroughItsWindowsFilter) {
  w.backend.elevated = true;
  tray->SetShowHint(true);
  tray->SetHint("Quindle\r(Connected)");
  tray->SetActive(true);
  w.shell.LoseAllIcons();
  Forget();
  EXPECT_EQ(w.backend.BroadcastFromShell(w.backend.RegisterWindowMessage("TaskbarCreated")), 1);
  ASSERT_EQ(Sent().size(), 1u);
  EXPECT_EQ(Last().message, NIM_ADD_T);
  EXPECT_EQ(Last().tip, "Quindle\r(Connected)");
  EXPECT_TRUE(w.shell.IconShown());
}

TEST(TrayIconShell, WithoutAMessageFilterTheLostIconIsFoundByItsPresenceCheck) {
  // Before Windows 7 there is no filter for one window: an elevated program
  // does not hear the broadcast, and says nothing about it.
  TTestWorld w;
  w.backend.hasMessageFilter = false;
  w.backend.elevated = true;
  TForm* form = w.app->CreateForm<TForm>();
  auto* tray = new TTrayIcon(form);
  tray->SetActive(true);
  w.shell.LoseAllIcons();
  EXPECT_EQ(w.backend.BroadcastFromShell(w.backend.RegisterWindowMessage("TaskbarCreated")), 0);
  EXPECT_FALSE(w.shell.IconShown());
  w.backend.Advance(60'000);  // within a minute
  EXPECT_TRUE(w.shell.IconShown());
  EXPECT_TRUE(w.backend.messageBoxes.empty());
}

// The whole program, connected and hidden in the tray, when the shell loses
// the icon and tells nobody: only the icon could bring the window back.
TEST(TrayIconLost, AnIconLostWithoutAWordIsBackWithinAMinuteOrTheWindowIsOnTheTaskbar) {
  TQuindleWorld q("[Home]\nScript=0:100,8192:100\n");
  q.world.registry.PutDword(kQuindleKey, "MiniStart", 1);
  q.Start();
  TForm1& f = *q.form1;
  THeadlessBackend& b = q.world.backend;
  TMemoryShell& shell = q.world.shell;
  f.Show();
  f.ConButton->Click();  // "Minimize on connected"
  ASSERT_TRUE(q.AdvanceUntil([&] { return f.Panel1->Caption() == "Connected to Home"; }));
  ASSERT_FALSE(b.IsWindowVisible(f.Handle()));
  ASSERT_TRUE(shell.IconShown());

  shell.LoseAllIcons();
  shell.notifyCalls.clear();
  q.Advance(60'000);
  EXPECT_TRUE(shell.IconShown());
  ASSERT_EQ(CountOf(shell, NIM_ADD_T), 1);
  TSent add = LastOf(shell, NIM_ADD_T);
  EXPECT_EQ(b.IconResourceOf(add.icon), IDI_CONNECTED);
  EXPECT_EQ(add.tip, "Quindle\r(Connected)");
  EXPECT_FALSE(b.IsWindowVisible(f.Handle()));  // the icon is there to bring it back
  // An hour on, the checks have cost one refresh a minute and found the icon.
  shell.notifyCalls.clear();
  q.Advance(3'600'000);
  EXPECT_EQ(CountOf(shell, NIM_MODIFY_T), 60);
  EXPECT_EQ(shell.notifyCalls.size(), 60u);
  EXPECT_TRUE(shell.IconShown());

  // Lost again, and the shell will not take it back for now: the window
  // comes out on the taskbar, and hides at a minimise once the icon is in.
  shell.LoseAllIcons();
  shell.refuseAdds = true;
  q.Advance(60'000);
  EXPECT_TRUE(b.IsWindowVisible(f.Handle()) && b.IsIconic(f.Handle()));
  shell.refuseAdds = false;
  ASSERT_TRUE(q.AdvanceUntil([&] { return shell.IconShown(); }, 5000));
  EXPECT_EQ(f.Panel1->Caption(), "Connected to Home");
  q.world.app->Restore();
  q.world.app->Minimize();
  EXPECT_FALSE(b.IsWindowVisible(f.Handle()));
}

// The whole program at 100 % and at 150 %: every icon the notification area
// is given from start-up through a dial, the still ones and each frame of
// the dial's animation, was loaded at the small-icon size of the system's
// dpi, so that the shell does not stretch a 16-pixel one.
TEST(TrayIconScale, EveryIconShownThroughADialIsLoadedAtTheSystemsSmallIconSize) {
  for (auto [dpi, pixels] : {std::pair{96, 16}, std::pair{144, 24}}) {
    SCOPED_TRACE("dpi " + std::to_string(dpi));
    TQuindleWorld q("[Home]\nScript=0:1000,1:1000,2:1500,8192:100\n");
    THeadlessBackend& b = q.world.backend;
    b.systemDpi = dpi;
    b.keepReleasedIcons = true;
    q.Start();
    TForm1& f = *q.form1;
    f.Show();
    f.ConButton->Click();
    ASSERT_TRUE(q.AdvanceUntil([&] { return f.Panel1->Caption() == "Connected to Home"; }));

    // The images in the order the shell showed them, each run of one image
    // once. The change to a still image refreshes by way of no image, which
    // shows the system's shared icon for that moment (the shell sizes that
    // one itself); it comes once here, before the connected image.
    const TIconHandle systemIcon = b.LoadSystemIcon(SystemIconId(f.TrayIcon->WinIcon()));
    std::vector<int> shown;
    int systemIconShown = 0;
    for (const TNotifyCall& call : q.world.shell.notifyCalls) {
      const TSent sent = Decode(call);
      if (sent.icon == systemIcon) {
        ++systemIconShown;
        continue;
      }
      const int resource = b.IconResourceOf(sent.icon);
      EXPECT_EQ(b.IconSizeOf(sent.icon), pixels) << "image " << resource;
      if (shown.empty() || shown.back() != resource) shown.push_back(resource);
    }
    EXPECT_EQ(systemIconShown, 1);
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ(shown.front(), IDI_DISCONNECTED);
    EXPECT_EQ(shown.back(), IDI_CONNECTED);
    // Between them the dial's two frames, in turn, from the first.
    for (size_t i = 1; i + 1 < shown.size(); ++i)
      EXPECT_EQ(shown[i], i % 2 ? IDI_DIAL1 : IDI_DIAL2) << "image " << i;
  }
}

TEST_F(TrayIconTest, TaskbarRestartLeavesAHiddenIconHidden) {
  tray->SetActive(true);
  tray->SetActive(false);
  Forget();
  uint32_t taskbarCreated = w.backend.RegisterWindowMessage("TaskbarCreated");
  w.backend.DeliverToHiddenWindow(tray->WindowHandle(), taskbarCreated, 0, 0);
  EXPECT_TRUE(w.shell.notifyCalls.empty());
}

}  // namespace
