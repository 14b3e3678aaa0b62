#include "toolkit/win32/Win32FormPeer.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Assert.h"
#include "toolkit/Application.h"
#include "toolkit/Forms.h"
#include "toolkit/win32/Win32Backend.h"

namespace {

// The forms' window class, registered for the first form's window. A form's
// title bar and task-switcher entry show the program's icon at the system's
// two icon sizes, so that Windows need not stretch one to the other.
void RegisterFormClass(TWin32Backend& backend) {
  static bool registered = false;
  if (registered) return;
  registered = true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = TWin32FormPeer::FormProc;
  wc.lpszClassName = kFormWindowClass;
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  // The class keeps them for the life of the process.
  wc.hIcon = NativeIcon(backend.ProgramIcon(SM_CXICON));
  wc.hIconSm = NativeIcon(backend.ProgramIcon(SM_CXSMICON));
  RegisterClassExA(&wc);
}

}  // namespace

TWin32FormPeer::TWin32FormPeer(TWin32Backend& backend, TForm& form)
    : TWin32Peer(backend, form, &form), form_(form) {}

TWin32FormPeer::~TWin32FormPeer() {
  EnableOthersForModal(true);
  backend_.RemoveForm(this);
}

void TWin32FormPeer::CreateNativeWindow() {
  DWORD style = WS_CAPTION | WS_CLIPCHILDREN;
  DWORD exStyle = WS_EX_CONTROLPARENT;
  if (form_.BorderIcons() & biSystemMenu) style |= WS_SYSMENU;
  if (form_.BorderIcons() & biMinimize) style |= WS_MINIMIZEBOX;
  switch (form_.BorderStyle()) {
    case bsSizeable:
      style |= WS_THICKFRAME;
      if (form_.BorderIcons() & biMaximize) style |= WS_MAXIMIZEBOX;
      break;
    case bsDialog:
      exStyle |= WS_EX_DLGMODALFRAME;
      break;
    case bsSingle:
      break;
  }
  if (form_.FormStyle() == fsStayOnTop) exStyle |= WS_EX_TOPMOST;
  // Every form but the main one belongs to the main window: no button of its
  // own on the taskbar, always above it.
  HWND owner = nullptr;
  if (TApplication* app = backend_.Application())
    if (app->MainForm() && app->MainForm() != &form_)
      owner = NativeWindow(app->MainForm()->Handle());

  RegisterFormClass(backend_);
  hwnd_ = CreateWindowExA(exStyle, kFormWindowClass, form_.Caption().c_str(), style, form_.Left(),
                          form_.Top(), std::max(form_.Width(), 1), std::max(form_.Height(), 1),
                          owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!hwnd_) throw std::runtime_error("Cannot create the window \"" + form_.Caption() + "\"");
  SetPropA(hwnd_, kPeerProp, this);
  backend_.AddForm(this);
  ApplyBounds();
  if (form_.Visible()) ApplyVisible();
}

// ---- the form's window procedure ----

