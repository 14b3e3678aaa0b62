#include "toolkit/Menus.h"

#include <algorithm>

#include "toolkit/Application.h"

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

void TMenuItem::Click() {
  if (enabled_) OnClick(this);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner) {}

void TPopupMenu::Popup(int x, int y) {
  OnPopup(this);
  // The menu runs a message loop of its own until it closes.
  TApplication& app = Application();
  TMenuItem* chosen = nullptr;
  app.RunNested([&] { chosen = app.Backend().TrackPopupMenu(*this, x, y, ownerWindow_); });
  if (chosen) chosen->Click();
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove)
    items_.erase(std::remove(items_.begin(), items_.end(), component), items_.end());
}
