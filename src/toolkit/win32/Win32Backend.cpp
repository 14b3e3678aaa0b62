#include "toolkit/win32/Win32Backend.h"

#include <algorithm>
#include <stdexcept>

#include "toolkit/Application.h"
#include "toolkit/ImgList.h"
#include "toolkit/Menus.h"
#include "platform/win32/Win32TickCount.h"
#include "toolkit/win32/Win32Api.h"
#include "platform/win32/Win32LateBound.h"

#include <commctrl.h>

#include "ResourceIds.h"

namespace {

constexpr char kUtilityClass[] = "QuindleUtility";
constexpr char kHiddenClass[] = "QuindleHiddenWindow";
// Posted to the utility window when work is waiting in the queue.
constexpr UINT WM_RUNPOSTED = WM_APP + 1;

HWND H(TWindowHandle h) {
  return NativeWindow(h);
}
TWindowHandle T(HWND h) {
  return WindowHandleOf(h);
}
HINSTANCE Instance() {
  return GetModuleHandleA(nullptr);
}

LRESULT CALLBACK UtilityProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* backend = reinterpret_cast<TWin32Backend*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (backend && (message == WM_TIMER || message == WM_RUNPOSTED))
    return backend->UtilityMessage(message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK HiddenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return TWin32Backend::HiddenMessage(T(window), message, wParam, lParam);
}

// What a hidden window carries: its handler and the backend that guards it.
struct THiddenWindow {
  TWin32Backend* backend;
  std::shared_ptr<TWndProc> proc;
};

// The late-bound functions of the monitors, their scales and the icons,
// bound once where the system has them: user32 and comctl32 are loaded
// already; shcore is not a known library and comes from the system folder.
struct TLateFunctions {
  TWin32LibraryLoader loader;
  decltype(&::GetDpiForSystem) forSystem = nullptr;
  decltype(&::GetDpiForWindow) forWindow = nullptr;
  decltype(&::MonitorFromRect) monitorFromRect = nullptr;
  decltype(&::MonitorFromWindow) monitorFromWindow = nullptr;
  decltype(&::GetDpiForMonitor) forMonitor = nullptr;
  decltype(&::AdjustWindowRectExForDpi) adjustForDpi = nullptr;
  decltype(&::GetSystemMetricsForDpi) metricsForDpi = nullptr;
  decltype(&::GetMonitorInfoA) monitorInfo = nullptr;
  decltype(&::LoadIconMetric) loadIconMetric = nullptr;
  TLateFunctions() {
    HMODULE_T user = GetModuleHandleA(LateBound::GetDpiForWindow.library);
    forSystem = Bind(loader, user, LateBound::GetDpiForSystem);
    forWindow = Bind(loader, user, LateBound::GetDpiForWindow);
    monitorFromRect = Bind(loader, user, LateBound::MonitorFromRect);
    monitorFromWindow = Bind(loader, user, LateBound::MonitorFromWindow);
    adjustForDpi = Bind(loader, user, LateBound::AdjustWindowRectExForDpi);
    metricsForDpi = Bind(loader, user, LateBound::GetSystemMetricsForDpi);
    monitorInfo = Bind(loader, user, LateBound::GetMonitorInfoA);
    loadIconMetric = Bind(loader, GetModuleHandleA(LateBound::LoadIconMetric.library),
                          LateBound::LoadIconMetric);
    if (HMODULE_T shcore = loader.LoadLibrary(LateBound::GetDpiForMonitor.library))
      forMonitor = Bind(loader, shcore, LateBound::GetDpiForMonitor);
  }
  // A system metric at `dpi`. Windows 10 1607 on names it for any dpi;
  // before, the metric is the system's, the only scale those systems have.
  int Metric(int index, int dpi) const {
    if (metricsForDpi)
      if (int value = metricsForDpi(index, static_cast<UINT>(dpi)); value > 0) return value;
    return GetSystemMetrics(index);
  }
  static const TLateFunctions& Get() {
    static const TLateFunctions functions;
    return functions;
  }
  // The effective dpi of a monitor; 0 where the system cannot say.
  int ForMonitor(HMONITOR monitor) const {
    UINT x = 0, y = 0;
    if (!forMonitor || !monitor || forMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y) != S_OK) return 0;
    return static_cast<int>(y);
  }
};

// The size Windows gives an icon of `metric` (SM_CXICON, or SM_CXSMICON for
// the small icons of title bars and the notification area) at `dpi`.
int IconSize(int metric, int dpi) {
  return TLateFunctions::Get().Metric(metric, dpi);
}

