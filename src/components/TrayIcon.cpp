#include "components/TrayIcon.h"

#include <algorithm>
#include <cstring>

#include "toolkit/Application.h"
#include "toolkit/ImgList.h"
#include "toolkit/Menus.h"
#include "toolkit/Timer.h"

namespace {

constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

template <size_t N>
void CopyTip(char (&tip)[N], const std::string& hint) {
  // The shell shows at most N - 1 characters; a longer hint is cut there.
  size_t n = std::min(hint.size(), N - 1);
  std::memcpy(tip, hint.data(), n);
  tip[n] = '\0';
}

}  // namespace

int SystemIconId(TIDI_Icons icon) {
  switch (icon) {
    case idiAPPLICATION:
      return 32512;
    case idiASTERISK:
      return 32516;
    case idiEXCLAMATION:
      return 32515;
    case idiHAND:
      return 32513;
    case idiQUESTION:
      return 32514;
    case idiWINLOGO:
      return 32517;
  }
  return 32512;
}

TTrayIcon::TTrayIcon(TComponent* owner)
    : TComponent(owner), app_(&Application()), backend_(app_->Backend()) {
  std::memset(&oldRecord_, 0, sizeof oldRecord_);
  std::memset(&newRecord_, 0, sizeof newRecord_);
  CheckShellVersion();
  imageIndex_ = kDefaultImageIndex;
  window_ = backend_.CreateHiddenWindow(
      [this](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
        return TrayWndProc(message, wParam, lParam);
      });
  // The shell broadcasts this after it has been restarted; the icon must then
  // be added again or it is gone for good.
  taskbarCreated_ = backend_.RegisterWindowMessage("TaskbarCreated");
  // The shell runs unelevated: an elevated program hears its broadcast only
  // when this window lets it through. A system without that filter (or one
  // that refuses) leaves it out, and the presence check below finds the
  // lost icon instead.
  if (taskbarCreated_ != 0) backend_.AllowMessageThroughFilter(window_, taskbarCreated_);
  // Even a removal sent before any refresh must name this window.
  oldRecord_.cbSize = sizeof oldRecord_;
  oldRecord_.hWnd = window_.Raw();
  newRecord_.cbSize = sizeof newRecord_;
  newRecord_.hWnd = window_.Raw();

  animationTimer_ = new TTimer(this);
  animationTimer_->SetEnabled(false);
  animationTimer_->SetOnTimer([this](TObject*) { UpdateIcon(); });

  // At logon the shell may refuse the add, and nothing tells the program when
  // it would take it: the icon is offered again on this timer until it is in.
  addRetryTimer_ = new TTimer(this);
  addRetryTimer_->SetEnabled(false);
  addRetryTimer_->SetInterval(kAddRetryInterval);
  addRetryTimer_->SetOnTimer([this](TObject*) { RetryAdd(); });

  // The shell may also lose the icon without a word to this window (the
  // broadcast did not reach it), and a program that sits in the tray makes
  // no refresh that the shell could refuse: while the icon is in, it is
  // refreshed as it stands on this timer, and a refusal says it is gone.
  presenceTimer_ = new TTimer(this);
  presenceTimer_->SetEnabled(false);
  presenceTimer_->SetInterval(kPresenceCheckInterval);
  presenceTimer_->SetOnTimer([this](TObject*) { CheckStillShown(); });

  defaultIcon_ = backend_.LoadSystemIcon(SystemIconId(idiWINLOGO));
  winIcon_ = idiWINLOGO;
  interval_ = kDefaultInterval;
}

TTrayIcon::~TTrayIcon() {
  try {
    if (active_ || IconWanted()) HideIcon();
    // Nothing may call into this component once it is gone: the hot key and
    // the application's minimise handler go back to how they were.
    if (hotKeyRegistered_) {
      backend_.UnregisterHotKey(window_, 0);
      hotKeyRegistered_ = false;
    }
    if (hideAppOnMinimize_) {
      app_->OnMinimize = savedOnMinimize_;
      savedOnMinimize_.Clear();
      hideAppOnMinimize_ = false;
    }
    backend_.DestroyHiddenWindow(window_);
    window_ = TWindowHandle{};
    currentIcon_.Reset();
  } catch (...) {
    // A destructor must not throw; what is left is released with the process.
  }
  delete presenceTimer_;
  presenceTimer_ = nullptr;
  delete addRetryTimer_;
  addRetryTimer_ = nullptr;
  delete animationTimer_;
  animationTimer_ = nullptr;
}

