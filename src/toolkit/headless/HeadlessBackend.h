// The backend for tests: no windows, a virtual clock, real nested loops,
// recorded message boxes and scripted modal dialogs and menus. Timer ticks,
// posted work and hidden windows' handlers pass the same callback boundary
// as on Windows, so a test sees the report Windows would show.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include "platform/memory/VirtualClock.h"
#include "toolkit/Backend.h"
#include "toolkit/Events.h"

struct TRecordedMessageBox {
  std::string text;
  std::string caption;
  unsigned flags = 0;
};

struct TRecordedWindowCall {
  // "ShowWindow", "SetForegroundWindow", "PostMessage", "SetWindowPos",
  // "TrackPopupMenu" (a, b: the point; c: kMenuLeftAlign or kMenuRightAlign)
  std::string call;
  TWindowHandle window;
  intptr_t a = 0, b = 0, c = 0;
};

class THeadlessBackend : public IBackend {
 public:
  explicit THeadlessBackend(TVirtualClock& clock);
  ~THeadlessBackend() override;

  // ---- test control ----
  TVirtualClock& Clock() { return clock_; }
  // Moves virtual time forward, firing due timers in time order and running
  // posted work (waiting for busy producers on other threads) after each.
  void Advance(int64_t ms);
  // Runs posted work and due timers until nothing is left at this moment.
  void Settle();
  // A producer on another thread that may still post: while it reports busy,
  // Settle waits for its posts instead of returning.
  void AddBusyProbe(std::function<bool()> busy);
  void ClearBusyProbes();
  // Timers and posts of a process other than the program's (the simulated
  // RAS service): they keep running after the program stops its callbacks.
  uintptr_t StartExternalTimer(unsigned intervalMs, std::function<void()> tick);
  void PostExternal(std::function<void()> work);
  bool CallbacksStopped() const { return callbacksStopped_; }
  // The GUI thread's queue is full, as a Windows queue past its limit of
  // posted messages: another thread's post waits until there is room again
  // (the Windows backend's retries), its work queued only then; the GUI
  // thread's own post is queued (a timer stands in for it on Windows).
  void SetQueueFull(bool full);
  // Posts of other threads waiting for room in the queue.
  int PostsWaitingForRoom();

