// Bound event callbacks: an empty one is skipped when raised.
#pragma once
#include <functional>
#include <utility>

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

using WORD_T = unsigned short;
// Shift state bits.
enum : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;
enum TMouseButton { mbLeft, mbRight, mbMiddle };

using TKeyEvent = TEvent<TObject*, WORD_T&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, char&>;
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TCloseQueryEvent = TEvent<TObject*, bool&>;

// Virtual-key codes used by the program.
constexpr WORD_T VK_BACK_T = 0x08, VK_TAB_T = 0x09, VK_RETURN_T = 0x0D, VK_ESCAPE_T = 0x1B,
                 VK_PRIOR_T = 0x21, VK_NEXT_T = 0x22, VK_END_T = 0x23, VK_HOME_T = 0x24,
                 VK_LEFT_T = 0x25, VK_UP_T = 0x26, VK_RIGHT_T = 0x27, VK_DOWN_T = 0x28,
                 VK_DELETE_T = 0x2E, VK_F4_T = 0x73;
