// The rich-text pane model without a native control: its lines as the pane
// counts them, the change notice, selection, and the messages it answers.
#include <gtest/gtest.h>

#include <cstring>

#include "TestWorld.h"
#include "toolkit/RichEdit.h"

namespace {

class TRecordingRichEdit : public TRichEdit {
 public:
  using TRichEdit::TRichEdit;
  intptr_t NotifyReflected(const TENLink& link) override {
    links.push_back(link);
    return answer;
  }
  std::vector<TENLink> links;
  intptr_t answer = 0;
};

class RichEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = w.app->CreateForm<TForm>();
    pane = new TRecordingRichEdit(form);
    pane->SetParent(form);
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(pane->LineCount()));
    for (int i = 0; i < pane->LineCount(); ++i) out.push_back(pane->Line(i));
    return out;
  }

  TTestWorld w;
  TForm* form = nullptr;
  TRecordingRichEdit* pane = nullptr;
};

// ---- lines ----

TEST_F(RichEditTest, EachAddedLineRaisesOnChangeWithTheLineAlreadyInThePane) {
  std::vector<std::string> seen;
  pane->OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, pane);
    seen.push_back(pane->Line(pane->LineCount() - 1));
  };
  pane->AddLine("Connection attempt #1");
  pane->AddLine("Connected 10:00:00");
  EXPECT_EQ(seen, (std::vector<std::string>{"Connection attempt #1", "Connected 10:00:00"}));
  EXPECT_EQ(pane->Text(), "Connection attempt #1\r\nConnected 10:00:00\r\n");
}

TEST_F(RichEditTest, EmptyPaneHasNoLinesAndFinalEmptyLineIsNotCounted) {
  EXPECT_EQ(pane->LineCount(), 0);
  pane->AddLine("one");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"one"}));
  // A line ending in CR LF leaves an empty line after it, which counts.
  pane->AddLine("http://example.org/ a game\r\n");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"one", "http://example.org/ a game", ""}));
  pane->AddLine("two");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"one", "http://example.org/ a game", "", "two"}));
}

