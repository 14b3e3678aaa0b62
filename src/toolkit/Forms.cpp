#include "toolkit/Forms.h"

#include "toolkit/Application.h"

namespace {
// Frame sizes of a fixed single-border window with a caption, used to relate
// the client area to the outer size where no native window says otherwise.
constexpr int kFrameWidth = 6, kFrameHeight = 25;
}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  TControl::SetVisible(false);  // hidden until shown; no OnHide for that
  SetTabStop(false);
}

TForm::~TForm() = default;

void TForm::SetClientSize(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  SetBounds(Left(), Top(), width + kFrameWidth, height + kFrameHeight);
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
  Application().FormWindowsMade(*this);
}

void TForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TForm::Hide() {
  SetVisible(false);
}

void TForm::BringToFront() {
  if (Handle()) Application().Backend().SetForegroundWindow(Handle());
}

void TForm::CentreOn(const TForm& other) {
  SetBounds(other.Left() + (other.Width() - Width()) / 2,
            other.Top() + (other.Height() - Height()) / 2, Width(), Height());
}

int TForm::ShowModal() {
  TApplication& app = Application();
  if (position_ == poMainFormCenter && app.MainForm() && app.MainForm() != this)
    CentreOn(*app.MainForm());
  modal_ = true;
  modalResult_ = mrNone;
  try {
    Show();
    app.Backend().RunUntil(
        [&] { return modalResult_ != mrNone || !Visible() || app.Terminated(); });
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
  TApplication& app = Application();
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

void TForm::SetActiveControl(TWinControl* c) {
  activeControl_ = c;
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
