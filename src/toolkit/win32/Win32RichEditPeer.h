// The peer of a rich edit (RichEdit 2.0): the model's text goes in as it
// grows, one line at a time, and the control's link notifications are
// handed to the model.
#pragma once
#include <cstddef>
#include "toolkit/win32/Win32Peer.h"

class TRichEdit;

class TWin32RichEditPeer : public TWin32Peer {
 public:
  TWin32RichEditPeer(TWin32Backend& backend, TRichEdit& rich);

 protected:
  void DescribeWindow(TWindowStyle& window) override;
  void WindowCreated() override;
  void Follow(TPeerChange what) override;
  void ApplyText() override {}  // the text comes as lines are added
  void ApplyFont() override;
  void ApplySelection() override;
  LRESULT Notify(const NMHDR& header) override;

 private:
  void AppendText();

  TRichEdit& rich_;
  size_t shownText_ = 0;  // bytes of the model's text already in the control
};