TEST_F(RichEditTest, LineBreaksInsideAnAddedLineStartFurtherLines) {
  pane->AddLine("a\r\nb\rc\nd");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST_F(RichEditTest, LongLinesWrapAtThePaneWidthAndJoinBackToTheLine) {
  pane->SetWidth(120);  // about 20 characters a line
  const std::string line = "The remote computer did not respond in time and was dialled again";
  pane->AddLine(line);
  auto lines = Lines();
  ASSERT_GT(lines.size(), 2u);
  std::string joined;
  for (const auto& l : lines) {
    EXPECT_LE(l.size(), 21u) << l;   // a space at the edge may hang on its line
    EXPECT_NE(l.front(), ' ') << l;  // breaks fall after spaces, not inside words
    joined += l;
  }
  EXPECT_EQ(joined, line);

  // One word longer than a line is cut at the edge.
  pane->AddLine(std::string(45, 'x'));
  auto more = Lines();
  ASSERT_EQ(more.size(), lines.size() + 3);
  EXPECT_EQ(more[lines.size()], std::string(20, 'x'));
  EXPECT_EQ(more.back(), std::string(5, 'x'));
}

TEST_F(RichEditTest, NoWrapWithoutWidthOrWithWordWrapOff) {
  const std::string line(300, 'y');
  pane->AddLine(line);
  EXPECT_EQ(pane->LineCount(), 1);
  pane->SetWidth(60);
  EXPECT_EQ(pane->LineCount(), 30);
  pane->SetWordWrap(false);
  EXPECT_EQ(Lines(), (std::vector<std::string>{line}));
}

TEST_F(RichEditTest, LineOutsideThePaneThrows) {
  pane->AddLine("only");
  EXPECT_THROW(pane->Line(1), std::out_of_range);
  EXPECT_THROW(pane->Line(-1), std::out_of_range);
}

TEST_F(RichEditTest, ClearLinesEmptiesThePaneAndRaisesOnChange) {
  int changes = 0;
  pane->AddLine("a");
  pane->OnChange = [&](TObject*) { ++changes; };
  pane->ClearLines();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(pane->LineCount(), 0);
  EXPECT_EQ(pane->Text(), "");
}

TEST_F(RichEditTest, WithoutALimitThePaneStopsAtTheControlsDefaultAsTheControlDoes) {
  int changes = 0;
  pane->OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(pane->Perform(EM_GETLIMITTEXT_T, 0, 0), 32767);
  // 98 letters and a line break: 99 characters a line, as the control counts.
  const std::string line(98, 'x');
  for (int i = 0; i < 400; ++i) pane->AddLine(line);
  EXPECT_EQ(pane->TextLength(), 32767);
  // 330 whole lines, then the 331st cut off where the limit fell.
  EXPECT_EQ(pane->Text().size(), 330u * 100 + 97);
  EXPECT_EQ(pane->LineCount(), 331);
  EXPECT_EQ(pane->Line(330), std::string(97, 'x'));
  EXPECT_EQ(changes, 331);  // a full pane takes nothing: no change to raise
  pane->AddLine("lost");
  EXPECT_EQ(pane->LineCount(), 331);

  // 0 asks for the larger default; the text already held stays and the pane
  // goes on from where it was cut.
  pane->Perform(EM_EXLIMITTEXT_T, 0, 0);
  EXPECT_EQ(pane->Perform(EM_GETLIMITTEXT_T, 0, 0), 65536);
  pane->AddLine("on");
  EXPECT_EQ(pane->Line(330), std::string(97, 'x') + "on");
  pane->LimitText(40000);
  EXPECT_EQ(pane->TextLimit(), 40000);
  EXPECT_EQ(pane->Perform(EM_GETLIMITTEXT_T, 0, 0), 40000);
  for (int i = 0; i < 100; ++i) pane->AddLine(line);
  EXPECT_EQ(pane->TextLength(), 40000);
}

TEST_F(RichEditTest, DroppingTheOldestLinesTakesWholeTextLinesOnly) {
  pane->SetWidth(120);  // about 20 characters a line
  const std::string wrapped = "a text line long enough to wrap over three pane lines";
  pane->AddLine("first");
  pane->AddLine(wrapped);
  pane->AddLine("third");
  pane->AddLine("see www.example.org");
  const std::vector<std::string> all = Lines();
  ASSERT_EQ(all.size(), 6u);
  pane->SetSelection(static_cast<int>(pane->Text().size()) - 5, 3);
  const std::string selected = pane->SelText();

  // Two pane lines asked for: the wrapped line would be cut, so only "first" goes.
  EXPECT_EQ(pane->DropOldestLines(2), 1);
  EXPECT_EQ(Lines(), std::vector<std::string>(all.begin() + 1, all.end()));
  EXPECT_EQ(pane->Text().substr(0, wrapped.size()), wrapped);
  EXPECT_EQ(pane->TextLength(), static_cast<int>(pane->Text().size()) - 3);
  EXPECT_EQ(pane->SelText(), selected);  // the selection moved with its text
  EXPECT_EQ(pane->DropOldestLines(2), 0);
  EXPECT_EQ(pane->DropOldestLines(3), 3);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"third", "see www.example.org"}));

  // The index is the one a pane given the same text from the start makes.
  pane->AddLine("after");
  TRichEdit fresh(form);
  fresh.SetWidth(120);
  fresh.AddLine(pane->Text().substr(0, pane->Text().size() - 2));
  for (int i = 0; i <= 3; ++i)
    EXPECT_EQ(pane->Perform(EM_LINEINDEX_T, i, 0), fresh.Perform(EM_LINEINDEX_T, i, 0)) << i;
  EXPECT_EQ(pane->Perform(EM_GETLINECOUNT_T, 0, 0), fresh.Perform(EM_GETLINECOUNT_T, 0, 0));
  pane->Perform(EM_AUTOURLDETECT_T, 1, 0);
  ASSERT_EQ(pane->DetectedLinks().size(), 1u);
  EXPECT_EQ(pane->DetectedLinks()[0].cpMin, static_cast<int>(pane->Text().find("www.")));

  // More than the pane holds takes everything; an empty pane drops nothing.
  EXPECT_EQ(pane->DropOldestLines(100), 3);
  EXPECT_EQ(pane->Text(), "");
  EXPECT_EQ(pane->TextLength(), 0);
  EXPECT_EQ(pane->DropOldestLines(1), 0);
  pane->AddLine("again");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"again"}));
}

