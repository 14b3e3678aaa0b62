// The peer of a control that shows and holds but takes no input of its own:
// a label, a panel, a group box, or any other container. A label is as wide
// as its caption at least; a group box fills its own background.
#pragma once
#include "toolkit/win32/Win32Peer.h"

class TLabel;
class TPanel;
class TGroupBox;

class TWin32StaticPeer : public TWin32Peer {
 public:
  TWin32StaticPeer(TWin32Backend& backend, TLabel& label);
  TWin32StaticPeer(TWin32Backend& backend, TPanel& panel);
  TWin32StaticPeer(TWin32Backend& backend, TGroupBox& group);
  // Any other control: a plain container window.
  TWin32StaticPeer(TWin32Backend& backend, TControl& control, TWinControl* win);

 protected:
  void DescribeWindow(TWindowStyle& window) override;
  void Follow(TPeerChange what) override;
  void ApplyBounds() override;
  bool OwnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                  bool& handled) override;

 private:
  enum class TShape { Label, Panel, GroupBox, Container };
  TWin32StaticPeer(TWin32Backend& backend, TControl& control, TWinControl* win, TShape shape);
  int LabelTextWidth() const;

  const TShape shape_;
};
