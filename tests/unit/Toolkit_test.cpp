// The component framework on the headless backend: ownership, loading,
// timers on the virtual clock, nested loops, keys and the error report.
#include <gtest/gtest.h>

#include <thread>
#include <type_traits>

#include "TestWorld.h"
#include "platform/Errors.h"
#include "toolkit/Menus.h"
#include "toolkit/OwnedIcon.h"
#include "toolkit/Timer.h"

namespace {

struct TProbe : TComponent {
  TProbe(TComponent* owner, std::vector<std::string>& log, const std::string& name)
      : TComponent(owner), log_(log) {
    SetName(name);
  }
  ~TProbe() override { log_.push_back("free " + Name()); }
  void Loaded() override {
    TComponent::Loaded();
    log_.push_back("loaded " + Name());
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove) log_.push_back(Name() + " heard " + c->Name());
  }
  std::vector<std::string>& log_;
};

class TTestForm : public TForm {
 public:
  TTestForm(TComponent* owner, std::vector<std::string>& log) : TForm(owner), log_(log) {
    a = new TProbe(this, log, "a");
    b = new TProbe(this, log, "b");
    edit = new TEdit(this);
    edit->SetName("edit");
    edit->SetParent(this);
    OnCreate = [this](TObject*) {
      log_.push_back(std::string("create loading=") + (a->Loading() ? "1" : "0"));
    };
    OnDestroy = [this](TObject*) { log_.emplace_back("destroy"); };
  }
  void ApplyDesign() override {
    log_.push_back(std::string("design loading=") + (a->Loading() ? "1" : "0"));
  }
  TProbe* a;
  TProbe* b;
  TEdit* edit;
  std::vector<std::string>& log_;
};

TEST(Toolkit, FormCreationAppliesDesignThenLoadedThenCreateAndFreesNewestFirst) {
  std::vector<std::string> log;
  {
    TTestWorld w;
    auto* form = w.app->CreateForm<TTestForm>(log);
    EXPECT_EQ(w.app->MainForm(), form);
    EXPECT_NE(form->Handle(), TWindowHandle{});
    w.app->DestroyForms();
  }
  std::vector<std::string> want{
      "design loading=1", "loaded a",     "loaded b", "create loading=0", "destroy",
      "a heard edit",     "b heard edit", "free b",   "a heard b",        "free a"};
  EXPECT_EQ(log, want);
}

TEST(Toolkit, RemovalNoticeReachesSiblingsAndFreeNotifications) {
  std::vector<std::string> log;
  TTestWorld w;
  auto* owner = new TProbe(w.app.get(), log, "owner");
  auto* x = new TProbe(owner, log, "x");
  auto* y = new TProbe(owner, log, "y");
  auto* outsider = new TProbe(w.app.get(), log, "outsider");
  outsider->FreeNotification(y);
  log.clear();
  delete y;
  EXPECT_EQ(log,
            (std::vector<std::string>{"free y", "outsider heard y", "x heard y", "owner heard y"}));
  (void)x;
}

TEST(Toolkit, TimerTicksOnTheVirtualClockOnlyWhileEnabledWithAHandler) {
  TTestWorld w;
  auto* t = new TTimer(w.app.get());
  int ticks = 0;
  t->SetInterval(700);
  w.backend.Advance(5000);
  EXPECT_EQ(ticks, 0);  // enabled but without a handler: no timer runs
  t->SetOnTimer([&](TObject*) { ++ticks; });
  w.backend.Advance(699);
  EXPECT_EQ(ticks, 0);
  w.backend.Advance(1);
  EXPECT_EQ(ticks, 1);
  w.backend.Advance(1400);
  EXPECT_EQ(ticks, 3);
  t->SetEnabled(false);
  w.backend.Advance(5000);
  EXPECT_EQ(ticks, 3);
  t->SetInterval(0);
  t->SetEnabled(true);
  w.backend.Advance(5000);
  EXPECT_EQ(ticks, 3);  // an interval of 0 keeps it stopped
}

TEST(Toolkit, TimerStoppedInsideItsTickTicksOnce) {
  TTestWorld w;
  auto* t = new TTimer(w.app.get());
  int ticks = 0;
  t->SetInterval(100);
  t->SetOnTimer([&](TObject*) {
    ++ticks;
    t->SetEnabled(false);
  });
  w.backend.Advance(1000);
  EXPECT_EQ(ticks, 1);
}

