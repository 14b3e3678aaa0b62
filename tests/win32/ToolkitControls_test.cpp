// The Windows backend's native controls: real windows whose messages reach the
// models, keys dropped by a handler that never reach the control, clicks,
// selections, the masked field, the rich-text pane and the forms' own rules.
#include <gtest/gtest.h>

#include <algorithm>

#include "ToolkitWin32World.h"
#include "platform/Errors.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RichEdit.h"

namespace {

// A rich edit that switches link detection on, as the log pane does, and
// records the link notices reflected to it.
class TLinkPane : public TRichEdit {
 public:
  using TRichEdit::TRichEdit;
  std::vector<TENLink> links;
  void CreateWnd() override {
    Perform(EM_AUTOURLDETECT_T, 1, 0);
    Perform(EM_SETEVENTMASK_T, 0, Perform(EM_GETEVENTMASK_T, 0, 0) | ENM_LINK_T);
  }
  intptr_t NotifyReflected(const TENLink& link) override {
    links.push_back(link);
    return 0;
  }
};

class TControlsForm : public TForm {
 public:
  explicit TControlsForm(TComponent* owner) : TForm(owner) {
    edit = Make<TEdit>(this, 8, 8, 100, 21);
    check = Make<TCheckBox>(this, 8, 36, 100, 17);
    group = Make<TGroupBox>(this, 120, 8, 150, 70);
    first = Make<TRadioButton>(group, 8, 16, 100, 17);
    second = Make<TRadioButton>(group, 8, 40, 100, 17);
    mask = Make<TMaskEdit>(this, 8, 60, 60, 21);
    combo = Make<TComboBox>(this, 8, 90, 100, 21);
    button = Make<TButton>(this, 120, 90, 75, 25);
    pane = Make<TLinkPane>(this, 8, 120, 120, 100);
  }
  void ApplyDesign() override {
    SetCaption("Controls");
    SetClientSize(300, 240);
    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu | biMinimize);
    SetKeyPreview(true);
    check->SetCaption("&Box");
    first->SetCaption("First");
    first->SetChecked(true);
    second->SetCaption("Second");
    mask->SetEditMask("!99:99>;1;_");
    mask->SetMaxLength(5);
    combo->SetStyle(csDropDownList);
    combo->Items().Add("alpha");
    combo->Items().Add("beta");
    combo->Items().Add("gamma");
    combo->SetItemIndex(0);
    button->SetCaption("&OK");
    pane->SetReadOnly(true);
    pane->SetScrollBars(ssVertical);
  }

  template <class C>
  C* Make(TWinControl* parent, int left, int top, int width, int height) {
    auto* c = new C(this);
    c->SetParent(parent);
    c->SetBounds(left, top, width, height);
    return c;
  }

  TEdit* edit;
  TCheckBox* check;
  TGroupBox* group;
  TRadioButton* first;
  TRadioButton* second;
  TMaskEdit* mask;
  TComboBox* combo;
  TButton* button;
  TLinkPane* pane;
};

class Win32Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    form = w.app->CreateForm<TControlsForm>();
    form->Show();
    w.backend.ProcessMessages();
  }
  HWND Of(TControl* c) { return Hwnd(c->Handle()); }

  TWin32World w;
  TControlsForm* form = nullptr;
};

