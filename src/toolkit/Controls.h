// Control models: they hold their state and raise their events. A backend
// gives each a native peer or none; user input enters through the same
// methods (Click, KeyDown, KeyPress, a selection) whichever way it comes.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "toolkit/Backend.h"
#include "toolkit/Component.h"
#include "toolkit/Strings.h"

class TWinControl;

// The results a form's modal loop ends with (a button's ModalResult).
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2;

// What a control needs of the form it is on: the form's active control, its
// key preview, its dialog keys and the modal result a button hands it. The
// form implements it, so that the controls know nothing of forms.
class IFormHost {
 public:
  virtual TWinControl* ActiveControl() const = 0;
  virtual void SetActiveControl(TWinControl* c) = 0;
  // The form's own window is made.
  virtual bool HostWindowMade() const = 0;
  // With its key preview on, the form's handlers see a key before the
  // control does and may take it (set it to 0). False without key preview.
  virtual bool PreviewKeyDown(WORD_T& key, TShiftState shift) = 0;
  virtual bool PreviewKeyPress(char& key) = 0;
  // The form's dialog keys for a key `from` let pass: true when taken.
  virtual bool DialogKey(TWinControl& from, WORD_T key, TShiftState shift) = 0;
  virtual void SetModalResult(int result) = 0;

 protected:
  ~IFormHost() = default;
};

using TColor = int32_t;  // 0x00BBGGRR, or a system colour below 0
constexpr TColor clNavy = 0x800000, clBlack = 0, clWindow = -0x7FFFFFFB, clBtnFace = -0x7FFFFFF1;

struct TFont {
  std::string name = "Tahoma";
  int height = -11;  // pixels, negative: character height (8 point at 96 dpi)
  TColor color = clBlack;
  bool bold = false;
  bool operator==(const TFont&) const = default;
};

// The design's scale: bounds and fonts are written for 96 dots per inch.
inline constexpr int kDesignDpi = 96;
// No widening of a layout (per mille).
inline constexpr int kNoWiden = 1000;
// `value` at `dpi` for a value made for `from` dots per inch, rounded half
// away from zero as Windows' MulDiv rounds.
int ScaleForDpi(int value, int dpi, int from = kDesignDpi);
// A font's height at `dpi` for its height at the design's scale. A font
// keeps its size in points: the design's height stands for the whole point
// size nearest to it (-11 px: 8 points), which is made at `dpi` as Windows
// makes a dialog's font (-MulDiv(points, dpi, 72)), so that the text grows
// no faster than the layout around it.
int FontHeightForDpi(int designHeight, int dpi);

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);
  // The form this control is on (itself for a form), or none.
  IFormHost* FormHost() const;
  // The control as a form host: none but for a form.
  virtual IFormHost* AsFormHost() const { return nullptr; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);

  // The dpi the control's bounds and font are at: the design's until its
  // form's windows are made at the scale of their monitor. Bounds and fonts
  // set by the program are taken at this scale.
  int Dpi() const { return dpi_; }
  // How much wider than the design (per mille) the layout is made, for a
  // font wider than the one it was laid out for.
  int Widen() const { return widen_; }
  // Lays the control out for `dpi`, `widen` per mille as wide (and its
  // children, for a control that holds others): bounds and font are made
  // again from their values at the design's scale, so that moving between
  // scales never drifts by rounding.
  void ScaleTo(int dpi, int widen = kNoWiden);

  // Caption of buttons, labels, panels and forms; the text of edits.
  const std::string& Caption() const { return caption_; }
  virtual void SetCaption(const std::string& caption);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool value);
  // The control and every parent up to its form are visible: it is on screen.
  bool Showing() const;
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  TNotifyEvent OnClick;
  // The user's click (or a program's that acts as one).
  virtual void Click();
  // Repaints at once.
  void Repaint();

  IControlPeer* Peer() const { return peer_.get(); }
  TWindowHandle Handle() const { return peer_ ? peer_->Handle() : TWindowHandle{}; }
  // What surrounds the caption of a control that shows one whole (a label,
  // a check box or radio button, a push button); none for the others.
  virtual std::optional<TCaptionBox> CaptionBox() const { return std::nullopt; }

  // Makes the native peers of this control (and its children).
  virtual void CreateHandles();
  // Runs once the native window exists (also on re-creation).
  virtual void CreateWnd() {}
  // Sends a message to the native control; without one, the model answers
  // the few messages it emulates (0 otherwise).
  intptr_t Perform(uint32_t message, uintptr_t wParam, intptr_t lParam);

 protected:
  virtual intptr_t EmulateMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) { return 0; }
  // Applies the scale Dpi() now says: bounds and font from their design
  // values, which the peers then follow.
  virtual void ApplyScale();
  // A value set at the current scale, at the design's: what ApplyScale
  // makes again at another.
  int Unscaled(int value) const { return ScaleForDpi(value, kDesignDpi, dpi_); }
  int Scaled(int designValue) const { return ScaleForDpi(designValue, dpi_); }
  // The same across: widened too.
  int UnscaledX(int value) const {
    return ScaleForDpi(value, kDesignDpi * kNoWiden, dpi_ * widen_);
  }
  int ScaledX(int designValue) const {
    return ScaleForDpi(designValue, dpi_ * widen_, kDesignDpi * kNoWiden);
  }
  // Sets the bounds without taking them as the program's (a scale's own).
  void SetScaledBounds(int left, int top, int width, int height);
  // The font's height made again from its design value.
  void ScaleFont();
  void Notify(TPeerChange what) {
    if (peer_) peer_->Changed(what);
  }

  std::unique_ptr<IControlPeer> peer_;

 private:
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int dpi_ = kDesignDpi;
  int widen_ = kNoWiden;
  // The bounds and the font's height at the design's scale.
  struct {
    int left = 0, top = 0, width = 0, height = 0;
  } design_;
  int designFontHeight_ = TFont{}.height;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  TFont font_;
  TColor color_ = clBtnFace;
};

