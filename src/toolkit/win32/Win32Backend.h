// The toolkit's Windows backend: real windows and controls through the ANSI
// API, timers and the thread-safe post on a message-only utility window, and
// the window-manager calls the components need.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include "toolkit/Backend.h"

class TApplication;
class TWin32FormPeer;

class TWin32Backend : public IBackend {
 public:
  TWin32Backend();
  ~TWin32Backend() override;
  TWin32Backend(const TWin32Backend&) = delete;
  TWin32Backend& operator=(const TWin32Backend&) = delete;

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
  std::unique_ptr<IControlPeer> CreatePeer(TControl& control) override;
  TMenuItem* TrackPopupMenu(TPopupMenu& menu, int x, int y, TWindowHandle owner) override;
  TWindowHandle CreateHiddenWindow(TWndProc proc) override;
  void DestroyHiddenWindow(TWindowHandle window) override;
  intptr_t DefWindowProc(TWindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override;
  intptr_t SendMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                       intptr_t lParam) override;
  bool PostMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                   intptr_t lParam) override;
  uint32_t RegisterWindowMessage(const std::string& name) override;
  bool AllowMessageThroughFilter(TWindowHandle window, uint32_t message) override;
  bool RegisterHotKey(TWindowHandle window, int id, unsigned modifiers, unsigned vk) override;
  bool UnregisterHotKey(TWindowHandle window, int id) override;
  TPoint GetCursorPos() override;
  bool SetForegroundWindow(TWindowHandle window) override;
  bool ShowWindow(TWindowHandle window, int command) override;
  bool SetWindowPos(TWindowHandle window, intptr_t insertAfter, int x, int y, int cx, int cy,
                    unsigned flags) override;
  bool IsWindowVisible(TWindowHandle window) override;
  bool IsIconic(TWindowHandle window) override;
  TWindowHandle GetFocus() override;
  std::string ClipboardText() override;
  void SetClipboardText(const std::string& text) override;
  TAnsiCodePage AnsiCodePage() override;
  int ScreenWidth() override;
  int ScreenHeight() override;
  TRect WorkArea() override;
  TRect WorkAreaNearest(const TRect& r) override;
  int SystemDpi() override;
  int DpiAt(const TRect& r) override;
  int WindowDpi(TWindowHandle window) override;
  int CaptionWidth(TCaptionBox box, const TFont& font, const std::string& text, int dpi) override;
  TIconHandle LoadSystemIcon(int id) override;
  TIconHandle IconFromImageList(TImageList& list, int index) override;
  TIconHandle ApplicationIcon() override;
  void DestroyIcon(TIconHandle icon) override;

  // ---- for the peers ----
  // A font and a solid brush for these values, made once and kept until the
  // backend goes.
  uintptr_t FontFor(const std::string& name, int height, bool bold);
  uintptr_t BrushFor(uint32_t colorRef);
  // The outer size of `window` (its styles, no menu) for a client area of
  // `width` x `height` at `dpi`: the frame and caption at that scale.
  TPoint OuterSize(TWindowHandle window, int width, int height, int dpi);
  // An owned icon of the program at the system's size of `metric`
  // (SM_CXICON, SM_CXSMICON), for the forms' window class.
  TIconHandle ProgramIcon(int metric);
  // Forms with a native window, for the modal disabling of the others.
  void AddForm(TWin32FormPeer* peer) { forms_.insert(peer); }
  void RemoveForm(TWin32FormPeer* peer) { forms_.erase(peer); }
  const std::set<TWin32FormPeer*>& Forms() const { return forms_; }
  // True while a peer's window is being destroyed: its messages are not
  // routed to models that may be half gone.
  bool Destroying() const { return destroying_ > 0; }
  void BeginDestroy() { ++destroying_; }
  void EndDestroy() { --destroying_; }

  bool CallbacksStopped() const { return timersStopped_; }
  // The utility window's procedure (timers and posted work).
  intptr_t UtilityMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // A hidden window's procedure.
  static intptr_t HiddenMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam);

 protected:
  // Posts the utility window's wake-up for posted work; false when the queue
  // refused it. (A test makes it fail as a full queue would.)
  virtual bool PostWake();

 private:
  // The timer that stands in for a wake-up the queue refused to the GUI thread.
  static constexpr uintptr_t kWakeTimer = ~uintptr_t{0} - 1;
  void RunPosted();

  TWindowHandle utility_;  // message-only window: timers and posted work
  unsigned long guiThread_ = 0;
  std::map<uintptr_t, std::shared_ptr<std::function<void()>>> timers_;
  uintptr_t nextTimer_ = 1;

  std::mutex postMutex_;
  std::deque<std::function<void()>> posted_;
  bool wakePending_ = false;
  int posting_ = 0;  // wake-ups being made outside the lock
  std::condition_variable postingDone_;
  bool closing_ = false;  // no more posted work: the program is on its way out
  bool timersStopped_ = false;

  std::map<std::string, uintptr_t> fonts_;
  std::map<uint32_t, uintptr_t> brushes_;
  std::set<TWin32FormPeer*> forms_;
  int destroying_ = 0;
};
