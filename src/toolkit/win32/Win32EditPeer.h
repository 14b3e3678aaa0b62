// The peer of a one-line edit: plain, password or masked. A plain field
// tells its model what the user typed; a masked field changes only through
// its model, which takes its keys, so the native control never edits it.
#pragma once
#include "toolkit/win32/Win32Peer.h"

class TEdit;
class TMaskEdit;

class TWin32EditPeer : public TWin32Peer {
 public:
  TWin32EditPeer(TWin32Backend& backend, TEdit& edit);
  TWin32EditPeer(TWin32Backend& backend, TMaskEdit& mask);

 protected:
  void DescribeWindow(TWindowStyle& window) override;
  void WindowCreated() override;
  void Follow(TPeerChange what) override;
  void ApplyText() override;
  void ApplySelection() override;
  bool OwnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                  bool& handled) override;
  void Command(unsigned code) override;
  bool OwnKeyDown(HWND window, UINT message, WORD_T key, TShiftState shift) override;
  bool OwnChar(HWND window, char c) override;

 private:
  // The model learns the native selection before its mask acts on a key.
  void TakeSelection(HWND window);

  TEdit& edit_;
  TMaskEdit* const mask_ = nullptr;  // set for a masked field
};
