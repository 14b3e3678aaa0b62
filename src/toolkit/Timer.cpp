#include "toolkit/Timer.h"

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  if (id_) backend_->StopTimer(id_);
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  // Every change restarts the count from zero, as a native timer does.
  if (id_) {
    backend_->StopTimer(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0 && onTimer_ && !Loading()) {
    backend_ = &Backend();
    id_ = backend_->StartTimer(interval_, [this] { Tick(); });
  }
}

// What escapes the handler goes to the backend's callback boundary, which
// reports it; the timer keeps ticking.
void TTimer::Tick() {
  onTimer_(this);
}
