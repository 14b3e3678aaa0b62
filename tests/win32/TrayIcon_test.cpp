// The tray icon against the real shell: the records the component fills are
// accepted by Shell_NotifyIconA in both layouts, the hidden window hears the
// icon's messages and the shell's restart broadcast, a refused icon leaves
// the minimised window on the taskbar, the window lets the broadcast through
// the message filter, and the hot key is given back at destruction; and the
// icons: each resource holds an image for every scale, and the tray and the
// title bars get the program's own images at the sizes the system asks for.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Before any Windows header, whose macros would rename the loader's methods.
#include "platform/win32/Win32Platform.h"

#include "ResourceIds.h"
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
    TWindowHandle window;
    uint32_t message;
    bool allowed;
  };
  bool AllowMessageThroughFilter(TWindowHandle window, uint32_t message) override {
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
  gone.hWnd = tray->WindowHandle().Raw();
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

// ---- the icons ----

// An icon group as the resource compiler stores it (RT_GROUP_ICON).
#pragma pack(push, 2)
struct TGroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

// One image of an icon resource: its width and height as its own header
// says (a bitmap's, or a PNG's for the large ones), and for a bitmap its
// colours, BGR, bottom row first.
struct TIconImage {
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;
};

std::vector<uint8_t> BgrOf(const uint8_t* bgra, size_t pixels) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < pixels; ++i) out.insert(out.end(), bgra + 4 * i, bgra + 4 * i + 3);
  return out;
}

// The images of this runner's icon resource `groupId`, by the size the
// group names for each (the runner links the program's own icon script).
std::map<int, TIconImage> ImagesOf(int groupId) {
  std::map<int, TIconImage> images;
  HRSRC group =
      FindResourceA(nullptr, MAKEINTRESOURCEA(groupId), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  if (!group) return images;
  const auto* dir = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, group)));
  WORD count = 0;
  std::memcpy(&count, dir + 4, sizeof count);
  for (WORD i = 0; i < count; ++i) {
    TGroupIconEntry e;
    std::memcpy(&e, dir + 6 + i * sizeof e, sizeof e);
    HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(e.id), MAKEINTRESOURCEA(3));  // RT_ICON
    if (!res) continue;
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, res)));
    const DWORD bytes = SizeofResource(nullptr, res);
    TIconImage image;
    if (bytes > 24 && std::memcmp(data, "\x89PNG", 4) == 0) {
      image.width = (data[16] << 24) | (data[17] << 16) | (data[18] << 8) | data[19];
      image.height = (data[20] << 24) | (data[21] << 16) | (data[22] << 8) | data[23];
    } else if (bytes >= sizeof(BITMAPINFOHEADER)) {
      BITMAPINFOHEADER header;
      std::memcpy(&header, data, sizeof header);
      image.width = header.biWidth;
      image.height = header.biHeight / 2;  // the colours and the mask
      const size_t pixels = static_cast<size_t>(image.width) * image.height;
      if (header.biBitCount == 32 && bytes >= sizeof header + 4 * pixels)
        image.bgr = BgrOf(data + sizeof header, pixels);
    }
    images[e.width ? e.width : 256] = image;
  }
  return images;
}

// What an icon handle shows: its colour bitmap's size and colours.
TIconImage PictureOf(TIconHandle handle) {
  TIconImage picture;
  ICONINFO info{};
  if (!GetIconInfo(reinterpret_cast<HICON>(handle.Raw()), &info)) return picture;
  BITMAP bitmap{};
  if (info.hbmColor && GetObjectA(info.hbmColor, sizeof bitmap, &bitmap)) {
    picture.width = bitmap.bmWidth;
    picture.height = bitmap.bmHeight;
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), bitmap.bmWidth, bitmap.bmHeight, 1, 32, BI_RGB};
    const size_t pixels = static_cast<size_t>(bitmap.bmWidth) * bitmap.bmHeight;
    std::vector<uint8_t> bits(4 * pixels);
    HDC screen = GetDC(nullptr);
    if (GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, bits.data(), &format, DIB_RGB_COLORS))
      picture.bgr = BgrOf(bits.data(), pixels);
    ReleaseDC(nullptr, screen);
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return picture;
}

