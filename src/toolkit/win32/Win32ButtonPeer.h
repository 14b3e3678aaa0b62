// The peer of a push button, a check box or a radio button: a "BUTTON"
// window whose click runs the model's click rule and whose check mark shows
// what the model holds.
#pragma once
#include "toolkit/win32/Win32Peer.h"

class TButton;
class TCheckBox;
class TRadioButton;

class TWin32ButtonPeer : public TWin32Peer {
 public:
  TWin32ButtonPeer(TWin32Backend& backend, TButton& button);
  TWin32ButtonPeer(TWin32Backend& backend, TCheckBox& box);
  TWin32ButtonPeer(TWin32Backend& backend, TRadioButton& radio);

 protected:
  void DescribeWindow(TWindowStyle& window) override;
  void WindowCreated() override;
  void Follow(TPeerChange what) override;
  void Command(unsigned code) override;
  bool TakesAccelerator() const override { return true; }
  bool IsRadioButton() const override { return radio_ != nullptr; }

 private:
  void ApplyChecked();

  // One of the three, given at creation.
  TButton* const button_ = nullptr;
  TCheckBox* const box_ = nullptr;
  TRadioButton* const radio_ = nullptr;
};
