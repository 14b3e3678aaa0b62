#include "toolkit/win32/Win32Peer.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <stdexcept>

#include "toolkit/Application.h"
#include "toolkit/Forms.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RichEdit.h"
#include "toolkit/win32/Win32Backend.h"

namespace {

constexpr char kPeerProp[] = "QuindlePeer";
constexpr char kProcProp[] = "QuindleProc";
// Room below a drop-down combo box for its list.
constexpr int kDropDownHeight = 150;

HINSTANCE Instance() {
  return GetModuleHandleA(nullptr);
}

COLORREF ColorRef(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color & 0xFFFFFF);
}

TShiftState ShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
  int got = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
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

TWin32Peer::TKind KindOf(TControl& c) {
  using K = TWin32Peer::TKind;
  if (dynamic_cast<TForm*>(&c)) return K::Form;
  if (dynamic_cast<TMaskEdit*>(&c)) return K::MaskEdit;
  if (dynamic_cast<TEdit*>(&c)) return K::Edit;
  if (dynamic_cast<TRichEdit*>(&c)) return K::RichEdit;
  if (dynamic_cast<TComboBox*>(&c)) return K::ComboBox;
  if (dynamic_cast<TButton*>(&c)) return K::Button;
  if (dynamic_cast<TCheckBox*>(&c)) return K::CheckBox;
  if (dynamic_cast<TRadioButton*>(&c)) return K::RadioButton;
  if (dynamic_cast<TGroupBox*>(&c)) return K::GroupBox;
  if (dynamic_cast<TPanel*>(&c)) return K::Panel;
  if (dynamic_cast<TLabel*>(&c)) return K::Label;
  return K::Container;
}

// The rich edit keeps a line break as one character; the model's text holds
// CR LF. Converts a position in the model's text to one in the control.
LONG RichPosition(const std::string& text, int position) {
  position = std::clamp(position, 0, static_cast<int>(text.size()));
  LONG cp = position;
  for (int i = 1; i < position; ++i)
    if (text[static_cast<size_t>(i)] == '\n' && text[static_cast<size_t>(i) - 1] == '\r') --cp;
  return cp;
}

// True while `window` still belongs to `peer`: a handler may have freed both.
bool StillOurs(HWND window, const TWin32Peer* peer) {
  return IsWindow(window) && GetPropA(window, kPeerProp) == peer;
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

bool RichEditLoaded() {
  // From the system folder by its full path, once, and kept: a library of
  // the same name beside the program or in the current folder is never taken.
  static HMODULE_T library = TWin32LibraryLoader().LoadLibrary("riched20.dll");
  return library != nullptr;
}

}  // namespace

// ---- making and destroying ----

TWin32Peer::TWin32Peer(TWin32Backend& backend, TControl& control, TKind kind)
    : backend_(backend), control_(control), kind_(kind) {}

std::unique_ptr<TWin32Peer> TWin32Peer::Create(TWin32Backend& backend, TControl& control) {
  TKind kind = KindOf(control);
  if (kind != TKind::Form && (!control.Parent() || !control.Parent()->Handle())) return nullptr;
  std::unique_ptr<TWin32Peer> peer(new TWin32Peer(backend, control, kind));
  peer->CreateNativeWindow();
  return peer;
}

TWin32Peer::~TWin32Peer() {
  if (kind_ == TKind::Form) {
    EnableOthersForModal(true);
    backend_.RemoveForm(this);
  }
  if (!hwnd_) return;
  // The model is going: nothing the window says from here on reaches it.
  backend_.BeginDestroy();
  if (comboEdit_) RemovePropA(comboEdit_, kPeerProp);
  RemovePropA(hwnd_, kPeerProp);
  DestroyWindow(hwnd_);
  backend_.EndDestroy();
}

void TWin32Peer::CreateNativeWindow() {
  if (kind_ == TKind::Form) {
    CreateFormWindow();
    return;
  }
  CreateChildWindow(reinterpret_cast<HWND>(control_.Parent()->Handle()));
}

