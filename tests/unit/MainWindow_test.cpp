// The main window's start-up, position, advert line, closing rules and tray
// menu, with the whole program started in its own order.
#include <gtest/gtest.h>

#include "QuindleWorld.h"
#include "platform/Errors.h"

namespace {

const char* const kBook =
    "[Office]\nUserName=alice\nPassword=secret\nScript=0:100,1:100,2:200,3:100,8192:100\n"
    "[Home]\nScript=0:100,8192:100\n";

TEST(MainWindow, FirstRunOpensAtTheDesignPositionWithTheAdvertLineAndSavesOnlyThePosition) {
  TQuindleWorld q(kBook);
  q.Start();
  EXPECT_EQ(q.form1->Left(), 295);
  EXPECT_EQ(q.form1->Top(), 172);
  EXPECT_EQ(q.form1->Panel1->Caption(), "Disconnected");
  EXPECT_TRUE(q.form1->ConButton->Enabled());
  EXPECT_FALSE(q.form1->DisButton->Enabled());
  EXPECT_EQ(q.form1->TrayIcon->Hint(), "Quindle\r(Disconneted)");
  auto pane = q.Pane();
  ASSERT_GE(pane.size(), 2u);
  EXPECT_EQ(pane[0].rfind("http://", 0), 0u);
  EXPECT_EQ(pane[1], "");
  EXPECT_EQ(q.settings->ComboBox1->Items().Count(), 2);
  EXPECT_EQ(q.settings->ComboBox1->Text(), "Office");
  EXPECT_FALSE(q.world.registry.HasKey(kQuindleKey));

  q.world.app->DestroyForms();
  EXPECT_EQ(q.world.registry.ValueNames(kQuindleKey), (std::vector<std::string>{"SLeft", "STop"}));
  EXPECT_EQ(q.world.registry.Dword(kQuindleKey, "SLeft"), 295u);
  EXPECT_TRUE(q.world.backend.messageBoxes.empty());
}

TEST(MainWindow, StoredPositionAndAdvertSwitchAreUsed) {
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "SLeft", static_cast<uint32_t>(-40));
  q.world.registry.PutDword(kQuindleKey, "STop", 300);
  q.world.registry.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();
  EXPECT_EQ(q.form1->Left(), -40);  // partly off the screen, its title bar in reach: kept
  EXPECT_EQ(q.form1->Top(), 300);
  EXPECT_EQ(q.form1->Memo1->LineCount(), 0);
  q.form1->SetLeft(10);
  q.world.app->DestroyForms();
  EXPECT_EQ(q.world.registry.Dword(kQuindleKey, "SLeft"), 10u);
}

// Two monitors side by side, the second with its taskbar on the left.
void TwoMonitors(THeadlessBackend& backend) {
  backend.monitors = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                      {{1920, 0, 3200, 1024}, {1980, 0, 3200, 1024}}};
}

TEST(MainWindow, AStoredPlaceOffEveryScreenIsMovedOntoTheNearestOne) {
  TQuindleWorld q(kBook);
  TwoMonitors(q.world.backend);
  q.world.registry.PutDword(kQuindleKey, "SLeft", 5000);
  q.world.registry.PutDword(kQuindleKey, "STop", 5000);
  q.Start();
  const TRect placed = q.form1->BoundsRect();
  EXPECT_EQ(placed.right, 3200);  // the second monitor's bottom right corner
  EXPECT_EQ(placed.bottom, 1024);

  // The second monitor is unplugged while the window sits in the tray on it.
  q.form1->SetBounds(2500, 300, q.form1->Width(), q.form1->Height());
  q.world.backend.monitors.resize(1);
  q.form1->Restore1Click(nullptr);
  const int left = q.form1->Left();
  EXPECT_EQ(left + q.form1->Width(), 1920);
  EXPECT_EQ(q.form1->Top(), 300);
  q.world.app->DestroyForms();
  EXPECT_EQ(q.world.registry.Dword(kQuindleKey, "SLeft"), static_cast<uint32_t>(left));
}

TEST(MainWindow, AStoredPlaceAtTheEndsOfTheIntegerRangeComesOntoTheScreen) {
  // Windows clamps a window's edges to 16 bits; the stored values are not.
  TQuindleWorld q(kBook);
  TwoMonitors(q.world.backend);
  q.world.registry.PutDword(kQuindleKey, "SLeft", 0x7fffffe2);
  q.world.registry.PutDword(kQuindleKey, "STop", 0x80000000);
  q.Start();
  const TRect placed = q.form1->BoundsRect();
  EXPECT_EQ(placed.right, 3200);  // the nearest work area's top right corner
  EXPECT_EQ(placed.top, 0);
  q.world.app->DestroyForms();
  EXPECT_EQ(q.world.registry.Dword(kQuindleKey, "SLeft"), static_cast<uint32_t>(placed.left));
  EXPECT_EQ(q.world.registry.Dword(kQuindleKey, "STop"), 0u);
}

