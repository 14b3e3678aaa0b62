// The native side of one control model: a real window (a top-level window for
// a form, a system control for the others) whose messages are turned into the
// model's input methods, and which follows the model's changes.
#pragma once
#include <cstddef>
#include <vector>
#include "toolkit/Controls.h"
#include "toolkit/win32/Win32Api.h"

class TWin32Backend;

class TWin32Peer : public IControlPeer {
 public:
  enum class TKind {
    Form,
    Panel,
    Label,
    Button,
    CheckBox,
    RadioButton,
    GroupBox,
    Edit,
    MaskEdit,
    ComboBox,
    RichEdit,
    Container
  };

  // Makes the window of `control`; null when the control has no parent window
  // to live in (it then works as a model without a peer).
  static std::unique_ptr<TWin32Peer> Create(TWin32Backend& backend, TControl& control);
  ~TWin32Peer() override;

  THandle Handle() const override { return reinterpret_cast<THandle>(hwnd_); }
  void Changed(TPeerChange what) override;
  intptr_t Perform(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  TKind Kind() const { return kind_; }
  TControl& Control() const { return control_; }
  // The peer a window belongs to (a combo box's edit field belongs to the combo's).
  static TWin32Peer* FromWindow(HWND window);

  static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  TWin32Peer(TWin32Backend& backend, TControl& control, TKind kind);
  void CreateNativeWindow();
  void CreateFormWindow();
  void CreateChildWindow(HWND parent);
  void Subclass(HWND window);
  void Detach(HWND window);

  // Message handling; `handled` is set before the model is called, so that a
  // message whose handler raised is not passed on as if nobody had seen it.
  LRESULT FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  LRESULT ControlMessage(HWND window, WNDPROC original, UINT message, WPARAM wParam, LPARAM lParam,
                         bool& handled);
  void KeyMessage(HWND window, WNDPROC original, UINT message, WPARAM wParam, LPARAM lParam,
                  LRESULT& result, bool& handled);
  // A notification from a child window, reflected to the child's peer.
  bool ReflectFromChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void Command(unsigned code);
  LRESULT Notify(const NMHDR& header);
  LRESULT CtlColor(HDC dc, HWND window);
  void EraseBackground(HWND window, HDC dc);
  bool Accelerator(char key);
  void MoveFocus(HWND from, bool backwards);
  void FocusActiveControl();

  // Following the model.
  void ApplyBounds();
  int LabelTextWidth() const;
  void ApplyVisible();
  void ApplyText();
  void ApplyItems();
  void ApplyFont();
  void ApplySelection();
  void AppendRichText();
  void EnableOthersForModal(bool enable);

  TWin32Backend& backend_;
  TControl& control_;
  TKind kind_;
  HWND hwnd_ = nullptr;
  HWND comboEdit_ = nullptr;  // the edit field inside a drop-down combo box
  int syncing_ = 0;           // the model is being told what the window did
  bool showing_ = false;      // inside our own ShowWindow of a form
  size_t shownText_ = 0;      // bytes of a rich edit's text already in the control
  std::vector<HWND> disabledForModal_;
};
