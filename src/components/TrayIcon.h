// TTrayIcon: one icon for the application in the notification area, with its
// tip, animation, click events, popup menu, hot key and hide-on-minimise.
#pragma once
#include <cstdint>
#include <string>
#include "platform/WinConstants.h"  // hot-key modifiers, notify-icon flags
#include "toolkit/Component.h"
#include "toolkit/Backend.h"
#include "toolkit/Events.h"
#include "toolkit/OwnedIcon.h"

class TApplication;
class TImageList;
class TPopupMenu;
class TTimer;

// The system icons WinIcon can name, in this order.
enum TIDI_Icons { idiAPPLICATION, idiASTERISK, idiEXCLAMATION, idiHAND, idiQUESTION, idiWINLOGO };
// The system icon identifier LoadIcon takes for each value.
int SystemIconId(TIDI_Icons icon);

// A key combination: the low 13 bits are the key (low byte: virtual-key
// code), 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt; 0 means none.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
// The message the shell sends to the hidden window for mouse events on the icon.
constexpr uint32_t WM_TRAYNOTIFY_T = 0x0809;

// The notify-icon record of shells before version 5 (ANSI).
struct TNotifyIconDataOld {
  uint32_t cbSize;
  uintptr_t hWnd;
  uint32_t uID;
  uint32_t uFlags;
  uint32_t uCallbackMessage;
  uintptr_t hIcon;
  char szTip[64];
};

// The notify-icon record of shell version 5 and later (ANSI); the balloon
// fields are carried but never used.
struct TNotifyIconDataV5 {
  uint32_t cbSize;
  uintptr_t hWnd;
  uint32_t uID;
  uint32_t uFlags;
  uint32_t uCallbackMessage;
  uintptr_t hIcon;
  char szTip[128];
  uint32_t dwState;
  uint32_t dwStateMask;
  char szInfo[256];
  union {
    uint32_t uTimeout;
    uint32_t uVersion;
  };
  char szInfoTitle[64];
  uint32_t dwInfoFlags;
};

// The shell checks cbSize against these exact sizes.
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(TNotifyIconDataOld) == 88, "old notify-icon record must be 88 bytes");
static_assert(sizeof(TNotifyIconDataV5) == 488, "version 5 notify-icon record must be 488 bytes");
#elif defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(TNotifyIconDataOld) == 104, "old notify-icon record must be 104 bytes");
static_assert(sizeof(TNotifyIconDataV5) == 504, "version 5 notify-icon record must be 504 bytes");
#endif

class TTrayIcon : public TComponent {
 public:
  // Values left out of a stored configuration because they are the defaults.
  static constexpr int kDefaultImageIndex = -1;
  static constexpr unsigned kDefaultInterval = 1000;
  static constexpr TIDI_Icons kDefaultWinIcon = idiWINLOGO;
  // How long after a refused add the icon is offered to the shell again.
  static constexpr unsigned kAddRetryInterval = 5000;
  // How often an icon the shell has taken is refreshed as it stands, to find
  // out whether the shell still has it. One call a minute costs nothing
  // noticeable, and a lost icon is back within a minute.
  static constexpr unsigned kPresenceCheckInterval = 60000;

  explicit TTrayIcon(TComponent* owner);
  ~TTrayIcon() override;

