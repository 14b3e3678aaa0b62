#include "toolkit/Forms.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {
// Frame sizes of a fixed single-border window with a caption at 96 dpi, used
// to relate the client area to the outer size where no native window says
// otherwise; they scale with the form.
constexpr int kFrameWidth = 6, kFrameHeight = 25;
// A form is made at most half as wide again for its captions: a caption that
// needs more is cut off rather than the form made larger than a screen.
constexpr int kMostWiden = 1500;

// The widening (per mille) that the captions of `c` and of the controls it
// holds need, in their fonts at the scale they are laid out at now.
int WidenFor(const TControl& c, IBackend& backend) {
  int widen = kNoWiden;
  const std::optional<TCaptionBox> box = c.CaptionBox();
  if (box && !c.Caption().empty() && c.Width() > 0) {
    const int need = backend.CaptionWidth(*box, c.Font(), c.Caption(), c.Dpi());
    widen = std::max(widen, (need * kNoWiden + c.Width() - 1) / c.Width());
  }
  if (const auto* w = dynamic_cast<const TWinControl*>(&c))
    for (const TControl* child : w->Controls()) widen = std::max(widen, WidenFor(*child, backend));
  return widen;
}
}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  TControl::SetVisible(false);  // hidden until shown; no OnHide for that
  SetTabStop(false);
}

TForm::~TForm() = default;

void TForm::SetClientSize(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  designClientWidth_ = UnscaledX(width);
  designClientHeight_ = Unscaled(height);
  SizeToClient();
}

void TForm::SizeToClient() {
  SetBounds(Left(), Top(), clientWidth_ + Scaled(kFrameWidth),
            clientHeight_ + Scaled(kFrameHeight));
}

void TForm::SetBounds(int left, int top, int width, int height) {
  TWinControl::SetBounds(left, top, width, height);
  if (windowsMade_ && !changingDpi_) Backend().FormMoved(*this);
}

void TForm::ApplyScale() {
  ScaleFont();
  clientWidth_ = ScaledX(designClientWidth_);
  clientHeight_ = Scaled(designClientHeight_);
  ++changingDpi_;
  SizeToClient();
  --changingDpi_;
  ScaleChildren();
}

void TForm::LayOutAt(int dpi) {
  if (dpi == Dpi() && Handle()) return;
  ScaleTo(dpi, kNoWiden);
  int widen = kNoWiden;
  IBackend& backend = Backend();
  for (const TControl* c : Controls()) widen = std::max(widen, WidenFor(*c, backend));
  ScaleTo(dpi, std::min(widen, kMostWiden));
}

void TForm::CreateHandles() {
  IBackend& backend = Backend();
  // Laid out for the monitor the window is to show on before it is made, and
  // again for the window's own scale should the system have put it elsewhere.
  LayOutAt(backend.DpiAt(BoundsRect()));
  // The form's own window only: its children's come once it is laid out
  // again at the window's scale (TWinControl::CreateHandles would make them now).
  TControl::CreateHandles();  // NOLINT(bugprone-parent-virtual-call)
  if (Handle()) LayOutAt(backend.WindowDpi(Handle()));
  windowsMade_ = true;
  CreateChildHandles();
}

void TForm::DpiChanged(int dpi, const TRect& suggested) {
  ++changingDpi_;
  LayOutAt(dpi);
  SetBounds(suggested.left, suggested.top, Width(), Height());
  --changingDpi_;
}

void TForm::SetFormStyle(TFormStyle s) {
  if (s == formStyle_) return;
  formStyle_ = s;
  Notify(TPeerChange::TopMost);
}

void TForm::SetWindowState(TWindowState s) {
  windowState_ = s;
}

void TForm::SetVisible(bool value) {
  if (value == Visible()) return;
  if (value) {
    HandleNeeded();
    OnShow(this);
    TControl::SetVisible(true);
    Activate();
  } else {
    TControl::SetVisible(false);
    OnHide(this);
  }
}

void TForm::HandleNeeded() {
  if (Peer()) return;
  CreateHandles();
  FormOwner().FormWindowsMade(*this);
}

void TForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TForm::Hide() {
  SetVisible(false);
}

void TForm::BringToFront() {
  if (Handle()) Backend().SetForegroundWindow(Handle());
}

void TForm::CentreOn(const TForm& other) {
  SetBounds(other.Left() + (other.Width() - Width()) / 2,
            other.Top() + (other.Height() - Height()) / 2, Width(), Height());
}

int TForm::ShowModal() {
  IFormOwner& app = FormOwner();
  if (position_ == poMainFormCenter && app.MainForm() && app.MainForm() != this) {
    // Centred at the size it has, and its windows made there. A centring
    // that brings it onto a monitor of another scale lays it out again at
    // that scale, and so at another size: centred again at that size.
    CentreOn(*app.MainForm());
    HandleNeeded();
    for (int tries = 0; tries < 3; ++tries) {
      const int dpi = Dpi();
      CentreOn(*app.MainForm());
      if (Dpi() == dpi) break;
    }
  }
  modal_ = true;
  modalResult_ = mrNone;
  try {
    Show();
    app.RunNested([&] {
      Backend().RunUntil([&] { return modalResult_ != mrNone || !Visible() || app.Terminated(); });
    });
  } catch (...) {
    modal_ = false;
    Hide();
    throw;
  }
  modal_ = false;
  Hide();
  int result = modalResult_ == mrNone ? mrCancel : modalResult_;
  return result;
}

void TForm::SetModalResult(int r) {
  modalResult_ = r;
  if (r != mrNone && !modal_) Close();
}

