#include "toolkit/headless/HeadlessBackend.h"

#include <chrono>
#include <algorithm>
#include <climits>
#include <stdexcept>

#include "toolkit/Application.h"
#include "toolkit/Forms.h"
#include "toolkit/ImgList.h"
#include "toolkit/Menus.h"

namespace {
class THeadlessFormPeer : public IControlPeer {
 public:
  explicit THeadlessFormPeer(TWindowHandle h) : handle_(h) {}
  TWindowHandle Handle() const override { return handle_; }
  void Changed(TPeerChange) override {}
  intptr_t Perform(uint32_t, uintptr_t, intptr_t) override { return 0; }

 private:
  TWindowHandle handle_;
};

constexpr int64_t kLoopTimeCapMs = 400LL * 24 * 3600 * 1000;  // a runaway loop, not a test
}  // namespace

THeadlessBackend::THeadlessBackend(TVirtualClock& clock) : clock_(clock) {}

THeadlessBackend::~THeadlessBackend() {
  // A post waiting for room gives up; the backend goes only once it has.
  std::unique_lock<std::mutex> lock(mutex_);
  callbacksStopped_ = true;
  room_.notify_all();
  room_.wait(lock, [this] { return waitingForRoom_ == 0; });
}

// ---- time and the loop ----

uintptr_t THeadlessBackend::StartTimer(unsigned intervalMs, std::function<void()> tick) {
  uintptr_t id = nextTimer_++;
  // Once the program has stopped its callbacks a new timer never ticks.
  if (!callbacksStopped_)
    timers_[id] = Timer{intervalMs, clock_.NowMs() + intervalMs, timerSeq_++, std::move(tick)};
  return id;
}

uintptr_t THeadlessBackend::StartExternalTimer(unsigned intervalMs, std::function<void()> tick) {
  uintptr_t id = nextTimer_++;
  timers_[id] = Timer{intervalMs, clock_.NowMs() + intervalMs, timerSeq_++, std::move(tick), true};
  return id;
}

void THeadlessBackend::StopCallbacks() {
  for (auto it = timers_.begin(); it != timers_.end();)
    it = it->second.external ? std::next(it) : timers_.erase(it);
  std::lock_guard<std::mutex> lock(mutex_);
  callbacksStopped_ = true;
  std::erase_if(queue_, [](const auto& item) { return !item.first; });
  room_.notify_all();  // a post waiting for room gives up
}

void THeadlessBackend::StopTimer(uintptr_t id) {
  timers_.erase(id);
}

bool THeadlessBackend::FireOneDueTimer() {
  const int64_t now = clock_.NowMs();
  auto best = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it)
    if (it->second.due <= now &&
        (best == timers_.end() || it->second.due < best->second.due ||
         (it->second.due == best->second.due && it->second.seq < best->second.seq)))
      best = it;
  if (best == timers_.end()) return false;
  Timer& t = best->second;
  // Missed ticks coalesce into one, as a native timer's do.
  do t.due += t.interval;
  while (t.due <= now);
  t.seq = timerSeq_++;
  auto tick = t.tick;  // the tick may stop or restart its own timer
  // Another process's timer has no boundary of the program's.
  if (t.external)
    tick();
  else
    Guard(tick);
  return true;
}

bool THeadlessBackend::RunPosted() {
  std::function<void()> work;
  bool external = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) return false;
    external = queue_.front().first;
    work = std::move(queue_.front().second);
    queue_.pop_front();
  }
  if (external)
    work();
  else
    Guard(work);
  return true;
}

bool THeadlessBackend::AnyProbeBusy() {
  for (auto& p : probes_)
    if (p()) return true;
  return false;
}

void THeadlessBackend::AddBusyProbe(std::function<bool()> busy) {
  probes_.push_back(std::move(busy));
}

void THeadlessBackend::ClearBusyProbes() {
  probes_.clear();
}

void THeadlessBackend::ProcessMessages() {
  while (RunPosted() || FireOneDueTimer()) {
  }
}

void THeadlessBackend::Settle() {
  SettleUntil({});
}

void THeadlessBackend::SettleUntil(const std::function<bool()>& done) {
  for (;;) {
    if (done && done()) return;
    if (RunPosted() || FireOneDueTimer()) continue;
    if (!AnyProbeBusy()) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) return;
      continue;
    }
    // Another thread is still producing: wait (on real time) for its post,
    // looking at the probes again every millisecond in case it went idle
    // without posting anything.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex_);
      if (posted_.wait_for(lock, std::chrono::milliseconds(1), [this] { return !queue_.empty(); }))
        break;
      lock.unlock();
      if (!AnyProbeBusy()) break;
      if (std::chrono::steady_clock::now() > giveUp)
        throw std::logic_error("a producer thread stayed busy without posting for 10 s");
    }
  }
}

