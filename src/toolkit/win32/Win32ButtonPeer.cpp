#include "toolkit/win32/Win32ButtonPeer.h"

TWin32ButtonPeer::TWin32ButtonPeer(TWin32Backend& backend, TButton& button)
    : TWin32Peer(backend, button, &button), button_(&button) {}

TWin32ButtonPeer::TWin32ButtonPeer(TWin32Backend& backend, TCheckBox& box)
    : TWin32Peer(backend, box, &box), box_(&box) {}

TWin32ButtonPeer::TWin32ButtonPeer(TWin32Backend& backend, TRadioButton& radio)
    : TWin32Peer(backend, radio, &radio), radio_(&radio) {}

void TWin32ButtonPeer::DescribeWindow(TWindowStyle& window) {
  window.cls = "BUTTON";
  if (button_) {
    window.style |= button_->Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  } else if (box_) {
    window.style |= BS_AUTOCHECKBOX;
  } else {
    window.style |= BS_AUTORADIOBUTTON;
    if (!radio_->Checked()) window.style &= ~WS_TABSTOP;
    // The radio buttons of one parent make one group: the first of them
    // starts it. The siblings before this one have their peers already.
    for (TControl* sibling : control_.Parent()->Controls()) {
      if (sibling == &control_) {
        window.style |= WS_GROUP;
        break;
      }
      auto* peer = static_cast<TWin32Peer*>(sibling->Peer());
      if (peer && peer->IsRadioButton()) break;
    }
  }
}

void TWin32ButtonPeer::WindowCreated() {
  if (!button_) ApplyChecked();
}

void TWin32ButtonPeer::Follow(TPeerChange what) {
  switch (what) {
    case TPeerChange::Checked:
      if (!button_) ApplyChecked();
      return;
    case TPeerChange::Default:
      if (button_)
        SendMessageA(hwnd_, BM_SETSTYLE, button_->Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                     TRUE);
      return;
    default:
      TWin32Peer::Follow(what);
  }
}

void TWin32ButtonPeer::ApplyChecked() {
  // A button that is no push button is a check box or a radio button.
  bool checked = false;
  if (box_)
    checked = box_->Checked();
  else if (radio_)
    checked = radio_->Checked();
  else
    return;
  SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  if (radio_) {
    // Tab reaches the checked button of a group only, as in a dialog.
    LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
    style = checked ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    SetWindowLongPtrA(hwnd_, GWL_STYLE, style);
  }
}

void TWin32ButtonPeer::Command(unsigned code) {
  if (code != BN_CLICKED) return;
  HWND window = hwnd_;
  control_.Click();
  // The model owns the state: the box shows what it says, also when a
  // handler threw or refused.
  if (!button_ && StillOurs(window)) Changed(TPeerChange::Checked);
}
