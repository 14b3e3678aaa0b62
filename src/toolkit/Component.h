// The component base: ownership, names, the loading state and removal notices.
#pragma once
#include <string>
#include <vector>
#include "toolkit/Events.h"

class IBackend;
class TApplication;

enum TComponentStateFlag : unsigned { csLoading = 1, csDesigning = 2, csDestroying = 4 };
enum TOperation { opInsert, opRemove };

class TComponent : public TObject {
 public:
  // The owner frees this component when it is freed (in reverse order of
  // creation). A component without an owner is freed by whoever made it.
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }

  unsigned ComponentState() const { return state_; }
  bool Loading() const { return (state_ & csLoading) != 0; }
  bool Designing() const { return (state_ & csDesigning) != 0; }
  bool Destroying() const { return (state_ & csDestroying) != 0; }
  // Marks this component and everything it owns as loading its stored values.
  void BeginLoading();
  // Ends loading: Loaded() on each owned component, then on this one.
  void EndLoading();

  const std::vector<TComponent*>& Components() const { return components_; }
  TComponent* FindComponent(const std::string& name) const;

  // The application at the root of the ownership chain; throws when there is none.
  virtual TApplication& Application() const;
  // The backend of that application (windows, timers, the clipboard), for
  // the toolkit's own components, which need no more of the application.
  virtual IBackend& Backend() const;

  // Asks to be told (through Notification) when `other` is removed.
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

 protected:
  // Called once the stored configuration has been applied; clears csLoading.
  virtual void Loaded();
  // Called when a component this one owns, or one it asked about, goes away.
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  void Insert(TComponent* c);
  void Remove(TComponent* c);

  TComponent* owner_ = nullptr;
  std::string name_;
  unsigned state_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
};

// Holds a component (and what it owns) in the loading state for a scope, as
// while its design values are written: setters and handlers can tell the
// stored configuration being applied from a change. Ends with Loaded() as
// EndLoading does, unless the component was loading already.
class TLoadingScope {
 public:
  explicit TLoadingScope(TComponent& component)
      : component_(component), began_(!component.Loading()) {
    if (began_) component_.BeginLoading();
  }
  ~TLoadingScope() {
    if (began_) component_.EndLoading();
  }
  TLoadingScope(const TLoadingScope&) = delete;
  TLoadingScope& operator=(const TLoadingScope&) = delete;

 private:
  TComponent& component_;
  bool began_;
};