void THeadlessBackend::Advance(int64_t ms) {
  const int64_t target = clock_.NowMs() + ms;
  Settle();
  for (;;) {
    int64_t next = target + 1;
    for (auto& [id, t] : timers_)
      if (t.due < next) next = t.due;
    if (next > target) break;
    if (next > clock_.NowMs()) clock_.Set(TDateTime{next});
    Settle();
  }
  if (clock_.NowMs() < target) clock_.Set(TDateTime{target});
  Settle();
}

void THeadlessBackend::RunUntil(const std::function<bool()>& done) {
  ++loopDepth_;
  struct Depth {
    int& d;
    ~Depth() { --d; }
  } depth{loopDepth_};
  const int64_t start = clock_.NowMs();
  for (;;) {
    SettleUntil(done);
    if (done()) return;
    if (loopScript) {
      auto script = loopScript;
      script();
      SettleUntil(done);
      if (done()) return;
    }
    int64_t next = INT64_MAX;
    for (auto& [id, t] : timers_)
      if (t.due < next) next = t.due;
    if (next == INT64_MAX || next - start > kLoopTimeCapMs)
      throw std::logic_error("headless loop cannot finish: nothing left to run");
    if (next > clock_.NowMs()) clock_.Set(TDateTime{next});
  }
}

bool THeadlessBackend::PostToGui(std::function<void()> work, std::unique_lock<std::mutex>* held) {
  auto letGo = [held] {
    if (held && held->owns_lock()) held->unlock();
  };
  std::unique_lock<std::mutex> lock(mutex_);
  if (!callbacksStopped_ && queueFull_ && std::this_thread::get_id() != guiThread_) {
    // Counted while the caller's lock keeps this backend in use; the caller's
    // lock is let go before the wait, as the Windows backend does.
    ++waitingForRoom_;
    letGo();
    room_.wait(lock, [this] { return !queueFull_ || callbacksStopped_; });
    if (--waitingForRoom_ == 0) room_.notify_all();
  }
  letGo();
  if (callbacksStopped_) return false;
  queue_.emplace_back(false, std::move(work));
  // Told under the lock: once it is let go, the backend may be gone.
  posted_.notify_all();
  return true;
}

void THeadlessBackend::SetQueueFull(bool full) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queueFull_ = full;
  }
  room_.notify_all();
}

int THeadlessBackend::PostsWaitingForRoom() {
  std::lock_guard<std::mutex> lock(mutex_);
  return waitingForRoom_;
}

void THeadlessBackend::PostExternal(std::function<void()> work) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.emplace_back(true, std::move(work));
  }
  posted_.notify_all();
}

void THeadlessBackend::Sleep(unsigned ms) {
  clock_.AdvanceMs(ms);
}

uint64_t THeadlessBackend::TickCount() {
  return static_cast<uint64_t>(clock_.NowMs());
}

// ---- user interface stand-ins ----

void THeadlessBackend::PressKey(TForm& form, WORD_T key, char ch, TShiftState shift) {
  // Keys come one after another: what the last one left is dispatched first.
  ProcessMessages();
  TWinControl* target = form.ActiveControl();
  if (!target) target = &form;
  const bool kept = target->TypeKey(key, shift);
  if (!kept && target != &form && form.ActiveControl() != target) return;
  if (ch) PostToGui([target, ch] { target->TypeChar(ch); });
}

int THeadlessBackend::MessageBox(TWindowHandle owner, const std::string& text,
                                 const std::string& caption, unsigned flags) {
  messageBoxes.push_back({text, caption, flags});
  // A copy: the answer may run the box's loop, and a box shown there is
  // recorded too.
  const TRecordedMessageBox box = messageBoxes.back();
  return messageBoxAnswer ? messageBoxAnswer(box) : IDOK_T;
}

std::unique_ptr<IControlPeer> THeadlessBackend::CreatePeer(TControl& control) {
  if (dynamic_cast<TForm*>(&control))
    return std::make_unique<THeadlessFormPeer>(TWindowHandle(nextHandle_++));
  return nullptr;
}

TMenuItem* THeadlessBackend::TrackPopupMenu(TPopupMenu& menu, int x, int y, TWindowHandle owner) {
  // The steps of the Windows backend, each recorded: the owner to the
  // foreground, the menu with its alignment, the message after it.
  TApplication* app = Application();
  const TWindowHandle window = owner ? owner : app ? app->Handle() : TWindowHandle{};
  if (window) SetForegroundWindow(window);
  const unsigned align = menuDropAlignment != 0 ? kMenuRightAlign : kMenuLeftAlign;
  windowCalls.push_back({"TrackPopupMenu", owner, x, y, static_cast<intptr_t>(align)});
  TMenuItem* chosen = popupScript ? popupScript(menu, x, y) : nullptr;
  if (window) PostMessage(window, WM_NULL_T, 0, 0);
  return chosen;
}