void TWin32Peer::CreateFormWindow() {
  auto& form = static_cast<TForm&>(control_);
  DWORD style = WS_CAPTION | WS_CLIPCHILDREN;
  DWORD exStyle = WS_EX_CONTROLPARENT;
  if (form.BorderIcons() & biSystemMenu) style |= WS_SYSMENU;
  if (form.BorderIcons() & biMinimize) style |= WS_MINIMIZEBOX;
  switch (form.BorderStyle()) {
    case bsNone:
      style = WS_POPUP | WS_CLIPCHILDREN;
      break;
    case bsSizeable:
      style |= WS_THICKFRAME;
      if (form.BorderIcons() & biMaximize) style |= WS_MAXIMIZEBOX;
      break;
    case bsDialog:
      exStyle |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      exStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSingle:
      break;
  }
  if (form.FormStyle() == fsStayOnTop) exStyle |= WS_EX_TOPMOST;
  // Every form but the main one belongs to the main window: no button of its
  // own on the taskbar, always above it.
  HWND owner = nullptr;
  if (TApplication* app = backend_.Application())
    if (app->MainForm() && app->MainForm() != &form)
      owner = reinterpret_cast<HWND>(app->MainForm()->Handle());

  hwnd_ = CreateWindowExA(exStyle, "QuindleForm", form.Caption().c_str(), style, form.Left(),
                          form.Top(), std::max(form.Width(), 1), std::max(form.Height(), 1), owner,
                          nullptr, Instance(), nullptr);
  if (!hwnd_) throw std::runtime_error("Cannot create the window \"" + form.Caption() + "\"");
  SetPropA(hwnd_, kPeerProp, this);
  backend_.AddForm(this);
  if (form.Position() == poScreenCenter) {
    TRect area = backend_.WorkArea();
    RECT r{};
    ApplyBounds();
    GetWindowRect(hwnd_, &r);
    ++syncing_;
    form.SetBounds(area.left + (area.right - area.left - (r.right - r.left)) / 2,
                   area.top + (area.bottom - area.top - (r.bottom - r.top)) / 2, form.Width(),
                   form.Height());
    --syncing_;
  }
  ApplyBounds();
  if (form.Visible()) ApplyVisible();
}