  bool Active() const { return active_; }
  void SetActive(bool value);
  bool Animate() const { return animate_; }
  void SetAnimate(bool value);
  bool HideAppOnMinimize() const { return hideAppOnMinimize_; }
  void SetHideAppOnMinimize(bool value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  TImageList* ImageList() const { return imageList_; }
  void SetImageList(TImageList* value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut value);
  bool ShowAtDesignTime() const { return showAtDesignTime_; }
  void SetShowAtDesignTime(bool value);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  bool ShowOnClick() const { return showOnClick_; }
  void SetShowOnClick(bool value) { showOnClick_ = value; }
  bool UseAppIcon() const { return useAppIcon_; }
  void SetUseAppIcon(bool value);
  TIDI_Icons WinIcon() const { return winIcon_; }
  void SetWinIcon(TIDI_Icons value);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnRightClick;
  TNotifyEvent OnShortCut;

  // Add, refresh and remove the icon in the notification area.
  void ShowIcon();
  void UpdateIcon();
  void HideIcon();

  // The handler of the hidden window that the shell and the hot key talk to.
  intptr_t TrayWndProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

  bool NewShell() const { return newShell_; }
  int FrameIndex() const { return frameIndex_; }
  bool HotKeyRegistered() const { return hotKeyRegistered_; }
  TWindowHandle WindowHandle() const { return window_; }
  // The icon handle the last refresh put into the record.
  TIconHandle CurrentIcon() const { return currentIcon_.Get(); }
  TTimer* AnimationTimer() const { return animationTimer_; }
  // The shell has taken the icon: it is in the notification area, so the
  // application may hide there.
  bool InNotificationArea() const {
    return state_ == TTrayState::InTray || state_ == TTrayState::HiddenToTray;
  }

 protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void CheckShellVersion();
  void FillIconData();
  const void* SelectedRecord() const;
  bool SendRecord(uint32_t message);
  void DoRightClick();
  void RestoreApp();
  void AppMinimize(TObject* sender);
  void ReAddLostIcon();
  void RetryAdd();
  void CheckStillShown();
  bool OfferIcon();

  // Where the icon and the application's window stand, one state at a time.
  // The icon is wanted from a ShowIcon that reached the shell until the next
  // HideIcon, even while the shell has lost it; the window is hidden to the
  // tray from AppMinimize (which hides it only while the shell holds the
  // icon) until a restore through the icon or the loss of the icon.
  enum class TTrayState {
    Removed,       // no icon wanted
    Offered,       // wanted, but the shell has not taken it (or lost it)
    InTray,        // the shell holds the icon
    HiddenToTray,  // the shell holds it, and the window is hidden there
    // The icon removed while the window was hidden there: the window stays
    // hidden until a restore, or until the icon is back (HiddenToTray) or
    // offered and lost (the window then comes back minimised).
    RemovedWindowHidden,
    OfferedWindowHidden,  // such an icon offered again and not taken yet
  };
  bool IconWanted() const;
  bool WindowHiddenToTray() const;
  // The transitions; each says what it does with the shell's icon (by its
  // timers) and with the window.
  // ShowIcon: the icon is wanted from here on. Nothing is sent yet.
  void WantIcon();
  // The shell took an add or a refresh: the icon is in. The retries stop
  // and the presence check starts.
  void IconTaken();
  // ShowIcon's add was refused: an icon that is not in is offered again on
  // the retry timer (a second add of an icon that is there is refused too).
  void AddRefused();
  // The shell no longer has the icon: it is offered again, the presence
  // check stops, and a window hidden to the tray, now out of reach, comes
  // back to the taskbar minimised.
  void IconMissing();
  // HideIcon, once the removal is sent: no icon is wanted, and neither timer
  // runs. A window hidden to the tray stays hidden.
  void IconRemoved();
  // AppMinimize while the shell holds the icon: the window is hidden.
  void HideWindowToTray();
  // A click on the icon: the window is shown and restored.
  void RestoreWindow();

  TApplication* app_;
  IBackend& backend_;
  TWindowHandle window_;
  uint32_t taskbarCreated_ = 0;

  bool active_ = false;
  bool animate_ = false;
  bool hideAppOnMinimize_ = false;
  std::string hint_;
  int imageIndex_ = kDefaultImageIndex;
  TImageList* imageList_ = nullptr;
  unsigned interval_ = kDefaultInterval;
  TPopupMenu* popupMenu_ = nullptr;
  TShortCut shortCut_ = 0;
  bool showAtDesignTime_ = false;
  bool showHint_ = false;
  bool showOnClick_ = false;
  bool useAppIcon_ = false;
  TIDI_Icons winIcon_ = kDefaultWinIcon;

  bool newShell_ = false;
  TNotifyIconDataOld oldRecord_;
  TNotifyIconDataV5 newRecord_;
  bool recordFilled_ = false;
  TTrayState state_ = TTrayState::Removed;
  // A shared system icon, not destroyed.
  TIconHandle defaultIcon_;
  // The icon the last refresh made, destroyed by the next refresh.
  TOwnedIcon currentIcon_;
  int frameIndex_ = 0;
  bool hotKeyRegistered_ = false;
  TNotifyEvent savedOnMinimize_;
  TTimer* animationTimer_ = nullptr;
  TTimer* addRetryTimer_ = nullptr;
  TTimer* presenceTimer_ = nullptr;
};