// ---- properties ----

void TTrayIcon::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (value)
    ShowIcon();
  else
    HideIcon();
}

void TTrayIcon::SetAnimate(bool value) {
  if (value == animate_) return;
  frameIndex_ = 0;
  animate_ = value;
  animationTimer_->SetEnabled(value);
}

void TTrayIcon::SetHideAppOnMinimize(bool value) {
  if (value == hideAppOnMinimize_) return;
  hideAppOnMinimize_ = value;
  if (value) {
    savedOnMinimize_ = app_->OnMinimize;
    app_->OnMinimize = TNotifyEvent::Bind(this, &TTrayIcon::AppMinimize);
  } else {
    app_->OnMinimize = savedOnMinimize_;
    savedOnMinimize_.Clear();
  }
}

void TTrayIcon::SetHint(const std::string& value) {
  if (value == hint_) return;
  hint_ = value;
  UpdateIcon();
}

void TTrayIcon::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  UpdateIcon();
}

void TTrayIcon::SetImageList(TImageList* value) {
  if (value == imageList_) return;
  if (imageList_) RemoveFreeNotification(imageList_);
  imageList_ = value;
  if (imageList_) FreeNotification(imageList_);
}

void TTrayIcon::SetInterval(unsigned value) {
  if (value == interval_) return;
  interval_ = value;
  animationTimer_->SetInterval(value);
}

void TTrayIcon::SetPopupMenu(TPopupMenu* value) {
  if (value == popupMenu_) return;
  if (popupMenu_) RemoveFreeNotification(popupMenu_);
  popupMenu_ = value;
  if (popupMenu_) FreeNotification(popupMenu_);
}

void TTrayIcon::SetShortCut(TShortCut value) {
  if (value == shortCut_) return;
  shortCut_ = value;
  if (Designing()) return;
  if (value == 0) {
    backend_.UnregisterHotKey(window_, 0);
    hotKeyRegistered_ = false;
    return;
  }
  unsigned modifiers = 0;
  if (value & scShift) modifiers |= MOD_SHIFT_T;
  if (value & scCtrl) modifiers |= MOD_CONTROL_T;
  if (value & scAlt) modifiers |= MOD_ALT_T;
  // The same identifier would otherwise hold the old key as well.
  if (hotKeyRegistered_) backend_.UnregisterHotKey(window_, 0);
  hotKeyRegistered_ = backend_.RegisterHotKey(window_, 0, modifiers, value & 0xFF);
}

void TTrayIcon::SetShowAtDesignTime(bool value) {
  if (value == showAtDesignTime_) return;
  showAtDesignTime_ = value;
  if (value)
    ShowIcon();
  else
    HideIcon();
}

void TTrayIcon::SetShowHint(bool value) {
  if (value == showHint_) return;
  showHint_ = value;
  UpdateIcon();
}

void TTrayIcon::SetUseAppIcon(bool value) {
  if (value == useAppIcon_) return;
  useAppIcon_ = value;
  UpdateIcon();
}

void TTrayIcon::SetWinIcon(TIDI_Icons value) {
  if (value == winIcon_) return;
  winIcon_ = value;
  defaultIcon_ = backend_.LoadSystemIcon(SystemIconId(value));
  UpdateIcon();
}

// ---- component notifications ----

void TTrayIcon::Loaded() {
  TComponent::Loaded();
  if (active_) ShowIcon();
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == popupMenu_) popupMenu_ = nullptr;
  if (component == imageList_) imageList_ = nullptr;
}

// ---- the icon ----

void TTrayIcon::CheckShellVersion() {
  newShell_ = false;
  const TPlatform& platform = app_->Platform();
  if (!platform.system || !platform.shell) return;
  std::string path = platform.system->SystemDirectory();
  if (!path.empty() && path.back() == '\\') path.pop_back();
  path += "\\shell32.dll";
  TFixedFileVersion info;
  if (!platform.shell->FileVersion(path, info)) return;
  if (info.signature == kFixedFileInfoSignature && (info.fileVersionMS >> 16) >= 5)
    newShell_ = true;
}