void TWin32Peer::CreateChildWindow(HWND parent) {
  static int nextId = 100;
  const char* cls = "STATIC";
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  std::string text = control_.Caption();
  auto* win = dynamic_cast<TWinControl*>(&control_);
  if (win && win->TabStop()) style |= WS_TABSTOP;

  switch (kind_) {
    case TKind::Panel:
      style |= SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX;
      exStyle |= WS_EX_STATICEDGE | WS_EX_CONTROLPARENT;
      break;
    case TKind::Label:
      style |= SS_LEFTNOWORDWRAP;
      break;
    case TKind::Container:
      exStyle |= WS_EX_CONTROLPARENT;
      break;
    case TKind::Button:
      cls = "BUTTON";
      style |= static_cast<TButton&>(control_).Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      break;
    case TKind::CheckBox:
      cls = "BUTTON";
      style |= BS_AUTOCHECKBOX;
      break;
    case TKind::RadioButton: {
      cls = "BUTTON";
      style |= BS_AUTORADIOBUTTON;
      if (!static_cast<TRadioButton&>(control_).Checked()) style &= ~WS_TABSTOP;
      // The radio buttons of one parent make one group.
      for (TControl* sibling : control_.Parent()->Controls())
        if (dynamic_cast<TRadioButton*>(sibling)) {
          if (sibling == &control_) style |= WS_GROUP;
          break;
        }
      break;
    }
    case TKind::GroupBox:
      cls = "BUTTON";
      style |= BS_GROUPBOX;
      exStyle |= WS_EX_CONTROLPARENT;
      break;
    case TKind::Edit:
    case TKind::MaskEdit: {
      auto& edit = static_cast<TEdit&>(control_);
      cls = "EDIT";
      style |= ES_AUTOHSCROLL;
      if (edit.ReadOnly()) style |= ES_READONLY;
      if (edit.PasswordChar()) style |= ES_PASSWORD;
      exStyle |= WS_EX_CLIENTEDGE;
      if (kind_ == TKind::MaskEdit) text = static_cast<TMaskEdit&>(control_).EditText();
      break;
    }
    case TKind::ComboBox: {
      auto& combo = static_cast<TComboBox&>(control_);
      cls = "COMBOBOX";
      style |= WS_VSCROLL;
      switch (combo.Style()) {
        case csDropDownList:
          style |= CBS_DROPDOWNLIST;
          break;
        case csSimple:
          style |= CBS_SIMPLE | CBS_AUTOHSCROLL;
          break;
        case csDropDown:
          style |= CBS_DROPDOWN | CBS_AUTOHSCROLL;
          break;
      }
      if (combo.CharCase() == ecUpperCase) style |= CBS_UPPERCASE;
      if (combo.CharCase() == ecLowerCase) style |= CBS_LOWERCASE;
      text.clear();
      break;
    }
    case TKind::RichEdit: {
      auto& rich = static_cast<TRichEdit&>(control_);
      if (!RichEditLoaded()) throw std::runtime_error("Cannot load riched20.dll");
      cls = RICHEDIT_CLASSA;
      style |= ES_MULTILINE | ES_AUTOVSCROLL;
      if (rich.ReadOnly()) style |= ES_READONLY;
      if (rich.ScrollBars() == ssVertical || rich.ScrollBars() == ssBoth) style |= WS_VSCROLL;
      if (rich.ScrollBars() == ssHorizontal || rich.ScrollBars() == ssBoth) style |= WS_HSCROLL;
      if (!rich.WordWrap()) style |= ES_AUTOHSCROLL;
      exStyle |= WS_EX_CLIENTEDGE;
      text.clear();
      break;
    }
    case TKind::Form:
      break;
  }
  if (control_.Visible()) style |= WS_VISIBLE;
  if (!control_.Enabled()) style |= WS_DISABLED;

  hwnd_ = CreateWindowExA(exStyle, cls, text.c_str(), style, control_.Left(), control_.Top(),
                          control_.Width(), control_.Height(), parent,
                          reinterpret_cast<HMENU>(static_cast<intptr_t>(nextId++)), Instance(),
                          nullptr);
  if (!hwnd_) throw std::runtime_error("Cannot create the control " + control_.Name());
  Subclass(hwnd_);
  ApplyFont();
  ApplyBounds();

  switch (kind_) {
    case TKind::Edit:
    case TKind::MaskEdit: {
      auto& edit = static_cast<TEdit&>(control_);
      if (edit.PasswordChar())
        SendMessageA(hwnd_, EM_SETPASSWORDCHAR, static_cast<unsigned char>(edit.PasswordChar()), 0);
      if (edit.MaxLength() > 0) SendMessageA(hwnd_, EM_LIMITTEXT, edit.MaxLength(), 0);
      break;
    }
    case TKind::ComboBox: {
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      if (GetComboBoxInfo(hwnd_, &info) && info.hwndItem && info.hwndItem != hwnd_) {
        comboEdit_ = info.hwndItem;
        Subclass(comboEdit_);
      }
      ApplyItems();
      break;
    }
    case TKind::RadioButton:
    case TKind::CheckBox:
      Changed(TPeerChange::Checked);
      break;
    case TKind::RichEdit:
      Changed(TPeerChange::Color);
      // The model's limit before its text: a window made again must take back
      // everything the model holds, not stop at the new control's default.
      SendMessageA(hwnd_, EM_EXLIMITTEXT, 0,
                   static_cast<LPARAM>(static_cast<TRichEdit&>(control_).TextLimit()));
      AppendRichText();
      break;
    default:
      break;
  }
}

void TWin32Peer::Subclass(HWND window) {
  SetPropA(window, kPeerProp, this);
  auto original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
  SetPropA(window, kProcProp, reinterpret_cast<HANDLE>(original));
}

