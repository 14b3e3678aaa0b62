#include "toolkit/Backend.h"

#include "toolkit/Application.h"

void IBackend::Guard(const std::function<void()>& fn) noexcept {
  try {
    fn();
  } catch (...) {
    if (!app_) return;
    try {
      app_->HandleCurrentException();
    } catch (...) {
      // The report itself failed; nothing may unwind into the loop.
    }
  }
}