TEST(MainWindow, AdvertShownWhenTheSwitchIsStoredFalse) {
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "ZimAdvt", 0);
  q.Start();
  EXPECT_EQ(q.form1->Memo1->Line(0).rfind("http://", 0), 0u);
}

TEST(MainWindow, PositionOfTheWrongTypeIsReportedAndTheProgramStillStarts) {
  TQuindleWorld q(kBook);
  q.world.registry.PutString(kQuindleKey, "SLeft", "left");
  q.world.registry.PutDword(kQuindleKey, "STop", 300);
  q.Start();
  EXPECT_EQ(q.form1->Left(), 295);
  EXPECT_EQ(q.form1->Top(), 300);
  ASSERT_FALSE(q.world.backend.messageBoxes.empty());
  EXPECT_EQ(q.world.backend.messageBoxes[0].text, "Invalid data type for 'SLeft'");
}

TEST(MainWindow, AKeyClosedToWritingLeavesThePositionUnwrittenWithoutAWord) {
  TQuindleWorld q(kBook);
  q.world.registry.PutDword(kQuindleKey, "SLeft", 50);
  q.world.registry.deniedKeys.insert("HKCU\\SOFTWARE\\QUINDLE");
  q.Start();
  q.form1->SetLeft(10);
  q.settings->MiniBox->Click();
  q.world.app->DestroyForms();
  EXPECT_EQ(q.world.registry.Dword(kQuindleKey, "SLeft"), 50u);
  // Only the changed settings' save speaks of the key.
  EXPECT_EQ(q.world.MessageTexts(),
            std::vector<std::string>{"Failed to create key SOFTWARE\\Quindle"});
}

TEST(MainWindow, CloseBoxAndEscapeOnlyMinimiseAndExitEndsTheProgram) {
  TQuindleWorld q(kBook);
  q.Start();
  TForm1& f = *q.form1;
  f.Show();
  f.Close();
  EXPECT_FALSE(q.world.app->Terminated());
  EXPECT_TRUE(q.world.backend.IsIconic(f.Handle()) || !q.world.backend.IsWindowVisible(f.Handle()));
  EXPECT_FALSE(q.world.backend.IsWindowVisible(f.Handle()));  // only the tray icon is left
  WORD_T esc = VK_ESCAPE_T;
  f.ConButton->TypeKey(esc);
  EXPECT_FALSE(q.world.app->Terminated());

  // A click on the tray icon brings the window back.
  q.world.backend.DeliverToHiddenWindow(f.TrayIcon->WindowHandle(), WM_TRAYNOTIFY_T, 0,
                                        WM_LBUTTONUP_T);
  EXPECT_TRUE(q.world.backend.IsWindowVisible(f.Handle()));

  // Exit from the tray menu is the one way out.
  q.world.backend.popupScript = [&](TPopupMenu&, int, int) { return f.Exit1; };
  q.world.backend.DeliverToHiddenWindow(f.TrayIcon->WindowHandle(), WM_TRAYNOTIFY_T, 0,
                                        WM_RBUTTONUP_T);
  EXPECT_TRUE(q.world.app->Terminated());
}

TEST(MainWindow, TrayMenuFollowsTheButtonsAndPostsTheEmptyMessage) {
  TQuindleWorld q(kBook);
  q.Start();
  TForm1& f = *q.form1;
  bool restoreBold = false, connectOn = false, disconnectOn = true;
  q.world.backend.popupScript = [&](TPopupMenu&, int, int) -> TMenuItem* {
    restoreBold = f.Restore1->Default();
    connectOn = f.Connect1->Enabled();
    disconnectOn = f.Disconnect1->Enabled();
    return nullptr;
  };
  q.world.backend.cursorPos = {900, 700};
  f.TrayIconRightClick(&f, mbRight, 0, 0, 0);
  EXPECT_TRUE(restoreBold);
  EXPECT_TRUE(connectOn);
  EXPECT_FALSE(disconnectOn);
  auto& calls = q.world.backend.windowCalls;
  auto menu =
      std::find_if(calls.begin(), calls.end(), [](auto& c) { return c.call == "TrackPopupMenu"; });
  ASSERT_NE(menu, calls.end());
  EXPECT_EQ(menu->a, 900);
  EXPECT_EQ(menu->b, 700);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().call, "PostMessage");
  EXPECT_EQ(calls.back().a, static_cast<intptr_t>(WM_NULL_T));
  EXPECT_TRUE(
      std::any_of(calls.begin(), menu, [](auto& c) { return c.call == "SetForegroundWindow"; }));
}

