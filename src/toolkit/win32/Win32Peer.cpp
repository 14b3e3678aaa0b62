#include "toolkit/win32/Win32Peer.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Assert.h"
#include "toolkit/Forms.h"
#include "toolkit/win32/Win32Backend.h"

namespace {

constexpr char kProcProp[] = "QuindleProc";

HINSTANCE Instance() {
  return GetModuleHandleA(nullptr);
}

}  // namespace

COLORREF TWin32Peer::ColorRef(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color & 0xFFFFFF);
}

std::string TWin32Peer::WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
  int got = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

bool TWin32Peer::StillOurs(HWND window) const {
  return IsWindow(window) && GetPropA(window, kPeerProp) == this;
}

// ---- making and destroying ----

TWin32Peer::TWin32Peer(TWin32Backend& backend, TControl& control, TWinControl* win)
    : backend_(backend), control_(control), win_(win) {}

TWin32Peer::~TWin32Peer() {
  if (!hwnd_) return;
  // The model is going: nothing the window says from here on reaches it.
  backend_.BeginDestroy();
  if (inner_) RemovePropA(inner_, kPeerProp);
  RemovePropA(hwnd_, kPeerProp);
  DestroyWindow(hwnd_);
  backend_.EndDestroy();
}

void TWin32Peer::CreateNativeWindow() {
  static int nextId = 100;
  QUINDLE_ASSERT(control_.Parent() && control_.Parent()->Handle());
  HWND parent = NativeWindow(control_.Parent()->Handle());
  TWindowStyle w;
  w.style = WS_CHILD | WS_CLIPSIBLINGS;
  w.text = control_.Caption();
  if (win_ && win_->TabStop()) w.style |= WS_TABSTOP;
  DescribeWindow(w);
  if (control_.Visible()) w.style |= WS_VISIBLE;
  if (!control_.Enabled()) w.style |= WS_DISABLED;

  hwnd_ = CreateWindowExA(w.exStyle, w.cls, w.text.c_str(), w.style, control_.Left(),
                          control_.Top(), control_.Width(), control_.Height(), parent,
                          reinterpret_cast<HMENU>(static_cast<intptr_t>(nextId++)), Instance(),
                          nullptr);
  if (!hwnd_) throw std::runtime_error("Cannot create the control " + control_.Name());
  Subclass(hwnd_);
  ApplyFont();
  ApplyBounds();
  WindowCreated();
}

void TWin32Peer::Subclass(HWND window) {
  SetPropA(window, kPeerProp, this);
  auto original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
  SetPropA(window, kProcProp, reinterpret_cast<HANDLE>(original));
}

void TWin32Peer::Detach(HWND window) {
  if (window == hwnd_) hwnd_ = nullptr;
  if (window == inner_) inner_ = nullptr;
}

TWin32Peer* TWin32Peer::FromWindow(HWND window) {
  return window ? static_cast<TWin32Peer*>(GetPropA(window, kPeerProp)) : nullptr;
}

// ---- the controls' window procedure ----

LRESULT CALLBACK TWin32Peer::ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto original = reinterpret_cast<WNDPROC>(GetPropA(window, kProcProp));
  TWin32Peer* peer = FromWindow(window);
  if (!original) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropA(window, kProcProp);
    RemovePropA(window, kPeerProp);
    if (peer) peer->Detach(window);
    return CallWindowProcA(original, window, message, wParam, lParam);
  }
  if (!peer || peer->backend_.Destroying())
    return CallWindowProcA(original, window, message, wParam, lParam);
  QUINDLE_ASSERT(window == peer->hwnd_ || window == peer->inner_);
  // `handled` is set before the model is called, so that a message whose
  // handler threw is not passed on as if nobody had seen it.
  bool handled = false;
  LRESULT result = 0;
  peer->backend_.Guard(
      [&] { result = peer->ControlMessage(window, original, message, wParam, lParam, handled); });
  return handled ? result : CallWindowProcA(original, window, message, wParam, lParam);
}

