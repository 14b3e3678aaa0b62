// A message-driven timer: OnTimer runs on the GUI thread every Interval ms
// while Enabled, Interval is above 0 and OnTimer is assigned.
#pragma once
#include "toolkit/Backend.h"
#include "toolkit/Component.h"

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned value);
  const TNotifyEvent& OnTimer() const { return onTimer_; }
  void SetOnTimer(TNotifyEvent handler);
  // True while the backend timer runs.
  bool Running() const { return id_ != 0; }

 protected:
  void Loaded() override;

 private:
  void UpdateTimer();
  void Tick();

  bool enabled_ = true;
  unsigned interval_ = 1000;
  TNotifyEvent onTimer_;
  uintptr_t id_ = 0;
  IBackend* backend_ = nullptr;  // the backend the running timer lives in
};
