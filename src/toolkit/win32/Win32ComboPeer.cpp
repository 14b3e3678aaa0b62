#include "toolkit/win32/Win32ComboPeer.h"

namespace {

// Room below a drop-down combo box for its list.
constexpr int kDropDownHeight = 150;

}  // namespace

TWin32ComboPeer::TWin32ComboPeer(TWin32Backend& backend, TComboBox& combo)
    : TWin32Peer(backend, combo, &combo), combo_(combo) {}

void TWin32ComboPeer::DescribeWindow(TWindowStyle& window) {
  window.cls = "COMBOBOX";
  window.style |= WS_VSCROLL;
  switch (combo_.Style()) {
    case csDropDownList:
      window.style |= CBS_DROPDOWNLIST;
      break;
    case csSimple:
      window.style |= CBS_SIMPLE | CBS_AUTOHSCROLL;
      break;
    case csDropDown:
      window.style |= CBS_DROPDOWN | CBS_AUTOHSCROLL;
      break;
  }
  if (combo_.CharCase() == ecUpperCase) window.style |= CBS_UPPERCASE;
  window.text.clear();
}

void TWin32ComboPeer::WindowCreated() {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (GetComboBoxInfo(hwnd_, &info) && info.hwndItem && info.hwndItem != hwnd_) {
    inner_ = info.hwndItem;
    Subclass(inner_);
  }
  ApplyItems();
}

void TWin32ComboPeer::Follow(TPeerChange what) {
  switch (what) {
    case TPeerChange::Items:
      ApplyItems();
      return;
    case TPeerChange::ItemIndex:
      SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(combo_.ItemIndex()), 0);
      return;
    default:
      TWin32Peer::Follow(what);
  }
}

void TWin32ComboPeer::ApplyBounds() {
  int height = combo_.Height();
  if (combo_.Style() != csSimple) height += kDropDownHeight;
  MoveWindow(hwnd_, combo_.Left(), combo_.Top(), combo_.Width(), height, TRUE);
}

void TWin32ComboPeer::ApplyItems() {
  SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < combo_.Items().Count(); ++i)
    SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(combo_.Items().Get(i).c_str()));
  SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(combo_.ItemIndex()), 0);
}

void TWin32ComboPeer::ApplySelection() {
  int at = combo_.SelStart();
  SendMessageA(hwnd_, CB_SETEDITSEL, 0, MAKELPARAM(at, at));
}

bool TWin32ComboPeer::OwnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 LRESULT& result, bool& handled) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
    case WM_SYSCHAR:
      // The edit field hands some keys on to the combo box: the model sees
      // each key once, at the field.
      return window == hwnd_ && inner_;
    default:
      return false;
  }
}

// The model decides what the open list's notifications mean: a highlight
// while it is open, the choice when it closes with one, the choice made
// before when it closes without (Escape, the focus leaving).
void TWin32ComboPeer::Command(unsigned code) {
  const int index = static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0));
  switch (code) {
    case CBN_SELCHANGE:
      if (combo_.DroppedDown() || index == combo_.ItemIndex()) return;
      combo_.Select(index);
      return;
    case CBN_SELENDOK:
      combo_.CloseUp(true, index);
      return;
    case CBN_SELENDCANCEL:
      combo_.CloseUp(false, index);
      return;
    default:
      return;
  }
}
