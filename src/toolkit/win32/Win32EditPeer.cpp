#include "toolkit/win32/Win32EditPeer.h"

#include "toolkit/MaskEdit.h"

TWin32EditPeer::TWin32EditPeer(TWin32Backend& backend, TEdit& edit)
    : TWin32Peer(backend, edit, &edit), edit_(edit) {}

TWin32EditPeer::TWin32EditPeer(TWin32Backend& backend, TMaskEdit& mask)
    : TWin32Peer(backend, mask, &mask), edit_(mask), mask_(&mask) {}

void TWin32EditPeer::DescribeWindow(TWindowStyle& window) {
  window.cls = "EDIT";
  window.style |= ES_AUTOHSCROLL;
  if (edit_.ReadOnly()) window.style |= ES_READONLY;
  if (edit_.PasswordChar()) window.style |= ES_PASSWORD;
  window.exStyle |= WS_EX_CLIENTEDGE;
  if (mask_) window.text = mask_->EditText();
}

void TWin32EditPeer::WindowCreated() {
  if (edit_.PasswordChar())
    SendMessageA(hwnd_, EM_SETPASSWORDCHAR, static_cast<unsigned char>(edit_.PasswordChar()), 0);
  if (edit_.MaxLength() > 0) SendMessageA(hwnd_, EM_LIMITTEXT, edit_.MaxLength(), 0);
}

void TWin32EditPeer::Follow(TPeerChange what) {
  switch (what) {
    case TPeerChange::ReadOnly:
      SendMessageA(hwnd_, EM_SETREADONLY, edit_.ReadOnly(), 0);
      return;
    case TPeerChange::PasswordChar:
      SendMessageA(hwnd_, EM_SETPASSWORDCHAR, static_cast<unsigned char>(edit_.PasswordChar()), 0);
      InvalidateRect(hwnd_, nullptr, TRUE);
      return;
    case TPeerChange::MaxLength:
      SendMessageA(hwnd_, EM_LIMITTEXT, edit_.MaxLength(), 0);
      return;
    default:
      TWin32Peer::Follow(what);
  }
}

void TWin32EditPeer::ApplyText() {
  SetWindowTextQuietly(mask_ ? mask_->EditText() : edit_.Caption());
  // The model puts the caret after text it sets.
  ApplySelection();
}

void TWin32EditPeer::ApplySelection() {
  SendMessageA(hwnd_, EM_SETSEL, static_cast<WPARAM>(edit_.SelStart()),
               static_cast<LPARAM>(edit_.SelStart()) + edit_.SelLength());
}

bool TWin32EditPeer::OwnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                LRESULT& result, bool& handled) {
  switch (message) {
    case WM_PASTE:
      // A paste passes the field's key filters, a character at a time (and
      // a masked field's positions), as the model does it.
      TakeSelection(window);
      edit_.Paste();
      break;
    case WM_CUT:
    case WM_CLEAR:
      // A masked field changes only through its model.
      if (!mask_) return false;
      TakeSelection(window);
      if (message == WM_CUT)
        mask_->Cut();
      else if (mask_->SelLength() > 0)
        mask_->MaskKeyDown(VK_DELETE, 0);
      break;
    case WM_UNDO:
    case EM_UNDO:
      // The control's undo would bring back a text round the mask.
      if (!mask_) return false;
      break;
    default:
      return false;
  }
  handled = true;
  result = 0;
  return true;
}

// A masked field's text reaches its model through its keys, never back from
// the control.
void TWin32EditPeer::Command(unsigned code) {
  if (code == EN_CHANGE && !syncing_ && !mask_) edit_.TextFromPeer(WindowText(hwnd_));
}

void TWin32EditPeer::TakeSelection(HWND window) {
  DWORD start = 0, end = 0;
  SendMessageA(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  ++syncing_;
  edit_.SetSelStart(static_cast<int>(start));
  edit_.SetSelLength(static_cast<int>(end - start));
  --syncing_;
}

bool TWin32EditPeer::OwnKeyDown(HWND window, UINT message, WORD_T key, TShiftState shift) {
  if (!mask_ || message != WM_KEYDOWN || !mask_->IsMasked()) return false;
  if (key != VK_LEFT && key != VK_RIGHT && key != VK_HOME && key != VK_END && key != VK_DELETE)
    return false;
  TakeSelection(window);
  mask_->MaskKeyDown(key, shift);
  return true;
}

bool TWin32EditPeer::OwnChar(HWND window, char c) {
  // Ctrl+V pastes through the model in every field, whether or not the
  // control would send itself a WM_PASTE for it.
  if (c == 0x16) {
    TakeSelection(window);
    edit_.Paste();
    return true;
  }
  if (!mask_ || !mask_->IsMasked()) return false;
  TakeSelection(window);
  if (!mask_->ClipboardKey(c)) mask_->MaskKeyPress(c);
  return true;
}