// Text lines are the lines as added, which no wrap or drop of pane lines
// renumbers; the two kinds of drop keep both counts right.
TEST_F(RichEditTest, TextLinesStayTheLinesAsAddedThroughWrapsAndDrops) {
  pane->SetWidth(120);
  pane->AddLine("one\rtwo\nthree");  // a lone CR and a lone LF end lines too
  pane->AddLine("a text line long enough to wrap over three pane lines");
  pane->AddLine("last");
  ASSERT_EQ(pane->TextLineCount(), 5);
  EXPECT_EQ(pane->LineCount(), 7);
  EXPECT_EQ(pane->TextLine(1), "two");
  EXPECT_EQ(pane->TextLine(3), "a text line long enough to wrap over three pane lines");
  EXPECT_EQ(pane->DropOldestLines(4), 3);  // one, two, three
  EXPECT_EQ(pane->TextLineCount(), 2);
  EXPECT_EQ(pane->TextLine(1), "last");
  EXPECT_EQ(pane->DropOldestTextLines(1), 1);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"last"}));
  EXPECT_EQ(pane->DropOldestTextLines(5), 1);
  EXPECT_EQ(pane->Text(), "");
  pane->AddLine("again");
  EXPECT_EQ(pane->TextLine(0), "again");
  EXPECT_THROW(pane->TextLine(1), std::out_of_range);
}

// A pane with a vertical scroll bar and no ES_DISABLENOSCROLL shows the bar
// only once its lines pass its height, and wraps at what the bar leaves.
TEST_F(RichEditTest, TheScrollBarComesWithTheLineThatOverflowsAndNarrowsTheWrap) {
  pane->SetBounds(0, 0, 237, 136);  // the log pane: 39 characters, 10 lines
  pane->SetScrollBars(ssVertical);
  const std::string line(38, 'x');
  // Nine lines and the empty one after the last line break fit.
  for (int i = 0; i < 9; ++i) pane->AddLine(line);
  EXPECT_EQ(pane->LineCount(), 9);
  pane->AddLine(line);
  EXPECT_EQ(pane->LineCount(), 20);  // every line wraps now
  pane->ClearLines();
  pane->AddLine(line);
  EXPECT_EQ(pane->LineCount(), 1);
}

// ---- messages the model answers ----

TEST_F(RichEditTest, LineMessagesAnswerAsTheNativeControlDoes) {
  pane->AddLine("first");
  pane->AddLine("second line");
  // The control counts the empty line after the final break.
  EXPECT_EQ(pane->Perform(EM_GETLINECOUNT_T, 0, 0), 3);
  intptr_t start = pane->Perform(EM_LINEINDEX_T, 1, 0);
  EXPECT_EQ(start, 7);
  EXPECT_EQ(pane->Perform(EM_LINELENGTH_T, static_cast<uintptr_t>(start), 0), 11);
  EXPECT_EQ(pane->Perform(EM_LINEINDEX_T, 3, 0), -1);
  // EM_GETLINE copies no more than the buffer's first word allows.
  char buffer[8] = {};
  uint16_t capacity = 4;
  std::memcpy(buffer, &capacity, sizeof capacity);
  EXPECT_EQ(pane->Perform(EM_GETLINE_T, 1, reinterpret_cast<intptr_t>(buffer)), 4);
  EXPECT_EQ(std::string(buffer, 4), "seco");
  EXPECT_EQ(buffer[4], '\0');
}

TEST_F(RichEditTest, SelectionMessagesSetAndReadTheSelection) {
  pane->AddLine("see http://example.org now");
  TCharRange range{4, 22};
  pane->Perform(EM_EXSETSEL_T, 0, reinterpret_cast<intptr_t>(&range));
  EXPECT_EQ(pane->SelText(), "http://example.org");
  TCharRange got;
  pane->Perform(EM_EXGETSEL_T, 0, reinterpret_cast<intptr_t>(&got));
  EXPECT_EQ(got.cpMin, 4);
  EXPECT_EQ(got.cpMax, 22);
  char text[64];
  std::memset(text, '#', sizeof text);
  EXPECT_EQ(pane->Perform(EM_GETSELTEXT_T, 0, reinterpret_cast<intptr_t>(text)), 18);
  EXPECT_STREQ(text, "http://example.org");

  // A range past the end is cut to the text; -1 reaches the end.
  TCharRange tail{22, -1};
  pane->Perform(EM_EXSETSEL_T, 0, reinterpret_cast<intptr_t>(&tail));
  EXPECT_EQ(pane->SelText(), " now\r\n");
  TCharRange beyond{500, 900};
  pane->Perform(EM_EXSETSEL_T, 0, reinterpret_cast<intptr_t>(&beyond));
  EXPECT_EQ(pane->SelText(), "");
}

