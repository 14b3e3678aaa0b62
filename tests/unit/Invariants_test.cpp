// The invariants the toolkit asserts (platform/Assert.h): a broken one stops
// the process with its place and condition, and the toolkit's own order of
// making windows never breaks them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Assert.h"
#include "unit/TestWorld.h"
#include "toolkit/Forms.h"

namespace {

// A window that is only a number.
class TNumberedPeer : public IControlPeer {
 public:
  explicit TNumberedPeer(TWindowHandle h) : handle_(h) {}
  TWindowHandle Handle() const override { return handle_; }
  void Changed(TPeerChange) override {}
  intptr_t Perform(uint32_t, uintptr_t, intptr_t) override { return 0; }

 private:
  TWindowHandle handle_;
};

// A headless backend that gives every control a window, as the Windows one
// does, but without asking whether the parent has one: what the assertion in
// TControl::CreateHandles stands guard over. It records, for each window it
// makes, the control's name and its parent's window at that moment.
class TWindowForEveryControl : public THeadlessBackend {
 public:
  using THeadlessBackend::THeadlessBackend;
  std::unique_ptr<IControlPeer> CreatePeer(TControl& control) override {
    made.push_back(
        {control.Name(), control.Parent() ? control.Parent()->Handle() : TWindowHandle{}});
    return std::make_unique<TNumberedPeer>(TWindowHandle{next_++});
  }
  struct TMade {
    std::string name;
    TWindowHandle parentWindow;
  };
  std::vector<TMade> made;

 private:
  uintptr_t next_ = 0x5000;
};

class TFormWithButton : public TForm {
 public:
  explicit TFormWithButton(TComponent* owner) : TForm(owner) {
    SetName("form");
    button = new TButton(this);
    button->SetName("button");
    button->SetParent(this);
  }
  TButton* button;
};

// The program's world over the backend above.
struct TWorldWithWindows {
  TTestWorld seams;
  TWindowForEveryControl backend{seams.clock};
  std::unique_ptr<TApplication> app;
  TWorldWithWindows() {
    TPlatform p;
    p.registry = &seams.registry;
    p.libraries = &seams.libraries;
    p.clock = &seams.clock;
    p.locale = &seams.locale;
    p.system = &seams.system;
    p.shell = &seams.shell;
    p.sockets = &seams.sockets;
    p.files = &seams.files;
    app = std::make_unique<TApplication>(backend, p);
  }
  ~TWorldWithWindows() { app.reset(); }
};

TEST(InvariantsDeathTest, AFailedAssertionNamesItsPlaceAndConditionAndEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  int evaluated = 0;
  QUINDLE_ASSERT(++evaluated == 1);
  EXPECT_EQ(1, evaluated);
  EXPECT_DEATH(QUINDLE_ASSERT(evaluated == 2),
               "Invariants_test\\.cpp:[0-9]+: invariant failed: evaluated == 2");
}

TEST(InvariantsDeathTest, AControlGivenAWindowBeforeItsParentHasOneStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TWorldWithWindows w;
  w.app->CreateForm<TForm>();  // the main form, whose windows are made at once
  auto* form = w.app->CreateForm<TFormWithButton>();
  ASSERT_FALSE(form->Handle());
  EXPECT_DEATH(form->button->CreateHandles(),
               "Controls\\.cpp:[0-9]+: invariant failed: !Handle\\(\\) \\|\\| !parent_ \\|\\| "
               "parent_->Handle\\(\\)");
}

TEST(Invariants, AFormMakesItsOwnWindowBeforeItsControls) {
  TWorldWithWindows w;
  w.app->CreateForm<TForm>();
  auto* form = w.app->CreateForm<TFormWithButton>();
  w.backend.made.clear();
  form->Show();
  ASSERT_EQ(2u, w.backend.made.size());
  EXPECT_EQ("form", w.backend.made[0].name);
  EXPECT_EQ("button", w.backend.made[1].name);
  EXPECT_TRUE(form->Handle());
  EXPECT_EQ(form->Handle(), w.backend.made[1].parentWindow);
  EXPECT_TRUE(form->button->Handle());
}

}  // namespace
