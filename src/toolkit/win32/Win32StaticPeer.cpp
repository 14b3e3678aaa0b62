#include "toolkit/win32/Win32StaticPeer.h"

#include <algorithm>

#include "toolkit/win32/Win32Backend.h"

TWin32StaticPeer::TWin32StaticPeer(TWin32Backend& backend, TControl& control, TWinControl* win,
                                   TShape shape)
    : TWin32Peer(backend, control, win), shape_(shape) {}

TWin32StaticPeer::TWin32StaticPeer(TWin32Backend& backend, TLabel& label)
    : TWin32StaticPeer(backend, label, nullptr, TShape::Label) {}

TWin32StaticPeer::TWin32StaticPeer(TWin32Backend& backend, TPanel& panel)
    : TWin32StaticPeer(backend, panel, &panel, TShape::Panel) {}

TWin32StaticPeer::TWin32StaticPeer(TWin32Backend& backend, TGroupBox& group)
    : TWin32StaticPeer(backend, group, &group, TShape::GroupBox) {}

TWin32StaticPeer::TWin32StaticPeer(TWin32Backend& backend, TControl& control, TWinControl* win)
    : TWin32StaticPeer(backend, control, win, TShape::Container) {}

void TWin32StaticPeer::DescribeWindow(TWindowStyle& window) {
  switch (shape_) {
    case TShape::Panel:
      window.style |= SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX;
      window.exStyle |= WS_EX_STATICEDGE | WS_EX_CONTROLPARENT;
      break;
    case TShape::Label:
      window.style |= SS_LEFTNOWORDWRAP;
      break;
    case TShape::GroupBox:
      window.cls = "BUTTON";
      window.style |= BS_GROUPBOX;
      window.exStyle |= WS_EX_CONTROLPARENT;
      break;
    case TShape::Container:
      window.exStyle |= WS_EX_CONTROLPARENT;
      break;
  }
}

void TWin32StaticPeer::Follow(TPeerChange what) {
  TWin32Peer::Follow(what);
  // A label's width follows its caption and font.
  bool sized =
      what == TPeerChange::Caption || what == TPeerChange::Text || what == TPeerChange::Font;
  if (shape_ == TShape::Label && sized) ApplyBounds();
}

void TWin32StaticPeer::ApplyBounds() {
  int width = control_.Width();
  if (shape_ == TShape::Label) width = std::max(width, LabelTextWidth());
  MoveWindow(hwnd_, control_.Left(), control_.Top(), width, control_.Height(), TRUE);
}

// A label is as wide as its text at least: labels size themselves to their
// caption, and a font a little wider than the one laid out for must not cut
// the text off.
int TWin32StaticPeer::LabelTextWidth() const {
  return backend_.CaptionWidth(TCaptionBox::Label, control_.Font(), control_.Caption(),
                               control_.Dpi());
}

bool TWin32StaticPeer::OwnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  LRESULT& result, bool& handled) {
  if (message != WM_ERASEBKGND || shape_ != TShape::GroupBox) return false;
  // A group box draws only its frame; it holds controls, so it fills itself.
  handled = true;
  EraseBackground(window, reinterpret_cast<HDC>(wParam));
  result = 1;
  return true;
}
