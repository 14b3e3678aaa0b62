// Keys at a peer's window: the model's handlers (with the form's key preview)
// see each key first, the model's dialog keys come next (Tab, Enter, the
// arrows of a radio group), Alt and a marked letter click a button, and a key
// whose handler dropped it never reaches the native control.
#include <cctype>
#include <vector>

#include "toolkit/Forms.h"
#include "toolkit/win32/Win32Peer.h"

namespace {

TShiftState ShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

// The character after "&" in a caption ("&&" is a plain ampersand), or 0.
char AcceleratorOf(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

// A key whose handler dropped it and took the focus from the window leaves
// no character behind there: the loop's TranslateMessage queued the key's
// character message before the key-down was dispatched, and it would still
// reach the window (Escape closes the settings dialog at its key-down; its
// character would then reach the hidden field's key filter). A dropped key
// that leaves the focus where it was still gets its character, as handlers
// that take a key at its character expect. The character carries the
// key-down's scan code; typed keys are translated one at a time, so it is the
// first character waiting for the window. Keys posted in a batch are
// translated ahead of their characters: another key's character first is
// left alone.
void DiscardCharOfKey(HWND window, UINT keyDown, LPARAM keyData) {
  const UINT first = keyDown == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  constexpr LPARAM kScanAndExtended = 0x01FF0000;
  MSG queued;
  if (PeekMessageA(&queued, window, first, first + 1, PM_NOREMOVE | PM_NOYIELD) &&
      (queued.lParam & kScanAndExtended) == (keyData & kScanAndExtended))
    PeekMessageA(&queued, window, first, first + 1, PM_REMOVE | PM_NOYIELD);
}

}  // namespace

// Alt and a caption's marked letter click that button or box of the form.
// The controls are walked through their peers: every control of a form that
// has a window has one.
bool TWin32Peer::ClickAccelerator(TWin32Peer& form, char key) {
  char wanted = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
  std::vector<TWin32Peer*> pending{&form};
  while (!pending.empty()) {
    TWin32Peer* peer = pending.back();
    pending.pop_back();
    TControl& c = peer->control_;
    if (!c.Visible() || !c.Enabled()) continue;
    if (peer->win_)
      for (TControl* child : peer->win_->Controls())
        if (auto* childPeer = static_cast<TWin32Peer*>(child->Peer())) pending.push_back(childPeer);
    if (peer->TakesAccelerator() && AcceleratorOf(c.Caption()) == wanted) {
      peer->win_->SetFocus();
      c.Click();
      return true;
    }
  }
  return false;
}

void TWin32Peer::KeyMessage(HWND window, WNDPROC original, UINT message, WPARAM wParam,
                            LPARAM lParam, LRESULT& result, bool& handled) {
  if (!win_) return;
  // From here the key is ours: one whose handler threw is dropped.
  handled = true;
  auto forward = [&](WPARAM key) {
    result = original ? CallWindowProcA(original, window, message, key, lParam)
                      : DefWindowProcA(window, message, key, lParam);
  };
  result = 0;
  if (message == WM_SYSCHAR) {
    TForm* form = ParentFormOf(control_);
    auto* formPeer = form ? static_cast<TWin32Peer*>(form->Peer()) : nullptr;
    if (formPeer && ClickAccelerator(*formPeer, static_cast<char>(wParam))) return;
    forward(wParam);
    return;
  }
  if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
    WORD_T key = static_cast<WORD_T>(wParam);
    TShiftState shift = ShiftState();
    if (message == WM_SYSKEYDOWN) shift |= ssAlt;
    if (!win_->KeyDown(key, shift)) {
      if (GetFocus() != window) DiscardCharOfKey(window, message, lParam);
      return;
    }
    if (!StillOurs(window)) return;
    // A drop-down combo box's keys arrive at its edit field, whose model is
    // the combo box's: the dialog keys go from there.
    if (message == WM_KEYDOWN && win_->DialogKey(key, shift)) return;
    if (OwnKeyDown(window, message, key, shift)) return;
    forward(key);
    return;
  }
  // WM_CHAR
  char c = static_cast<char>(wParam);
  if (!win_->KeyPress(c)) return;
  if (!StillOurs(window)) return;
  if (OwnChar(window, c)) return;
  forward(static_cast<unsigned char>(c));
}
