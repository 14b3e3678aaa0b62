// Bound event callbacks: an empty one is skipped when raised.
#pragma once
#include <functional>
#include <utility>
#include "platform/WinConstants.h"  // WORD_T and the virtual-key codes

class TObject {
 public:
  virtual ~TObject() = default;
};

template <class... Args>
class TEvent {
 public:
  TEvent() = default;
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TEvent> &&
                                              std::is_invocable_v<F&, Args...>>>
  TEvent(F&& f) : fn_(std::forward<F>(f)) {}  // NOLINT: implicit from a callable

  // Binds a member function of an object, the usual way to assign a handler.
  template <class C>
  static TEvent Bind(C* object, void (C::*method)(Args...)) {
    return TEvent(
        [object, method](Args... args) { (object->*method)(std::forward<Args>(args)...); });
  }

  explicit operator bool() const { return static_cast<bool>(fn_); }
  bool Assigned() const { return static_cast<bool>(fn_); }
  void Clear() { fn_ = nullptr; }

  // Raises the event when it is assigned.
  void operator()(Args... args) const {
    if (fn_) fn_(std::forward<Args>(args)...);
  }

 private:
  std::function<void(Args...)> fn_;
};

using TNotifyEvent = TEvent<TObject*>;

// Shift state bits.
enum : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;
enum TMouseButton { mbLeft, mbRight, mbMiddle };

using TKeyEvent = TEvent<TObject*, WORD_T&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, char&>;
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TCloseQueryEvent = TEvent<TObject*, bool&>;
