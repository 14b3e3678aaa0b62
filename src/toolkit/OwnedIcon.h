// TOwnedIcon: the one owner of an icon the backend made for the program (an
// image-list entry or the application icon). It destroys the icon through
// the backend when it goes or when another takes its place; it is moved,
// never copied, so that no icon is destroyed twice or left behind.
#pragma once
#include <utility>
#include "toolkit/Backend.h"

class TOwnedIcon {
 public:
  TOwnedIcon() = default;
  // Takes `icon` over; a null handle makes an empty owner.
  TOwnedIcon(IBackend& backend, TIconHandle icon) : backend_(&backend), icon_(icon) {}
  ~TOwnedIcon() { Reset(); }

  TOwnedIcon(TOwnedIcon&& other) noexcept
      : backend_(other.backend_), icon_(std::exchange(other.icon_, TIconHandle{})) {}
  // The icon held so far is destroyed, then `other`'s is held.
  TOwnedIcon& operator=(TOwnedIcon&& other) noexcept {
    if (this != &other) {
      Reset();
      backend_ = other.backend_;
      icon_ = std::exchange(other.icon_, TIconHandle{});
    }
    return *this;
  }
  TOwnedIcon(const TOwnedIcon&) = delete;
  TOwnedIcon& operator=(const TOwnedIcon&) = delete;

  TIconHandle Get() const { return icon_; }
  explicit operator bool() const { return static_cast<bool>(icon_); }
  // Destroys the icon held, if any; the owner is empty afterwards.
  void Reset() noexcept {
    if (icon_ && backend_) backend_->DestroyIcon(icon_);
    icon_ = TIconHandle{};
  }

 private:
  IBackend* backend_ = nullptr;
  TIconHandle icon_;
};