void TWin32Peer::Detach(HWND window) {
  if (window == hwnd_) hwnd_ = nullptr;
  if (window == comboEdit_) comboEdit_ = nullptr;
}

TWin32Peer* TWin32Peer::FromWindow(HWND window) {
  return window ? static_cast<TWin32Peer*>(GetPropA(window, kPeerProp)) : nullptr;
}

// ---- window procedures ----

LRESULT CALLBACK TWin32Peer::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TWin32Peer* peer = FromWindow(window);
  if (message == WM_NCDESTROY) {
    RemovePropA(window, kPeerProp);
    if (peer) peer->Detach(window);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  if (!peer || peer->backend_.Destroying()) return DefWindowProcA(window, message, wParam, lParam);
  bool handled = false;
  LRESULT result = 0;
  peer->backend_.Guard(
      [&] { result = peer->FormMessage(window, message, wParam, lParam, handled); });
  return handled ? result : DefWindowProcA(window, message, wParam, lParam);
}

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
  bool handled = false;
  LRESULT result = 0;
  peer->backend_.Guard(
      [&] { result = peer->ControlMessage(window, original, message, wParam, lParam, handled); });
  return handled ? result : CallWindowProcA(original, window, message, wParam, lParam);
}

LRESULT TWin32Peer::FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                bool& handled) {
  auto& form = static_cast<TForm&>(control_);
  TApplication* app = backend_.Application();
  bool isMain = app && app->MainForm() == &form;
  LRESULT result = 0;
  if (ReflectFromChild(message, wParam, lParam, result)) {
    handled = true;
    return result;
  }
  switch (message) {
    case WM_CLOSE:
      // The model decides: a refused close, a hide, a modal result.
      handled = true;
      form.Close();
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
      if (!showing_) form.Activate();
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
        form.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
        --syncing_;
      }
      break;
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

LRESULT TWin32Peer::ControlMessage(HWND window, WNDPROC original, UINT message, WPARAM wParam,
                                   LPARAM lParam, bool& handled) {
  LRESULT result = 0;
  if (window == hwnd_ && ReflectFromChild(message, wParam, lParam, result)) {
    handled = true;
    return result;
  }
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
    case WM_SYSCHAR:
      // A drop-down combo box's keys arrive at its edit field, which hands
      // some on to the combo box: the model sees each key once, at the field.
      if (window == hwnd_ && comboEdit_) break;
      KeyMessage(window, original, message, wParam, lParam, result, handled);
      return result;
    case WM_SETFOCUS:
      if (auto* win = dynamic_cast<TWinControl*>(&control_))
        if (TForm* form = control_.ParentForm(); form && form != win) form->SetActiveControl(win);
      break;
    case WM_ERASEBKGND:
      if (kind_ != TKind::GroupBox) break;
      // A group box draws only its frame; it holds controls, so it fills itself.
      handled = true;
      EraseBackground(window, reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
    case WM_CONTEXTMENU:
      // A masked field changes only through its model.
      if (kind_ == TKind::MaskEdit) handled = true;
      return 0;
    default:
      break;
  }
  return 0;
}

// Keys: the model's handlers see them first; one that was dropped never
// reaches the native control.
void TWin32Peer::KeyMessage(HWND window, WNDPROC original, UINT message, WPARAM wParam,
                            LPARAM lParam, LRESULT& result, bool& handled) {
  auto* win = dynamic_cast<TWinControl*>(&control_);
  if (!win) return;
  // From here the key is ours: one whose handler raised is dropped.
  handled = true;
  auto forward = [&](WPARAM key) {
    result = original ? CallWindowProcA(original, window, message, key, lParam)
                      : DefWindowProcA(window, message, key, lParam);
  };
  result = 0;
  if (message == WM_SYSCHAR) {
    TForm* form = control_.ParentForm();
    auto* formPeer = form ? static_cast<TWin32Peer*>(form->Peer()) : nullptr;
    if (formPeer && formPeer->Accelerator(static_cast<char>(wParam))) return;
    forward(wParam);
    return;
  }
  if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
    WORD_T key = static_cast<WORD_T>(wParam);
    TShiftState shift = ShiftState();
    if (message == WM_SYSKEYDOWN) shift |= ssAlt;
    if (!win->KeyDown(key, shift)) {
      if (GetFocus() != window) DiscardCharOfKey(window, message, lParam);
      return;
    }
    if (!StillOurs(window, this)) return;
    if (message == WM_KEYDOWN && key == VK_TAB && kind_ != TKind::Form) {
      MoveFocus(window, (shift & ssShift) != 0);
      return;
    }
    if (kind_ == TKind::MaskEdit && message == WM_KEYDOWN) {
      auto& mask = static_cast<TMaskEdit&>(control_);
      if (mask.IsMasked() && (key == VK_LEFT || key == VK_RIGHT || key == VK_HOME ||
                              key == VK_END || key == VK_DELETE)) {
        DWORD start = 0, end = 0;
        SendMessageA(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        mask.SetSelStart(static_cast<int>(start));
        mask.SetSelLength(static_cast<int>(end - start));
        mask.MaskKeyDown(key, shift);
        return;
      }
    }
    forward(key);
    return;
  }
  // WM_CHAR
  char c = static_cast<char>(wParam);
  if (c == '\t' && kind_ != TKind::Form) return;  // moved the focus at the key-down
  if (!win->KeyPress(c)) return;
  if (!StillOurs(window, this)) return;
  if (kind_ == TKind::MaskEdit && static_cast<TMaskEdit&>(control_).IsMasked()) {
    auto& mask = static_cast<TMaskEdit&>(control_);
    DWORD start = 0, end = 0;
    SendMessageA(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    mask.SetSelStart(static_cast<int>(start));
    mask.SetSelLength(static_cast<int>(end - start));
    mask.MaskKeyPress(c);
    return;
  }
  forward(static_cast<unsigned char>(c));
}

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

void TWin32Peer::Command(unsigned code) {
  switch (kind_) {
    case TKind::Button:
    case TKind::CheckBox:
    case TKind::RadioButton: {
      if (code != BN_CLICKED) return;
      HWND window = hwnd_;
      bool box = kind_ != TKind::Button;
      control_.Click();
      // The model owns the state: the box shows what it says, also when a
      // handler raised or refused.
      if (box && StillOurs(window, this)) Changed(TPeerChange::Checked);
      return;
    }
    case TKind::Edit:
      if (code == EN_CHANGE && !syncing_)
        static_cast<TEdit&>(control_).TextFromPeer(WindowText(hwnd_));
      return;
    case TKind::ComboBox:
      if (code == CBN_SELCHANGE) {
        int index = static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0));
        static_cast<TComboBox&>(control_).Select(index);
      }
      return;
    default:
      return;
  }
}