void TTrayIcon::FillIconData() {
  // The last refresh's icon goes before the next is made.
  currentIcon_.Reset();
  const int count = imageList_ ? imageList_->Count() : 0;
  TIconHandle made;
  if (useAppIcon_) {
    made = backend_.ApplicationIcon();
  } else if (animate_) {
    if (count > 0 && frameIndex_ < count) {
      made = backend_.IconFromImageList(*imageList_, frameIndex_);
      if (++frameIndex_ >= count) frameIndex_ = 0;
    }
  } else if (imageIndex_ >= 0 && imageIndex_ < count) {
    made = backend_.IconFromImageList(*imageList_, imageIndex_);
  }
  currentIcon_ = TOwnedIcon(backend_, made);
  const uintptr_t icon = (made ? made : defaultIcon_).Raw();

  if (newShell_) {
    newRecord_.cbSize = sizeof newRecord_;
    newRecord_.hWnd = window_.Raw();
    newRecord_.uID = 0;
    newRecord_.uFlags = NIF_MESSAGE_T | NIF_ICON_T;
    newRecord_.uCallbackMessage = WM_TRAYNOTIFY_T;
    newRecord_.dwState = 0;
    newRecord_.dwStateMask = 0;
    if (showHint_) {
      newRecord_.uFlags |= NIF_TIP_T;
      CopyTip(newRecord_.szTip, hint_);
    }
    newRecord_.hIcon = icon;
  } else {
    oldRecord_.cbSize = sizeof oldRecord_;
    oldRecord_.hWnd = window_.Raw();
    oldRecord_.uID = 0;
    oldRecord_.uFlags = NIF_MESSAGE_T | NIF_ICON_T;
    oldRecord_.uCallbackMessage = WM_TRAYNOTIFY_T;
    if (showHint_) {
      oldRecord_.uFlags |= NIF_TIP_T;
      CopyTip(oldRecord_.szTip, hint_);
    }
    oldRecord_.hIcon = icon;
  }
}

const void* TTrayIcon::SelectedRecord() const {
  return newShell_ ? static_cast<const void*>(&newRecord_) : static_cast<const void*>(&oldRecord_);
}

bool TTrayIcon::SendRecord(uint32_t message) {
  IShell* shell = app_->Platform().shell;
  return shell && shell->NotifyIcon(message, SelectedRecord());
}

void TTrayIcon::ShowIcon() {
  if (Loading()) return;
  if (Designing() && !showAtDesignTime_) return;
  FillIconData();
  WantIcon();
  if (SendRecord(NIM_ADD_T))
    IconTaken();
  else
    AddRefused();
}

void TTrayIcon::UpdateIcon() {
  if (Loading() && !(Designing() && showAtDesignTime_)) return;
  FillIconData();
  const bool taken = SendRecord(NIM_MODIFY_T);
  if (!IconWanted()) return;
  if (taken && !InNotificationArea()) {
    // An add that was reported as failed went through after all.
    IconTaken();
  } else if (!taken && InNotificationArea()) {
    // The shell no longer knows the icon: it restarted without a word to
    // this window (an elevated program does not hear its broadcast).
    IconMissing();
  }
}

void TTrayIcon::HideIcon() {
  SendRecord(NIM_DELETE_T);
  IconRemoved();
}

void TTrayIcon::ReAddLostIcon() {
  // The record still holds the image and hint of the last refresh, and its
  // icon handle stays alive until the next one, so it is sent as it is.
  if (!IconWanted()) return;
  if (OfferIcon())
    IconTaken();
  else
    IconMissing();
}

bool TTrayIcon::OfferIcon() {
  // An add is refused for an icon the shell has already (an earlier add may
  // have been answered too late, or the broadcast came while the icon was
  // still there): a modify that is taken tells that case apart.
  return SendRecord(NIM_ADD_T) || SendRecord(NIM_MODIFY_T);
}

void TTrayIcon::RetryAdd() {
  if (!IconWanted() || InNotificationArea()) {
    addRetryTimer_->SetEnabled(false);
    return;
  }
  // The record is filled by every refresh, refused or not, so it carries the
  // current image and hint.
  if (OfferIcon()) IconTaken();
}

void TTrayIcon::CheckStillShown() {
  if (!IconWanted() || !InNotificationArea()) {
    presenceTimer_->SetEnabled(false);
    return;
  }
  // The record as the last refresh left it: the shell shows nothing new.
  if (SendRecord(NIM_MODIFY_T)) return;
  // Refused: the shell no longer knows the icon, and it goes back in as
  // after the shell's restart broadcast.
  ReAddLostIcon();
}

