// The link-reporting pane over a real RichEdit 2.0 control: the control marks
// the address, a real left-button press on it reaches OnURLClick with the
// address's text, and the address stays selected.
#include <gtest/gtest.h>

#include <stdexcept>

#include "ToolkitWin32World.h"
#include "components/RichEditURL.h"

namespace {

class TPaneForm : public TForm {
 public:
  explicit TPaneForm(TComponent* owner) : TForm(owner) {
    Memo1 = new TRichEditURL(this);
    Memo1->SetParent(this);
    Memo1->SetBounds(0, 41, 237, 136);
  }
  void ApplyDesign() override {
    SetCaption("Pane");
    SetClientSize(237, 210);
    Memo1->SetReadOnly(true);
    Memo1->SetScrollBars(ssVertical);
    Memo1->SetColor(clBtnFace);
  }
  TRichEditURL* Memo1;
};

class Win32RichEditURL : public ::testing::Test {
 protected:
  void SetUp() override {
    form = w.app->CreateForm<TPaneForm>();
    form->Show();
    w.backend.ProcessMessages();
    pane = Hwnd(form->Memo1->Handle());
    ASSERT_TRUE(IsWindow(pane));
  }
  // A real press and release over character `at` of the control's text.
  void ClickAt(int at) {
    POINTL p{};
    SendMessageA(pane, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), at);
    LPARAM where = MAKELPARAM(p.x + 2, p.y + 4);
    SendMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON, where);
    SendMessageA(pane, WM_LBUTTONUP, 0, where);
    w.backend.ProcessMessages();
  }
  std::string ControlSelection() {
    CHARRANGE r{};
    SendMessageA(pane, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    if (r.cpMax <= r.cpMin) return {};
    std::string text(static_cast<size_t>(r.cpMax - r.cpMin) + 1, '\0');
    LRESULT n = SendMessageA(pane, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(n));
    return text;
  }

  TWin32World w;
  TPaneForm* form = nullptr;
  HWND pane = nullptr;
};

TEST_F(Win32RichEditURL, TheControlIsARichEdit20WithLinkNoticesOn) {
  char cls[64] = {};
  GetClassNameA(pane, cls, sizeof cls);
  EXPECT_STREQ(cls, "RichEdit20A");
  EXPECT_NE(SendMessageA(pane, EM_GETEVENTMASK, 0, 0) & ENM_LINK, 0);
}

TEST_F(Win32RichEditURL, PressOnAnAddressReportsItAndLeavesItSelected) {
  std::vector<std::string> clicked;
  form->Memo1->OnURLClick = [&](TObject* sender, const std::string& url) {
    EXPECT_EQ(sender, form->Memo1);
    clicked.push_back(url);
  };
  form->Memo1->AddLine("see www.example.org now");
  form->Memo1->AddLine("http://quindle.example/play - a web game");
  w.backend.ProcessMessages();

  ClickAt(9);  // inside "www.example.org"
  ASSERT_EQ(clicked, (std::vector<std::string>{"www.example.org"}));
  EXPECT_EQ(ControlSelection(), "www.example.org");

  // The second line starts after "see www.example.org now" and its break.
  ClickAt(24 + 10);
  ASSERT_EQ(clicked.size(), 2u);
  EXPECT_EQ(clicked[1], "http://quindle.example/play");
  EXPECT_EQ(ControlSelection(), "http://quindle.example/play");
}

TEST_F(Win32RichEditURL, PlainTextAndFailingHandlersReportNothing) {
  int calls = 0;
  form->Memo1->OnURLClick = [&](TObject*, const std::string&) {
    ++calls;
    throw std::runtime_error("no browser");
  };
  form->Memo1->AddLine("Connected 10:00 www.example.org");
  w.backend.ProcessMessages();
  ClickAt(3);
  EXPECT_EQ(calls, 0);
  ClickAt(20);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(w.backend.messages.empty());  // the failure is dropped silently
  EXPECT_EQ(ControlSelection(), "www.example.org");
}

}  // namespace