LRESULT TWin32Peer::Notify(const NMHDR& header) {
  if (kind_ != TKind::RichEdit || header.code != EN_LINK) return 0;
  const auto& link = reinterpret_cast<const ENLINK&>(header);
  TENLink reflected;
  reflected.code = header.code;
  reflected.msg = link.msg;
  reflected.wParam = link.wParam;
  reflected.lParam = link.lParam;
  reflected.chrg = {link.chrg.cpMin, link.chrg.cpMax};
  return static_cast<TRichEdit&>(control_).NotifyReflected(reflected);
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

// Alt and a caption's marked letter click that button or box.
bool TWin32Peer::Accelerator(char key) {
  char wanted = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
  std::vector<TControl*> pending{&control_};
  while (!pending.empty()) {
    TControl* c = pending.back();
    pending.pop_back();
    if (!c->Visible() || !c->Enabled()) continue;
    if (auto* win = dynamic_cast<TWinControl*>(c))
      for (TControl* child : win->Controls()) pending.push_back(child);
    bool clickable =
        dynamic_cast<TButton*>(c) || dynamic_cast<TCheckBox*>(c) || dynamic_cast<TRadioButton*>(c);
    if (clickable && AcceleratorOf(c->Caption()) == wanted) {
      if (auto* win = dynamic_cast<TWinControl*>(c)) win->SetFocus();
      c->Click();
      return true;
    }
  }
  return false;
}

void TWin32Peer::MoveFocus(HWND from, bool backwards) {
  if (kind_ == TKind::ComboBox) from = hwnd_;
  HWND root = GetAncestor(from, GA_ROOT);
  if (HWND next = GetNextDlgTabItem(root, from, backwards ? TRUE : FALSE)) ::SetFocus(next);
}

void TWin32Peer::FocusActiveControl() {
  auto& form = static_cast<TForm&>(control_);
  TWinControl* active = form.ActiveControl();
  HWND target = active ? reinterpret_cast<HWND>(active->Handle()) : nullptr;
  if (target && !IsWindowVisible(target)) target = nullptr;
  if (!target) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  ::SetFocus(target ? target : hwnd_);
}

// ---- following the model ----

void TWin32Peer::Changed(TPeerChange what) {
  if (!hwnd_ || syncing_) return;
  switch (what) {
    case TPeerChange::Bounds:
      ApplyBounds();
      break;
    case TPeerChange::Caption:
    case TPeerChange::Text:
      ApplyText();
      if (kind_ == TKind::Label) ApplyBounds();
      break;
    case TPeerChange::Enabled:
      EnableWindow(hwnd_, control_.Enabled());
      break;
    case TPeerChange::Visible:
      ApplyVisible();
      break;
    case TPeerChange::Checked: {
      bool checked = kind_ == TKind::CheckBox      ? static_cast<TCheckBox&>(control_).Checked()
                     : kind_ == TKind::RadioButton ? static_cast<TRadioButton&>(control_).Checked()
                                                   : false;
      if (kind_ != TKind::CheckBox && kind_ != TKind::RadioButton) break;
      SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
      if (kind_ == TKind::RadioButton) {
        // Tab reaches the checked button of a group only, as in a dialog.
        LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
        style = checked ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
        SetWindowLongPtrA(hwnd_, GWL_STYLE, style);
      }
      break;
    }
    case TPeerChange::Items:
      ApplyItems();
      break;
    case TPeerChange::ItemIndex:
      if (kind_ == TKind::ComboBox)
        SendMessageA(hwnd_, CB_SETCURSEL,
                     static_cast<WPARAM>(static_cast<TComboBox&>(control_).ItemIndex()), 0);
      break;
    case TPeerChange::LinesAdded:
      AppendRichText();
      break;
    case TPeerChange::LinesCleared:
      if (kind_ != TKind::RichEdit) break;
      SetWindowTextA(hwnd_, "");
      shownText_ = 0;
      AppendRichText();
      break;
    case TPeerChange::LinesDropped: {
      if (kind_ != TKind::RichEdit) break;
      // The same text goes from the start of the control (no undo, as with
      // every change the model makes), then the model's selection comes back.
      auto& rich = static_cast<TRichEdit&>(control_);
      const TRichEdit::TDrop& drop = rich.LastDrop();
      CHARRANGE head{0, drop.chars};
      SendMessageA(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&head));
      SendMessageA(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
      shownText_ = shownText_ > drop.bytes ? shownText_ - drop.bytes : 0;
      ApplySelection();
      break;
    }
    case TPeerChange::ReadOnly:
      if (kind_ == TKind::Edit || kind_ == TKind::MaskEdit)
        SendMessageA(hwnd_, EM_SETREADONLY, static_cast<TEdit&>(control_).ReadOnly(), 0);
      else if (kind_ == TKind::RichEdit)
        SendMessageA(hwnd_, EM_SETREADONLY, static_cast<TRichEdit&>(control_).ReadOnly(), 0);
      break;
    case TPeerChange::Font:
      ApplyFont();
      if (kind_ == TKind::Label) ApplyBounds();
      break;
    case TPeerChange::Color:
      if (kind_ == TKind::RichEdit)
        SendMessageA(hwnd_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorRef(control_.Color())));
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case TPeerChange::PasswordChar:
      if (kind_ == TKind::Edit || kind_ == TKind::MaskEdit) {
        SendMessageA(hwnd_, EM_SETPASSWORDCHAR,
                     static_cast<unsigned char>(static_cast<TEdit&>(control_).PasswordChar()), 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
      }
      break;
    case TPeerChange::MaxLength:
      if (kind_ == TKind::Edit || kind_ == TKind::MaskEdit)
        SendMessageA(hwnd_, EM_LIMITTEXT, static_cast<TEdit&>(control_).MaxLength(), 0);
      break;
    case TPeerChange::Default:
      if (kind_ == TKind::Button)
        SendMessageA(hwnd_, BM_SETSTYLE,
                     static_cast<TButton&>(control_).Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                     TRUE);
      break;
    case TPeerChange::Selection:
      ApplySelection();
      break;
    case TPeerChange::Repaint:
      RedrawWindow(hwnd_, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      break;
    case TPeerChange::TopMost:
      if (kind_ == TKind::Form)
        ::SetWindowPos(hwnd_,
                       static_cast<TForm&>(control_).FormStyle() == fsStayOnTop ? HWND_TOPMOST
                                                                                : HWND_NOTOPMOST,
                       0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      break;
    case TPeerChange::Focus:
      // A hidden form gives the focus to its active control when it shows.
      if (IsWindowVisible(GetAncestor(hwnd_, GA_ROOT))) ::SetFocus(hwnd_);
      break;
  }
}

intptr_t TWin32Peer::Perform(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return hwnd_ ? SendMessageA(hwnd_, message, wParam, lParam) : 0;
}

void TWin32Peer::ApplyBounds() {
  if (kind_ != TKind::Form) {
    int width = control_.Width(), height = control_.Height();
    if (kind_ == TKind::ComboBox && static_cast<TComboBox&>(control_).Style() != csSimple)
      height += kDropDownHeight;
    if (kind_ == TKind::Label) width = std::max(width, LabelTextWidth());
    MoveWindow(hwnd_, control_.Left(), control_.Top(), width, height, TRUE);
    return;
  }
  // A form's size comes from its client area; the model learns the outer size.
  auto& form = static_cast<TForm&>(control_);
  int width = form.Width(), height = form.Height();
  if (form.ClientWidth() > 0 && form.ClientHeight() > 0) {
    RECT r{0, 0, form.ClientWidth(), form.ClientHeight()};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_EXSTYLE)));
    width = r.right - r.left;
    height = r.bottom - r.top;
  }
  ++syncing_;
  ::SetWindowPos(hwnd_, nullptr, form.Left(), form.Top(), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  form.SetBounds(form.Left(), form.Top(), width, height);
  --syncing_;
}

// A label is as wide as its text at least: labels size themselves to their
// caption, and a font a little wider than the one laid out for must not cut
// the text off.
int TWin32Peer::LabelTextWidth() const {
  std::string shown;
  const std::string& caption = control_.Caption();
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    shown += caption[i];
  }
  HDC dc = GetDC(hwnd_);
  if (!dc) return 0;
  const TFont& f = control_.Font();
  HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(backend_.FontFor(f.name, f.height, f.bold)));
  SIZE size{};
  GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  return size.cx + 1;
}