  std::vector<TRecordedMessageBox> messageBoxes;
  // Answer for each message box (default IDOK).
  std::function<int(const TRecordedMessageBox&)> messageBoxAnswer;
  // Runs when a modal or main loop starts waiting; it should act and end the
  // loop (close the dialog). Without a script a loop that cannot finish by
  // advancing time throws std::logic_error.
  std::function<void()> loopScript;
  // Chooses the item of a popup menu (null: the menu is dismissed). It runs
  // while the menu is open: after the owner was brought to the foreground,
  // before the message posted to it once the menu is done.
  std::function<TMenuItem*(TPopupMenu&, int, int)> popupScript;
  // What GetSystemMetrics(SM_MENUDROPALIGNMENT) answers: nonzero when the
  // system drops its menus right-aligned (a right-to-left layout, or a
  // tablet set for the left hand).
  int menuDropAlignment = 0;
  std::vector<TRecordedWindowCall> windowCalls;
  TPoint cursorPos{100, 100};
  int screenWidth = 1024, screenHeight = 768;
  TRect workArea{0, 0, 1024, 738};
  // The monitors, each with its bounds and work area; none: the one screen
  // above.
  struct TMonitor {
    TRect bounds, work;
    int dpi = 96;
  };
  std::vector<TMonitor> monitors;
  // The system's dpi, which is also the one screen's when no monitors are set.
  int systemDpi = 96;
  TWindowHandle focusWindow;
  // The clipboard's text.
  std::string clipboard;
  // A key as the keyboard makes it, after what the keys before it left has
  // been dispatched: its key-down goes to the form's focused control, and the character it makes
  // (`ch`, 0 for none) is queued behind it for the same control, as the loop's TranslateMessage
  // posts it: it arrives after whatever the key-down started has returned (a modal loop that the
  // key-down ended, a dialog hidden since). A key whose handler dropped it and took the focus
  // from its control leaves no character there, as the Windows backend removes it.
  void PressKey(TForm& form, WORD_T key, char ch = 0, TShiftState shift = 0);
  // The system's ANSI code page, in which the controls hand out their text.
  TAnsiCodePage ansiCodePage = TAnsiCodePage::Western();
  std::map<std::pair<TWindowHandle, int>, std::pair<unsigned, unsigned>> hotKeys;
  bool refuseHotKeys = false;
  int liveIcons() const { return liveIcons_; }
  // Every DestroyIcon call, in order, of a live icon or not: an icon
  // destroyed twice is there twice.
  std::vector<TIconHandle> destroyedIcons;
  // Delivers a message to a hidden window as the system would.
  intptr_t DeliverToHiddenWindow(TWindowHandle window, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam);
  bool HiddenWindowExists(TWindowHandle window) const { return hidden_.count(window) != 0; }
  // The program runs elevated: a message from WM_USER up that a process of
  // lower integrity sends (the shell's broadcasts) reaches a window only
  // when that window's filter lets it through; those below WM_USER always
  // pass.
  bool elevated = false;
  // The system has the window message filter (Windows 7 and later).
  bool hasMessageFilter = true;
  // The messages each window's filter lets through: (window, message).
  std::set<std::pair<TWindowHandle, uint32_t>> filterAllowed;
  // The shell sends `message` to every top-level window, as its broadcasts
  // do (each hidden window here); the number of windows it reached.
  int BroadcastFromShell(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
  int TimerCount() const { return static_cast<int>(timers_.size()); }
  // What an owned icon handle was made from: its resource id, and the width
  // and height in pixels it was loaded at, the small-icon size at systemDpi
  // then, as Windows scales SM_CXSMICON (16 at 96 dpi). Both 0 for system
  // icons and for released ones, unless keepReleasedIcons holds: then a
  // released icon is still known (the handles are never reused), so that
  // the records the shell received earlier can be read.
  int IconResourceOf(TIconHandle icon) const;
  int IconSizeOf(TIconHandle icon) const;
  bool keepReleasedIcons = false;
  // The last ShowWindow command given to a window (-1 when none).
  int LastShowCommand(TWindowHandle window) const;

  // ---- IBackend ----
  uintptr_t StartTimer(unsigned intervalMs, std::function<void()> tick) override;
  void StopTimer(uintptr_t id) override;
  void ProcessMessages() override;
  void RunUntil(const std::function<bool()>& done) override;
  using IBackend::PostToGui;
  bool PostToGui(std::function<void()> work, std::unique_lock<std::mutex>* held) override;
  void Sleep(unsigned ms) override;
  void StopCallbacks() override;
  uint64_t TickCount() override;
  int MessageBox(TWindowHandle owner, const std::string& text, const std::string& caption,
                 unsigned flags) override;
  // Forms get a stand-in window handle; controls get no peer.
  std::unique_ptr<IControlPeer> CreatePeer(TControl& control) override;
  TMenuItem* TrackPopupMenu(TPopupMenu& menu, int x, int y, TWindowHandle owner) override;
  TWindowHandle CreateHiddenWindow(TWndProc proc) override;
  void DestroyHiddenWindow(TWindowHandle window) override;
  intptr_t DefWindowProc(TWindowHandle, uint32_t, uintptr_t, intptr_t) override { return 0; }
  intptr_t SendMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                       intptr_t lParam) override;
  bool PostMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                   intptr_t lParam) override;
  uint32_t RegisterWindowMessage(const std::string& name) override;
  bool AllowMessageThroughFilter(TWindowHandle window, uint32_t message) override;
  bool RegisterHotKey(TWindowHandle window, int id, unsigned modifiers, unsigned vk) override;
  bool UnregisterHotKey(TWindowHandle window, int id) override;
  TPoint GetCursorPos() override { return cursorPos; }
  bool SetForegroundWindow(TWindowHandle window) override;
  bool ShowWindow(TWindowHandle window, int command) override;
  bool SetWindowPos(TWindowHandle window, intptr_t insertAfter, int x, int y, int cx, int cy,
                    unsigned flags) override;
  bool IsWindowVisible(TWindowHandle window) override;
  bool IsIconic(TWindowHandle window) override;
  TWindowHandle GetFocus() override { return focusWindow; }
  std::string ClipboardText() override { return clipboard; }
  void SetClipboardText(const std::string& text) override { clipboard = text; }
  TAnsiCodePage AnsiCodePage() override { return ansiCodePage; }
  int ScreenWidth() override { return screenWidth; }
  int ScreenHeight() override { return screenHeight; }
  TRect WorkArea() override { return workArea; }
  TRect WorkAreaNearest(const TRect& r) override;
  int SystemDpi() override { return systemDpi; }
  int DpiAt(const TRect& r) override;
  int WindowDpi(TWindowHandle window) override { return systemDpi; }
  // As Windows tells a window moved onto a monitor of another scale, with
  // the rectangle it suggests: the same top left corner, the size scaled.
  void FormMoved(TForm& form) override;
  // Text is 4 px a character for a font of 11 px, in proportion to the
  // font's height; `captionWidthPercent` makes it wider, as a substitute font
  // that is wider than the design's. A check box takes 16 px at 96 dpi
  // before its text, a push button 6 px of edges.
  int CaptionWidth(TCaptionBox box, const TFont& font, const std::string& text, int dpi) override;
  int captionWidthPercent = 100;
  TIconHandle LoadSystemIcon(int id) override { return TIconHandle(0x10000 + id); }
  TIconHandle IconFromImageList(TImageList& list, int index) override;
  TIconHandle ApplicationIcon() override;
  void DestroyIcon(TIconHandle icon) override;

 private:
  struct Timer {
    unsigned interval;
    int64_t due;
    uint64_t seq;
    std::function<void()> tick;
    bool external = false;
  };
  bool RunPosted();
  bool FireOneDueTimer();
  // Settle, but returning as soon as `done` holds after any one item: a
  // native loop looks at its condition after each message it dispatched.
  void SettleUntil(const std::function<bool()>& done);
  bool AnyProbeBusy();
  // The monitor MonitorFromRect with MONITOR_DEFAULTTONEAREST gives; none
  // when no monitors are set.
  const TMonitor* MonitorNearest(const TRect& r) const;

  TVirtualClock& clock_;
  std::map<uintptr_t, Timer> timers_;
  uintptr_t nextTimer_ = 1;
  uint64_t timerSeq_ = 0;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::condition_variable room_;  // the queue has room, or the callbacks stopped
  bool queueFull_ = false;
  int waitingForRoom_ = 0;
  std::thread::id guiThread_ = std::this_thread::get_id();
  // Posted work; `true` marks work of another process.
  std::deque<std::pair<bool, std::function<void()>>> queue_;
  std::vector<std::function<bool()>> probes_;
  std::map<TWindowHandle, TWndProc> hidden_;
  std::map<TWindowHandle, int> windowState_;  // last ShowWindow command per window
  struct TLoadedIcon {
    int resource;
    int size;
    bool live;
  };
  TIconHandle LoadOwnedIcon(int resource);
  std::map<TIconHandle, TLoadedIcon> icons_;
  uintptr_t nextHandle_ = 0x1000;  // windows and icons, never reused
  std::map<std::string, uint32_t> registeredMessages_;
  int liveIcons_ = 0;
  int loopDepth_ = 0;
  bool callbacksStopped_ = false;
};
