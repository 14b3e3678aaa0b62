// Popup menus and their items.
#pragma once
#include <string>
#include <vector>
#include "toolkit/Backend.h"
#include "toolkit/Component.h"

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& c) { caption_ = c; }
  bool IsSeparator() const { return caption_ == "-"; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Default() const { return default_; }
  void SetDefault(bool v) { default_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  TNotifyEvent OnClick;
  // Chosen by the user: raises OnClick when enabled.
  void Click();

 private:
  std::string caption_;
  bool enabled_ = true;
  bool default_ = false;
  bool visible_ = true;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner);
  // Items in menu order; the menu owns them through its owner form.
  void Add(TMenuItem* item) { items_.push_back(item); }
  const std::vector<TMenuItem*>& Items() const { return items_; }
  TNotifyEvent OnPopup;
  // Raises OnPopup, shows the menu at a screen position and returns once it
  // has closed; the chosen item's OnClick runs before that.
  void Popup(int x, int y);
  // The window that owns the menu while it is shown.
  void SetOwnerWindow(TWindowHandle window) { ownerWindow_ = window; }

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  std::vector<TMenuItem*> items_;
  TWindowHandle ownerWindow_;
};
