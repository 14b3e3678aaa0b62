// The peer of a combo box: a "COMBOBOX" window with the model's items, whose
// selection by the user reaches the model. A drop-down combo box's keys
// arrive at the edit field inside it, which is subclassed too.
#pragma once
#include "toolkit/win32/Win32Peer.h"

class TComboBox;

class TWin32ComboPeer : public TWin32Peer {
 public:
  TWin32ComboPeer(TWin32Backend& backend, TComboBox& combo);

 protected:
  void DescribeWindow(TWindowStyle& window) override;
  void WindowCreated() override;
  void Follow(TPeerChange what) override;
  void ApplyBounds() override;
  void ApplyText() override {}  // the list holds the text
  void ApplySelection() override;
  bool OwnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                  bool& handled) override;
  void Command(unsigned code) override;

 private:
  void ApplyItems();

  TComboBox& combo_;
};
