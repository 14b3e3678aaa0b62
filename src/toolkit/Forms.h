// Top-level windows. A form's constructor creates its components; the
// application then applies the design values (with csLoading set), calls
// Loaded, makes the native windows and only then raises OnCreate.
#pragma once
#include <functional>
#include <string>
#include "toolkit/Controls.h"

class TForm;

// What a form needs of the application that owns it: the main form, the
// nested loops, the end of the run and word of windows made after start-up.
// The application implements it, so that forms know nothing of it.
class IFormOwner {
 public:
  virtual TForm* MainForm() const = 0;
  // Runs a nested message loop, as every loop inside a handler must be run.
  virtual void RunNested(const std::function<void()>& loop) = 0;
  virtual void Terminate() = 0;
  virtual bool Terminated() const = 0;
  virtual void FormWindowsMade(TForm& form) = 0;

 protected:
  ~IFormOwner() = default;
};

// Only the options the program's forms set (and the defaults) are kept.
enum TBorderStyle { bsSingle, bsSizeable, bsDialog };
enum TFormStyle { fsNormal, fsStayOnTop };
enum TPosition { poDesigned, poMainFormCenter };
enum TWindowState { wsNormal, wsMinimized };
enum : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };

class TForm : public TWinControl, public IFormHost {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // Design values, written while loading (the form's own table).
  virtual void ApplyDesign() {}

  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  void SetClientSize(int width, int height);
  // The client size the form's layout has at `dpi`.
  TPoint ClientSizeAt(int dpi) const {
    return {ScaleForDpi(designClientWidth_, dpi * Widen(), kDesignDpi * kNoWiden),
            ScaleForDpi(designClientHeight_, dpi)};
  }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s) { borderStyle_ = s; }
  unsigned BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(unsigned b) { borderIcons_ = b; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle s);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition p) { position_ = p; }
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool v) { keyPreview_ = v; }
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState s);

  void SetVisible(bool value) override;
  // The form's place and outer size; a move the program makes may bring the
  // form onto a monitor of another scale, which the backend then tells it.
  void SetBounds(int left, int top, int width, int height) override;
  // Makes the form's windows and its controls', at the scale of the monitor
  // the form is on.
  void CreateHandles() override;
  // Makes the form's windows and its controls' when they are not made yet.
  void HandleNeeded();
  // The form's window is now on a monitor of `dpi` (WM_DPICHANGED): the form
  // and its controls are laid out again at that scale, at the place the
  // system suggests (`suggested`'s top left corner; the size is the
  // layout's, which the system's suggestion matches where it asks for it).
  void DpiChanged(int dpi, const TRect& suggested);
  void Show();
  void Hide();
  // Shows the form and runs a nested loop until it closes; returns ModalResult.
  int ShowModal();
  bool Modal() const { return modal_; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int r) override;
  // Asks the form to close: OnCloseQuery decides; a modal form ends its loop,
  // the main form ends the application, another form hides.
  void Close();
  bool CloseQuery();
  // The window became the active one.
  void Activate();
  void BringToFront();

  // The dialog keys, once the handlers let a key at `from` pass, as Windows'
  // dialog manager treats them: Tab and Shift+Tab move the focus to the next
  // or previous tab stop (of a radio group the checked button only) and
  // select the text of an edit field they land in; Enter clicks the focused
  // push button, or else the default one; an arrow moves from a radio button
  // to the next of its group (its parent's radio buttons, round the end) and
  // checks it. True when the key was taken.
  bool DialogKey(TWinControl& from, WORD_T key, TShiftState shift) override;
  // The next tab stop after `from` (the first when `from` is none of them).
  TWinControl* NextTabStop(const TWinControl* from, bool forward) const;
  // The enabled push button marked Default that is on screen, or none.
  TButton* DefaultButton() const;

  TWinControl* ActiveControl() const override { return activeControl_; }
  void SetActiveControl(TWinControl* c) override;
  bool HostWindowMade() const override { return static_cast<bool>(Handle()); }
  bool PreviewKeyDown(WORD_T& key, TShiftState shift) override;
  bool PreviewKeyPress(char& key) override;
  IFormHost* AsFormHost() const override { return const_cast<TForm*>(this); }
  // True when the form itself, not one of its controls, has the focus.
  bool FormHasFocus() const { return activeControl_ == nullptr; }

  TNotifyEvent OnCreate, OnDestroy, OnShow, OnHide, OnActivate;
  TCloseQueryEvent OnCloseQuery;

  // Run by the application: OnCreate after the windows exist, OnDestroy
  // before the form is freed (once, and only after OnCreate has finished).
  void DoCreate();
  void DoDestroy();
  // Places the form centred on another (poMainFormCenter) before showing.
  void CentreOn(const TForm& other);
  // The form's place on the screen, frame included.
  TRect BoundsRect() const { return {Left(), Top(), Left() + Width(), Top() + Height()}; }
  // Moves the form onto the work area of the monitor nearest to it when its
  // title bar is on none (a monitor unplugged, a laptop undocked since the
  // place was stored); a title bar that can still be reached stays put.
  void KeepTitleBarOnScreen();
  // Moves the form, as little as it takes, to lie within `work` (its top
  // left corner wins when it is larger than the area).
  void MoveInto(const TRect& work);

 protected:
  // The application that owns the form (up the ownership chain); throws
  // when there is none.
  IFormOwner& FormOwner() const;
  // A form keeps its place on the screen: its client area, font and
  // controls scale.
  void ApplyScale() override;

 private:
  // Where no native window says otherwise, the outer size for the client
  // area at the form's scale.
  void SizeToClient();
  // Lays the form out at `dpi`, and wider than the design where a caption
  // would not fit its control in its font there.
  void LayOutAt(int dpi);

  int clientWidth_ = 0, clientHeight_ = 0;
  int designClientWidth_ = 0, designClientHeight_ = 0;
  bool windowsMade_ = false;
  int changingDpi_ = 0;
  TBorderStyle borderStyle_ = bsSizeable;
  unsigned borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TFormStyle formStyle_ = fsNormal;
  TPosition position_ = poDesigned;
  bool keyPreview_ = false;
  TWindowState windowState_ = wsNormal;
  bool modal_ = false;
  int modalResult_ = mrNone;
  TWinControl* activeControl_ = nullptr;
  bool created_ = false;
  bool destroyed_ = false;
};

// The form `control` is on (itself for a form), or none.
TForm* ParentFormOf(const TControl& control);