// The notification area's icons and the program's, each with an image for
// the small-icon size of each usual scale (100, 125, 150, 200, 250 and
// 300 %), so that the system need not stretch one; loaded at each size, the
// icon the system hands out is that image, unscaled.
TEST(Win32Icons, EachIconHoldsAnImageForEveryScaleAndLoadsItUnscaled) {
  for (int id : {IDI_APP, IDI_DISCONNECTED, IDI_CONNECTED, IDI_DIAL1, IDI_DIAL2}) {
    SCOPED_TRACE("icon " + std::to_string(id));
    const std::map<int, TIconImage> images = ImagesOf(id);
    ASSERT_FALSE(images.empty());
    for (int size : {16, 20, 24, 32, 40, 48}) {
      SCOPED_TRACE("size " + std::to_string(size));
      auto it = images.find(size);
      ASSERT_NE(it, images.end());
      EXPECT_EQ(it->second.width, size);
      EXPECT_EQ(it->second.height, size);
      ASSERT_EQ(it->second.bgr.size(), 3u * size * size);
      const TIconHandle icon(
          reinterpret_cast<uintptr_t>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                                 IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
      ASSERT_NE(icon, TIconHandle{});
      const TIconImage shown = PictureOf(icon);
      DestroyIcon(reinterpret_cast<HICON>(icon.Raw()));
      EXPECT_EQ(shown.width, size);
      EXPECT_TRUE(shown.bgr == it->second.bgr) << "the image was scaled";
    }
    for (const auto& [size, image] : images) EXPECT_EQ(image.width, size) << "as the group says";
  }
}

// The tray's icons through the real backend, the still ones, the dial's
// frames and the program's own, from an image list designed at 32 pixels:
// each is the program's image at the small-icon size this system's
// notification area shows (what GetSystemMetrics says at the system's
// dpi), not stretched there. The forms' title bars and task switcher get
// the program's icon at the small and the large size.
TEST(Win32TrayIcon, EveryIconIsTheProgramsImageAtTheSystemsSmallIconSize) {
  const int small = GetSystemMetrics(SM_CXSMICON), large = GetSystemMetrics(SM_CXICON);
  TTrayWorld w;
  auto* tray = new TTrayIcon(w.form);
  auto* list = new TImageList(w.form);
  list->SetSize(32, 32);
  for (int id : {IDI_DISCONNECTED, IDI_CONNECTED, IDI_DIAL1, IDI_DIAL2}) list->AddIcon(id);
  tray->SetImageList(list);
  tray->SetActive(true);
  auto expectImage = [&](TIconHandle icon, int id, int size) {
    SCOPED_TRACE("icon " + std::to_string(id) + " at " + std::to_string(size));
    const TIconImage shown = PictureOf(icon);
    EXPECT_EQ(shown.width, size);
    EXPECT_EQ(shown.height, size);
    const std::map<int, TIconImage> images = ImagesOf(id);
    auto it = images.find(size);
    ASSERT_NE(it, images.end()) << "no image of that size";
    EXPECT_TRUE(shown.bgr == it->second.bgr) << "not the program's image of that size";
  };
  for (int index = 0; index < list->Count(); ++index) {
    tray->SetImageIndex(index);
    expectImage(tray->CurrentIcon(), list->ResourceId(index), small);
  }
  tray->SetAnimate(true);
  for (int frame = 0; frame < list->Count(); ++frame) {
    tray->UpdateIcon();
    expectImage(tray->CurrentIcon(), list->ResourceId(frame), small);
  }
  tray->SetUseAppIcon(true);
  expectImage(tray->CurrentIcon(), IDI_APP, small);
  for (const auto& c : w.shell.calls) EXPECT_TRUE(c.ok) << "message " << c.message;

  HWND form = Hwnd(w.form->Handle());
  expectImage(TIconHandle(GetClassLongPtrA(form, GCLP_HICON)), IDI_APP, large);
  expectImage(TIconHandle(GetClassLongPtrA(form, GCLP_HICONSM)), IDI_APP, small);
}

}  // namespace
