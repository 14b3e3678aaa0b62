// Which peer a control gets: the one of its family, chosen here once, holding
// the control by its own type, so that no peer asks its control's kind again.
#include "toolkit/Forms.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RichEdit.h"
#include "toolkit/win32/Win32Backend.h"
#include "toolkit/win32/Win32ButtonPeer.h"
#include "toolkit/win32/Win32ComboPeer.h"
#include "toolkit/win32/Win32EditPeer.h"
#include "toolkit/win32/Win32FormPeer.h"
#include "toolkit/win32/Win32RichEditPeer.h"
#include "toolkit/win32/Win32StaticPeer.h"

namespace {

// The peer of the control's family, holding the control by its own type.
std::unique_ptr<TWin32Peer> PeerFor(TWin32Backend& b, TControl& c) {
  if (auto* x = dynamic_cast<TMaskEdit*>(&c)) return std::make_unique<TWin32EditPeer>(b, *x);
  if (auto* x = dynamic_cast<TEdit*>(&c)) return std::make_unique<TWin32EditPeer>(b, *x);
  if (auto* x = dynamic_cast<TRichEdit*>(&c)) return std::make_unique<TWin32RichEditPeer>(b, *x);
  if (auto* x = dynamic_cast<TComboBox*>(&c)) return std::make_unique<TWin32ComboPeer>(b, *x);
  if (auto* x = dynamic_cast<TButton*>(&c)) return std::make_unique<TWin32ButtonPeer>(b, *x);
  if (auto* x = dynamic_cast<TCheckBox*>(&c)) return std::make_unique<TWin32ButtonPeer>(b, *x);
  if (auto* x = dynamic_cast<TRadioButton*>(&c)) return std::make_unique<TWin32ButtonPeer>(b, *x);
  if (auto* x = dynamic_cast<TGroupBox*>(&c)) return std::make_unique<TWin32StaticPeer>(b, *x);
  if (auto* x = dynamic_cast<TPanel*>(&c)) return std::make_unique<TWin32StaticPeer>(b, *x);
  if (auto* x = dynamic_cast<TLabel*>(&c)) return std::make_unique<TWin32StaticPeer>(b, *x);
  return std::make_unique<TWin32StaticPeer>(b, c, dynamic_cast<TWinControl*>(&c));
}

}  // namespace

// A form has a window of its own; any other control lives in its parent's
// window, and without one it works as a model without a peer.
std::unique_ptr<IControlPeer> TWin32Backend::CreatePeer(TControl& control) {
  std::unique_ptr<TWin32Peer> peer;
  if (auto* form = dynamic_cast<TForm*>(&control))
    peer = std::make_unique<TWin32FormPeer>(*this, *form);
  else if (!control.Parent() || !control.Parent()->Handle())
    return nullptr;
  else
    peer = PeerFor(*this, control);
  peer->CreateNativeWindow();
  return peer;
}