TEST_F(Win32Controls, FormsAreLaidOutFromTheirClientSizeAndFollowMoves) {
  RECT client{};
  GetClientRect(Of(form), &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 240);
  RECT outer{};
  GetWindowRect(Of(form), &outer);
  EXPECT_EQ(form->Width(), outer.right - outer.left);
  EXPECT_EQ(form->Height(), outer.bottom - outer.top);
  LONG_PTR style = GetWindowLongPtrA(Of(form), GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);

  // Moved by the system: the model learns the new place.
  SetWindowPos(Of(form), nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(form->Left(), 40);
  EXPECT_EQ(form->Top(), 50);
  // Moved by the model: the window goes there.
  form->SetBounds(60, 70, form->Width(), form->Height());
  GetWindowRect(Of(form), &outer);
  EXPECT_EQ(outer.left, 60);
  EXPECT_EQ(outer.top, 70);

  // Controls in a group box are placed in the box's client coordinates.
  RECT box{}, radio{};
  GetWindowRect(Of(form->group), &box);
  GetWindowRect(Of(form->second), &radio);
  EXPECT_EQ(radio.left - box.left, 8);
  EXPECT_EQ(radio.top - box.top, 40);
}

TEST_F(Win32Controls, KeysDroppedByAHandlerNeverReachTheEdit) {
  form->edit->SetFocus();
  form->edit->OnKeyPress = [](TObject*, char& key) {
    if (!(key >= '0' && key <= '9') && key != '\b') key = 0;
  };
  PostText(Of(form->edit), "1a2b;3");
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(Of(form->edit)), "123");
  EXPECT_EQ(form->edit->Text(), "123");

  // Backspace passes the filter and deletes, as the control does it.
  PostKey(Of(form->edit), VK_BACK);
  w.backend.ProcessMessages();
  EXPECT_EQ(form->edit->Text(), "12");

  // A key dropped at the key-down never reaches the control either.
  form->edit->OnKeyDown = [](TObject*, WORD_T& key, TShiftState) {
    if (key == VK_DELETE_T) key = 0;
  };
  SendMessageA(Of(form->edit), EM_SETSEL, 0, 0);
  PostKey(Of(form->edit), VK_DELETE);
  w.backend.ProcessMessages();
  EXPECT_EQ(form->edit->Text(), "12");
  form->edit->OnKeyDown = {};
  PostKey(Of(form->edit), VK_DELETE);
  w.backend.ProcessMessages();
  EXPECT_EQ(form->edit->Text(), "2");

  // Text set by the program shows in the control without coming back as typing.
  int changes = 0;
  form->edit->OnChange = [&](TObject*) { ++changes; };
  form->edit->SetText("set");
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(Of(form->edit)), "set");
  EXPECT_EQ(changes, 1);
}