// An owned icon of a resource of the program, `size` pixels square, the
// size of `metric` (SM_CXICON or SM_CXSMICON); where the module carries
// none (a test runner), an owned copy of the system's application icon at
// that size, so that the caller always holds something it may destroy.
HICON LoadOwnedIcon(int resourceId, int metric, int size) {
  // Common controls 6 (Windows Vista on, where the manifest picks them; the
  // library is imported, so loaded already) take the file's image of the
  // metric's size, or scale a larger one down rather than a smaller one up.
  // They measure the metric as this thread sees it, used only when that is
  // the size asked for.
  const auto loadIconMetric = TLateFunctions::Get().loadIconMetric;
  HICON icon = nullptr;
  if (loadIconMetric && GetSystemMetrics(metric) == size &&
      loadIconMetric(Instance(), MAKEINTRESOURCEW(resourceId),
                     metric == SM_CXSMICON ? LIM_SMALL : LIM_LARGE, &icon) == S_OK &&
      icon)
    return icon;
  // Elsewhere the image of that size, or the nearest stretched to it.
  icon = static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(resourceId), IMAGE_ICON, size,
                                       size, LR_DEFAULTCOLOR));
  // The system's icon is shared: a copy of its image nearest that size.
  if (!icon)
    icon = static_cast<HICON>(
        CopyImage(LoadIconA(nullptr, MAKEINTRESOURCEA(32512)),  // IDI_APPLICATION
                  IMAGE_ICON, size, size, LR_COPYFROMRESOURCE));
  return icon;
}

// The backend's own window classes (the forms' is the form peer's).
void RegisterClasses() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = Instance();

  wc.lpfnWndProc = UtilityProc;
  wc.lpszClassName = kUtilityClass;
  RegisterClassExA(&wc);

  wc.lpfnWndProc = HiddenProc;
  wc.lpszClassName = kHiddenClass;
  RegisterClassExA(&wc);
}

}  // namespace

TWin32Backend::TWin32Backend() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterClasses();
  HWND utility = CreateWindowExA(0, kUtilityClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 Instance(), nullptr);
  if (!utility) throw std::runtime_error("Cannot create the message window");
  SetWindowLongPtrA(utility, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  utility_ = T(utility);
  guiThread_ = GetCurrentThreadId();
}

TWin32Backend::~TWin32Backend() {
  {
    std::unique_lock<std::mutex> lock(postMutex_);
    closing_ = true;
    posted_.clear();
    // A post still waiting for room in the queue sees `closing_` within one
    // round of its retries and gives up.
    postingDone_.wait(lock, [this] { return posting_ == 0; });
  }
  for (auto& [id, tick] : timers_) KillTimer(H(utility_), id);
  timers_.clear();
  SetWindowLongPtrA(H(utility_), GWLP_USERDATA, 0);
  DestroyWindow(H(utility_));
  for (auto& [key, font] : fonts_) DeleteObject(reinterpret_cast<HGDIOBJ>(font));
  for (auto& [color, brush] : brushes_) DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
}

// ---- timers and posted work ----

uintptr_t TWin32Backend::StartTimer(unsigned intervalMs, std::function<void()> tick) {
  uintptr_t id = nextTimer_++;
  if (timersStopped_) return id;  // on the way out: it never ticks
  if (!SetTimer(H(utility_), id, std::max(1u, intervalMs), nullptr))
    throw std::runtime_error("Not enough timers available");
  timers_[id] = std::make_shared<std::function<void()>>(std::move(tick));
  return id;
}

void TWin32Backend::StopTimer(uintptr_t id) {
  if (timers_.erase(id)) KillTimer(H(utility_), id);
}

void TWin32Backend::StopCallbacks() {
  {
    std::lock_guard<std::mutex> lock(postMutex_);
    closing_ = true;
    posted_.clear();
  }
  timersStopped_ = true;
  for (auto& [id, tick] : timers_) KillTimer(H(utility_), id);
  timers_.clear();
}

intptr_t TWin32Backend::UtilityMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_RUNPOSTED || (message == WM_TIMER && wParam == kWakeTimer)) {
    RunPosted();
    return 0;
  }
  auto it = timers_.find(wParam);
  if (it == timers_.end()) return 0;
  // Held here: the tick may stop its own timer.
  std::shared_ptr<std::function<void()>> tick = it->second;
  Guard(*tick);
  return 0;
}

