// The forms at the scale of the monitor they are on: laid out there when
// their windows are made, and again when a move brings them onto another.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>

#include "QuindleWorld.h"

namespace {

const char* const kBook = "[Office]\nScript=0:100,8192:100\n";

// The primary monitor at 150 % and one at 100 % to its right, or the other
// way round.
void TwoScales(THeadlessBackend& backend, int primaryDpi, int secondDpi) {
  backend.systemDpi = primaryDpi;
  backend.monitors = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, primaryDpi},
                      {{1920, 0, 3840, 1080}, {1920, 0, 3840, 1040}, secondDpi}};
}

// Every control of a form with its bounds and font height, in the order of
// the form's tree.
struct TLayoutEntry {
  std::string name;
  int left, top, width, height, font;
  bool operator==(const TLayoutEntry&) const = default;
};
using TLayout = std::vector<TLayoutEntry>;

void Collect(const TControl& c, TLayout& out) {
  out.push_back({c.Name(), c.Left(), c.Top(), c.Width(), c.Height(), c.Font().height});
  if (auto* w = dynamic_cast<const TWinControl*>(&c))
    for (const TControl* child : w->Controls()) Collect(*child, out);
}

// A form's controls and client area (the form's own place is the screen's).
TLayout LayoutOf(const TForm& form) {
  TLayout out{{"client", 0, 0, form.ClientWidth(), form.ClientHeight(), form.Font().height}};
  for (const TControl* c : form.Controls()) Collect(*c, out);
  return out;
}

// Each extent of `scaled` is the design's times dpi / 96, to the nearest
// pixel; fonts keep their 8 points (16 px at 144 dpi).
void ExpectScaled(const TLayout& design, const TLayout& scaled, int dpi) {
  ASSERT_EQ(design.size(), scaled.size());
  for (size_t i = 0; i < design.size(); ++i) {
    SCOPED_TRACE(design[i].name);
    const auto near = [dpi](int designValue, int value) {
      return std::abs(value * 96 - designValue * dpi) <= 48;
    };
    EXPECT_TRUE(near(design[i].left, scaled[i].left)) << scaled[i].left;
    EXPECT_TRUE(near(design[i].top, scaled[i].top)) << scaled[i].top;
    EXPECT_TRUE(near(design[i].width, scaled[i].width)) << scaled[i].width;
    EXPECT_TRUE(near(design[i].height, scaled[i].height)) << scaled[i].height;
    EXPECT_EQ(scaled[i].font, design[i].font == -11 ? -16 : 0) << "font";
  }
}

TEST(Scaling, TheMainWindowOpensAtItsMonitorsScaleAndFollowsMovesWithoutDrift) {
  TQuindleWorld design(kBook);
  design.Start();
  const TLayout at96 = LayoutOf(*design.form1);

  TQuindleWorld q(kBook);
  TwoScales(q.world.backend, 144, 96);
  q.Start();
  EXPECT_EQ(q.form1->Dpi(), 144);
  const TLayout at144 = LayoutOf(*q.form1);
  ExpectScaled(at96, at144, 144);
  EXPECT_EQ(q.form1->Left(), 295);  // the place is the screen's, not scaled

  // Onto the 100 % monitor: the design's own layout, at the place suggested.
  q.form1->SetBounds(2400, 200, q.form1->Width(), q.form1->Height());
  EXPECT_EQ(q.form1->Dpi(), 96);
  EXPECT_EQ(LayoutOf(*q.form1), at96);
  EXPECT_EQ(q.form1->Left(), 2400);
  // And back, many times: the same layout, not one rounded again and again.
  for (int i = 0; i < 5; ++i) {
    q.form1->SetBounds(400, 200, q.form1->Width(), q.form1->Height());
    q.form1->SetBounds(2400, 200, q.form1->Width(), q.form1->Height());
  }
  q.form1->SetBounds(400, 200, q.form1->Width(), q.form1->Height());
  EXPECT_EQ(LayoutOf(*q.form1), at144);

  // A stored place on the 100 % monitor: laid out there at the next start.
  TQuindleWorld next(kBook);
  TwoScales(next.world.backend, 144, 96);
  next.world.registry.PutDword(kQuindleKey, "SLeft", 2400);
  next.Start();
  EXPECT_EQ(next.form1->Dpi(), 96);
  EXPECT_EQ(LayoutOf(*next.form1), at96);
}