// ---- messages ----

intptr_t TTrayIcon::TrayWndProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_HOTKEY_T) {
    OnShortCut(this);
    return 0;
  }
  if (message == WM_TRAYNOTIFY_T) {
    switch (static_cast<uint32_t>(lParam) & 0xFFFF) {
      case WM_LBUTTONUP_T:
        if (showOnClick_) RestoreApp();
        OnClick(this);
        break;
      case WM_LBUTTONDBLCLK_T:
        OnDblClick(this);
        break;
      case WM_RBUTTONUP_T:
        DoRightClick();
        break;
      default:
        break;
    }
    return 0;
  }
  if (taskbarCreated_ != 0 && message == taskbarCreated_) {
    ReAddLostIcon();
    return 0;
  }
  return backend_.DefWindowProc(window_, message, wParam, lParam);
}

void TTrayIcon::DoRightClick() {
  const TPoint pos = backend_.GetCursorPos();
  if (popupMenu_) popupMenu_->Popup(pos.x, pos.y);
  OnRightClick(this, mbRight, 0, pos.x, pos.y);
}

void TTrayIcon::RestoreApp() {
  RestoreWindow();
}

void TTrayIcon::AppMinimize(TObject* sender) {
  savedOnMinimize_(sender);
  // Without the icon a hidden window could be neither restored nor ended:
  // it stays minimised on the taskbar instead.
  if (InNotificationArea()) HideWindowToTray();
}

// ---- the icon's and the window's state ----

bool TTrayIcon::IconWanted() const {
  return state_ != TTrayState::Removed && state_ != TTrayState::RemovedWindowHidden;
}

bool TTrayIcon::WindowHiddenToTray() const {
  return state_ == TTrayState::HiddenToTray || state_ == TTrayState::RemovedWindowHidden ||
         state_ == TTrayState::OfferedWindowHidden;
}

void TTrayIcon::WantIcon() {
  if (state_ == TTrayState::Removed)
    state_ = TTrayState::Offered;
  else if (state_ == TTrayState::RemovedWindowHidden)
    state_ = TTrayState::OfferedWindowHidden;
}

void TTrayIcon::IconTaken() {
  state_ = WindowHiddenToTray() ? TTrayState::HiddenToTray : TTrayState::InTray;
  addRetryTimer_->SetEnabled(false);
  presenceTimer_->SetEnabled(true);
}

void TTrayIcon::AddRefused() {
  if (!InNotificationArea()) addRetryTimer_->SetEnabled(true);
}

void TTrayIcon::IconMissing() {
  const bool wasHidden = WindowHiddenToTray();
  state_ = IconWanted() ? TTrayState::Offered : TTrayState::Removed;
  presenceTimer_->SetEnabled(false);
  addRetryTimer_->SetEnabled(true);
  // A window hidden to the notification area would now be out of reach:
  // it goes back to the taskbar, minimised, until the icon is in again.
  const TWindowHandle app = app_->Handle();
  if (wasHidden && app && !backend_.IsWindowVisible(app)) backend_.ShowWindow(app, SW_MINIMIZE_T);
}

void TTrayIcon::IconRemoved() {
  state_ = WindowHiddenToTray() ? TTrayState::RemovedWindowHidden : TTrayState::Removed;
  addRetryTimer_->SetEnabled(false);
  presenceTimer_->SetEnabled(false);
}

void TTrayIcon::HideWindowToTray() {
  backend_.ShowWindow(app_->Handle(), SW_HIDE_T);
  // As the icon stands once the window is hidden.
  if (InNotificationArea())
    state_ = TTrayState::HiddenToTray;
  else
    state_ = IconWanted() ? TTrayState::OfferedWindowHidden : TTrayState::RemovedWindowHidden;
}

void TTrayIcon::RestoreWindow() {
  if (state_ == TTrayState::HiddenToTray)
    state_ = TTrayState::InTray;
  else if (state_ == TTrayState::OfferedWindowHidden)
    state_ = TTrayState::Offered;
  else if (state_ == TTrayState::RemovedWindowHidden)
    state_ = TTrayState::Removed;
  const TWindowHandle app = app_->Handle();
  backend_.ShowWindow(app, SW_SHOW_T);
  backend_.ShowWindow(app, SW_RESTORE_T);
}
