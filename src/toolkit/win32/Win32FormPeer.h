// A form's peer: a top-level window of the "QuindleForm" class, sized from its
// client area, owned by the main window, and disabling the other forms while
// it shows modally. Its messages come through its class's procedure.
#pragma once
#include <vector>
#include "toolkit/win32/Win32Peer.h"

class TForm;

class TWin32FormPeer : public TWin32Peer {
 public:
  TWin32FormPeer(TWin32Backend& backend, TForm& form);
  ~TWin32FormPeer() override;

  void CreateNativeWindow() override;
  static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  void Follow(TPeerChange what) override;
  void ApplyBounds() override;
  void ApplyVisible() override;

 private:
  LRESULT FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  void FocusActiveControl();
  void EnableOthersForModal(bool enable);

  TForm& form_;
  bool showing_ = false;  // inside our own ShowWindow of the form
  std::vector<HWND> disabledForModal_;
};