bool TWin32Backend::PostToGui(std::function<void()> work, std::unique_lock<std::mutex>* held) {
  auto letGo = [held] {
    if (held && held->owns_lock()) held->unlock();
  };
  {
    std::lock_guard<std::mutex> lock(postMutex_);
    if (closing_) {
      letGo();
      return false;
    }
    posted_.push_back(std::move(work));
    if (wakePending_) {
      letGo();
      return true;
    }
    wakePending_ = true;
    // Counted while the caller's lock still keeps this backend in use: the
    // destructor waits for the post below, however long the queue refuses it.
    ++posting_;
  }
  letGo();
  struct TDone {
    TWin32Backend& b;
    ~TDone() {
      std::lock_guard<std::mutex> lock(b.postMutex_);
      if (--b.posting_ == 0) b.postingDone_.notify_all();
    }
  } done{*this};
  // A refused wake-up (a full queue) must not leave the work waiting for a
  // next post that may never come: the dialer's notifier posts again only
  // once this work has run.
  if (PostWake()) return true;
  if (GetCurrentThreadId() == guiThread_) {
    // The GUI thread cannot wait for its own queue to drain; a timer is not
    // a queued message and wakes it all the same.
    SetTimer(H(utility_), kWakeTimer, 10, nullptr);
    return true;
  }
  // Another thread waits for room in the queue, holding no lock of the
  // caller's: the GUI thread is free to empty the queue meanwhile.
  for (;;) {
    ::Sleep(10);
    {
      std::lock_guard<std::mutex> lock(postMutex_);
      if (closing_) return false;  // the work was dropped with the rest
    }
    if (PostWake()) return true;
  }
}

bool TWin32Backend::PostWake() {
  return PostMessageA(H(utility_), WM_RUNPOSTED, 0, 0) != 0;
}

void TWin32Backend::RunPosted() {
  KillTimer(H(utility_), kWakeTimer);
  {
    std::lock_guard<std::mutex> lock(postMutex_);
    wakePending_ = false;
  }
  while (true) {
    std::function<void()> work;
    {
      std::lock_guard<std::mutex> lock(postMutex_);
      if (posted_.empty()) return;
      work = std::move(posted_.front());
      posted_.pop_front();
    }
    Guard(work);
  }
}

// ---- the message loop ----

void TWin32Backend::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Left for the loop that owns the program's end.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void TWin32Backend::RunUntil(const std::function<bool()>& done) {
  static thread_local int depth = 0;
  ++depth;
  struct Leave {
    ~Leave() { --depth; }
  } leave;
  MSG msg;
  while (!done()) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      // WM_QUIT: an enclosing loop must see it too.
      if (depth > 1) PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (got == -1) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void TWin32Backend::Sleep(unsigned ms) {
  ::Sleep(ms);
}

uint64_t TWin32Backend::TickCount() {
  return Win32TickCount64();
}

int TWin32Backend::MessageBox(TWindowHandle owner, const std::string& text,
                              const std::string& caption, unsigned flags) {
  HWND window = H(owner);
  // A window disabled under a modal dialog would be enabled again when the
  // box closes: the box belongs to the active window then.
  if (!window || !IsWindowEnabled(window)) {
    if (HWND active = GetActiveWindow()) window = active;
  }
  return MessageBoxA(window, text.c_str(), caption.c_str(), flags);
}

// ---- menus ----

static_assert(kMenuLeftAlign == TPM_LEFTALIGN && kMenuRightAlign == TPM_RIGHTALIGN);