LRESULT TWin32Peer::ControlMessage(HWND window, WNDPROC original, UINT message, WPARAM wParam,
                                   LPARAM lParam, bool& handled) {
  LRESULT result = 0;
  if (window == hwnd_ && ReflectFromChild(message, wParam, lParam, result)) {
    handled = true;
    return result;
  }
  if (OwnMessage(window, message, wParam, lParam, result, handled)) return result;
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
    case WM_SYSCHAR:
      KeyMessage(window, original, message, wParam, lParam, result, handled);
      return result;
    case WM_SETFOCUS:
      if (win_)
        if (TForm* form = ParentFormOf(control_); form && form != win_)
          form->SetActiveControl(win_);
      break;
    default:
      break;
  }
  return 0;
}

// A notification from a child window, reflected to the child's peer.
bool TWin32Peer::ReflectFromChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND: {
      TWin32Peer* child = FromWindow(reinterpret_cast<HWND>(lParam));
      if (!lParam || !child || child == this) return false;
      child->Command(HIWORD(wParam));
      result = 0;
      return true;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      TWin32Peer* child = header ? FromWindow(header->hwndFrom) : nullptr;
      if (!child || child == this) return false;
      result = child->Notify(*header);
      return true;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      HWND from = reinterpret_cast<HWND>(lParam);
      TWin32Peer* child = FromWindow(from);
      if (!child || child == this) return false;
      result = child->CtlColor(reinterpret_cast<HDC>(wParam), from);
      return true;
    }
    default:
      return false;
  }
}

LRESULT TWin32Peer::CtlColor(HDC dc, HWND window) {
  SetTextColor(
      dc, IsWindowEnabled(window) ? ColorRef(control_.Font().color) : GetSysColor(COLOR_GRAYTEXT));
  COLORREF back = ColorRef(control_.Color());
  SetBkColor(dc, back);
  return static_cast<LRESULT>(backend_.BrushFor(back));
}

void TWin32Peer::EraseBackground(HWND window, HDC dc) {
  RECT r{};
  GetClientRect(window, &r);
  FillRect(dc, &r, reinterpret_cast<HBRUSH>(backend_.BrushFor(ColorRef(control_.Color()))));
}

// ---- following the model ----

void TWin32Peer::Changed(TPeerChange what) {
  if (!hwnd_ || syncing_) return;
  Follow(what);
}

void TWin32Peer::Follow(TPeerChange what) {
  switch (what) {
    case TPeerChange::Bounds:
      ApplyBounds();
      break;
    case TPeerChange::Caption:
    case TPeerChange::Text:
      ApplyText();
      break;
    case TPeerChange::Enabled:
      EnableWindow(hwnd_, control_.Enabled());
      break;
    case TPeerChange::Visible:
      ApplyVisible();
      break;
    case TPeerChange::Font:
      ApplyFont();
      break;
    case TPeerChange::Color:
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case TPeerChange::Selection:
      ApplySelection();
      break;
    case TPeerChange::Repaint:
      RedrawWindow(hwnd_, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      break;
    case TPeerChange::Focus:
      // A hidden form gives the focus to its active control when it shows.
      if (IsWindowVisible(GetAncestor(hwnd_, GA_ROOT))) ::SetFocus(hwnd_);
      break;
    default:
      // A change of a kind this window does not have.
      break;
  }
}

intptr_t TWin32Peer::Perform(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return hwnd_ ? SendMessageA(hwnd_, message, wParam, lParam) : 0;
}

void TWin32Peer::ApplyBounds() {
  MoveWindow(hwnd_, control_.Left(), control_.Top(), control_.Width(), control_.Height(), TRUE);
}

void TWin32Peer::ApplyVisible() {
  ::ShowWindow(hwnd_, control_.Visible() ? SW_SHOW : SW_HIDE);
}

void TWin32Peer::ApplyText() {
  SetWindowTextQuietly(control_.Caption());
}

void TWin32Peer::SetWindowTextQuietly(const std::string& text) {
  if (WindowText(hwnd_) == text) return;
  ++syncing_;
  SetWindowTextA(hwnd_, text.c_str());
  --syncing_;
}

void TWin32Peer::ApplyFont() {
  const TFont& f = control_.Font();
  auto font = reinterpret_cast<WPARAM>(backend_.FontFor(f.name, f.height, f.bold));
  SendMessageA(hwnd_, WM_SETFONT, font, TRUE);
}
