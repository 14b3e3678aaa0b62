// What a toolkit backend provides: timers, the message loop, the thread-safe
// post, message boxes, native peers for controls, and the window-manager calls
// the components need (hidden windows, hot keys, cursor, icons, menus).
// The headless backend runs on a virtual clock; the Win32 backend is real.
#pragma once
#include <compare>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include "platform/WinConstants.h"  // message boxes, window messages, placement
#include "toolkit/CodePage.h"

class TApplication;
class TControl;
class TForm;
class TPopupMenu;
class TMenuItem;
class TImageList;

// A handle of the backend, of one kind: the tag keeps a window from being
// passed where an icon is meant. It is made from the system's value only on
// purpose (explicitly) and hands it back through Raw(); 0 is no handle.
template <class Tag>
class TBackendHandle {
 public:
  constexpr TBackendHandle() = default;
  constexpr explicit TBackendHandle(uintptr_t raw) : raw_(raw) {}
  constexpr uintptr_t Raw() const { return raw_; }
  constexpr explicit operator bool() const { return raw_ != 0; }
  // Ordered, so that a handle can key a map. (clang-tidy reads the defaulted
  // comparison's own 0 as a null pointer.)
  // NOLINTNEXTLINE(modernize-use-nullptr)
  friend constexpr auto operator<=>(const TBackendHandle&, const TBackendHandle&) = default;

 private:
  uintptr_t raw_ = 0;
};
using TWindowHandle = TBackendHandle<struct TWindowHandleTag>;
using TIconHandle = TBackendHandle<struct TIconHandleTag>;

// How a popup menu stands to its point across: TrackPopupMenu's
// TPM_LEFTALIGN and TPM_RIGHTALIGN.
inline constexpr unsigned kMenuLeftAlign = 0x0000;
inline constexpr unsigned kMenuRightAlign = 0x0008;

// The window class of every form's native window (the Windows backend's):
// another process finds Quindle's main window by it and the caption.
inline constexpr char kFormWindowClass[] = "QuindleForm";

struct TFont;

// What surrounds a caption in its control, for measuring the room it needs.
enum class TCaptionBox { Label, CheckBox, PushButton };

struct TPoint {
  int x = 0, y = 0;
};
struct TRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// What changed on a control model, for its native peer to follow.
enum class TPeerChange {
  Bounds,
  Caption,
  Enabled,
  Visible,
  Checked,
  Items,
  ItemIndex,
  Text,
  LinesAdded,
  LinesCleared,
  LinesDropped,
  ReadOnly,
  Font,
  Color,
  PasswordChar,
  MaxLength,
  Default,
  Selection,
  Repaint,
  TopMost,
  Focus
};

// The native side of one control (or form). Created by the backend when the
// form's windows are made; a headless backend gives none.
class IControlPeer {
 public:
  virtual ~IControlPeer() = default;
  virtual TWindowHandle Handle() const = 0;
  virtual void Changed(TPeerChange what) = 0;
  // Sends a message to the native control and returns its result.
  virtual intptr_t Perform(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

// A hidden window's message handler: (message, wParam, lParam) -> result.
using TWndProc = std::function<intptr_t(uint32_t, uintptr_t, intptr_t)>;

class IBackend {
 public:
  virtual ~IBackend() = default;

  // The application whose HandleException receives what escapes a callback
  // (the application sets itself while it lives; none: what escapes is dropped).
  void SetApplication(TApplication* app) { app_ = app; }
  TApplication* Application() const { return app_; }
  // The one callback boundary, which each backend's dispatch runs every
  // callback through (a timer tick, posted work, a window's or a hidden
  // window's handler): what escapes goes to the application's
  // HandleException, and the loop goes on. Nothing unwinds into the loop or
  // through the system.
  void Guard(const std::function<void()>& fn) noexcept;

  // Timers: `tick` runs on the GUI thread every `intervalMs` until stopped.
  virtual uintptr_t StartTimer(unsigned intervalMs, std::function<void()> tick) = 0;
  virtual void StopTimer(uintptr_t id) = 0;

  // Dispatches what is pending (posted work, due timers, window messages).
  virtual void ProcessMessages() = 0;
  // Runs the message loop until `done` returns true (modal and main loops).
  virtual void RunUntil(const std::function<bool()>& done) = 0;
  // Thread-safe: `work` runs on the GUI thread from the message loop. False
  // when it never will: the program has stopped its callbacks. On another
  // thread, a post that the GUI thread's full queue refuses is made again
  // until the queue takes it (or the callbacks stop); the backend waits for
  // such a post before it goes.
  bool PostToGui(std::function<void()> work) { return PostToGui(std::move(work), nullptr); }
  // The same for a caller that holds a lock the GUI thread may wait for:
  // `held` is let go once the work is queued, before the post is made or
  // made again, so that nobody waiting for that lock waits for the queue.
  // It is unlocked when this returns.
  virtual bool PostToGui(std::function<void()> work, std::unique_lock<std::mutex>* held) = 0;
  // Blocks the GUI thread without dispatching anything.
  virtual void Sleep(unsigned ms) = 0;
  // The program is on its way out: from here on no timer ticks, no posted
  // work runs and no hidden window's handler is called, so that nothing can
  // reach a form that is being saved or freed (an error box shown on the way
  // out runs a message loop). Timers started afterwards never tick.
  virtual void StopCallbacks() = 0;
  // Milliseconds of a monotonic clock (the virtual one when headless).
  virtual uint64_t TickCount() = 0;

  virtual int MessageBox(TWindowHandle owner, const std::string& text, const std::string& caption,
                         unsigned flags) = 0;

  // Native peers. Forms are created before their controls.
  virtual std::unique_ptr<IControlPeer> CreatePeer(TControl& control) = 0;
  // Runs a popup menu at a screen position; returns when it has closed, with
  // the chosen item (or null). A menu of a window that is not in front (the
  // notification icon's, whose window is hidden) would not close at a click
  // elsewhere: the owner is brought to the foreground first, and a message
  // posted to it once the menu is done lets the next menu open as it should.
  // The menu stands left or right of x as the system drops its menus
  // (GetSystemMetrics(SM_MENUDROPALIGNMENT)). No owner: the main window's.
  virtual TMenuItem* TrackPopupMenu(TPopupMenu& menu, int x, int y, TWindowHandle owner) = 0;

  // Hidden windows for component callbacks; top-level so that shell
  // broadcasts reach them.
  virtual TWindowHandle CreateHiddenWindow(TWndProc proc) = 0;
  virtual void DestroyHiddenWindow(TWindowHandle window) = 0;
  virtual intptr_t DefWindowProc(TWindowHandle window, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) = 0;
  virtual intptr_t SendMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) = 0;
  virtual bool PostMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) = 0;
  virtual uint32_t RegisterWindowMessage(const std::string& name) = 0;
  // ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr):
  // `message` reaches `window` even when a process of lower integrity sends
  // it (the shell, to an elevated program). False when the system has no
  // such filter to open (before Windows 7) or refused the change.
  virtual bool AllowMessageThroughFilter(TWindowHandle window, uint32_t message) = 0;