TMenuItem* TWin32Backend::TrackPopupMenu(TPopupMenu& menu, int x, int y, TWindowHandle owner) {
  HMENU popup = CreatePopupMenu();
  if (!popup) return nullptr;
  std::vector<TMenuItem*> items;
  for (TMenuItem* item : menu.Items()) {
    if (!item->Visible()) continue;
    if (item->IsSeparator()) {
      AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    items.push_back(item);
    UINT id = static_cast<UINT>(items.size());
    AppendMenuA(popup, MF_STRING | (item->Enabled() ? MF_ENABLED : MF_GRAYED), id,
                item->Caption().c_str());
    if (item->Default()) SetMenuDefaultItem(popup, id, FALSE);
  }
  HWND window = H(owner);
  if (!window && Application()) window = H(Application()->Handle());
  HWND temporary = nullptr;
  if (!window) {
    // A menu needs a top-level window to report to.
    temporary = CreateWindowExA(WS_EX_TOOLWINDOW, kHiddenClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, Instance(), nullptr);
    window = temporary;
  }
  // Windows documents for a notification icon's menu: its window must be the
  // foreground window when the menu opens, or the menu stays up at a click
  // elsewhere; and a message posted to that window once the menu is done
  // makes the task switch without which the next menu closes as it opens.
  SetForegroundWindow(T(window));
  // The menu stands on the side of the point that the system drops its menus
  // to (right-aligned for a right-to-left layout or a left-handed tablet).
  const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  UINT chosen = static_cast<UINT>(::TrackPopupMenu(
      popup, align | TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, window, nullptr));
  PostMessage(T(window), WM_NULL, 0, 0);
  DestroyMenu(popup);
  if (temporary) DestroyWindow(temporary);
  if (chosen == 0 || chosen > items.size()) return nullptr;
  TMenuItem* item = items[chosen - 1];
  // The menu runs its own loop: an item freed meanwhile is not reported.
  const auto& now = menu.Items();
  return std::find(now.begin(), now.end(), item) != now.end() ? item : nullptr;
}

// ---- hidden windows ----

TWindowHandle TWin32Backend::CreateHiddenWindow(TWndProc proc) {
  // Top-level (not message-only), so that broadcasts such as the shell's
  // "TaskbarCreated" reach it; never shown.
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kHiddenClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, Instance(), nullptr);
  if (!window) return TWindowHandle{};
  auto* data = new THiddenWindow{this, std::make_shared<TWndProc>(std::move(proc))};
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
  return T(window);
}

void TWin32Backend::DestroyHiddenWindow(TWindowHandle window) {
  HWND w = H(window);
  if (!IsWindow(w)) return;
  auto* data = reinterpret_cast<THiddenWindow*>(GetWindowLongPtrA(w, GWLP_USERDATA));
  SetWindowLongPtrA(w, GWLP_USERDATA, 0);
  DestroyWindow(w);
  delete data;
}

intptr_t TWin32Backend::HiddenMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                                      intptr_t lParam) {
  HWND w = H(window);
  auto* data = reinterpret_cast<THiddenWindow*>(GetWindowLongPtrA(w, GWLP_USERDATA));
  if (message == WM_NCDESTROY && data) {
    // Destroyed by the system rather than by DestroyHiddenWindow.
    SetWindowLongPtrA(w, GWLP_USERDATA, 0);
    delete data;
    return DefWindowProcA(w, message, wParam, lParam);
  }
  if (!data || data->backend->CallbacksStopped()) return DefWindowProcA(w, message, wParam, lParam);
  // Copies: the handler may destroy its own window.
  std::shared_ptr<TWndProc> proc = data->proc;
  TWin32Backend* backend = data->backend;
  bool answered = false;
  intptr_t result = 0;
  backend->Guard([&] {
    result = (*proc)(message, wParam, lParam);
    answered = true;
  });
  return answered ? result : DefWindowProcA(w, message, wParam, lParam);
}

// ---- window-manager calls ----

intptr_t TWin32Backend::DefWindowProc(TWindowHandle window, uint32_t message, uintptr_t wParam,
                                      intptr_t lParam) {
  return DefWindowProcA(H(window), message, wParam, lParam);
}

intptr_t TWin32Backend::SendMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                                    intptr_t lParam) {
  return SendMessageA(H(window), message, wParam, lParam);
}

bool TWin32Backend::PostMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam) {
  return PostMessageA(H(window), message, wParam, lParam) != 0;
}

uint32_t TWin32Backend::RegisterWindowMessage(const std::string& name) {
  return RegisterWindowMessageA(name.c_str());
}

bool TWin32Backend::AllowMessageThroughFilter(TWindowHandle window, uint32_t message) {
  // user32 is loaded in every process with windows; the function is looked
  // up once.
  static TWin32LibraryLoader loader;
  static const auto change =
      Bind(loader, GetModuleHandleA(LateBound::ChangeWindowMessageFilterEx.library),
           LateBound::ChangeWindowMessageFilterEx);
  return change && change(H(window), message, MSGFLT_ALLOW, nullptr) != 0;
}

bool TWin32Backend::RegisterHotKey(TWindowHandle window, int id, unsigned modifiers, unsigned vk) {
  return ::RegisterHotKey(H(window), id, modifiers, vk) != 0;
}

bool TWin32Backend::UnregisterHotKey(TWindowHandle window, int id) {
  return ::UnregisterHotKey(H(window), id) != 0;
}