TWindowHandle THeadlessBackend::CreateHiddenWindow(TWndProc proc) {
  const TWindowHandle h(nextHandle_++);
  hidden_[h] = std::move(proc);
  return h;
}

void THeadlessBackend::DestroyHiddenWindow(TWindowHandle window) {
  hidden_.erase(window);
  // The filter goes with its window.
  for (auto it = filterAllowed.begin(); it != filterAllowed.end();)
    it = it->first == window ? filterAllowed.erase(it) : std::next(it);
}

int THeadlessBackend::BroadcastFromShell(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::vector<TWindowHandle> windows;
  for (const auto& entry : hidden_) windows.push_back(entry.first);
  int reached = 0;
  for (TWindowHandle window : windows) {
    if (elevated && message >= WM_USER_T && filterAllowed.count({window, message}) == 0) continue;
    if (hidden_.count(window) == 0) continue;  // an earlier handler destroyed it
    ++reached;
    DeliverToHiddenWindow(window, message, wParam, lParam);
  }
  return reached;
}

intptr_t THeadlessBackend::DeliverToHiddenWindow(TWindowHandle window, uint32_t message,
                                                 uintptr_t wParam, intptr_t lParam) {
  auto it = hidden_.find(window);
  if (it == hidden_.end() || callbacksStopped_) return 0;
  auto proc = it->second;  // the handler may destroy its own window
  intptr_t result = 0;
  Guard([&] { result = proc(message, wParam, lParam); });
  return result;
}

intptr_t THeadlessBackend::SendMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                                       intptr_t lParam) {
  // The main window's messages reach the application's hooks first, inside
  // the callback boundary, as the form's window procedure passes them on.
  TApplication* app = Application();
  if (app && window && window == app->Handle()) {
    intptr_t result = 0;
    Guard([&] {
      if (!app->MainWindowHook(message, wParam, lParam, result)) result = 0;
    });
    return result;
  }
  return DeliverToHiddenWindow(window, message, wParam, lParam);
}

bool THeadlessBackend::PostMessage(TWindowHandle window, uint32_t message, uintptr_t wParam,
                                   intptr_t lParam) {
  windowCalls.push_back({"PostMessage", window, static_cast<intptr_t>(message),
                         static_cast<intptr_t>(wParam), lParam});
  if (hidden_.count(window))
    PostToGui([this, window, message, wParam, lParam] {
      DeliverToHiddenWindow(window, message, wParam, lParam);
    });
  return true;
}

uint32_t THeadlessBackend::RegisterWindowMessage(const std::string& name) {
  auto it = registeredMessages_.find(name);
  if (it != registeredMessages_.end()) return it->second;
  uint32_t id = 0xC000 + static_cast<uint32_t>(registeredMessages_.size());
  registeredMessages_[name] = id;
  return id;
}

bool THeadlessBackend::AllowMessageThroughFilter(TWindowHandle window, uint32_t message) {
  // The call fails for a window that does not exist.
  if (!hasMessageFilter || hidden_.count(window) == 0) return false;
  filterAllowed.insert({window, message});
  return true;
}

bool THeadlessBackend::RegisterHotKey(TWindowHandle window, int id, unsigned modifiers,
                                      unsigned vk) {
  if (refuseHotKeys) return false;
  hotKeys[{window, id}] = {modifiers, vk};
  return true;
}

bool THeadlessBackend::UnregisterHotKey(TWindowHandle window, int id) {
  return hotKeys.erase({window, id}) != 0;
}

bool THeadlessBackend::SetForegroundWindow(TWindowHandle window) {
  windowCalls.push_back({"SetForegroundWindow", window, 0, 0, 0});
  return true;
}

bool THeadlessBackend::ShowWindow(TWindowHandle window, int command) {
  windowCalls.push_back({"ShowWindow", window, command, 0, 0});
  bool wasVisible = IsWindowVisible(window);
  windowState_[window] = command;
  return wasVisible;
}

bool THeadlessBackend::SetWindowPos(TWindowHandle window, intptr_t insertAfter, int x, int y,
                                    int cx, int cy, unsigned flags) {
  windowCalls.push_back({"SetWindowPos", window, insertAfter, static_cast<intptr_t>(flags), 0});
  return true;
}

bool THeadlessBackend::IsWindowVisible(TWindowHandle window) {
  auto it = windowState_.find(window);
  return it == windowState_.end() || it->second != 0 /* SW_HIDE */;
}