bool TForm::CloseQuery() {
  bool canClose = true;
  OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  if (!CloseQuery()) {
    if (modal_) modalResult_ = mrNone;
    return;
  }
  IFormOwner& app = FormOwner();
  if (modal_) {
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
  } else if (app.MainForm() == this) {
    app.Terminate();
  } else {
    Hide();
  }
}

void TForm::Activate() {
  OnActivate(this);
}

IFormOwner& TForm::FormOwner() const {
  for (TComponent* c = Owner(); c; c = c->Owner())
    if (auto* owner = dynamic_cast<IFormOwner*>(c)) return *owner;
  throw std::logic_error("form '" + Name() + "' has no application");
}

TForm* ParentFormOf(const TControl& control) {
  return dynamic_cast<TForm*>(control.FormHost());
}

bool TForm::PreviewKeyDown(WORD_T& key, TShiftState shift) {
  if (!keyPreview_) return false;
  OnKeyDown(this, key, shift);
  return true;
}

bool TForm::PreviewKeyPress(char& key) {
  if (!keyPreview_) return false;
  OnKeyPress(this, key);
  return true;
}

void TForm::SetActiveControl(TWinControl* c) {
  activeControl_ = c;
}

namespace {
// Every control that can hold the focus, in tab order: each control before
// what it holds, a parent's controls in their order.
void CollectInTabOrder(const TWinControl& parent, std::vector<TWinControl*>& out) {
  for (TControl* c : parent.Controls())
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      out.push_back(w);
      CollectInTabOrder(*w, out);
    }
}

bool IsTabStop(TWinControl& c) {
  if (!c.TabStop() || !c.CanFocus() || !c.Showing()) return false;
  auto* radio = dynamic_cast<TRadioButton*>(&c);
  return !radio || radio->Checked();
}

bool IsArrow(WORD_T key) {
  return key == VK_LEFT_T || key == VK_RIGHT_T || key == VK_UP_T || key == VK_DOWN_T;
}
}  // namespace

TWinControl* TForm::NextTabStop(const TWinControl* from, bool forward) const {
  std::vector<TWinControl*> order;
  CollectInTabOrder(*this, order);
  const int n = static_cast<int>(order.size());
  int at = forward ? -1 : n;
  for (int i = 0; i < n; ++i)
    if (order[static_cast<size_t>(i)] == from) at = i;
  for (int step = 1; step <= n; ++step) {
    int i = ((forward ? at + step : at - step) % n + n) % n;
    if (IsTabStop(*order[static_cast<size_t>(i)])) return order[static_cast<size_t>(i)];
  }
  return nullptr;
}

TButton* TForm::DefaultButton() const {
  std::vector<TWinControl*> order;
  CollectInTabOrder(*this, order);
  for (TWinControl* c : order)
    if (auto* b = dynamic_cast<TButton*>(c); b && b->Default() && b->CanFocus() && b->Showing())
      return b;
  return nullptr;
}

bool TForm::DialogKey(TWinControl& from, WORD_T key, TShiftState shift) {
  if ((shift & (ssAlt | ssCtrl)) != 0) return false;
  if (key == VK_TAB_T) {
    TWinControl* next = NextTabStop(&from, (shift & ssShift) == 0);
    if (!next) return true;
    next->SetFocus();
    // Tab into an edit field selects its text, so that typing replaces it.
    if (auto* edit = dynamic_cast<TEdit*>(next)) edit->SelectAll();
    return true;
  }
  if (key == VK_RETURN_T) {
    TButton* button = dynamic_cast<TButton*>(&from);
    if (!button) button = DefaultButton();
    if (!button) return false;
    button->Click();
    return true;
  }
  auto* radio = dynamic_cast<TRadioButton*>(&from);
  if (!radio || !IsArrow(key) || !radio->Parent()) return false;
  std::vector<TRadioButton*> group;
  int at = 0;
  for (TControl* c : radio->Parent()->Controls())
    if (auto* r = dynamic_cast<TRadioButton*>(c);
        r && (r == radio || (r->CanFocus() && r->Showing()))) {
      if (r == radio) at = static_cast<int>(group.size());
      group.push_back(r);
    }
  const int n = static_cast<int>(group.size());
  const int step = key == VK_DOWN_T || key == VK_RIGHT_T ? 1 : -1;
  TRadioButton* next = group[static_cast<size_t>(((at + step) % n + n) % n)];
  next->SetFocus();
  next->Click();
  return true;
}

void TForm::DoCreate() {
  OnCreate(this);
  created_ = true;
}

void TForm::DoDestroy() {
  // A form whose creation has not finished holds half-loaded state: there is
  // nothing of it to save.
  if (destroyed_ || !created_) return;
  destroyed_ = true;
  OnDestroy(this);
}

void TForm::KeepTitleBarOnScreen() {
  // The title bar is the band above the client area; the user needs a grip
  // on it wide enough to drag the window back.
  const int grip = Scaled(32);
  const int band = std::max(1, Height() - ClientHeight());
  const TRect title{Left(), Top(), Left() + Width(), Top() + std::min(band, Height())};
  const TRect work = Backend().WorkAreaNearest(title);
  const int overlap = std::min(title.right, work.right) - std::max(title.left, work.left);
  const bool reachable =
      overlap >= std::min(grip, Width()) && title.top >= work.top && title.bottom <= work.bottom;
  if (!reachable) MoveInto(work);
}

void TForm::MoveInto(const TRect& work) {
  int left = std::min(Left(), work.right - Width());
  int top = std::min(Top(), work.bottom - Height());
  left = std::max(left, work.left);
  top = std::max(top, work.top);
  if (left != Left()) SetLeft(left);
  if (top != Top()) SetTop(top);
}