LRESULT CALLBACK TWin32FormPeer::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Only form peers name windows of this class.
  auto* peer = static_cast<TWin32FormPeer*>(FromWindow(window));
  if (message == WM_NCDESTROY) {
    RemovePropA(window, kPeerProp);
    if (peer) peer->Detach(window);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  if (!peer || peer->backend_.Destroying()) return DefWindowProcA(window, message, wParam, lParam);
  QUINDLE_ASSERT(window == peer->hwnd_);
  // `handled` is set before the model is called, so that a message whose
  // handler threw is not passed on as if nobody had seen it.
  bool handled = false;
  LRESULT result = 0;
  peer->backend_.Guard(
      [&] { result = peer->FormMessage(window, message, wParam, lParam, handled); });
  return handled ? result : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TWin32FormPeer::FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    bool& handled) {
  TApplication* app = backend_.Application();
  bool isMain = app && app->MainForm() == &form_;
  LRESULT result = 0;
  if (ReflectFromChild(message, wParam, lParam, result)) {
    handled = true;
    return result;
  }
  intptr_t hooked = 0;
  if (isMain && app->MainWindowHook(message, wParam, lParam, hooked)) {
    handled = true;
    return hooked;
  }
  switch (message) {
    case WM_CLOSE:
      // The model decides: a refused close, a hide, a modal result.
      handled = true;
      form_.Close();
      return 0;
    case WM_SYSCOMMAND:
      if (!isMain) break;
      if ((wParam & 0xFFF0) == SC_MINIMIZE) {
        handled = true;
        app->Minimize();
        return 0;
      }
      if ((wParam & 0xFFF0) == SC_RESTORE && IsIconic(window)) {
        handled = true;
        app->Restore();
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) break;
      handled = true;
      if (!HIWORD(wParam)) FocusActiveControl();
      // Our own show raises the model's activation itself.
      if (!showing_) form_.Activate();
      return 0;
    case WM_QUERYENDSESSION:
      // Never hold up the end of the session.
      handled = true;
      return TRUE;
    case WM_ENDSESSION:
      handled = true;
      // The orderly exit, completed before the system ends the process; the
      // window is gone afterwards, so nothing of this peer is touched.
      if (wParam && app) app->EndSession();
      return 0;
    case WM_WINDOWPOSCHANGED: {
      if (!IsIconic(window)) {
        RECT r{};
        GetWindowRect(window, &r);
        ++syncing_;
        form_.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
        --syncing_;
      }
      break;
    }
    case WM_GETDPISCALEDSIZE: {
      // Windows 10 1703 on asks, before a move to another scale, what size
      // the window will take there, and suggests that size with the move.
      if (form_.ClientWidth() <= 0 || form_.ClientHeight() <= 0) break;
      const int dpi = static_cast<int>(wParam);
      const TPoint client = form_.ClientSizeAt(dpi);
      const TPoint outer = backend_.OuterSize(Handle(), client.x, client.y, dpi);
      auto* size = reinterpret_cast<SIZE*>(lParam);
      size->cx = outer.x;
      size->cy = outer.y;
      handled = true;
      return TRUE;
    }
    case WM_DPICHANGED: {
      // Moved onto a monitor of another scale (or the scale changed): laid
      // out again there, at the place Windows suggests.
      const auto* r = reinterpret_cast<const RECT*>(lParam);
      handled = true;
      if (r) form_.DpiChanged(HIWORD(wParam), {r->left, r->top, r->right, r->bottom});
      return 0;
    }
    case WM_ERASEBKGND:
      handled = true;
      EraseBackground(window, reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
    case WM_SYSCHAR:
      KeyMessage(window, nullptr, message, wParam, lParam, result, handled);
      return result;
    default:
      break;
  }
  return 0;
}

void TWin32FormPeer::FocusActiveControl() {
  TWinControl* active = form_.ActiveControl();
  HWND target = active ? NativeWindow(active->Handle()) : nullptr;
  if (target && !IsWindowVisible(target)) target = nullptr;
  if (!target) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  ::SetFocus(target ? target : hwnd_);
}

// ---- following the model ----

void TWin32FormPeer::Follow(TPeerChange what) {
  if (what != TPeerChange::TopMost) {
    TWin32Peer::Follow(what);
    return;
  }
  ::SetWindowPos(hwnd_, form_.FormStyle() == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0,
                 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// A form's size comes from its client area; the model learns the outer size.
void TWin32FormPeer::ApplyBounds() {
  int width = form_.Width(), height = form_.Height();
  if (form_.ClientWidth() > 0 && form_.ClientHeight() > 0) {
    const TPoint outer =
        backend_.OuterSize(Handle(), form_.ClientWidth(), form_.ClientHeight(), form_.Dpi());
    width = outer.x;
    height = outer.y;
  }
  ++syncing_;
  ::SetWindowPos(hwnd_, nullptr, form_.Left(), form_.Top(), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  // The frame the window has may not be the one asked about for its scale
  // (a system that draws every frame at its own scale): the client area
  // decides, so the size is mended by what it lacks or has too much.
  RECT client{};
  if (form_.ClientWidth() > 0 && form_.ClientHeight() > 0 && GetClientRect(hwnd_, &client) &&
      (client.right != form_.ClientWidth() || client.bottom != form_.ClientHeight())) {
    width += form_.ClientWidth() - client.right;
    height += form_.ClientHeight() - client.bottom;
    ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  form_.SetBounds(form_.Left(), form_.Top(), width, height);
  --syncing_;
}

void TWin32FormPeer::ApplyVisible() {
  if (form_.Visible()) {
    if (form_.Modal()) EnableOthersForModal(false);
    showing_ = true;
    ::ShowWindow(hwnd_, SW_SHOW);
    showing_ = false;
  } else {
    // The owner is enabled first, so that it becomes the active window.
    EnableOthersForModal(true);
    ::ShowWindow(hwnd_, SW_HIDE);
  }
}

void TWin32FormPeer::EnableOthersForModal(bool enable) {
  if (enable) {
    for (HWND w : disabledForModal_)
      if (IsWindow(w)) EnableWindow(w, TRUE);
    disabledForModal_.clear();
    return;
  }
  for (TWin32FormPeer* other : backend_.Forms())
    if (other != this && other->hwnd_ && IsWindowEnabled(other->hwnd_)) {
      EnableWindow(other->hwnd_, FALSE);
      disabledForModal_.push_back(other->hwnd_);
    }
}