bool THeadlessBackend::IsIconic(TWindowHandle window) {
  auto it = windowState_.find(window);
  return it != windowState_.end() && (it->second == 6 || it->second == 2);
}

int THeadlessBackend::LastShowCommand(TWindowHandle window) const {
  auto it = windowState_.find(window);
  return it == windowState_.end() ? -1 : it->second;
}

TIconHandle THeadlessBackend::LoadOwnedIcon(int resource) {
  // SM_CXSMICON at the system's dpi: 16 pixels at 96, scaled and rounded as
  // MulDiv does (20, 24 and 32 at 120, 144 and 192).
  const int size = (16 * systemDpi + 48) / 96;
  const TIconHandle h(nextHandle_++);
  icons_[h] = {resource, size, true};
  ++liveIcons_;
  return h;
}

TIconHandle THeadlessBackend::IconFromImageList(TImageList& list, int index) {
  if (index < 0 || index >= list.Count()) return TIconHandle{};
  return LoadOwnedIcon(list.ResourceId(index));
}

TIconHandle THeadlessBackend::ApplicationIcon() {
  return LoadOwnedIcon(1);
}

void THeadlessBackend::DestroyIcon(TIconHandle icon) {
  destroyedIcons.push_back(icon);
  auto it = icons_.find(icon);
  if (it == icons_.end() || !it->second.live) return;
  --liveIcons_;
  if (keepReleasedIcons)
    it->second.live = false;
  else
    icons_.erase(it);
}

int THeadlessBackend::IconResourceOf(TIconHandle icon) const {
  auto it = icons_.find(icon);
  return it == icons_.end() ? 0 : it->second.resource;
}

int THeadlessBackend::IconSizeOf(TIconHandle icon) const {
  auto it = icons_.find(icon);
  return it == icons_.end() ? 0 : it->second.size;
}

const THeadlessBackend::TMonitor* THeadlessBackend::MonitorNearest(const TRect& r) const {
  // As MonitorFromRect with MONITOR_DEFAULTTONEAREST: the monitor the
  // rectangle overlaps most; overlapping none, the one closest to it.
  if (monitors.empty()) return nullptr;
  const auto gap = [](int lo1, int hi1, int lo2, int hi2) {
    return std::max({0, lo2 - hi1, lo1 - hi2});
  };
  const TMonitor* best = &monitors.front();
  int64_t bestOverlap = -1, bestDistance = INT64_MAX;
  for (const TMonitor& m : monitors) {
    const int64_t w = std::min(r.right, m.bounds.right) - std::max(r.left, m.bounds.left);
    const int64_t h = std::min(r.bottom, m.bounds.bottom) - std::max(r.top, m.bounds.top);
    const int64_t overlap = w > 0 && h > 0 ? w * h : 0;
    const int64_t dx = gap(r.left, r.right, m.bounds.left, m.bounds.right);
    const int64_t dy = gap(r.top, r.bottom, m.bounds.top, m.bounds.bottom);
    const int64_t distance = dx * dx + dy * dy;
    if (overlap > bestOverlap || (overlap == 0 && bestOverlap == 0 && distance < bestDistance)) {
      best = &m;
      bestOverlap = overlap;
      bestDistance = distance;
    }
  }
  return best;
}

TRect THeadlessBackend::WorkAreaNearest(const TRect& r) {
  const TMonitor* m = MonitorNearest(r);
  return m ? m->work : workArea;
}

void THeadlessBackend::FormMoved(TForm& form) {
  const TRect r = form.BoundsRect();
  const int dpi = DpiAt(r);
  if (dpi == form.Dpi()) return;
  form.DpiChanged(dpi, {r.left, r.top, r.left + ScaleForDpi(r.right - r.left, dpi, form.Dpi()),
                        r.top + ScaleForDpi(r.bottom - r.top, dpi, form.Dpi())});
}

int THeadlessBackend::CaptionWidth(TCaptionBox box, const TFont& font, const std::string& text,
                                   int dpi) {
  int chars = 0;
  for (size_t i = 0; i < text.size(); ++i, ++chars)
    if (text[i] == '&' && i + 1 < text.size()) ++i;
  const int height = font.height < 0 ? -font.height : font.height;
  int width = chars * height * 4 * captionWidthPercent / (11 * 100);
  if (box == TCaptionBox::CheckBox) width += ScaleForDpi(16, dpi);
  if (box == TCaptionBox::PushButton) width += ScaleForDpi(6, dpi);
  return width;
}

int THeadlessBackend::DpiAt(const TRect& r) {
  const TMonitor* m = MonitorNearest(r);
  return m ? m->dpi : systemDpi;
}
