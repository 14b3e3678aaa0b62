// The link-reporting pane on the headless backend: link set-up at window
// creation, the click path, swallowed handler failures, and the address check.
#include <gtest/gtest.h>

#include <stdexcept>

#include "TestWorld.h"
#include "components/RichEditURL.h"
#include "platform/memory/VirtualClock.h"

namespace {

class TPaneForm : public TForm {
 public:
  explicit TPaneForm(TComponent* owner) : TForm(owner) {
    Memo1 = new TRichEditURL(this);
    Memo1->SetParent(this);
    Memo1->SetBounds(0, 41, 237, 136);
  }
  void ApplyDesign() override {
    Memo1->SetReadOnly(true);
    Memo1->SetScrollBars(ssVertical);
  }
  TRichEditURL* Memo1;
};

class RichEditURLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = w.app->CreateForm<TPaneForm>();
    memo = form->Memo1;
    memo->OnURLClick = [this](TObject* sender, const std::string& url) {
      EXPECT_EQ(sender, memo);
      clicked.push_back(url);
    };
  }
  int PositionOf(const std::string& text) const {
    auto at = memo->Text().find(text);
    EXPECT_NE(at, std::string::npos) << text;
    return static_cast<int>(at);
  }

  TTestWorld w;
  TPaneForm* form = nullptr;
  TRichEditURL* memo = nullptr;
  std::vector<std::string> clicked;
};

TEST_F(RichEditURLTest, WindowCreationSwitchesDetectionOnAndKeepsTheEventMask) {
  EXPECT_EQ(memo->Perform(EM_GETEVENTMASK_T, 0, 0), static_cast<intptr_t>(ENM_LINK_T));
  // A re-created window gets the set-up again; flags already set stay set.
  memo->Perform(EM_AUTOURLDETECT_T, 0, 0);
  memo->Perform(EM_SETEVENTMASK_T, 0, ENM_CHANGE_T);
  memo->CreateWnd();
  EXPECT_EQ(memo->Perform(EM_GETEVENTMASK_T, 0, 0),
            static_cast<intptr_t>(ENM_CHANGE_T | ENM_LINK_T));
  memo->AddLine("www.example.org");
  EXPECT_EQ(memo->DetectedLinks().size(), 1u);
}

TEST_F(RichEditURLTest, PressOnALinkInTheReadOnlyPaneReportsItAndLeavesItSelected) {
  ASSERT_TRUE(memo->ReadOnly());
  memo->AddLine("http://quindle.example/play - a web game\r\n");
  memo->AddLine("Connected to Office at 10:00");
  memo->MouseDownAt(PositionOf("quindle.example"));
  EXPECT_EQ(clicked, (std::vector<std::string>{"http://quindle.example/play"}));
  EXPECT_EQ(memo->SelText(), "http://quindle.example/play");
  EXPECT_EQ(memo->SelStart(), 0);
}

TEST_F(RichEditURLTest, EveryPressReportsTheLinkUnderIt) {
  memo->AddLine("first www.one.example then ftp://two.example/f");
  memo->MouseDownAt(PositionOf("two.example") + 3);
  memo->MouseDownAt(PositionOf("www.one"));
  EXPECT_EQ(clicked, (std::vector<std::string>{"ftp://two.example/f", "www.one.example"}));
  EXPECT_EQ(memo->SelText(), "www.one.example");
}

TEST_F(RichEditURLTest, ALinkOfTwoByteCharactersIsReadWholeIntoABufferThatHoldsIt) {
  // Japanese (932): positions count characters, the selected text comes out
  // in bytes, two for each of these; the control writes all of it, so a
  // buffer sized by characters would overflow.
  w.backend.ansiCodePage = TAnsiCodePage::Japanese();
  const std::string link = "http://\x93\xFA\x96\x7B.example/\x83\x79\x81\x5B\x83\x57";
  memo->AddLine("\x90\xDA\x91\xB1 " + link);
  const int position = memo->ControlPosition(memo->Text().find(".example"));
  memo->MouseDownAt(position);
  EXPECT_EQ(clicked, (std::vector<std::string>{link}));
  TCharRange selected;
  memo->Perform(EM_EXGETSEL_T, 0, reinterpret_cast<intptr_t>(&selected));
  EXPECT_EQ(selected.cpMin, 3);
  EXPECT_EQ(selected.cpMax, 3 + 7 + 2 + 9 + 3);
}

TEST_F(RichEditURLTest, PlainTextRaisesNothing) {
  memo->AddLine("Connection attempt #1 at 10:00, see file://c:/x");
  memo->MouseDownAt(PositionOf("attempt"));
  memo->MouseDownAt(PositionOf("file://"));
  EXPECT_TRUE(clicked.empty());
  EXPECT_EQ(memo->SelLength(), 0);
}