void TWin32Peer::ApplyVisible() {
  if (kind_ != TKind::Form) {
    ::ShowWindow(hwnd_, control_.Visible() ? SW_SHOW : SW_HIDE);
    return;
  }
  auto& form = static_cast<TForm&>(control_);
  if (form.Visible()) {
    if (form.Modal()) EnableOthersForModal(false);
    showing_ = true;
    ::ShowWindow(hwnd_, SW_SHOW);
    showing_ = false;
  } else {
    // The owner is enabled first, so that it becomes the active window.
    EnableOthersForModal(true);
    ::ShowWindow(hwnd_, SW_HIDE);
  }
}

void TWin32Peer::EnableOthersForModal(bool enable) {
  if (enable) {
    for (HWND w : disabledForModal_)
      if (IsWindow(w)) EnableWindow(w, TRUE);
    disabledForModal_.clear();
    return;
  }
  for (TWin32Peer* other : backend_.Forms())
    if (other != this && other->hwnd_ && IsWindowEnabled(other->hwnd_)) {
      EnableWindow(other->hwnd_, FALSE);
      disabledForModal_.push_back(other->hwnd_);
    }
}

void TWin32Peer::ApplyText() {
  std::string text;
  switch (kind_) {
    case TKind::ComboBox:
    case TKind::RichEdit:
      return;
    case TKind::MaskEdit:
      text = static_cast<TMaskEdit&>(control_).EditText();
      break;
    default:
      text = control_.Caption();
      break;
  }
  if (WindowText(hwnd_) != text) {
    ++syncing_;
    SetWindowTextA(hwnd_, text.c_str());
    --syncing_;
  }
  // The model puts the caret after text it sets.
  if (kind_ == TKind::Edit || kind_ == TKind::MaskEdit) ApplySelection();
}