TPoint TWin32Backend::GetCursorPos() {
  POINT p{};
  ::GetCursorPos(&p);
  return {p.x, p.y};
}

bool TWin32Backend::SetForegroundWindow(TWindowHandle window) {
  return ::SetForegroundWindow(H(window)) != 0;
}

bool TWin32Backend::ShowWindow(TWindowHandle window, int command) {
  return ::ShowWindow(H(window), command) != 0;
}

bool TWin32Backend::SetWindowPos(TWindowHandle window, intptr_t insertAfter, int x, int y, int cx,
                                 int cy, unsigned flags) {
  return ::SetWindowPos(H(window), reinterpret_cast<HWND>(insertAfter), x, y, cx, cy, flags) != 0;
}

bool TWin32Backend::IsWindowVisible(TWindowHandle window) {
  return ::IsWindowVisible(H(window)) != 0;
}

bool TWin32Backend::IsIconic(TWindowHandle window) {
  return ::IsIconic(H(window)) != 0;
}

TWindowHandle TWin32Backend::GetFocus() {
  return T(::GetFocus());
}

// The clipboard is held only while it is read or written, as other programs
// wait for it meanwhile.
std::string TWin32Backend::ClipboardText() {
  std::string text;
  if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    // The data is a string ending in a zero within the block's size.
    SIZE_T size = GlobalSize(data);
    if (const auto* bytes = static_cast<const char*>(GlobalLock(data))) {
      size_t length = 0;
      while (length < size && bytes[length] != '\0') ++length;
      text.assign(bytes, length);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void TWin32Backend::SetClipboardText(const std::string& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (!block) return;
  if (auto* bytes = static_cast<char*>(GlobalLock(block))) {
    std::copy(text.begin(), text.end(), bytes);
    bytes[text.size()] = '\0';
    GlobalUnlock(block);
  }
  // Once the clipboard takes the block it owns it; otherwise it is ours to
  // free. Emptied while opened without a window, the clipboard would refuse
  // the data: the active window opens it.
  if (!OpenClipboard(GetActiveWindow())) {
    GlobalFree(block);
    return;
  }
  EmptyClipboard();
  if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
  CloseClipboard();
}

TAnsiCodePage TWin32Backend::AnsiCodePage() {
  // The ANSI code page is the system's for the life of the process.
  static const TAnsiCodePage page = [] {
    TAnsiCodePage p;
    CPINFO info{};
    p.id = GetACP();
    if (!GetCPInfo(CP_ACP, &info)) return p;
    p.maxCharSize = static_cast<int>(info.MaxCharSize);
    static_assert(sizeof p.leadBytes == MAX_LEADBYTES);
    for (int i = 0; i < MAX_LEADBYTES; ++i) p.leadBytes[i] = info.LeadByte[i];
    return p;
  }();
  return page;
}

int TWin32Backend::ScreenWidth() {
  return GetSystemMetrics(SM_CXSCREEN);
}

int TWin32Backend::ScreenHeight() {
  return GetSystemMetrics(SM_CYSCREEN);
}

TRect TWin32Backend::WorkArea() {
  RECT r{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0))
    return {0, 0, ScreenWidth(), ScreenHeight()};
  return {r.left, r.top, r.right, r.bottom};
}

TRect TWin32Backend::WorkAreaNearest(const TRect& r) {
  // Windows 98 and 2000 on; Windows 95 has the one desktop.
  const TLateFunctions& f = TLateFunctions::Get();
  if (f.monitorFromRect && f.monitorInfo) {
    const RECT rect{r.left, r.top, r.right, r.bottom};
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = f.monitorFromRect(&rect, MONITOR_DEFAULTTONEAREST);
    if (monitor && f.monitorInfo(monitor, &info))
      return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
  }
  return WorkArea();
}

// ---- scale ----

int TWin32Backend::SystemDpi() {
  const TLateFunctions& f = TLateFunctions::Get();
  if (f.forSystem)
    if (int dpi = static_cast<int>(f.forSystem()); dpi > 0) return dpi;
  // Before Windows 10: the screen's logical pixels, the system's scale (96
  // to a program Windows scales as one that knows no other).
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int TWin32Backend::DpiAt(const TRect& r) {
  const TLateFunctions& f = TLateFunctions::Get();
  const RECT rect{r.left, r.top, r.right, r.bottom};
  if (f.monitorFromRect)
    if (int dpi = f.ForMonitor(f.monitorFromRect(&rect, MONITOR_DEFAULTTONEAREST)); dpi > 0)
      return dpi;
  return SystemDpi();
}

int TWin32Backend::WindowDpi(TWindowHandle window) {
  const TLateFunctions& f = TLateFunctions::Get();
  if (f.forWindow)
    if (int dpi = static_cast<int>(f.forWindow(H(window))); dpi > 0) return dpi;
  if (f.monitorFromWindow)
    if (int dpi = f.ForMonitor(f.monitorFromWindow(H(window), MONITOR_DEFAULTTONEAREST)); dpi > 0)
      return dpi;
  return SystemDpi();
}

TPoint TWin32Backend::OuterSize(TWindowHandle window, int width, int height, int dpi) {
  const TLateFunctions& f = TLateFunctions::Get();
  HWND w = H(window);
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(w, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(w, GWL_EXSTYLE));
  RECT r{0, 0, width, height};
  // Before Windows 10 the frame is the system's scale, which is the only one
  // a window has there.
  if (!f.adjustForDpi || !f.adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi)))
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
  return {r.right - r.left, r.bottom - r.top};
}