// A control that can hold the focus and take keys.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  const std::vector<TControl*>& Controls() const { return children_; }
  void AddChild(TControl* c);
  void RemoveChild(TControl* c);
  int TabOrder() const;
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v) { tabStop_ = v; }

  bool CanFocus() const;
  void SetFocus();
  bool Focused() const;

  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnChange;

  // User input. The form sees the key first when its KeyPreview is on, then
  // this control's handler; false when the key was dropped (set to 0). A key
  // the control wants for itself (WantsKey) skips the form's preview. A
  // character changes nothing when the control is no longer on screen (its
  // dialog closed at the key-down), nor is a Tab, Enter or Escape the dialog
  // keys take a character for the control.
  bool KeyDown(WORD_T& key, TShiftState shift);
  bool KeyPress(char& key);
  // Tab, Enter and the arrows of a radio group, which the form takes as a
  // dialog does once the handlers let the key pass: true when it took it.
  bool DialogKey(WORD_T key, TShiftState shift);
  // A key the control takes itself before the form's preview and the dialog
  // keys (a dropped-down list's Escape and Enter).
  virtual bool WantsKey(WORD_T key) { return false; }
  // A key typed by the user: KeyDown, the dialog keys, then the control's own
  // handling of the key when nobody took it and there is no native control
  // to do it. False when a handler dropped the key.
  bool TypeKey(WORD_T key, TShiftState shift = 0);
  void TypeChar(char c);
  void TypeText(const std::string& text);

  void CreateHandles() override;

 protected:
  void ApplyScale() override;
  // Makes the children's native windows, once this control's own exists.
  void CreateChildHandles();
  void ScaleChildren();
  // What the control itself does with a key nobody dropped (headless only;
  // a native control does its own).
  virtual void DefaultKeyDown(WORD_T key, TShiftState shift) {}
  virtual void DefaultKeyPress(char key) {}
  virtual void Change();

 private:
  std::vector<TControl*> children_;
  bool tabStop_ = true;
};

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner);
  std::optional<TCaptionBox> CaptionBox() const override { return TCaptionBox::Label; }
};

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);
};

