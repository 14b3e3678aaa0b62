#include "toolkit/Application.h"

#include <algorithm>

TApplication::TApplication(IBackend& backend, const TPlatform& platform)
    : TComponent(nullptr), backend_(backend), platform_(platform) {
  backend_.SetApplication(this);
}

TApplication::~TApplication() {
  DestroyForms();
  // Free what is left while the application can still answer its components.
  while (!Components().empty()) delete Components().back();
  if (backend_.Application() == this) backend_.SetApplication(nullptr);
}

void TApplication::InitializeForm(TForm* form) {
  forms_.push_back(form);
  if (!mainForm_) mainForm_ = form;
  try {
    form->BeginLoading();
    form->ApplyDesign();
    form->EndLoading();
    // The main form's windows are made now, as it shows at once; another
    // form's when it is first shown (TForm::HandleNeeded): a dialog the user
    // may never open costs no windows at start-up.
    if (form == mainForm_) form->CreateHandles();
    form->DoCreate();
  } catch (...) {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
    if (mainForm_ == form) mainForm_ = nullptr;
    delete form;
    throw;
  }
}

void TApplication::Run() {
  if (mainForm_ && !terminated_) mainForm_->Show();
  backend_.RunUntil([this] { return terminated_; });
}

void TApplication::StopCallbacks() {
  callbacksStopped_ = true;
  backend_.StopCallbacks();
}

void TApplication::SaveForms() {
  if (callbacksStopped_) return;
  // Nothing may call into a form from here on: an error box during the saves
  // runs a message loop, and the forms are freed one by one afterwards.
  StopCallbacks();
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) {
    TForm* form = *it;
    Guard([form] { form->DoDestroy(); });
  }
  // Only now: a session that ends inside an error box of these saves must
  // still make those not yet made.
  formsSaved_ = true;
}

void TApplication::DestroyForms() {
  if (formsDestroyed_) return;
  formsDestroyed_ = true;
  SaveForms();
  while (!forms_.empty()) {
    TForm* form = forms_.back();
    forms_.pop_back();
    if (mainForm_ == form) mainForm_ = nullptr;
    delete form;
  }
}

void TApplication::EndSession() {
  terminated_ = true;
  // Told again while its own saves run (another window's end-session
  // message): the first one ends the process.
  if (sessionEnding_) return;
  sessionEnding_ = true;
  if (!formsSaved_) {
    StopCallbacks();
    if (OnEndSession) {
      Guard([this] { OnEndSession(this); });
    } else {
      // A form whose OnDestroy is under way (below, in its error box) is
      // not entered again.
      for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) {
        TForm* form = *it;
        Guard([form] { form->DoDestroy(); });
      }
    }
    formsSaved_ = true;
  }
  // The system ends the process once the session has ended; ending it here
  // makes sure no frame below goes on with what was just closed.
  if (platform_.system) platform_.system->ExitProcess(0);
}

THandle TApplication::Handle() const {
  return mainForm_ ? mainForm_->Handle() : 0;
}

bool TApplication::MainWindowHook(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                  intptr_t& result) {
  if (callbacksStopped_) return false;
  for (const TWindowHook& hook : hooks_)
    if (hook(message, wParam, lParam, result)) return true;
  return false;
}

void TApplication::Minimize() {
  if (mainForm_) mainForm_->SetWindowState(wsMinimized);
  backend_.ShowWindow(Handle(), SW_MINIMIZE_T);
  OnMinimize(this);
}

void TApplication::Restore() {
  if (mainForm_) mainForm_->SetWindowState(wsNormal);
  backend_.ShowWindow(Handle(), SW_RESTORE_T);
  OnRestore(this);
}

void TApplication::BringToFront() {
  if (Handle()) backend_.SetForegroundWindow(Handle());
}

void TApplication::NormalizeTopMosts() {
  if (topMostLevel_++ > 0) return;
  for (TForm* f : forms_) SetTopMost(*f, false);
}

void TApplication::RestoreTopMosts() {
  if (topMostLevel_ == 0 || --topMostLevel_ > 0) return;
  for (TForm* f : forms_) SetTopMost(*f, true);
}

void TApplication::FormWindowsMade(TForm& form) {
  // Made top-most while the others have stepped back: it steps back with
  // them, and comes back with them.
  if (topMostLevel_ > 0) SetTopMost(form, false);
}

void TApplication::SetTopMost(TForm& form, bool topMost) {
  if (form.FormStyle() != fsStayOnTop || !form.Handle()) return;
  backend_.SetWindowPos(form.Handle(), topMost ? HWND_TOPMOST_T : HWND_NOTOPMOST_T, 0, 0, 0, 0,
                        SWP_NOMOVE_T | SWP_NOSIZE_T | SWP_NOACTIVATE_T);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  // The box runs a message loop of its own until the user answers.
  int answer = 0;
  RunNested([&] {
    answer = backend_.MessageBox(Handle(), text, caption.empty() ? title_ : caption, flags);
  });
  return answer;
}

void TApplication::HandleException(const std::exception& e) {
  MessageBox(e.what(), title_, MB_OK_T | MB_ICONERROR_T);
}

void TApplication::HandleExceptionLater(const std::exception& e) {
  ShowLater(e.what());
}

void TApplication::ShowLater(std::string text) {
  backend_.PostToGui([this, text = std::move(text)] {
    // Reached from inside a nested loop (a handler that pumps messages
    // halfway through its work, a wait for a hang-up before a redial, a
    // dialog or a box): shown here, the box would hold that handler up.
    if (pumpDepth_ > 0) {
      heldReports_.push_back(text);
      return;
    }
    MessageBox(text, title_, MB_OK_T | MB_ICONERROR_T);
  });
}

void TApplication::ProcessMessages() {
  RunNested([this] { backend_.ProcessMessages(); });
}

void TApplication::RunNested(const std::function<void()>& loop) {
  ++pumpDepth_;
  try {
    loop();
  } catch (...) {
    --pumpDepth_;
    throw;
  }
  if (--pumpDepth_ > 0 || heldReports_.empty()) return;
  // Queued again, they come up once the handler has returned to the loop.
  std::vector<std::string> held;
  held.swap(heldReports_);
  for (std::string& text : held) ShowLater(std::move(text));
}

void TApplication::HandleCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    HandleException(e);
  } catch (...) {
    HandleException(std::runtime_error("Unknown error"));
  }
}

// The backend's callback boundary reports to the application, so it is
// defined with the report.
void IBackend::Guard(const std::function<void()>& fn) noexcept {
  try {
    fn();
  } catch (...) {
    if (!app_) return;
    try {
      app_->HandleCurrentException();
    } catch (...) {
      // The report itself failed; nothing may unwind into the loop.
    }
  }
}