TEST_F(RichEditURLTest, OnlyALeftPressOnALinkIsReported) {
  memo->AddLine("www.example.org");
  memo->SetSelection(3, 2);
  for (uint32_t msg :
       {WM_MOUSEMOVE_T, WM_LBUTTONUP_T, WM_RBUTTONDOWN_T, 0x0020u /*WM_SETCURSOR*/}) {
    TENLink link;
    link.code = EN_LINK_T;
    link.msg = msg;
    link.chrg = {0, 15};
    EXPECT_EQ(memo->NotifyReflected(link), 0);
  }
  TENLink other;
  other.code = 0x0700;  // some other notification with a left press in it
  other.msg = WM_LBUTTONDOWN_T;
  other.chrg = {0, 15};
  EXPECT_EQ(memo->NotifyReflected(other), 0);
  EXPECT_TRUE(clicked.empty());
  EXPECT_EQ(memo->SelStart(), 3);
  EXPECT_EQ(memo->SelLength(), 2);
}

TEST_F(RichEditURLTest, HandlerFailuresAreSwallowedWithoutAMessage) {
  memo->AddLine("www.example.org");
  int calls = 0;
  memo->OnURLClick = [&](TObject*, const std::string&) {
    ++calls;
    throw std::runtime_error("browser missing");
  };
  EXPECT_NO_THROW(memo->MouseDownAt(4));
  memo->OnURLClick = [&](TObject*, const std::string&) {
    ++calls;
    throw 42;  // not even an exception class
  };
  EXPECT_NO_THROW(memo->MouseDownAt(4));
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(w.backend.messageBoxes.empty());
  EXPECT_EQ(memo->SelText(), "www.example.org");
}

TEST_F(RichEditURLTest, PaneWithoutAWindowReportsNothing) {
  auto* bare = new TRichEditURL(form);  // its window was never made
  int calls = 0;
  bare->OnURLClick = [&](TObject*, const std::string&) { ++calls; };
  bare->AddLine("http://example.org");
  bare->MouseDownAt(3);
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(bare->DetectedLinks().empty());
}

TEST(WebAddressToOpen, OpensOnlyWebPagesAndNeverAFileNamedLikeOne) {
  const std::pair<const char*, const char*> opened[] = {
      {"http://example.org", "http://example.org"},
      {"https://example.org/a?b=c", "https://example.org/a?b=c"},
      {"HTTP://EXAMPLE.ORG", "HTTP://EXAMPLE.ORG"},
      {"ftp://f.example/x", "ftp://f.example/x"},
      // The shell tries a bare www. address as a file name first.
      {"www.quest.example.com", "http://www.quest.example.com"},
      {"Www.example.org/a/../b", "http://Www.example.org/a/../b"},
  };
  for (auto [link, address] : opened) EXPECT_EQ(WebAddressToOpen(link), address) << link;
  for (const char* no :
       {"", "http://", "www.", "file:///c:/windows/system32/calc.exe", "c:\\windows\\notepad.exe",
        "mailto:a@example.org", "javascript:alert(1)", "shell:startup", "\\\\server\\share",
        "ms-settings:", "http://example.org/a b", "www.example.org\r\n", " http://example.org",
        "xhttp://example.org", "news:example",
        // File names that look like web addresses.
        "www.quest.example.com\\..\\..\\quest.exe", "http://..\\quest.exe", "www..\\quest.exe",
        "https://c:\\windows\\notepad.exe", "ftp://../quest.exe", "http:///quest.exe"})
    EXPECT_EQ(WebAddressToOpen(no), "") << no;
}

// Under a double-byte code page (Japanese, 932) the byte 0x5C that ends a
// character is no backslash; a backslash of its own still turns the host
// into a path, and in a single-byte code page, or with no locale known, the
// byte is a backslash.
TEST(WebAddressToOpen, ASecondByteLikeABackslashBelongsToItsCharacter) {
  TMemoryLocale japanese;
  japanese.doubleByte = true;
  TMemoryLocale western;
  const std::string word = "\x95\x5C\x8E\xA6";  // two characters, the first ending in 0x5C
  const std::string page = "http://www." + word + ".example.jp/";
  EXPECT_EQ(WebAddressToOpen(page, &japanese), page);
  EXPECT_EQ(WebAddressToOpen("www." + word + ".example.jp", &japanese),
            "http://www." + word + ".example.jp");
  EXPECT_EQ(WebAddressToOpen(page, &western), "");
  EXPECT_EQ(WebAddressToOpen(page), "");
  for (const std::string& no :
       {"http://www." + word + "\\quest.exe", "www." + word + "\\..\\quest.exe",
        "http://" + word + "\\\\server", "https://c:\\windows\\" + word + ".exe"})
    EXPECT_EQ(WebAddressToOpen(no, &japanese), "") << no;
}

}  // namespace