void TWin32Peer::ApplyItems() {
  if (kind_ != TKind::ComboBox) return;
  auto& combo = static_cast<TComboBox&>(control_);
  SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < combo.Items().Count(); ++i)
    SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(combo.Items().Get(i).c_str()));
  SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(combo.ItemIndex()), 0);
}

void TWin32Peer::ApplyFont() {
  const TFont& f = control_.Font();
  auto font = reinterpret_cast<WPARAM>(backend_.FontFor(f.name, f.height, f.bold));
  SendMessageA(hwnd_, WM_SETFONT, font, TRUE);
  if (kind_ == TKind::RichEdit) {
    // The pane's own text colour; its face and size come with WM_SETFONT.
    CHARFORMAT2A format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR;
    format.crTextColor = ColorRef(f.color);
    SendMessageA(hwnd_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    SendMessageA(hwnd_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  }
}

void TWin32Peer::ApplySelection() {
  switch (kind_) {
    case TKind::Edit:
    case TKind::MaskEdit: {
      auto& edit = static_cast<TEdit&>(control_);
      SendMessageA(hwnd_, EM_SETSEL, static_cast<WPARAM>(edit.SelStart()),
                   static_cast<LPARAM>(edit.SelStart() + edit.SelLength()));
      break;
    }
    case TKind::ComboBox: {
      int at = static_cast<TComboBox&>(control_).SelStart();
      SendMessageA(hwnd_, CB_SETEDITSEL, 0, MAKELPARAM(at, at));
      break;
    }
    case TKind::RichEdit: {
      auto& rich = static_cast<TRichEdit&>(control_);
      CHARRANGE range{RichPosition(rich.Text(), rich.SelStart()),
                      RichPosition(rich.Text(), rich.SelStart() + rich.SelLength())};
      SendMessageA(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
      break;
    }
    default:
      break;
  }
}

// The model's text only grows between clears: what the control has not shown
// yet goes at its end.
void TWin32Peer::AppendRichText() {
  if (kind_ != TKind::RichEdit) return;
  const std::string& text = static_cast<TRichEdit&>(control_).Text();
  if (shownText_ > text.size()) {
    SetWindowTextA(hwnd_, "");
    shownText_ = 0;
  }
  // One line at a time: a rich edit looks for web addresses only around the
  // paragraph where an insertion ends, so a line followed by an empty line in
  // one insertion (the advert line) would never be marked as a link.
  while (shownText_ < text.size()) {
    size_t next = text.find('\n', shownText_);
    next = next == std::string::npos ? text.size() : next + 1;
    std::string piece = text.substr(shownText_, next - shownText_);
    CHARRANGE end{-1, -1};
    SendMessageA(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    SendMessageA(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
    shownText_ = next;
  }
}