TEST(MainWindow, OnlyWebAddressesClickedInThePaneAreOpened) {
  TQuindleWorld q(kBook);
  q.Start();
  q.form1->Memo1URLClick(q.form1->Memo1, "http://games.example.org/quest");
  q.form1->Memo1URLClick(q.form1->Memo1, "file:///C:/windows/system32/calc.exe");
  q.form1->Memo1URLClick(q.form1->Memo1, "C:\\windows\\notepad.exe");
  q.form1->Memo1URLClick(q.form1->Memo1, "www.quest.example.com\\..\\quest.exe");
  q.form1->Memo1URLClick(q.form1->Memo1, "www.quest.example.com");
  ASSERT_EQ(q.world.shell.executes.size(), 2u);
  EXPECT_EQ(q.world.shell.executes[0].verb, "open");
  EXPECT_EQ(q.world.shell.executes[0].file, "http://games.example.org/quest");
  EXPECT_EQ(q.world.shell.executes[0].show, SW_SHOWNORMAL_T);
  // A www. address goes to the shell as a web page, never as a file name.
  EXPECT_EQ(q.world.shell.executes[1].file, "http://www.quest.example.com");
}

TEST(MainWindow, WithoutTheRasLibraryStartUpEndsWithTheMonitorsMessage) {
  TTestWorld w;
  EXPECT_THROW(
      {
        try {
          CreateQuindle(*w.app);
        } catch (const EQuindleError& e) {
          EXPECT_STREQ(e.what(), "RASAPI Not Loaded, unable to access RAS Functions");
          throw;
        }
      },
      EQuindleError);
  EXPECT_EQ(w.app->MainForm(), nullptr);
}

TEST(MainWindow, SessionEndRunsTheOrderlyExitWithoutAsking) {
  TQuindleWorld q(kBook);
  q.Start();
  q.form1->SetLeft(123);
  q.world.app->EndSession();
  EXPECT_TRUE(q.world.app->Terminated());
  EXPECT_EQ(q.world.registry.Dword(kQuindleKey, "SLeft"), 123u);
}

TEST(MainWindow, SettingsOpensTheDialogModallyCentredOnTheWindow) {
  TQuindleWorld q(kBook);
  q.Start();
  q.form1->SetBounds(400, 300, q.form1->Width(), q.form1->Height());
  bool shownModal = false;
  int centreX = 0, centreY = 0;
  q.world.backend.loopScript = [&] {
    shownModal = q.settings->Modal() && q.settings->Visible();
    centreX = q.settings->Left() + q.settings->Width() / 2;
    centreY = q.settings->Top() + q.settings->Height() / 2;
    q.settings->Close();
  };
  q.form1->SetButton->Click();
  EXPECT_TRUE(shownModal);
  EXPECT_NEAR(centreX, 400 + q.form1->Width() / 2.0, 1);
  EXPECT_NEAR(centreY, 300 + q.form1->Height() / 2.0, 1);
  EXPECT_FALSE(q.settings->Visible());
  // The always-on-top windows stepped back for the dialog and came back after.
  auto& calls = q.world.backend.windowCalls;
  auto notTop = std::count_if(calls.begin(), calls.end(), [](auto& c) {
    return c.call == "SetWindowPos" && c.a == HWND_NOTOPMOST_T;
  });
  auto top = std::count_if(calls.begin(), calls.end(), [](auto& c) {
    return c.call == "SetWindowPos" && c.a == HWND_TOPMOST_T;
  });
  EXPECT_GE(notTop, 1);
  EXPECT_EQ(notTop, top);
}

// A dialog the user may never open costs no windows at start-up; made at its
// first show, while the always-on-top main window has stepped back, it steps
// back too, and the next show uses the same windows.
TEST(MainWindow, TheSettingsDialogsWindowsAreMadeAtItsFirstShowOnly) {
  TQuindleWorld q(kBook);
  q.Start();
  EXPECT_EQ(q.settings->Handle(), TWindowHandle{});
  TWindowHandle shown;
  bool steppedBack = false;
  q.world.backend.loopScript = [&] {
    shown = q.settings->Handle();
    for (auto& c : q.world.backend.windowCalls)
      if (c.call == "SetWindowPos" && c.window == shown && c.a == HWND_NOTOPMOST_T)
        steppedBack = true;
    q.settings->Close();
  };
  q.form1->SetButton->Click();
  EXPECT_NE(shown, TWindowHandle{});
  EXPECT_TRUE(steppedBack);
  q.form1->SetButton->Click();
  EXPECT_EQ(q.settings->Handle(), shown);
}

}  // namespace
