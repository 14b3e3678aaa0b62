// The masked edit model: what the time and date fields hold, show and read
// back as the user types into them.
#include <gtest/gtest.h>

#include "TestWorld.h"
#include "toolkit/MaskEdit.h"

namespace {

struct MaskEditTest : ::testing::Test {
  TTestWorld world;
  TMaskEdit* edit = nullptr;

  TMaskEdit& Make(const std::string& mask) {
    edit = new TMaskEdit(world.app.get());
    edit->SetEditMask(mask);
    return *edit;
  }
};

TEST_F(MaskEditTest, BlankFieldsReadBackAsSpacesAndShowTheBlankCharacter) {
  auto& time = Make("!99:99>;1;_");
  EXPECT_EQ(time.Text(), "  :  ");
  EXPECT_EQ(time.EditText(), "__:__");
  auto& date = Make("!99/99/99;1;_");
  EXPECT_EQ(date.Text(), "  /  /  ");
  EXPECT_EQ(date.EditText(), "__/__/__");
}

TEST_F(MaskEditTest, SeparatorsFollowTheLocaleInTextAndDisplay) {
  auto& time = Make("!99:99>;1;_");
  time.SetText("09:30");
  time.SetSeparators('.', '-');
  EXPECT_EQ(time.Text(), "09.30");
  EXPECT_EQ(time.EditText(), "09.30");
  auto& date = Make("!99/99/99;1;_");
  date.SetSeparators('.', '-');
  date.TypeText("241226");
  EXPECT_EQ(date.Text(), "24-12-26");
  // A text written with the locale's separator is taken position for position.
  date.SetText("01-02-03");
  EXPECT_EQ(date.Text(), "01-02-03");
}

TEST_F(MaskEditTest, TypingFillsPositionsAndSkipsTheSeparators) {
  auto& time = Make("!99:99>;1;_");
  time.TypeText("09");
  EXPECT_EQ(time.EditText(), "09:__");
  EXPECT_EQ(time.SelStart(), 3);  // past the separator, on the first minute digit
  time.TypeText("30");
  EXPECT_EQ(time.Text(), "09:30");
  time.TypeText("5");  // the field is full
  EXPECT_EQ(time.Text(), "09:30");
}

TEST_F(MaskEditTest, PositionsTakeOnlyTheirKindOfCharacter) {
  auto& time = Make("!99:99>;1;_");
  time.TypeText("1x:2");
  EXPECT_EQ(time.EditText(), "12:__");
  time.SetText("ab:12");
  EXPECT_EQ(time.Text(), "  :12");
}

TEST_F(MaskEditTest, ShortPiecesOfAnAssignedTextGetLeadingBlanks) {
  auto& time = Make("!99:99>;1;_");
  time.SetText("9:30");
  EXPECT_EQ(time.Text(), " 9:30");
  time.SetText("");
  EXPECT_EQ(time.Text(), "  :  ");
  // Without "!" the blanks trail.
  auto& plain = Make("99:99;1;_");
  plain.SetText("9:30");
  EXPECT_EQ(plain.Text(), "9 :30");
}

TEST_F(MaskEditTest, UpperCaseAfterTheMarker) {
  auto& f = Make("!99:99>LL;1;_");
  f.TypeText("0930pm");
  EXPECT_EQ(f.Text(), "09:30PM");
  f.SetText("11:15am");
  EXPECT_EQ(f.Text(), "11:15AM");
}

TEST_F(MaskEditTest, BackspaceAndDeleteClearPositionsInPlace) {
  auto& date = Make("!99/99/99;1;_");
  date.SetText("24/12/26");
  date.SetSelStart(3);
  date.TypeChar('\b');  // clears the position before the caret, past the separator
  EXPECT_EQ(date.EditText(), "2_/12/26");
  EXPECT_EQ(date.SelStart(), 1);
  date.SetSelStart(2);
  date.TypeKey(VK_DELETE_T);  // on a separator: the next position is cleared
  EXPECT_EQ(date.EditText(), "2_/_2/26");
  EXPECT_EQ(date.Text(), "2 / 2/26");
}

TEST_F(MaskEditTest, ArrowsStepOverSeparators) {
  auto& time = Make("!99:99>;1;_");
  time.SetSelStart(1);
  time.TypeKey(VK_RIGHT_T);
  EXPECT_EQ(time.SelStart(), 3);
  time.TypeKey(VK_LEFT_T);
  EXPECT_EQ(time.SelStart(), 1);
  time.TypeKey(VK_END_T);
  time.TypeKey(VK_HOME_T);
  time.TypeText("7");
  EXPECT_EQ(time.Text(), "7 :  ");
}

TEST_F(MaskEditTest, TypingOverASelectionClearsIt) {
  auto& time = Make("!99:99>;1;_");
  time.SetText("11:45");
  time.SelectAll();
  time.TypeText("2");
  EXPECT_EQ(time.EditText(), "2_:__");
}

TEST_F(MaskEditTest, LiteralsLeftOutOfTheTextWhenNotKept) {
  auto& f = Make("!99/99;0;*");
  f.TypeText("1231");
  EXPECT_EQ(f.Text(), "1231");
  EXPECT_EQ(f.EditText(), "12/31");
  f.SetText("7");
  EXPECT_EQ(f.EditText(), "**/*7");
}

TEST_F(MaskEditTest, ChangesAreReportedOnlyWhenTheTextChanges) {
  auto& time = Make("!99:99>;1;_");
  int changes = 0;
  time.OnChange = [&](TObject*) { ++changes; };
  time.TypeText("1");
  time.TypeKey(VK_RIGHT_T);
  time.TypeText("x");
  EXPECT_EQ(changes, 1);
}

TEST_F(MaskEditTest, WithoutAMaskItIsAPlainEdit) {
  TMaskEdit& f = *new TMaskEdit(world.app.get());
  f.TypeText("a:b");
  EXPECT_EQ(f.Text(), "a:b");
  EXPECT_EQ(f.EditText(), "a:b");
}

}  // namespace
