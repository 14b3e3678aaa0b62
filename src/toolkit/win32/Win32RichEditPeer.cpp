#include "toolkit/win32/Win32RichEditPeer.h"

#include <algorithm>
#include <stdexcept>

#include "toolkit/RichEdit.h"

namespace {

bool RichEditLoaded() {
  // From the system folder by its full path, once, and kept: a library of
  // the same name beside the program or in the current folder is never taken.
  static HMODULE_T library = TWin32LibraryLoader().LoadLibrary("riched20.dll");
  return library != nullptr;
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

}  // namespace

TWin32RichEditPeer::TWin32RichEditPeer(TWin32Backend& backend, TRichEdit& rich)
    : TWin32Peer(backend, rich, &rich), rich_(rich) {}

void TWin32RichEditPeer::DescribeWindow(TWindowStyle& window) {
  if (!RichEditLoaded()) throw std::runtime_error("Cannot load riched20.dll");
  window.cls = RICHEDIT_CLASSA;
  window.style |= ES_MULTILINE | ES_AUTOVSCROLL;
  if (rich_.ReadOnly()) window.style |= ES_READONLY;
  if (rich_.ScrollBars() == ssVertical) window.style |= WS_VSCROLL;
  if (!rich_.WordWrap()) window.style |= ES_AUTOHSCROLL;
  window.exStyle |= WS_EX_CLIENTEDGE;
  window.text.clear();
}

void TWin32RichEditPeer::WindowCreated() {
  Changed(TPeerChange::Color);
  // The model's limit before its text: a window made again must take back
  // everything the model holds, not stop at the new control's default.
  SendMessageA(hwnd_, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(rich_.TextLimit()));
  AppendText();
}

void TWin32RichEditPeer::Follow(TPeerChange what) {
  switch (what) {
    case TPeerChange::LinesAdded:
      AppendText();
      return;
    case TPeerChange::LinesCleared:
      SetWindowTextA(hwnd_, "");
      shownText_ = 0;
      AppendText();
      return;
    case TPeerChange::LinesDropped: {
      // The same text goes from the start of the control (no undo, as with
      // every change the model makes), then the model's selection comes back.
      const TRichEdit::TDrop& drop = rich_.LastDrop();
      CHARRANGE head{0, drop.chars};
      SendMessageA(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&head));
      SendMessageA(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
      shownText_ = shownText_ > drop.bytes ? shownText_ - drop.bytes : 0;
      ApplySelection();
      return;
    }
    case TPeerChange::ReadOnly:
      SendMessageA(hwnd_, EM_SETREADONLY, rich_.ReadOnly(), 0);
      return;
    case TPeerChange::Color:
      SendMessageA(hwnd_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorRef(rich_.Color())));
      TWin32Peer::Follow(what);
      return;
    default:
      TWin32Peer::Follow(what);
  }
}

void TWin32RichEditPeer::ApplyFont() {
  TWin32Peer::ApplyFont();
  // The pane's own text colour; its face and size come with WM_SETFONT.
  CHARFORMAT2A format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_COLOR;
  format.crTextColor = ColorRef(rich_.Font().color);
  SendMessageA(hwnd_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  SendMessageA(hwnd_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
}

void TWin32RichEditPeer::ApplySelection() {
  CHARRANGE range{RichPosition(rich_.Text(), rich_.SelStart()),
                  RichPosition(rich_.Text(), rich_.SelStart() + rich_.SelLength())};
  SendMessageA(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

// The model's text only grows between clears: what the control has not shown
// yet goes at its end.
void TWin32RichEditPeer::AppendText() {
  const std::string& text = rich_.Text();
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

LRESULT TWin32RichEditPeer::Notify(const NMHDR& header) {
  if (header.code != EN_LINK) return 0;
  const auto& link = reinterpret_cast<const ENLINK&>(header);
  TENLink reflected;
  reflected.code = header.code;
  reflected.msg = link.msg;
  reflected.wParam = link.wParam;
  reflected.lParam = link.lParam;
  reflected.chrg = {link.chrg.cpMin, link.chrg.cpMax};
  return rich_.NotifyReflected(reflected);
}