TEST(Toolkit, BlockingSleepDelaysTimersToTheNextDispatchAndCoalescesThem) {
  TTestWorld w;
  auto* t = new TTimer(w.app.get());
  int ticks = 0;
  t->SetInterval(1000);
  t->SetOnTimer([&](TObject*) { ++ticks; });
  w.backend.Sleep(5000);
  EXPECT_EQ(ticks, 0);
  w.backend.ProcessMessages();
  EXPECT_EQ(ticks, 1);
}

TEST(Toolkit, PostFromAnotherThreadRunsOnTheGuiThreadInOrder) {
  TTestWorld w;
  std::vector<int> seen;
  std::atomic<bool> busy{true};
  w.backend.AddBusyProbe([&] { return busy.load(); });
  std::thread producer([&] {
    for (int i = 0; i < 200; ++i) w.backend.PostToGui([&seen, i] { seen.push_back(i); });
    busy = false;
  });
  const auto gui = std::this_thread::get_id();
  w.backend.PostToGui([&] { EXPECT_EQ(std::this_thread::get_id(), gui); });
  w.backend.Settle();
  producer.join();
  w.backend.Settle();
  ASSERT_EQ(seen.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

TEST(Toolkit, KeyPreviewLetsTheFormDropAKeyBeforeTheControl) {
  std::vector<std::string> log;
  TTestWorld w;
  auto* form = w.app->CreateForm<TTestForm>(log);
  form->Show();
  form->SetKeyPreview(true);
  form->OnKeyPress = [](TObject*, char& k) {
    if (k == 'x') k = 0;
  };
  std::string seen;
  form->edit->OnKeyPress = [&](TObject*, char& k) { seen += k; };
  form->edit->TypeText("axb");
  EXPECT_EQ(seen, "ab");
  EXPECT_EQ(form->edit->Text(), "ab");
  form->edit->TypeChar('\b');
  EXPECT_EQ(form->edit->Text(), "a");
}

// A key whose handler dropped it and moved the focus leaves no character
// for the control it was pressed in, as on Windows; one dropped with the
// focus left in place still gets its character.
TEST(Toolkit, ADroppedKeyThatMovesTheFocusLeavesNoCharacterBehind) {
  std::vector<std::string> log;
  TTestWorld w;
  auto* form = w.app->CreateForm<TTestForm>(log);
  auto* other = new TEdit(form);
  other->SetParent(form);
  form->Show();
  form->SetKeyPreview(true);
  form->OnKeyDown = [&](TObject*, WORD_T& k, TShiftState) {
    if (k == 'Q') other->SetFocus();
    if (k == 'Q' || k == 'W') k = 0;
  };
  form->edit->SetFocus();
  for (WORD_T key : {WORD_T{'A'}, WORD_T{'Q'}, WORD_T{'W'}})
    w.backend.PressKey(*form, key, static_cast<char>(key - 'A' + 'a'));
  w.backend.ProcessMessages();
  EXPECT_EQ(form->edit->Text(), "a");
  EXPECT_EQ(other->Text(), "w");
}

TEST(Toolkit, CheckBoxAndRadioRaiseClickOnlyOnARealChange) {
  std::vector<std::string> log;
  TTestWorld w;
  auto* form = w.app->CreateForm<TTestForm>(log);
  auto* box = new TCheckBox(form);
  box->SetParent(form);
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };
  box->SetChecked(false);
  EXPECT_EQ(clicks, 0);
  box->SetChecked(true);
  box->SetChecked(true);
  EXPECT_EQ(clicks, 1);
  box->Click();  // the user's click toggles
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(clicks, 2);

  auto* r1 = new TRadioButton(form);
  auto* r2 = new TRadioButton(form);
  r1->SetParent(form);
  r2->SetParent(form);
  int radioClicks = 0;
  r1->OnClick = r2->OnClick = [&](TObject*) { ++radioClicks; };
  r1->SetChecked(true);
  r2->Click();
  EXPECT_FALSE(r1->Checked());
  EXPECT_TRUE(r2->Checked());
  EXPECT_EQ(radioClicks, 2);  // unchecking r1 raised nothing
}

TEST(Toolkit, ModalFormRunsANestedLoopUntilClosed) {
  std::vector<std::string> log;
  TTestWorld w;
  auto* main = w.app->CreateForm<TTestForm>(log);
  auto* dialog = w.app->CreateForm<TTestForm>(log);
  int shows = 0, hides = 0;
  dialog->OnShow = [&](TObject*) { ++shows; };
  dialog->OnHide = [&](TObject*) { ++hides; };
  auto* t = new TTimer(main);
  int ticks = 0;
  t->SetInterval(1000);
  t->SetOnTimer([&](TObject*) { ++ticks; });
  w.backend.loopScript = [&] {
    if (ticks >= 3) dialog->Close();
  };
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(hides, 1);
  EXPECT_EQ(ticks, 3);  // the main window's timers went on while it was open
  EXPECT_FALSE(dialog->Visible());
}

TEST(Toolkit, ExceptionFromCreateFreesTheFormAndReachesTheCaller) {
  std::vector<std::string> log;
  TTestWorld w;
  struct TFailing : TTestForm {
    using TTestForm::TTestForm;
    void ApplyDesign() override { throw EQuindleError("refused"); }
  };
  EXPECT_THROW(w.app->CreateForm<TFailing>(log), EQuindleError);
  EXPECT_EQ(w.app->MainForm(), nullptr);
  EXPECT_NE(std::find(log.begin(), log.end(), "free a"), log.end());
}

TEST(Toolkit, GuardShowsWhatEscapesInAnErrorBox) {
  TTestWorld w;
  w.app->Guard([] { throw EQuindleError("Something failed"); });
  ASSERT_EQ(w.backend.messageBoxes.size(), 1u);
  EXPECT_EQ(w.backend.messageBoxes[0].text, "Something failed");
  EXPECT_EQ(w.backend.messageBoxes[0].flags, MB_OK_T | MB_ICONERROR_T);
  EXPECT_EQ(w.backend.messageBoxes[0].caption, "Quindle");
}

// The backend's dispatch is the one boundary, natively as on Windows: a
// timer's tick and a posted work item that throw are each reported once, and
// the loop goes on with the rest.
TEST(Toolkit, ThrowingTickAndPostedWorkAreEachReportedOnceAndTheLoopGoesOn) {
  TTestWorld w;
  auto* t = new TTimer(w.app.get());
  int ticks = 0, ranAfter = 0;
  t->SetInterval(100);
  t->SetOnTimer([&](TObject*) {
    ++ticks;
    throw EQuindleError("tick failed");
  });
  w.backend.PostToGui([] { throw EQuindleError("work failed"); });
  w.backend.PostToGui([&] { ++ranAfter; });
  w.backend.Advance(250);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(ranAfter, 1);
  EXPECT_EQ(w.MessageTexts(),
            (std::vector<std::string>{"work failed", "tick failed", "tick failed"}));
}

// A report for later comes up once the handler that met the fault has
// returned, whatever nested loop the handler runs meanwhile: a modal
// dialog's, a popup menu's, a message box's. Each lets posted work through,
// as its loop on Windows dispatches the thread's messages.
TEST(Toolkit, AReportForLaterWaitsOutEveryNestedLoopOfItsHandler) {
  std::vector<std::string> log;
  TTestWorld w;
  auto* main = w.app->CreateForm<TTestForm>(log);
  auto* dialog = w.app->CreateForm<TTestForm>(log);
  auto* menu = new TPopupMenu(main);
  std::vector<std::string> seen;
  w.backend.loopScript = [&] {
    seen.emplace_back("dialog");
    dialog->Close();
  };
  w.backend.popupScript = [&](TPopupMenu&, int, int) -> TMenuItem* {
    w.backend.Settle();
    seen.emplace_back("menu");
    return nullptr;
  };
  w.backend.messageBoxAnswer = [&](const TRecordedMessageBox& box) {
    w.backend.Settle();
    seen.push_back("box " + box.text);
    return IDOK_T;
  };
  w.backend.PostToGui([&] {
    w.app->HandleExceptionLater(EQuindleError("the fault"));
    dialog->ShowModal();
    menu->Popup(10, 10);
    w.app->MessageBox("a question", "", MB_OK_T);
    seen.emplace_back("handler returned");
  });
  w.backend.Settle();
  EXPECT_EQ(seen, (std::vector<std::string>{"dialog", "menu", "box a question", "handler returned",
                                            "box the fault"}));
}

// A window is never taken for an icon, nor a bare number for either.
static_assert(!std::is_convertible_v<TWindowHandle, TIconHandle>);
static_assert(!std::is_constructible_v<TIconHandle, TWindowHandle>);
static_assert(!std::is_convertible_v<uintptr_t, TWindowHandle>);
static_assert(!std::is_convertible_v<uintptr_t, TIconHandle>);
static_assert(!std::is_convertible_v<TWindowHandle, uintptr_t>);
static_assert(std::is_constructible_v<TWindowHandle, uintptr_t>);
// An owned icon has one owner.
static_assert(!std::is_copy_constructible_v<TOwnedIcon> && !std::is_copy_assignable_v<TOwnedIcon>);
static_assert(std::is_nothrow_move_constructible_v<TOwnedIcon>);

TEST(Toolkit, AnOwnedIconIsDestroyedOnceWhereverItWasMovedAndWhenReplaced) {
  TTestWorld w;
  const TIconHandle first = w.backend.ApplicationIcon();
  const TIconHandle second = w.backend.ApplicationIcon();
  ASSERT_NE(first, second);
  {
    TOwnedIcon outer;
    {
      TOwnedIcon made(w.backend, first);
      TOwnedIcon handedOn(std::move(made));
      // What a moved-from owner holds is the point here.
      EXPECT_EQ(made.Get(), TIconHandle{});  // NOLINT(bugprone-use-after-move)
      outer = std::move(handedOn);
    }
    // Two owners went out of scope; the icon lives on in the third.
    EXPECT_TRUE(w.backend.destroyedIcons.empty());
    EXPECT_EQ(outer.Get(), first);
    EXPECT_EQ(w.backend.liveIcons(), 2);
    // Replaced: the one held goes then and there.
    outer = TOwnedIcon(w.backend, second);
    EXPECT_EQ(w.backend.destroyedIcons, std::vector<TIconHandle>{first});
    EXPECT_EQ(outer.Get(), second);
  }
  EXPECT_EQ(w.backend.destroyedIcons, (std::vector<TIconHandle>{first, second}));
  EXPECT_EQ(w.backend.liveIcons(), 0);
}

// The popup's steps for a notification icon's menu, in Windows' order: the
// owner to the foreground, the menu on the side the system drops menus to,
// the message to the owner once it is done, and only then the item's click.
TEST(Toolkit, APopupMenuBringsItsOwnerForwardAndPostsToItWhenDone) {
  std::vector<std::string> log;
  TTestWorld w;
  auto* form = w.app->CreateForm<TTestForm>(log);
  auto* menu = new TPopupMenu(form);
  auto* item = new TMenuItem(form);
  menu->Add(item);
  size_t callsAtClick = 0;
  item->OnClick = [&](TObject*) { callsAtClick = w.backend.windowCalls.size(); };
  w.backend.popupScript = [&](TPopupMenu& m, int, int) { return m.Items()[0]; };
  menu->SetOwnerWindow(form->Handle());
  for (int alignment : {0, 1}) {
    SCOPED_TRACE("menu drop alignment " + std::to_string(alignment));
    w.backend.menuDropAlignment = alignment;
    w.backend.windowCalls.clear();
    menu->Popup(300, 400);
    const auto& calls = w.backend.windowCalls;
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].call, "SetForegroundWindow");
    EXPECT_EQ(calls[0].window, form->Handle());
    EXPECT_EQ(calls[1].call, "TrackPopupMenu");
    EXPECT_EQ(calls[1].c, static_cast<intptr_t>(alignment ? kMenuRightAlign : kMenuLeftAlign));
    EXPECT_EQ(calls[2].call, "PostMessage");
    EXPECT_EQ(calls[2].window, form->Handle());
    EXPECT_EQ(calls[2].a, static_cast<intptr_t>(WM_NULL_T));
    EXPECT_EQ(callsAtClick, 3u);
  }
  // A menu with no owner of its own belongs to the main window.
  menu->SetOwnerWindow(TWindowHandle{});
  w.backend.windowCalls.clear();
  menu->Popup(1, 2);
  ASSERT_EQ(w.backend.windowCalls.size(), 3u);
  EXPECT_EQ(w.backend.windowCalls.front().window, w.app->Handle());
  EXPECT_EQ(w.backend.windowCalls.back().window, w.app->Handle());
}

}  // namespace