class TGroupBox : public TWinControl {
 public:
  explicit TGroupBox(TComponent* owner);
};

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  std::optional<TCaptionBox> CaptionBox() const override { return TCaptionBox::PushButton; }
  bool Default() const { return default_; }
  void SetDefault(bool v);
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int v) { modalResult_ = v; }
  void Click() override;

 private:
  bool default_ = false;
  int modalResult_ = 0;
};

// A check box; set by code it raises its click rule only when its state changes.
class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* owner);
  std::optional<TCaptionBox> CaptionBox() const override { return TCaptionBox::CheckBox; }
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  void Click() override;  // the user's click toggles the box

 private:
  bool checked_ = false;
};

// A radio button; checking one unchecks its siblings in the same parent.
class TRadioButton : public TWinControl {
 public:
  explicit TRadioButton(TComponent* owner);
  std::optional<TCaptionBox> CaptionBox() const override { return TCaptionBox::CheckBox; }
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  void Click() override;  // the user's click checks it

 private:
  bool checked_ = false;
};

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  const std::string& Text() const { return Caption(); }
  void SetText(const std::string& text);
  void SetCaption(const std::string& caption) override;
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int n);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  int SelStart() const { return selStart_; }
  int SelLength() const { return selLength_; }
  void SetSelStart(int v);
  void SetSelLength(int v);
  void SelectAll();
  // The native control's text changed under the user's hand.
  void TextFromPeer(const std::string& text);

  // The clipboard, as the user works it. A paste goes in as if its first
  // line were typed: each character passes the key filters and what they
  // keep is put at the selection (a masked field fills its positions), so a
  // digits-only field keeps only the digits. Copy and cut take the
  // selection; a password field gives nothing away.
  void Paste();
  void Copy();
  void Cut();
  // Ctrl+C, Ctrl+V and Ctrl+X as the characters they make: true when `key`
  // was one of them and was done.
  bool ClipboardKey(char key);

 protected:
  void DefaultKeyDown(WORD_T key, TShiftState shift) override;
  void DefaultKeyPress(char key) override;

 private:
  char passwordChar_ = 0;
  int maxLength_ = 0;
  bool readOnly_ = false;
  int selStart_ = 0;
  int selLength_ = 0;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };
enum TEditCharCase { ecNormal, ecUpperCase };

class TComboBox : public TWinControl {
 public:
  explicit TComboBox(TComponent* owner);
  TStrings& Items() { return items_; }
  const TStrings& Items() const { return items_; }
  int ItemIndex() const { return itemIndex_; }
  // An index outside the list selects nothing (-1).
  void SetItemIndex(int index);
  std::string Text() const;
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle s) { style_ = s; }
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase c) { charCase_ = c; }
  // The user picked an item: selects it and raises OnChange.
  void Select(int index);
  // The drop-down list (CB_GETDROPPEDSTATE, CB_SHOWDROPDOWN). While it is
  // open the item the user moves to is only highlighted; the list closes
  // with it chosen (Enter, a click) or with the choice made before kept
  // (Escape, the focus leaving).
  bool DroppedDown();
  void SetDroppedDown(bool open);
  void CloseUp(bool choose, int highlighted);
  // Escape and Enter close an open list, not the dialog.
  bool WantsKey(WORD_T key) override;
  int SelStart() const { return selStart_; }
  void SetSelStart(int v) {
    selStart_ = v;
    Notify(TPeerChange::Selection);
  }

 protected:
  intptr_t EmulateMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void DefaultKeyDown(WORD_T key, TShiftState shift) override;

 private:
  TStrings items_;
  int itemIndex_ = -1;
  TComboBoxStyle style_ = csDropDown;
  TEditCharCase charCase_ = ecNormal;
  int selStart_ = 0;
  bool droppedDown_ = false;  // without a native control
  int highlighted_ = -1;
};