// Opens the settings dialog with the main window's button, runs `act` while
// it is open and closes it with OK.
void WithDialog(TQuindleWorld& q, const std::function<void()>& act) {
  q.world.backend.loopScript = [&] {
    q.world.backend.loopScript = nullptr;
    act();
    q.settings->Button1->Click();
  };
  q.form1->SetButton->Click();
  q.world.backend.loopScript = nullptr;
}

TEST(Scaling, TheSettingsDialogOpensAtTheScaleOfTheMainWindowsMonitorCentredOnIt) {
  TQuindleWorld design(kBook);
  design.Start();
  const TLayout at96 = LayoutOf(*design.settings);

  TQuindleWorld q(kBook);
  TwoScales(q.world.backend, 96, 144);
  q.Start();
  const auto expectCentred = [&] {
    const TRect d = q.settings->BoundsRect(), m = q.form1->BoundsRect();
    EXPECT_LE(std::abs((d.left + d.right) - (m.left + m.right)), 2);
    EXPECT_LE(std::abs((d.top + d.bottom) - (m.top + m.bottom)), 2);
  };
  // The main window on the 150 % monitor: the dialog comes there at 150 %.
  q.form1->SetBounds(2600, 400, q.form1->Width(), q.form1->Height());
  ASSERT_EQ(q.form1->Dpi(), 144);
  WithDialog(q, [&] {
    EXPECT_EQ(q.settings->Dpi(), 144);
    ExpectScaled(at96, LayoutOf(*q.settings), 144);
    expectCentred();
  });
  // Back on the primary monitor, the next opening follows it there.
  q.form1->SetBounds(600, 300, q.form1->Width(), q.form1->Height());
  WithDialog(q, [&] {
    EXPECT_EQ(q.settings->Dpi(), 96);
    EXPECT_EQ(LayoutOf(*q.settings), at96);
    expectCentred();
  });
}

}  // namespace

namespace {

// Every caption's room in its control, against what the backend measures.
void ExpectCaptionsFit(const TControl& c, IBackend& backend) {
  const std::optional<TCaptionBox> box = c.CaptionBox();
  if (box && !c.Caption().empty()) {
    EXPECT_GE(c.Width(), backend.CaptionWidth(*box, c.Font(), c.Caption(), c.Dpi())) << c.Name();
  }
  if (auto* w = dynamic_cast<const TWinControl*>(&c))
    for (const TControl* child : w->Controls()) ExpectCaptionsFit(*child, backend);
}

TEST(Scaling, AFontWiderThanTheDesignsWidensTheDialogUntilEveryCaptionFits) {
  TQuindleWorld design(kBook);
  design.Start();
  const TLayout at96 = LayoutOf(*design.settings);

  // A substitute font half as wide again as the one the layout was made for.
  TQuindleWorld q(kBook);
  q.world.backend.captionWidthPercent = 150;
  q.Start();
  WithDialog(q, [&] {
    const TLayout wide = LayoutOf(*q.settings);
    ExpectCaptionsFit(*q.settings, q.world.backend);
    EXPECT_GT(wide[0].width, at96[0].width);
    EXPECT_LE(wide[0].width, at96[0].width * 3 / 2);
    // Only across: the heights and the fonts are the design's, and controls
    // that meet in the design still meet.
    for (size_t i = 0; i < wide.size(); ++i) {
      EXPECT_EQ(wide[i].top, at96[i].top) << wide[i].name;
      EXPECT_EQ(wide[i].height, at96[i].height) << wide[i].name;
      EXPECT_EQ(wide[i].font, at96[i].font) << wide[i].name;
    }
    const TControl& label = *q.settings->Label3;
    const TControl& edit = *q.settings->AttemptsEdit;
    EXPECT_EQ(label.Left() + label.Width(), edit.Left());
  });
  // The main window's captions fit as designed: it keeps its size.
  EXPECT_EQ(LayoutOf(*q.form1)[0].width, LayoutOf(*design.form1)[0].width);
}

}  // namespace