int TWin32Backend::CaptionWidth(TCaptionBox box, const TFont& font, const std::string& text,
                                int dpi) {
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    shown += text[i];
  }
  HDC dc = GetDC(nullptr);
  if (!dc) return 0;
  HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(FontFor(font.name, font.height, font.bold)));
  SIZE size{}, zero{};
  GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
  GetTextExtentPoint32A(dc, "0", 1, &zero);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  const TLateFunctions& f = TLateFunctions::Get();
  int width = size.cx;
  switch (box) {
    case TCaptionBox::Label:
      // A label's window is a pixel wider than its text (its peer's width).
      width += 1;
      break;
    case TCaptionBox::CheckBox:
      // The box is drawn at the menu check mark's size (13 px at 96 dpi at
      // least), and the text starts half a digit's width after it.
      width += std::max(f.Metric(SM_CXMENUCHECK, dpi), MulDiv(13, dpi, 96)) + zero.cx / 2;
      break;
    case TCaptionBox::PushButton:
      width += 2 * (f.Metric(SM_CXEDGE, dpi) + f.Metric(SM_CXFOCUSBORDER, dpi));
      break;
  }
  return width;
}

// ---- icons ----

TIconHandle TWin32Backend::LoadSystemIcon(int id) {
  return IconHandleOf(LoadIconA(nullptr, MAKEINTRESOURCEA(id)));
}

// The notification area shows its icons at the small-icon size of the
// system's dpi, whatever size an image list was designed at; an icon of
// another size would be stretched there.
TIconHandle TWin32Backend::IconFromImageList(TImageList& list, int index) {
  if (index < 0 || index >= list.Count()) return TIconHandle{};
  return IconHandleOf(
      LoadOwnedIcon(list.ResourceId(index), SM_CXSMICON, IconSize(SM_CXSMICON, SystemDpi())));
}

// This backend's own scale, not a derived backend's: the forms' window class
// takes the icons once, for the life of the process.
TIconHandle TWin32Backend::ProgramIcon(int metric) {
  return IconHandleOf(LoadOwnedIcon(IDI_APP, metric, IconSize(metric, TWin32Backend::SystemDpi())));
}

TIconHandle TWin32Backend::ApplicationIcon() {
  return IconHandleOf(LoadOwnedIcon(IDI_APP, SM_CXSMICON, IconSize(SM_CXSMICON, SystemDpi())));
}

void TWin32Backend::DestroyIcon(TIconHandle icon) {
  if (icon) ::DestroyIcon(NativeIcon(icon));
}

// ---- fonts and brushes ----

uintptr_t TWin32Backend::FontFor(const std::string& name, int height, bool bold) {
  std::string key = name + "|" + std::to_string(height) + (bold ? "|b" : "|n");
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  HFONT font = CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, name.c_str());
  if (!font)
    font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  else
    fonts_[key] = reinterpret_cast<uintptr_t>(font);
  return reinterpret_cast<uintptr_t>(font);
}

uintptr_t TWin32Backend::BrushFor(uint32_t colorRef) {
  auto it = brushes_.find(colorRef);
  if (it != brushes_.end()) return it->second;
  HBRUSH brush = CreateSolidBrush(colorRef);
  brushes_[colorRef] = reinterpret_cast<uintptr_t>(brush);
  return reinterpret_cast<uintptr_t>(brush);
}