TEST_F(RichEditTest, EventMaskIsKeptAndTheOldOneReturned) {
  EXPECT_EQ(pane->Perform(EM_SETEVENTMASK_T, 0, ENM_CHANGE_T), 0);
  EXPECT_EQ(pane->Perform(EM_SETEVENTMASK_T, 0, ENM_CHANGE_T | ENM_LINK_T),
            static_cast<intptr_t>(ENM_CHANGE_T));
  EXPECT_EQ(pane->Perform(EM_GETEVENTMASK_T, 0, 0),
            static_cast<intptr_t>(ENM_CHANGE_T | ENM_LINK_T));
}

TEST_F(RichEditTest, AddingALineLeavesTheCaretAtTheEndAndScrollCaretIsCounted) {
  pane->AddLine("abc");
  EXPECT_EQ(pane->SelStart(), 5);
  EXPECT_EQ(pane->SelLength(), 0);
  pane->ScrollCaret();
  pane->Perform(EM_SCROLLCARET_T, 0, 0);
  EXPECT_EQ(pane->ScrollCaretCount(), 2);
}

// ---- link detection ----

TEST_F(RichEditTest, LinksAreDetectedOnlyWhenSwitchedOn) {
  pane->AddLine("see http://a.example/x?y=1 and WWW.Example.org, ftp://f.example");
  EXPECT_TRUE(pane->DetectedLinks().empty());
  pane->Perform(EM_AUTOURLDETECT_T, 1, 0);
  std::vector<std::string> found;
  for (const TCharRange& r : pane->DetectedLinks())
    found.push_back(pane->Text().substr(r.cpMin, r.cpMax - r.cpMin));
  EXPECT_EQ(found, (std::vector<std::string>{"http://a.example/x?y=1", "WWW.Example.org,",
                                             "ftp://f.example"}));
}

TEST_F(RichEditTest, TextThatOnlyLooksLikeAnAddressIsNoLink) {
  pane->Perform(EM_AUTOURLDETECT_T, 1, 0);
  pane->AddLine("http:// alone, xwww.inside, file://c/x, mailto:a@b, https://");
  EXPECT_TRUE(pane->DetectedLinks().empty());
}

TEST_F(RichEditTest, PressOnALinkNotifiesOnlyWithLinkNoticesOn) {
  pane->AddLine("go to https://example.org today");
  pane->Perform(EM_AUTOURLDETECT_T, 1, 0);
  pane->MouseDownAt(10);
  EXPECT_TRUE(pane->links.empty());  // ENM_LINK is not in the event mask
  EXPECT_EQ(pane->SelStart(), 10);

  pane->Perform(EM_SETEVENTMASK_T, 0, ENM_LINK_T);
  pane->MouseDownAt(2);  // plain text
  EXPECT_TRUE(pane->links.empty());
  pane->MouseDownAt(6);  // the first character of the address
  ASSERT_EQ(pane->links.size(), 1u);
  EXPECT_EQ(pane->links[0].code, EN_LINK_T);
  EXPECT_EQ(pane->links[0].msg, WM_LBUTTONDOWN_T);
  EXPECT_EQ(pane->links[0].chrg.cpMin, 6);
  EXPECT_EQ(pane->links[0].chrg.cpMax, 25);
  // The parent left the press to the control: the caret went there.
  EXPECT_EQ(pane->SelStart(), 6);
  EXPECT_EQ(pane->SelLength(), 0);
}

TEST_F(RichEditTest, PressThatTheParentHandledLeavesTheSelectionAlone) {
  pane->AddLine("x www.example.org");
  pane->Perform(EM_AUTOURLDETECT_T, 1, 0);
  pane->Perform(EM_SETEVENTMASK_T, 0, ENM_LINK_T);
  pane->SetSelection(0, 1);
  pane->answer = 1;
  pane->MouseDownAt(8);
  ASSERT_EQ(pane->links.size(), 1u);
  EXPECT_EQ(pane->SelText(), "x");
}

}  // namespace
