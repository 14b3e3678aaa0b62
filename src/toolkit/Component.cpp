#include "toolkit/Component.h"

#include <algorithm>
#include <stdexcept>

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->Insert(this);
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  // Tell everyone who asked that this component is going.
  auto notifies = freeNotifies_;
  freeNotifies_.clear();
  for (TComponent* c : notifies) {
    c->RemoveFreeNotification(this);
    c->Notification(this, opRemove);
  }
  // Free what we own, newest first.
  while (!components_.empty()) {
    TComponent* c = components_.back();
    delete c;  // its destructor removes it from our list
  }
  if (owner_) owner_->Remove(this);
}

void TComponent::Insert(TComponent* c) {
  components_.push_back(c);
}

void TComponent::Remove(TComponent* c) {
  auto it = std::find(components_.begin(), components_.end(), c);
  if (it != components_.end()) components_.erase(it);
  c->owner_ = nullptr;
  // The owner and every sibling hear of the removal.
  Notification(c, opRemove);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) {
    auto copy = components_;
    for (TComponent* c : copy)
      if (c != component) c->Notification(component, operation);
  }
}

void TComponent::FreeNotification(TComponent* other) {
  if (!other || other == this) return;
  if (std::find(other->freeNotifies_.begin(), other->freeNotifies_.end(), this) ==
      other->freeNotifies_.end())
    other->freeNotifies_.push_back(this);
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end())
    freeNotifies_.push_back(other);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  auto drop = [](std::vector<TComponent*>& v, TComponent* c) {
    v.erase(std::remove(v.begin(), v.end(), c), v.end());
  };
  drop(freeNotifies_, other);
  drop(other->freeNotifies_, this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : components_)
    if (c->name_ == name) return c;
  return nullptr;
}

TApplication& TComponent::Application() const {
  if (!owner_) throw std::logic_error("component '" + name_ + "' has no application");
  return owner_->Application();
}

IBackend& TComponent::Backend() const {
  if (!owner_) throw std::logic_error("component '" + name_ + "' has no application");
  return owner_->Backend();
}

void TComponent::BeginLoading() {
  state_ |= csLoading;
  for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::EndLoading() {
  auto copy = components_;
  for (TComponent* c : copy) c->EndLoading();
  if (Loading()) Loaded();
}

void TComponent::Loaded() {
  state_ &= ~csLoading;
}
