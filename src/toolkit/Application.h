// The application: the root owner of the forms, the message loop, the top-level
// error report, minimise and restore, and the platform seams the program uses.
#pragma once
#include <exception>
#include <functional>
#include <string>
#include <vector>
#include "platform/Platform.h"
#include "toolkit/Backend.h"
#include "toolkit/Forms.h"

class TApplication final : public TComponent, public IFormOwner {
 public:
  TApplication(IBackend& backend, const TPlatform& platform);
  ~TApplication() override;

  TApplication& Application() const override { return const_cast<TApplication&>(*this); }
  IBackend& Backend() const override { return backend_; }
  const TPlatform& Platform() const { return platform_; }

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& t) { title_ = t; }

  // Creates a form owned by the application: design values, Loaded, native
  // windows, then OnCreate. The first form made becomes the main form. An
  // exception from any step frees the form and reaches the caller.
  template <class F, class... A>
  F* CreateForm(A&&... args) {
    F* form = new F(this, std::forward<A>(args)...);
    InitializeForm(form);
    return form;
  }
  TForm* MainForm() const override { return mainForm_; }

  // Runs the message loop until Terminate.
  void Run();
  void Terminate() override { terminated_ = true; }
  bool Terminated() const override { return terminated_; }
  // Dispatches what is pending. A handler that calls it is still running:
  // reports for later that come up meanwhile wait until it has returned.
  void ProcessMessages();
  // Runs `loop`, a nested message loop (a modal dialog's, a message box's, a
  // menu's, a wait's), counted as ProcessMessages is: every loop inside a
  // handler goes through here, so that no report for later is shown before
  // the handler under way has returned. What `loop` throws reaches the caller.
  void RunNested(const std::function<void()>& loop) override;
  // The orderly exit, once: every callback stopped, then each form's
  // OnDestroy (its saving steps), newest first, then the forms freed.
  void DestroyForms();
  // Windows is ending the session, maybe inside a nested loop (a modal
  // dialog, a message box, a menu, a wait, an error box of the orderly
  // exit's own saves): every callback stopped, the saving steps not yet
  // finished, then the process ends there. Windows may end the process as
  // soon as its end-session message returns, so this never returns to it
  // with a save still to make. Nothing is freed, since frames below still
  // use it. The saving steps are OnEndSession when it is assigned, in place
  // of each form's OnDestroy, and all of them (also those an orderly exit
  // had made before its box): Windows offers the user to end a program that
  // takes more than a few seconds, so they must not wait on a message box.
  // Without it, each form's OnDestroy not yet begun runs.
  void EndSession();
  TNotifyEvent OnEndSession;

  // Minimise and restore the whole application (the main window).
  void Minimize();
  void Restore();
  void BringToFront();
  TNotifyEvent OnMinimize, OnRestore;
  // Always-on-top windows step back while a modal window shows above them.
  void NormalizeTopMosts();
  void RestoreTopMosts();
  // Told by a form whose windows are made after start-up (at its first show).
  void FormWindowsMade(TForm& form) override;
  // The window that stands for the application (the main form's).
  TWindowHandle Handle() const;
  // A handler of the main window's messages, asked before the window's own
  // handling: true when it answered the message (with `result`).
  using TWindowHook =
      std::function<bool(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result)>;
  void HookMainWindow(TWindowHook hook) { hooks_.push_back(std::move(hook)); }
  // Called by the backend, inside its callback boundary, for each message to
  // the main window. On the way out no hook is asked.
  bool MainWindowHook(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result);

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
  // Shows the exception's message in an error box; the program goes on.
  void HandleException(const std::exception& e);
  void HandleCurrentException();
  // The same report, shown once the handler that is running has returned:
  // for faults that must not block the code that met them.
  void HandleExceptionLater(const std::exception& e);
  // Runs `fn` and reports whatever escapes, so that the steps after it still
  // run (each form's saving steps). Callbacks need none: the backend's
  // dispatch reports what escapes them (IBackend::Guard).
  template <class Fn>
  void Guard(Fn&& fn) noexcept {
    try {
      fn();
    } catch (...) {
      // A report that cannot be shown (its box's own loop failing) is let go:
      // nothing may leave a guarded step.
      try {
        HandleCurrentException();
      } catch (...) {
      }
    }
  }

 private:
  void SetTopMost(TForm& form, bool topMost);
  void InitializeForm(TForm* form);
  void ShowLater(std::string text);
  // Stops every callback and runs each form's OnDestroy, newest first.
  void SaveForms();
  // From here on no callback runs and no hook is asked.
  void StopCallbacks();

  IBackend& backend_;
  TPlatform platform_;
  std::string title_;
  TForm* mainForm_ = nullptr;
  std::vector<TForm*> forms_;
  bool terminated_ = false;
  bool formsDestroyed_ = false;
  bool callbacksStopped_ = false;  // the way out has begun
  bool formsSaved_ = false;        // every saving step has run to its end
  bool sessionEnding_ = false;
  int topMostLevel_ = 0;
  // Nested loops under way (RunNested); reports for later that come up
  // meanwhile are held until the last one has returned.
  int pumpDepth_ = 0;
  std::vector<std::string> heldReports_;
  std::vector<TWindowHook> hooks_;
};
