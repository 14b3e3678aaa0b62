// The native side of one control model: a real window whose messages are
// turned into the model's input methods, and which follows the model's
// changes. This base holds what every kind shares (the subclassed window,
// message routing, bounds, visibility, text, font, keys); each family of
// controls has its own peer, chosen once by the backend when it makes it.
#pragma once
#include <cstddef>
#include <string>
#include "toolkit/Controls.h"
#include "toolkit/win32/Win32Api.h"

class TWin32Backend;

class TWin32Peer : public IControlPeer {
 public:
  ~TWin32Peer() override;

  TWindowHandle Handle() const override { return WindowHandleOf(hwnd_); }
  void Changed(TPeerChange what) override;
  intptr_t Perform(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  TControl& Control() const { return control_; }
  // The peer a window belongs to (a combo box's edit field belongs to the combo's).
  static TWin32Peer* FromWindow(HWND window);
  // Makes the native window; the backend calls it once the peer is built.
  virtual void CreateNativeWindow();

  // True for a button or box that Alt and its caption's marked letter click.
  virtual bool TakesAccelerator() const { return false; }
  // The radio buttons of one parent make one group.
  virtual bool IsRadioButton() const { return false; }

  static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // `win` is the same control when it can hold the focus and take keys.
  TWin32Peer(TWin32Backend& backend, TControl& control, TWinControl* win);

  // What a family makes its child window of; the base fills in what all share.
  struct TWindowStyle {
    const char* cls = "STATIC";
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
  };
  virtual void DescribeWindow(TWindowStyle& window) {}
  // After the window exists, fonts and bounds applied.
  virtual void WindowCreated() {}

  // Following the model: the changes every window follows, and the hooks a
  // family changes. A family's Follow takes its own changes and hands the
  // rest to this one.
  virtual void Follow(TPeerChange what);
  virtual void ApplyBounds();
  virtual void ApplyVisible();
  virtual void ApplyText();
  virtual void ApplyFont();
  virtual void ApplySelection() {}
  // Sets the window's text when it differs, without telling the model back.
  void SetWindowTextQuietly(const std::string& text);

  // Messages. A family may take a message of its own subclassed windows
  // before the shared handling: true when it decided (`handled` says whether
  // the original procedure is still called).
  virtual bool OwnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                          bool& handled) {
    return false;
  }
  // A notification the parent reflected to this control.
  virtual void Command(unsigned code) {}
  virtual LRESULT Notify(const NMHDR& header) { return 0; }
  bool ReflectFromChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void EraseBackground(HWND window, HDC dc);

  // Keys (Win32Keys.cpp): the model's handlers see them first; one that was
  // dropped never reaches the native control.
  void KeyMessage(HWND window, WNDPROC original, UINT message, WPARAM wParam, LPARAM lParam,
                  LRESULT& result, bool& handled);
  // What the control itself does with a key nobody dropped, instead of the
  // native control: true when it took the key.
  virtual bool OwnKeyDown(HWND window, UINT message, WORD_T key, TShiftState shift) {
    return false;
  }
  virtual bool OwnChar(HWND window, char c) { return false; }

  // True while `window` still belongs to this peer: a handler may have freed both.
  bool StillOurs(HWND window) const;
  static COLORREF ColorRef(TColor color);
  static std::string WindowText(HWND window);

  // The window property that names a window's peer.
  static constexpr char kPeerProp[] = "QuindlePeer";

  TWin32Backend& backend_;
  TControl& control_;
  TWinControl* const win_;
  HWND hwnd_ = nullptr;
  HWND inner_ = nullptr;  // a window inside the control, subclassed too (a combo box's edit field)
  int syncing_ = 0;       // the model is being told what the window did

  void Subclass(HWND window);
  void Detach(HWND window);

 private:
  LRESULT ControlMessage(HWND window, WNDPROC original, UINT message, WPARAM wParam, LPARAM lParam,
                         bool& handled);
  LRESULT CtlColor(HDC dc, HWND window);
  static bool ClickAccelerator(TWin32Peer& form, char key);
};