TEST_F(Win32Controls, TheFormPreviewsKeysAndEscapeReachesItFromAnyControl) {
  std::vector<WORD_T> previewed;
  form->OnKeyDown = [&](TObject*, WORD_T& key, TShiftState) {
    previewed.push_back(key);
    if (key == VK_ESCAPE_T) form->Close();
  };
  int closeAsked = 0;
  form->OnCloseQuery = [&](TObject*, bool& canClose) {
    ++closeAsked;
    canClose = false;
  };
  form->button->SetFocus();
  PostKey(Of(form->button), VK_ESCAPE);
  w.backend.ProcessMessages();
  EXPECT_EQ(previewed, std::vector<WORD_T>{VK_ESCAPE_T});
  EXPECT_EQ(closeAsked, 1);

  // The close box asks the model too; a refused close leaves the window up.
  SendMessageA(Of(form), WM_CLOSE, 0, 0);
  EXPECT_EQ(closeAsked, 2);
  EXPECT_TRUE(IsWindow(Of(form)));
  EXPECT_TRUE(IsWindowVisible(Of(form)));

  // The minimise button minimises the application.
  int minimized = 0;
  w.app->OnMinimize = [&](TObject*) { ++minimized; };
  SendMessageA(Of(form), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(minimized, 1);
  EXPECT_TRUE(IsIconic(Of(form)));
}

TEST_F(Win32Controls, TheEndOfTheSessionIsNeverHeldUpAndEndsTheProgramInOrder) {
  bool destroyed = false;
  form->OnCloseQuery = [](TObject*, bool& canClose) { canClose = false; };
  form->OnDestroy = [&](TObject*) { destroyed = true; };
  HWND window = Of(form);
  EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), TRUE);
  // Ended by something else: nothing happens.
  SendMessageA(window, WM_ENDSESSION, FALSE, 0);
  EXPECT_FALSE(destroyed);
  EXPECT_TRUE(IsWindow(window));
  // The session ends: the orderly exit's saving steps run before the
  // handler returns. Nothing is freed (a frame below may still use it): the
  // process ends there instead.
  SendMessageA(window, WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(destroyed);
  EXPECT_TRUE(w.app->Terminated());
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(Win32Controls, ActivationByTheUserReachesTheFormOnce) {
  auto* other = w.app->CreateForm<TForm>();
  other->SetClientSize(100, 60);
  other->Show();
  w.backend.ProcessMessages();
  int activated = 0;
  form->OnActivate = [&](TObject*) { ++activated; };
  SetActiveWindow(Of(form));
  w.backend.ProcessMessages();
  EXPECT_EQ(activated, 1);
  EXPECT_EQ(GetActiveWindow(), Of(form));
  // The control that had the focus gets it back.
  form->edit->SetFocus();
  SetActiveWindow(Of(other));
  SetActiveWindow(Of(form));
  w.backend.ProcessMessages();
  EXPECT_EQ(activated, 2);
  EXPECT_EQ(GetFocus(), Of(form->edit));
}

TEST_F(Win32Controls, TabMovesTheFocusAndAltWithAMarkedLetterClicks) {
  form->edit->SetFocus();
  EXPECT_EQ(GetFocus(), Of(form->edit));
  PostKey(Of(form->edit), VK_TAB);
  w.backend.ProcessMessages();
  EXPECT_EQ(GetFocus(), Of(form->check));
  EXPECT_EQ(form->ActiveControl(), form->check);
  EXPECT_EQ(TextOf(Of(form->edit)), "");  // the tab was not typed

  int clicks = 0;
  form->button->OnClick = [&](TObject*) { ++clicks; };
  PostMessageA(Of(form->check), WM_SYSCHAR, 'o', 1 << 29);
  PostMessageA(Of(form->check), WM_SYSCHAR, 'b', 1 << 29);
  w.backend.ProcessMessages();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(form->check->Checked());
}

TEST_F(Win32Controls, ClicksReachTheModelsAndTheModelKeepsTheBoxesInStep) {
  int clicks = 0;
  form->check->OnClick = [&](TObject*) { ++clicks; };
  SendMessageA(Of(form->check), BM_CLICK, 0, 0);
  EXPECT_TRUE(form->check->Checked());
  EXPECT_EQ(SendMessageA(Of(form->check), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(clicks, 1);

  // Set by the program: the box follows, the click rule runs once.
  form->check->SetChecked(false);
  EXPECT_EQ(SendMessageA(Of(form->check), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(clicks, 2);

  // Radio buttons of one group box uncheck each other, in the model and on screen.
  EXPECT_EQ(SendMessageA(Of(form->first), BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageA(Of(form->second), BM_CLICK, 0, 0);
  EXPECT_TRUE(form->second->Checked());
  EXPECT_FALSE(form->first->Checked());
  EXPECT_EQ(SendMessageA(Of(form->first), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageA(Of(form->second), BM_GETCHECK, 0, 0), BST_CHECKED);

  // A disabled box is disabled on screen.
  form->check->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(Of(form->check)));
}

TEST_F(Win32Controls, AnExceptionInAHandlerIsReportedAndTheProgramGoesOn) {
  int clicks = 0;
  form->check->OnClick = [&](TObject*) {
    ++clicks;
    throw EQuindleError("click handler failed");
  };
  SendMessageA(Of(form->check), BM_CLICK, 0, 0);
  EXPECT_EQ(w.backend.messages, std::vector<std::string>{"click handler failed"});
  // The box shows the model's state whatever the handler did.
  EXPECT_EQ(SendMessageA(Of(form->check), BM_GETCHECK, 0, 0),
            form->check->Checked() ? BST_CHECKED : BST_UNCHECKED);

  form->edit->OnKeyPress = [](TObject*, char&) { throw EQuindleError("key handler failed"); };
  PostText(Of(form->edit), "x");
  w.backend.ProcessMessages();
  EXPECT_EQ(w.backend.messages.back(), "key handler failed");
  EXPECT_EQ(form->edit->Text(), "");

  form->check->OnClick = [&](TObject*) { ++clicks; };
  SendMessageA(Of(form->check), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 2);
}

TEST_F(Win32Controls, ComboBoxSelectionsComeFromTheUserAndTheProgram) {
  HWND combo = Of(form->combo);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
  int changes = 0;
  form->combo->OnChange = [&](TObject*) { ++changes; };
  form->combo->SetFocus();
  PostKey(combo, VK_DOWN);
  w.backend.ProcessMessages();
  EXPECT_EQ(form->combo->ItemIndex(), 1);
  EXPECT_EQ(form->combo->Text(), "beta");
  EXPECT_EQ(changes, 1);

  form->combo->SetItemIndex(2);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 2);
  form->combo->Items().Clear();
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST_F(Win32Controls, ASimpleComboBoxTakesItsKeysAtItsEditFieldOnce) {
  auto* ampm = form->Make<TComboBox>(form, 200, 120, 40, 21);
  ampm->SetStyle(csSimple);
  ampm->SetCharCase(ecUpperCase);
  ampm->Items().Add("AM");
  ampm->Items().Add("PM");
  ampm->SetItemIndex(0);
  ampm->CreateHandles();
  int downs = 0;
  ampm->OnKeyDown = [&](TObject*, WORD_T& key, TShiftState) {
    ++downs;
    if (key == VK_DOWN_T) ampm->SetItemIndex(ampm->ItemIndex() == 0 ? 1 : 0);
    key = 0;
  };
  ampm->OnKeyPress = [&](TObject*, char& key) {
    if (key == 'p') {
      ampm->SetItemIndex(1);
      ampm->SetSelStart(0);
    }
    key = 0;
  };
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(Of(ampm), &info));
  HWND field = info.hwndItem;
  ampm->SetFocus();
  PostText(field, "p");
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(field), "PM");
  DWORD start = 9, end = 9;
  SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);  // the caret at the start, nothing selected
  EXPECT_EQ(end, 0u);
  PostText(field, "x");
  PostKey(field, VK_DOWN);
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(field), "AM");
  EXPECT_EQ(downs, 3);  // "p", "x" and Down, each seen once
}

TEST_F(Win32Controls, TheMaskedFieldShowsWhatItsModelFills) {
  HWND field = Of(form->mask);
  EXPECT_EQ(TextOf(field), form->mask->EditText());
  form->mask->OnKeyPress = [](TObject*, char& key) {
    if ((key < '0' || key > '9') && static_cast<unsigned char>(key) >= 32) key = 0;
  };
  form->mask->SetFocus();
  SendMessageA(field, EM_SETSEL, 0, 0);
  PostText(field, "1x2");
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(field), "12:__");
  DWORD start = 0, end = 0;
  SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 3u);  // past the separator, where the next digit goes
  PostText(field, "34");
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(field), "12:34");
  EXPECT_EQ(form->mask->Text(), "12:34");

  // Delete clears the position at the caret; the separator stays.
  SendMessageA(field, EM_SETSEL, 0, 0);
  PostKey(field, VK_DELETE);
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(field), "_2:34");
  EXPECT_EQ(form->mask->Text(), " 2:34");
  // Backspace clears the position before the caret, in place.
  SendMessageA(field, EM_SETSEL, 4, 4);
  PostKey(field, VK_BACK);
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(field), "_2:_4");
  // A paste fills the positions through the model: the separator stays, and
  // what the filter refuses is left out.
  SendMessageA(field, EM_SETSEL, 0, 5);
  w.backend.SetClipboardText("0x9:15");
  SendMessageA(field, WM_PASTE, 0, 0);
  EXPECT_EQ(TextOf(field), "09:15");
  EXPECT_EQ(form->mask->Text(), "09:15");
}