  virtual bool RegisterHotKey(TWindowHandle window, int id, unsigned modifiers, unsigned vk) = 0;
  virtual bool UnregisterHotKey(TWindowHandle window, int id) = 0;
  virtual TPoint GetCursorPos() = 0;
  virtual bool SetForegroundWindow(TWindowHandle window) = 0;
  virtual bool ShowWindow(TWindowHandle window, int command) = 0;
  virtual bool SetWindowPos(TWindowHandle window, intptr_t insertAfter, int x, int y, int cx,
                            int cy, unsigned flags) = 0;
  virtual bool IsWindowVisible(TWindowHandle window) = 0;
  virtual bool IsIconic(TWindowHandle window) = 0;
  virtual TWindowHandle GetFocus() = 0;
  // The clipboard's text (CF_TEXT, ANSI), empty when it holds none; and
  // putting a text there for the edit fields' copy and cut.
  virtual std::string ClipboardText() = 0;
  virtual void SetClipboardText(const std::string& text) = 0;
  // The ANSI code page the native controls' text is in (GetCPInfo on CP_ACP).
  virtual TAnsiCodePage AnsiCodePage() = 0;
  virtual int ScreenWidth() = 0;
  virtual int ScreenHeight() = 0;
  virtual TRect WorkArea() = 0;
  // The work area of the monitor nearest to `r` (the one it overlaps most,
  // or else the closest); the desktop's work area where the system has no
  // monitor functions.
  virtual TRect WorkAreaNearest(const TRect& r) = 0;

  // Dots per inch (96 is a scale of 100 %). The system's is the primary
  // monitor's scale when the user signed in: the notification area and the
  // system's metrics follow it. A monitor may have a scale of its own
  // (Windows 8.1 on); where the system has none, every monitor has the
  // system's.
  virtual int SystemDpi() = 0;
  // The scale of the monitor nearest to `r`, as WorkAreaNearest picks it.
  virtual int DpiAt(const TRect& r) = 0;
  // The scale a window is drawn at.
  virtual int WindowDpi(TWindowHandle window) = 0;
  // The program moved or sized a form whose windows are made. Windows tells
  // a window that comes onto a monitor of another scale itself
  // (WM_DPICHANGED); a backend without such a system tells the form the same.
  virtual void FormMoved(TForm& form) {}
  // The width a control of this kind needs to show `text` whole in `font` at
  // `dpi`: the text as drawn (an '&' marks the next letter), and for a check
  // box or radio button its box and the gap before the text, for a push
  // button its edges.
  virtual int CaptionWidth(TCaptionBox box, const TFont& font, const std::string& text,
                           int dpi) = 0;

  // Icons: a shared system icon (not to be destroyed), an owned copy of an
  // image-list entry or of the application icon, and the release of an owned
  // one. The owned ones are for the notification area and are loaded at its
  // size, the small-icon size at the system's dpi (16 pixels at 96 dpi, 24
  // at 144), whatever size the image list names, so that the shell shows
  // them unstretched.
  virtual TIconHandle LoadSystemIcon(int id) = 0;
  virtual TIconHandle IconFromImageList(TImageList& list, int index) = 0;
  virtual TIconHandle ApplicationIcon() = 0;
  virtual void DestroyIcon(TIconHandle icon) = 0;

 private:
  TApplication* app_ = nullptr;
};