TEST_F(Win32Controls, APasteIntoAFilteredFieldKeepsWhatTypingWouldAndCtrlVPastes) {
  form->edit->OnKeyPress = [](TObject*, char& key) {
    if (!(key >= '0' && key <= '9') && static_cast<unsigned char>(key) >= 32) key = 0;
  };
  form->edit->SetFocus();
  w.backend.SetClipboardText("1a2\r\nb3");
  SendMessageA(Of(form->edit), WM_PASTE, 0, 0);
  EXPECT_EQ(TextOf(Of(form->edit)), "12");
  EXPECT_EQ(form->edit->Text(), "12");
  w.backend.SetClipboardText("45");
  SendMessageA(Of(form->edit), EM_SETSEL, 0, -1);
  PostMessageA(Of(form->edit), WM_CHAR, 0x16, 1);  // Ctrl+V
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(Of(form->edit)), "45");
  EXPECT_EQ(w.backend.ClipboardText(), "45");
}

TEST_F(Win32Controls, TheDialogKeysEnterTabAndTheArrowsOfARadioGroup) {
  int clicks = 0;
  form->button->OnClick = [&](TObject*) { ++clicks; };
  form->button->SetDefault(true);
  EXPECT_TRUE(GetWindowLongPtrA(Of(form->button), GWL_STYLE) & BS_DEFPUSHBUTTON);
  std::string typed;
  form->edit->OnKeyPress = [&](TObject*, char& key) { typed += key; };
  // Enter in a field presses the default button, and types nothing.
  form->edit->SetFocus();
  PostKey(Of(form->edit), VK_RETURN);
  w.backend.ProcessMessages();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(typed, "");
  // Enter on a focused button presses that one.
  int checks = 0;
  form->check->OnClick = [&](TObject*) { ++checks; };
  form->button->SetDefault(false);
  form->button->SetFocus();
  PostKey(Of(form->button), VK_RETURN);
  w.backend.ProcessMessages();
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(checks, 0);

  // The arrows move within the radio group and check the button they reach.
  form->first->SetFocus();
  PostKey(Of(form->first), VK_DOWN);
  w.backend.ProcessMessages();
  EXPECT_EQ(GetFocus(), Of(form->second));
  EXPECT_TRUE(form->second->Checked());
  EXPECT_EQ(SendMessageA(Of(form->first), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  PostKey(Of(form->second), VK_DOWN);
  w.backend.ProcessMessages();
  EXPECT_TRUE(form->first->Checked());

  // Tab reaches a radio group at its checked button only.
  form->check->SetFocus();
  PostKey(Of(form->check), VK_TAB);
  w.backend.ProcessMessages();
  EXPECT_EQ(GetFocus(), Of(form->first));
  PostKey(Of(form->first), VK_TAB);
  w.backend.ProcessMessages();
  EXPECT_EQ(GetFocus(), Of(form->mask));

  // Shift+Tab back into a field selects its text.
  form->edit->SetText("hello");
  SendMessageA(Of(form->edit), EM_SETSEL, 5, 5);
  form->check->SetFocus();
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  PostKey(Of(form->check), VK_TAB);
  w.backend.ProcessMessages();
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(GetFocus(), Of(form->edit));
  DWORD start = 9, end = 9;
  SendMessageA(Of(form->edit), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 5u);
}

TEST_F(Win32Controls, EscapeInAnOpenListClosesTheListOnlyAndKeepsTheChoice) {
  std::vector<WORD_T> previewed;
  form->OnKeyDown = [&](TObject*, WORD_T& key, TShiftState) { previewed.push_back(key); };
  int changes = 0;
  form->combo->OnChange = [&](TObject*) { ++changes; };
  HWND combo = Of(form->combo);
  form->combo->SetFocus();
  form->combo->SetDroppedDown(true);
  EXPECT_TRUE(form->combo->DroppedDown());
  PostKey(combo, VK_DOWN);
  PostKey(combo, VK_ESCAPE);
  w.backend.ProcessMessages();
  EXPECT_FALSE(form->combo->DroppedDown());
  EXPECT_EQ(previewed, std::vector<WORD_T>{VK_DOWN_T});  // Escape was the list's
  EXPECT_EQ(form->combo->ItemIndex(), 0);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(changes, 0);
  // Enter in the open list chooses the highlighted item.
  form->combo->SetDroppedDown(true);
  PostKey(combo, VK_DOWN);
  PostKey(combo, VK_RETURN);
  w.backend.ProcessMessages();
  EXPECT_FALSE(form->combo->DroppedDown());
  EXPECT_EQ(form->combo->ItemIndex(), 1);
  EXPECT_EQ(changes, 1);
}

TEST_F(Win32Controls, AKeyThatClosesAModalFormLeavesNoCharacterForItsHiddenField) {
  auto* dialog = w.app->CreateForm<TControlsForm>();
  dialog->OnKeyDown = [&](TObject*, WORD_T& key, TShiftState) {
    if (key == VK_ESCAPE_T || key == 'Q') {
      key = key == 'Q' ? key : 0;
      dialog->Close();
    }
  };
  std::string typed;
  dialog->edit->OnKeyPress = [&](TObject*, char& key) { typed += key; };
  for (WORD vk : {WORD{VK_ESCAPE}, WORD{'Q'}}) {
    uintptr_t press = w.backend.StartTimer(20, [&] {
      dialog->edit->SetFocus();
      PostKey(Of(dialog->edit), vk);
    });
    dialog->ShowModal();
    w.backend.StopTimer(press);
    w.backend.ProcessMessages();
  }
  EXPECT_EQ(typed, "");
  EXPECT_EQ(TextOf(Of(dialog->edit)), "");
}

// A dropped key that moves the focus takes its own character only. Keys
// posted in a batch are translated ahead of their characters: the one typed
// before it is still waiting, first, and reaches its field.
TEST_F(Win32Controls, AKeyDroppedWithTheFocusMovedLeavesTheCharacterTypedBeforeIt) {
  form->OnKeyDown = [&](TObject*, WORD_T& key, TShiftState) {
    if (key != VK_ESCAPE_T) return;
    key = 0;
    form->button->SetFocus();
  };
  std::string typed;
  form->edit->OnKeyPress = [&](TObject*, char& key) { typed += key; };
  form->edit->SetFocus();
  PostKey(Of(form->edit), 'A');
  PostKey(Of(form->edit), VK_ESCAPE);
  w.backend.ProcessMessages();
  EXPECT_EQ(GetFocus(), Of(form->button));
  EXPECT_EQ(typed, "a");
  EXPECT_EQ(TextOf(Of(form->edit)), "a");
}

TEST_F(Win32Controls, TheRichPaneShowsAddedLinesAndCountsThemAsWrapped) {
  const std::string sentence =
      "the quick brown fox jumps over the lazy dog and keeps on running far away";
  form->pane->AddLine("first");
  form->pane->AddLine(sentence);
  std::string shown = TextOf(Of(form->pane));
  EXPECT_NE(shown.find("first"), std::string::npos);
  EXPECT_NE(shown.find("lazy dog"), std::string::npos);

  // Read back from the control: the long line wraps in a 120-pixel pane.
  int lines = form->pane->LineCount();
  EXPECT_GT(lines, 2);
  EXPECT_EQ(form->pane->Line(0), "first");
  std::string joined;
  for (int i = 1; i < lines; ++i) joined += form->pane->Line(i);
  joined.erase(std::remove(joined.begin(), joined.end(), '\r'), joined.end());
  while (!joined.empty() && joined.back() == ' ') joined.pop_back();
  EXPECT_EQ(joined, sentence);

  form->pane->ClearLines();
  EXPECT_EQ(form->pane->LineCount(), 0);
  form->pane->AddLine("again");
  EXPECT_EQ(form->pane->LineCount(), 1);
  EXPECT_EQ(form->pane->Line(0), "again");
}

TEST_F(Win32Controls, APressOnALinkInThePaneIsReflectedToIt) {
  form->pane->AddLine("see www.example.org now");
  w.backend.ProcessMessages();
  // The middle of the address, in the pane's client coordinates.
  POINTL at{};
  SendMessageA(Of(form->pane), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), 9);
  LPARAM where = MAKELPARAM(at.x + 2, at.y + 4);
  SendMessageA(Of(form->pane), WM_LBUTTONDOWN, MK_LBUTTON, where);
  SendMessageA(Of(form->pane), WM_LBUTTONUP, 0, where);
  auto press = std::find_if(form->pane->links.begin(), form->pane->links.end(),
                            [](const TENLink& l) { return l.msg == WM_LBUTTONDOWN_T; });
  ASSERT_NE(press, form->pane->links.end());
  EXPECT_EQ(press->code, EN_LINK_T);
  EXPECT_EQ(press->chrg.cpMin, 4);
  EXPECT_EQ(press->chrg.cpMax, 19);
}

TEST_F(Win32Controls, AModalFormDisablesTheOthersUntilItCloses) {
  auto* dialog = w.app->CreateForm<TForm>();
  dialog->SetClientSize(120, 80);
  dialog->HandleNeeded();  // made before its first show, to see its owner
  EXPECT_EQ(GetWindow(Of(dialog), GW_OWNER), Of(form));
  bool mainWasDisabled = false;
  uintptr_t close = w.backend.StartTimer(20, [&] {
    mainWasDisabled = !IsWindowEnabled(Of(form));
    SendMessageA(Of(dialog), WM_CLOSE, 0, 0);
  });
  int result = dialog->ShowModal();
  w.backend.StopTimer(close);
  EXPECT_EQ(result, mrCancel);
  EXPECT_TRUE(mainWasDisabled);
  EXPECT_TRUE(IsWindowEnabled(Of(form)));
  EXPECT_FALSE(IsWindowVisible(Of(dialog)));
}

}  // namespace
