// The settings dialog as the user works it: the close paths, the key
// filters, the checks made on closing, the timed-event check, when settings
// count as changed, and the credentials handed to and from the dialer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>

#include "QuindleWorld.h"
#include "platform/Files.h"

namespace {

const char* const kBook =
    "[Office]\nUserName=alice\nPassword=secret\nScript=0:100,8192:100\n"
    "[Home]\nScript=0:100,8192:100\n";

struct TWorkingFolder {
  TTempDir dir;
  std::filesystem::path previous = std::filesystem::current_path();
  TWorkingFolder() { std::filesystem::current_path(dir.path); }
  ~TWorkingFolder() { std::filesystem::current_path(previous); }
};

enum class TCloser { Ok, Escape, CloseBox };

// A started program whose settings dialog a test works.
struct TDialogWorld {
  TWorkingFolder folder;
  TQuindleWorld q{kBook};
  // The program lives in the working folder, where relative log names go.
  TDialogWorld() { q.world.system.moduleFileName = InFolder("Quindle.exe"); }
  std::string InFolder(const std::string& name) { return (folder.dir.path / name).string(); }

  TSettingsForm& S() { return *q.settings; }
  TSharedValues& Shared() { return q.Shared(); }
  std::vector<std::string> Messages() { return q.world.MessageTexts(); }

  void Close(TCloser closer) {
    switch (closer) {
      case TCloser::Ok:
        S().Button1->Click();
        break;
      case TCloser::Escape:
        S().EveryEdit->TypeKey(VK_ESCAPE_T);
        break;
      case TCloser::CloseBox:
        S().Close();
        break;
    }
  }
  // Opens the dialog with the main window's Settings button, runs `act` while
  // it is open, closes it the given way, and returns once it is closed.
  void WithDialog(const std::function<void()>& act, TCloser closer = TCloser::Ok) {
    auto& backend = q.world.backend;
    backend.loopScript = [this, act, closer, &backend] {
      backend.loopScript = nullptr;
      act();
      Close(closer);
    };
    q.form1->SetButton->Click();
    backend.loopScript = nullptr;
    ASSERT_FALSE(S().Visible());
  }
  void Retype(TEdit* edit, const std::string& text) {
    edit->SelectAll();
    edit->TypeText(text);
  }
  void Clear(TEdit* edit) {
    edit->SelectAll();
    edit->TypeKey(VK_DELETE_T);
  }
};

struct SettingsDialogTest : ::testing::Test, TDialogWorld {};

// ---- closing ----

TEST(SettingsDialogClose, OkEscapeAndTheCloseBoxGiveTheSameChecksAndResult) {
  struct TResult {
    std::vector<std::string> messages;
    std::string every, attempts, timedTime, timedDate;
    unsigned interval;
    int maxAttempts;
    bool timerChecked, timeFieldEnabled, disTimer, changed;
    bool operator==(const TResult&) const = default;
  };
  std::vector<TResult> results;
  for (TCloser closer : {TCloser::Ok, TCloser::Escape, TCloser::CloseBox}) {
    TDialogWorld t;
    t.q.Start();
    auto& s = t.S();
    t.WithDialog(
        [&] {
          t.Retype(s.EveryEdit, "1a2");
          s.AttemptsEdit->SelectAll();
          s.AttemptsEdit->TypeChar('\b');
          s.TimerBox->Click();
          t.Clear(s.TimeEdit);
          t.Clear(s.DateEdit);
        },
        closer);
    results.push_back({t.Messages(), s.EveryEdit->Text(), s.AttemptsEdit->Text(),
                       t.Shared().TimedTime, t.Shared().TimedDate, t.q.form1->Timer->Interval(),
                       t.Shared().MaxAttempts, s.TimerBox->Checked(), s.TimeEdit->Enabled(),
                       t.q.form1->DisTimer->Enabled(), s.SettingsChanged});
  }
  const TResult& ok = results[0];
  EXPECT_EQ(ok.messages,
            (std::vector<std::string>{"Interval can not be less than 500 milliseconds.",
                                      "Invalid time or date: 00/00/00 00:00 AM"}));
  EXPECT_EQ(ok.every, "500");
  EXPECT_EQ(ok.interval, 500u);
  EXPECT_EQ(ok.attempts, "99999");
  EXPECT_EQ(ok.maxAttempts, 99999);
  EXPECT_EQ(ok.timedTime, "00:00 AM");
  EXPECT_EQ(ok.timedDate, "00/00/00");
  EXPECT_FALSE(ok.timerChecked);
  EXPECT_FALSE(ok.timeFieldEnabled);
  EXPECT_FALSE(ok.disTimer);
  EXPECT_TRUE(ok.changed);
  EXPECT_TRUE(results[1] == ok) << "Escape";
  EXPECT_TRUE(results[2] == ok) << "close box";
}

TEST_F(SettingsDialogTest, EscapeClosesFromAFieldThatDropsEveryKey) {
  q.Start();
  WithDialog([&] { S().AmPmBox->TypeKey(VK_ESCAPE_T); }, TCloser::CloseBox);
  EXPECT_TRUE(Messages().empty());
}

// ---- key filters ----

TEST_F(SettingsDialogTest, NumberFieldsKeepOnlyDigitsAndBackspaceButEveryKeyCountsAsAChange) {
  q.Start();
  Retype(S().EveryEdit, "1a2b.3");
  EXPECT_EQ(S().EveryEdit->Text(), "123");
  S().SettingsChanged = false;
  S().AttemptsEdit->TypeChar('x');
  EXPECT_EQ(S().AttemptsEdit->Text(), "99999");
  EXPECT_TRUE(S().SettingsChanged);
  S().AttemptsEdit->TypeChar('\b');
  EXPECT_EQ(S().AttemptsEdit->Text(), "9999");
}

TEST_F(SettingsDialogTest, TimeAndDateFieldsTakeDigitsIntoTheMaskAndBackspaceClearsInPlace) {
  q.Start();
  S().TimerBox->Click();
  S().TimeEdit->SetText("");
  S().TimeEdit->TypeText("1:x2");
  EXPECT_EQ(S().TimeEdit->EditText(), "12:__");
  S().TimeEdit->TypeKey(VK_BACK_T);
  S().TimeEdit->TypeChar('\b');
  EXPECT_EQ(S().TimeEdit->EditText(), "1_:__");
  S().DateEdit->SetText("");
  S().SettingsChanged = false;
  S().DateEdit->TypeText("3112/26");
  EXPECT_EQ(S().DateEdit->Text(), "31/12/26");
  EXPECT_TRUE(S().SettingsChanged);
  S().DateEdit->TypeKey(VK_BACK_T);
  S().DateEdit->TypeChar('\b');
  S().DateEdit->TypeChar('\b');
  EXPECT_EQ(S().DateEdit->EditText(), "31/12/__");
}

TEST_F(SettingsDialogTest, TheClipboardKeysWorkInTheNumberFieldsAndAPasteKeepsWhatTypingWould) {
  q.Start();
  auto& clipboard = q.world.backend.clipboard;
  TEdit& every = *S().EveryEdit;
  // Ctrl+C and Ctrl+X take the selection.
  every.SelectAll();
  every.TypeChar(0x03);
  EXPECT_EQ(clipboard, "3000");
  every.TypeChar(0x18);
  EXPECT_EQ(every.Text(), "");
  // A paste passes the digits filter a character at a time, first line only.
  clipboard = "4a5 0\r\n99";
  S().SettingsChanged = false;
  every.TypeChar(0x16);
  EXPECT_EQ(every.Text(), "450");
  EXPECT_TRUE(S().SettingsChanged);
  clipboard = "letters";
  every.TypeChar(0x16);
  EXPECT_EQ(every.Text(), "450");
  // Into a masked field a paste fills the positions and keeps the separators.
  S().TimerBox->Click();
  S().DateEdit->SelectAll();
  clipboard = "31/12/26";
  S().DateEdit->TypeChar(0x16);
  EXPECT_EQ(S().DateEdit->EditText(), "31/12/26");
  S().TimeEdit->SelectAll();
  clipboard = "ab:1";
  S().TimeEdit->TypeChar(0x16);
  EXPECT_EQ(S().TimeEdit->EditText(), "1_:__");
  // The password is never copied.
  S().PMask->SetText("secret");
  S().PMask->SelectAll();
  S().PMask->TypeChar(0x03);
  EXPECT_EQ(clipboard, "ab:1");
}

TEST_F(SettingsDialogTest, AmPmBoxTakesLettersAndArrowsOnly) {
  q.Start();
  auto& box = *S().AmPmBox;
  box.SetSelStart(2);
  box.TypeChar('p');
  EXPECT_EQ(box.Text(), "PM");
  EXPECT_EQ(box.SelStart(), 0);
  box.TypeKey(VK_DOWN_T);
  EXPECT_EQ(box.Text(), "AM");
  box.TypeKey(VK_PRIOR_T);
  EXPECT_EQ(box.Text(), "PM");
  box.TypeChar('A');
  EXPECT_EQ(box.Text(), "AM");
  S().SettingsChanged = false;
  box.TypeKey(VK_BACK_T);
  box.TypeKey(VK_DELETE_T);
  box.TypeChar('\b');
  box.TypeChar('x');
  EXPECT_EQ(box.Text(), "AM");
  EXPECT_EQ(box.ItemIndex(), 0);
  EXPECT_TRUE(S().SettingsChanged);  // a typed character counts, even one without effect
}

// ---- keys as the keyboard gives them, with the dialog opened by the main window ----

struct SettingsKeysTest : SettingsDialogTest {
  const char* const kRun = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  void Press(TForm& form, WORD_T key, char ch = 0, TShiftState shift = 0) {
    q.world.backend.PressKey(form, key, ch, shift);
  }
  void Press(WORD_T key, char ch = 0, TShiftState shift = 0) { Press(S(), key, ch, shift); }
  // Opens the dialog with the Settings button, as its Alt+S does, runs
  // `keys` inside the dialog's own loop and lets the main loop dispatch
  // what they left behind once the dialog has closed.
  void InDialog(const std::function<void()>& keys) {
    auto& backend = q.world.backend;
    backend.loopScript = [&] {
      backend.loopScript = nullptr;
      keys();
    };
    q.form1->SetButton->Click();
    backend.loopScript = nullptr;
    backend.Settle();
  }
};

TEST_F(SettingsKeysTest, EscapeInANumberFieldReachedWithTabClosesTheDialogAndChangesNothing) {
  for (int tabs : {4, 5}) {
    TDialogWorld t;
    t.q.world.registry.PutString(kRun, "Quindle", "D:\\Elsewhere\\Quindle.exe");
    t.q.Start();
    auto& backend = t.q.world.backend;
    TWinControl* focused = nullptr;
    backend.loopScript = [&] {
      backend.loopScript = nullptr;
      for (int i = 0; i < tabs; ++i) backend.PressKey(t.S(), VK_TAB_T, '\t');
      focused = t.S().ActiveControl();
      backend.PressKey(t.S(), VK_ESCAPE_T, '\x1b');
    };
    t.q.form1->SetButton->Click();
    backend.loopScript = nullptr;
    backend.Settle();
    EXPECT_EQ(focused, tabs == 4 ? t.S().EveryEdit : t.S().AttemptsEdit);
    EXPECT_FALSE(t.S().Visible());
    EXPECT_FALSE(t.S().SettingsChanged) << tabs << " tabs";
    t.q.world.app->DestroyForms();
    EXPECT_EQ(t.q.world.registry.ValueNames(kQuindleKey),
              (std::vector<std::string>{"SLeft", "STop"}));
    EXPECT_EQ(t.q.world.registry.String(kRun, "Quindle"), "D:\\Elsewhere\\Quindle.exe");
  }
}

TEST_F(SettingsKeysTest, ACharacterLeftForAFieldOfAClosedDialogChangesNothing) {
  q.Start();
  InDialog([&] {
    S().EveryEdit->SetFocus();
    S().Close();
    q.world.backend.PostToGui([&] { S().EveryEdit->TypeChar('7'); });
  });
  EXPECT_EQ(S().EveryEdit->Text(), "3000");
  EXPECT_FALSE(S().SettingsChanged);
}

TEST_F(SettingsKeysTest, EnterPressesOkFromAFieldAndTheFocusedButtonOfTheMainWindow) {
  q.Start();
  for (TWinControl* field :
       std::initializer_list<TWinControl*>{S().EveryEdit, S().AutoReconBox, S().AmPmBox}) {
    bool closedByEnter = false;
    InDialog([&] {
      field->SetFocus();
      Press(VK_RETURN_T, '\r');
      closedByEnter = !S().Visible() || S().ModalResult() != mrNone;
      if (!closedByEnter) S().Close();
    });
    EXPECT_TRUE(closedByEnter) << field->Name();
  }
  EXPECT_TRUE(S().AutoReconBox->Checked());
  EXPECT_EQ(S().EveryEdit->Text(), "3000");
  EXPECT_FALSE(S().SettingsChanged);
  // The main window's focused Settings button, pressed with Enter, opens the dialog.
  bool opened = false;
  q.world.backend.loopScript = [&] {
    q.world.backend.loopScript = nullptr;
    opened = S().Visible();
    S().Close();
  };
  q.form1->SetButton->SetFocus();
  Press(*q.form1, VK_RETURN_T, '\r');
  q.world.backend.Settle();
  EXPECT_TRUE(opened);
}

TEST_F(SettingsKeysTest, EscapeInTheOpenEntryListClosesOnlyTheListAndKeepsTheEntry) {
  q.Start();
  InDialog([&] {
    ASSERT_EQ(S().ActiveControl(), S().ComboBox1);
    Press(VK_DOWN_T, 0, ssAlt);
    EXPECT_TRUE(S().ComboBox1->DroppedDown());
    Press(VK_DOWN_T);
    Press(VK_ESCAPE_T, '\x1b');
    EXPECT_TRUE(S().Visible());
    EXPECT_FALSE(S().ComboBox1->DroppedDown());
    EXPECT_EQ(S().ComboBox1->Text(), "Office");
    EXPECT_EQ(S().UEdit->Text(), "alice");
    // Enter in the open list chooses the highlighted entry, still without closing.
    Press(VK_F4_T);
    Press(VK_DOWN_T);
    Press(VK_RETURN_T, '\r');
    EXPECT_TRUE(S().Visible());
    EXPECT_EQ(S().ComboBox1->Text(), "Home");
    Press(VK_ESCAPE_T, '\x1b');
  });
  EXPECT_FALSE(S().Visible());
  EXPECT_TRUE(S().SettingsChanged);
}

TEST_F(SettingsKeysTest, ArrowsMoveTheChoiceWithinARadioGroup) {
  q.Start();
  InDialog([&] {
    S().AsyncButton->SetFocus();
    Press(VK_DOWN_T);
    EXPECT_TRUE(S().SyncButton->Checked());
    EXPECT_EQ(S().ActiveControl(), S().SyncButton);
    Press(VK_RIGHT_T);  // round the end of the group
    EXPECT_TRUE(S().AsyncButton->Checked());
    Press(VK_LEFT_T);
    EXPECT_TRUE(S().SyncButton->Checked());
    S().TimerBox->Click();
    S().RButtonDis->SetFocus();
    Press(VK_DOWN_T);
    EXPECT_TRUE(S().RButtonShut->Checked());
    EXPECT_FALSE(S().RButtonDis->Checked());
    // Tab reaches the group at its checked button only.
    S().ComboBox1->SetFocus();
    Press(VK_TAB_T, '\t', ssShift);
    EXPECT_EQ(S().ActiveControl(), S().SyncButton);
    Press(VK_ESCAPE_T, '\x1b');
  });
  EXPECT_TRUE(S().SettingsChanged);
  q.world.app->DestroyForms();
  EXPECT_EQ(q.world.registry.Dword(kQuindleKey, "DialMode"), 1u);
}

TEST_F(SettingsKeysTest, TabIntoAFieldSelectsItsTextSoThatTypingReplacesIt) {
  q.Start();
  InDialog([&] {
    S().AutoReconBox->SetFocus();
    Press(VK_TAB_T, '\t');
    ASSERT_EQ(S().ActiveControl(), S().EveryEdit);
    for (char c : std::string("5000")) Press(0, c);
    Press(VK_ESCAPE_T, '\x1b');
  });
  EXPECT_EQ(S().EveryEdit->Text(), "5000");
  EXPECT_EQ(q.form1->Timer->Interval(), 5000u);
  S().TimerBox->Click();
  InDialog([&] {
    S().TimerBox->SetFocus();
    Press(VK_TAB_T, '\t');
    ASSERT_EQ(S().ActiveControl(), S().TimeEdit);
    for (char c : std::string("1130")) Press(0, c);
    Press(VK_ESCAPE_T, '\x1b');
  });
  EXPECT_EQ(S().TimeEdit->EditText(), "11:30");
}

// ---- the timed-event check ----

TEST(SettingsDialogCheckTimeDate, TellingTimesAndDates) {
  struct TCase {
    const char* text;
    bool valid;
  };
  const TCase cases[] = {
      {"12:30 PM 25/12/06", true},   // noon hour
      {"12:30 AM 25/12/06", true},   // the hour after midnight
      {"13:00 PM 25/12/06", false},  // no such hour
      {"11:59 PM 31/12/99", true},
      {"11:60 AM 01/01/26", false},
      {"10:00 AM 31/04/06", false},
      {"10:00 AM 30/04/06", true},
      {"10:00 AM 29/02/08", true},
      {"10:00 AM 29/02/07", false},
      {"10:00 AM 29/02/00", true},
      {"10:00 AM 01/13/26", false},
      {"00:00 AM 00/00/00", false},  // blanks turned to zeros
      {"10.15 PM 01-12-26", true},   // separators are not examined
      // Hours the 12-hour clock never shows could never come round.
      {"00:30 AM 01/01/26", false},
      {"13:00 AM 01/01/26", false},
      {"1 :00 AM 01/01/26", false},
      {"10:00 AM 01/01/2", false},
  };
  for (const TCase& c : cases) EXPECT_EQ(TSettingsForm::CheckTimeDate(c.text), c.valid) << c.text;
}

TEST_F(SettingsDialogTest, AValidTimedEventArmsTheTimer) {
  q.Start();
  WithDialog([&] {
    S().TimerBox->Click();
    S().TimeEdit->SetText("");
    S().TimeEdit->TypeText("1230");
    S().AmPmBox->TypeChar('p');
    S().DateEdit->SetText("");
    S().DateEdit->TypeText("251206");
  });
  EXPECT_TRUE(q.form1->DisTimer->Enabled());
  EXPECT_EQ(Shared().TimedTime, "12:30 PM");
  EXPECT_EQ(Shared().TimedDate, "25/12/06");
  EXPECT_TRUE(Shared().DisconnectAtTime);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SettingsDialogTest, PartlyFilledFieldsAreReadWithZerosInTheBlanks) {
  q.Start();
  WithDialog([&] {
    S().TimerBox->Click();
    S().RButtonShut->Click();
    S().TimeEdit->SetText(" 9:3 ");
    S().DateEdit->SetText(" 1/ 2/27");
  });
  EXPECT_EQ(Shared().TimedTime, "09:30 AM");
  EXPECT_EQ(Shared().TimedDate, "01/02/27");
  EXPECT_FALSE(Shared().DisconnectAtTime);
  EXPECT_TRUE(q.form1->DisTimer->Enabled());
  // What was applied is what the dialog shows and what is stored: after a
  // restart the same moment is armed, not a text that is no moment at all.
  EXPECT_EQ(S().TimeEdit->Text(), "09:30");
  EXPECT_EQ(S().DateEdit->Text(), "01/02/27");
  q.world.app->DestroyForms();
  EXPECT_EQ(q.world.registry.String(kQuindleKey, "Time"), "09:30 AM");
  EXPECT_EQ(q.world.registry.String(kQuindleKey, "Date"), "01/02/27");
}

TEST_F(SettingsDialogTest, ShowingWithTheTimerOffOffersThePresentMoment) {
  q.world.clock.Set(EncodeDateTime({2026, 12, 8, 12, 10, 40, 0}));
  q.Start();
  WithDialog([&] {
    EXPECT_EQ(S().TimeEdit->Text(), "12:10");
    EXPECT_EQ(S().AmPmBox->Text(), "PM");
    EXPECT_EQ(S().DateEdit->Text(), "08/12/26");
    S().TimerBox->Click();
  });
  EXPECT_TRUE(q.form1->DisTimer->Enabled());
  EXPECT_EQ(Shared().TimedTime, "12:10 PM");
  EXPECT_EQ(Shared().TimedDate, "08/12/26");
}

TEST_F(SettingsDialogTest, TheLocaleSeparatorsAreShownAndHandedOn) {
  q.world.locale.timeSeparator = '.';
  q.world.locale.dateSeparator = '-';
  q.Start();
  WithDialog([&] {
    EXPECT_EQ(S().TimeEdit->EditText(), "09.00");
    EXPECT_EQ(S().DateEdit->EditText(), "08-12-26");
    S().TimerBox->Click();
  });
  EXPECT_EQ(Shared().TimedTime, "09.00 AM");
  EXPECT_EQ(Shared().TimedDate, "08-12-26");
  EXPECT_TRUE(q.form1->DisTimer->Enabled());
}

TEST_F(SettingsDialogTest, AStoredTimedEventStaysWhenShown) {
  q.world.registry.PutDword(kQuindleKey, "EnableTimer", 1);
  q.world.registry.PutString(kQuindleKey, "Time", "10:00 PM");
  q.world.registry.PutString(kQuindleKey, "Date", "01/01/27");
  q.Start();
  WithDialog([&] {
    EXPECT_EQ(S().TimeEdit->Text(), "10:00");
    EXPECT_EQ(S().DateEdit->Text(), "01/01/27");
  });
  EXPECT_TRUE(q.form1->DisTimer->Enabled());
  EXPECT_FALSE(S().SettingsChanged);
}

// ---- the checks on closing ----

TEST_F(SettingsDialogTest, IntervalBelowTheMinimumIsRaisedEvenWithoutRedial) {
  q.Start();
  WithDialog([&] {
    Retype(S().EveryEdit, "499");
    S().AutoReconBox->Click();
  });
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Interval can not be less than 500 milliseconds."}));
  EXPECT_EQ(q.world.backend.messageBoxes[0].flags, MB_OK_T | MB_ICONERROR_T);
  EXPECT_EQ(S().EveryEdit->Text(), "500");
  EXPECT_EQ(q.form1->Timer->Interval(), 500u);
  WithDialog([&] {
    S().AutoReconBox->Click();
    Retype(S().EveryEdit, "500");
  });
  EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(SettingsDialogTest, EmptyNumberFieldsAreRefilledWithoutAMessage) {
  q.Start();
  WithDialog([&] {
    Clear(S().EveryEdit);
    Clear(S().AttemptsEdit);
  });
  EXPECT_EQ(S().EveryEdit->Text(), "3000");
  EXPECT_EQ(S().AttemptsEdit->Text(), "99999");
  EXPECT_EQ(Shared().MaxAttempts, 99999);
  EXPECT_EQ(q.form1->Timer->Interval(), 3000u);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SettingsDialogTest, LogFileNamesAreCheckedOnClose) {
  TTempDir tmp;
  ASSERT_TRUE(CreateEmptyFile("tool.exe"));
  std::filesystem::create_directory("logs");
  struct TCase {
    std::string name;
    bool accepted;
  };
  std::filesystem::create_directory("example.com");
  std::filesystem::create_directory("j.compton");
  const TCase cases[] = {
      {"game.zip", false},
      {"", false},
      {"logs", false},      // a directory
      {"tool.exe", false},  // an existing program is no log file either
      {"LOG.RAR", false},
      {"Tool.ExE", false},
      {"x.exe.", false},  // Windows drops the trailing dot
      {"fine.log", true},
      // The extension is the name's own, not ".com" anywhere in the path.
      {"my.company.log", true},
      {"example.com/quindle.log", true},
      {"j.compton/session.txt", true},
      // Devices: the modem's own port, the bit bucket, the console.
      {"COM1", false},
      {"com3.log", false},
      {"logs/LPT2.txt", false},
      {"NUL", false},
      {"nul.txt", false},
      {"CON", false},
      {"aux.log", false},
      {"PRN", false},
  };
  q.Start();
  S().LogBox->Click();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const bool existed = FileExists(c.name);
    size_t before = Messages().size();
    std::filesystem::remove("SessionLog.log");
    WithDialog([&] {
      if (c.name.empty())
        Clear(S().LogEdit);
      else
        Retype(S().LogEdit, c.name);
    });
    if (c.accepted) {
      EXPECT_EQ(Messages().size(), before);
      EXPECT_EQ(S().LogEdit->Text(), c.name);
      EXPECT_TRUE(FileExists(c.name));
      EXPECT_EQ(std::filesystem::file_size(c.name), 0u);
    } else {
      ASSERT_EQ(Messages().size(), before + 1);
      EXPECT_EQ(Messages().back(), "Invalid log file name: " + c.name);
      EXPECT_EQ(S().LogEdit->Text(), "SessionLog.log");
      EXPECT_TRUE(FileExists("SessionLog.log"));
      EXPECT_EQ(FileExists(c.name), existed);
    }
    EXPECT_EQ(Shared().LogFileName, InFolder(S().LogEdit->Text()));
    EXPECT_TRUE(Shared().LoggingEnabled);
  }
}

TEST_F(SettingsDialogTest, AGoodNameWhosePlaceCannotBeWrittenIsReportedInWindowsWordsAndKept) {
  TTempDir tmp;
  const std::string refused = tmp.File("refused"), held = tmp.File("held.log");
  std::filesystem::create_directory(refused);
  q.world.files.refusedFolders.insert(refused);
  q.world.files.heldFiles.insert(held);
  const std::pair<std::string, std::string> cases[] = {
      {refused + "/x.log", "Access is denied."},
      {held, "The process cannot access the file because it is being used by another process."},
      {tmp.File("missing/x.log"), "The system cannot find the path specified."},
  };
  q.Start();
  S().LogBox->Click();
  for (const auto& [name, why] : cases) {
    SCOPED_TRACE(name);
    for (int close = 0; close < 2; ++close) {
      WithDialog([&, &name = name] { Retype(S().LogEdit, name); });
      EXPECT_EQ(S().LogEdit->Text(), name);
      EXPECT_EQ(Shared().LogFileName, name);
    }
    // Once for the name and its fault, not at every close.
    EXPECT_EQ(Messages().back(), "Cannot write the log file " + name + ": " + why);
  }
  EXPECT_EQ(Messages().size(), 3u);
  EXPECT_FALSE(FileExists("SessionLog.log"));
}

TEST_F(SettingsDialogTest, ANewLogNameTakesTheLinesFromThenOnAndTheOldFileNoMore) {
  TTempDir tmp;
  const std::string a = tmp.File("a.log"), b = tmp.File("b.log");
  q.world.registry.PutDword(kQuindleKey, "LogEnabled", 1);
  q.world.registry.PutString(kQuindleKey, "LogFile", a);
  q.Start();
  q.form1->Memo1->AddLine("to a");
  ASSERT_TRUE(Shared().LogFileOpen);
  WithDialog([&] { Retype(S().LogEdit, b); });
  const auto sizeOfA = std::filesystem::file_size(a);
  q.form1->Memo1->AddLine("to b, first");
  q.form1->Memo1->AddLine("to b, second");
  EXPECT_EQ(std::filesystem::file_size(a), sizeOfA);
  std::ifstream in(b, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "to b, first\r\nto b, second\r\n");
}

TEST_F(SettingsDialogTest, SwitchingLoggingOffClosesTheLogFileAtOnce) {
  TTempDir tmp;
  q.world.registry.PutDword(kQuindleKey, "LogEnabled", 1);
  q.world.registry.PutString(kQuindleKey, "LogFile", tmp.File("a.log"));
  q.Start();
  Shared().LogFile.Open(q.world.files, tmp.File("a.log"));
  Shared().LogFileOpen = true;
  Shared().NewSession = true;
  WithDialog([&] {
    S().LogBox->Click();
    EXPECT_FALSE(Shared().LogFile.IsOpen());
    EXPECT_FALSE(Shared().LogFileOpen);
    EXPECT_FALSE(Shared().NewSession);
    EXPECT_FALSE(S().LogEdit->Enabled());
    EXPECT_TRUE(Shared().LoggingEnabled);  // follows the box only on close
    S().LogBox->Click();
    EXPECT_TRUE(Shared().NewSession);
    Retype(S().LogEdit, tmp.File("b.log"));
    S().LogBox->Click();
    S().LogBox->Click();
    EXPECT_EQ(Shared().LogFileName, tmp.File("b.log"));
    // A name that would make the log a program is not put in force meanwhile.
    Retype(S().LogEdit, "x.exe");
    S().LogBox->Click();
    S().LogBox->Click();
    EXPECT_EQ(Shared().LogFileName, tmp.File("b.log"));
    S().LogBox->Click();
  });
  EXPECT_FALSE(Shared().LoggingEnabled);
}

// ---- what counts as a change ----

TEST_F(SettingsDialogTest, OpeningAndClosingUntouchedChangesNothing) {
  q.Start();
  WithDialog([] {});
  WithDialog([] {}, TCloser::Escape);
  EXPECT_FALSE(S().SettingsChanged);
  EXPECT_FALSE(S().CredentialsChanged);
  q.world.app->DestroyForms();
  EXPECT_EQ(q.world.registry.ValueNames(kQuindleKey), (std::vector<std::string>{"SLeft", "STop"}));
}

TEST_F(SettingsDialogTest, EveryKindOfUserChangeMarksTheSettings) {
  q.Start();
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"Sync", [&] { S().SyncButton->Click(); }},
      {"entry", [&] { S().ComboBox1->Select(1); }},
      {"logging", [&] { S().LogBox->Click(); }},
      {"redial", [&] { S().AutoReconBox->Click(); }},
      {"timer", [&] { S().TimerBox->Click(); }},
      {"start with Windows", [&] { S().CheckBox2->Click(); }},
      {"connect on start up", [&] { S().CheckBox1->Click(); }},
      {"minimise", [&] { S().MiniBox->Click(); }},
      {"advert", [&] { S().ZimBox->Click(); }},
      {"AM/PM arrows", [&] { S().AmPmBox->TypeKey(VK_UP_T); }},
      {"log file name", [&] { S().LogEdit->TypeChar('a'); }},
      {"Delete in the interval",
       [&] {
         S().EveryEdit->SetSelStart(0);
         S().EveryEdit->TypeKey(VK_DELETE_T);
       }},
  };
  for (auto& [what, change] : changes) {
    S().SettingsChanged = false;
    change();
    EXPECT_TRUE(S().SettingsChanged) << what;
  }
  // Clicking the choice already made is no change.
  S().SettingsChanged = false;
  S().SyncButton->Click();
  EXPECT_FALSE(S().SettingsChanged);
}

// ---- credentials ----

TEST_F(SettingsDialogTest, CredentialsAreShownAndHandedBackOnlyWhenTyped) {
  q.Start();
  auto storedUser = [&](const char* entry) { return q.sim->service->Book().Find(entry)->userName; };
  WithDialog([&] {
    EXPECT_EQ(S().UEdit->Text(), "alice");
    EXPECT_EQ(S().PMask->Text(), "secret");
    EXPECT_EQ(S().PMask->PasswordChar(), '*');
    // Changed elsewhere while the dialog is open: an untouched dialog keeps out of it.
    q.form1->DialUp1->SetEntry("Office");
    q.form1->DialUp1->SetUsername("carol");
  });
  EXPECT_EQ(storedUser("Office"), "carol");
  EXPECT_FALSE(S().SettingsChanged);

  WithDialog([&] {
    EXPECT_EQ(S().UEdit->Text(), "carol");
    S().UEdit->SelectAll();
    S().UEdit->TypeText("dave");
  });
  EXPECT_EQ(storedUser("Office"), "dave");
  EXPECT_EQ(q.sim->service->Book().Find("Office")->password, "secret");
  EXPECT_FALSE(S().SettingsChanged);

  // The flag does not outlive the close.
  WithDialog([&] {
    EXPECT_FALSE(S().CredentialsChanged);
    q.form1->DialUp1->SetEntry("Office");
    q.form1->DialUp1->SetUsername("erin");
  });
  EXPECT_EQ(storedUser("Office"), "erin");
}

// A phone-book entry holds at most 256 characters of each: the fields take
// no more, so a long paste is stored cut rather than refused unseen.
TEST_F(SettingsDialogTest, UserNameAndPasswordTakeAtMost256Characters) {
  q.Start();
  const std::string longText(300, 'u');
  WithDialog([&] {
    Retype(S().UEdit, longText);
    Retype(S().PMask, longText);
  });
  const TSimPhoneBook book = q.sim->service->Book();
  EXPECT_EQ(book.Find("Office")->userName, longText.substr(0, 256));
  EXPECT_EQ(book.Find("Office")->password, longText.substr(0, 256));
}

TEST_F(SettingsDialogTest, PickingAnotherEntryShowsItsCredentials) {
  q.Start();
  WithDialog([&] {
    S().UEdit->TypeText("x");
    S().ComboBox1->Select(1);
    EXPECT_EQ(S().UEdit->Text(), "");
    EXPECT_EQ(S().PMask->Text(), "");  // no password stored for it
    EXPECT_TRUE(S().CredentialsChanged);
    S().ComboBox1->Select(0);
    EXPECT_EQ(S().UEdit->Text(), "alice");
  });
  EXPECT_EQ(q.sim->service->Book().Find("Office")->userName, "alice");
}

TEST_F(SettingsDialogTest, ClearingAFieldWithDeleteIsAChangeOfCredentials) {
  q.Start();
  WithDialog([&] {
    S().PMask->SelectAll();
    S().PMask->TypeKey(VK_DELETE_T);
  });
  EXPECT_TRUE(q.sim->service->Book().Find("Office")->password.value_or("").empty());
}

// ---- placement and layout ----

TEST_F(SettingsDialogTest, ActivationMovesTheDialogBackOntoTheScreen) {
  q.Start();
  q.form1->SetBounds(900, 700, q.form1->Width(), q.form1->Height());
  WithDialog([&] {
    EXPECT_EQ(S().Left() + S().Width(), q.world.backend.screenWidth);
    EXPECT_EQ(S().Top() + S().Height(), q.world.backend.workArea.bottom);
  });
  q.world.backend.workArea.bottom = 200;
  WithDialog([&] { EXPECT_EQ(S().Top(), 0); });
}

TEST_F(SettingsDialogTest, TheDialogStaysOnTheMonitorThatHoldsTheMainWindow) {
  q.world.backend.monitors = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                              {{1920, 0, 3200, 1024}, {1980, 0, 3200, 1024}}};
  q.Start();
  q.form1->SetBounds(1925, 5, q.form1->Width(), q.form1->Height());  // behind the left taskbar
  WithDialog([&] {
    EXPECT_EQ(S().Left(), 1980);
    EXPECT_EQ(S().Top(), 0);
  });
  q.form1->SetBounds(3000, 900, q.form1->Width(), q.form1->Height());
  WithDialog([&] {
    EXPECT_EQ(S().Left() + S().Width(), 3200);
    EXPECT_EQ(S().Top() + S().Height(), 1024);
  });
}

// Walks the focusable controls in the order the Tab key visits them.
void TabWalk(const TWinControl& parent, std::vector<std::string>& out) {
  std::vector<const TWinControl*> kids;
  for (const TControl* c : parent.Controls())
    if (auto* w = dynamic_cast<const TWinControl*>(c)) kids.push_back(w);
  std::sort(kids.begin(), kids.end(),
            [](auto* a, auto* b) { return a->TabOrder() < b->TabOrder(); });
  for (const TWinControl* w : kids) {
    if (w->TabStop()) out.push_back(w->Name());
    TabWalk(*w, out);
  }
}

TEST_F(SettingsDialogTest, TabOrderFollowsTheFrames) {
  q.Start();
  std::vector<std::string> order;
  TabWalk(S(), order);
  EXPECT_EQ(order,
            (std::vector<std::string>{
                "AsyncButton", "SyncButton",   "ComboBox1", "UEdit",   "PMask",     "AutoReconBox",
                "EveryEdit",   "AttemptsEdit", "LogBox",    "LogEdit", "CheckBox2", "CheckBox1",
                "MiniBox",     "TimerBox",     "TimeEdit",  "AmPmBox", "DateEdit",  "RButtonDis",
                "RButtonShut", "ZimBox",       "Button1"}));
}

TEST_F(SettingsDialogTest, EveryControlLiesInsideItsFrameAndOverlapsNoOther) {
  q.Start();
  std::function<void(const TWinControl&, int, int)> check = [&](const TWinControl& parent, int w,
                                                                int h) {
    const auto& kids = parent.Controls();
    for (size_t i = 0; i < kids.size(); ++i) {
      const TControl* a = kids[i];
      EXPECT_TRUE(a->Left() >= 0 && a->Top() >= 0 && a->Left() + a->Width() <= w &&
                  a->Top() + a->Height() <= h)
          << a->Name() << " sticks out of " << parent.Name();
      EXPECT_TRUE(a->Width() > 0 && a->Height() > 0) << a->Name();
      for (size_t j = i + 1; j < kids.size(); ++j) {
        const TControl* b = kids[j];
        bool apart = a->Left() + a->Width() <= b->Left() || b->Left() + b->Width() <= a->Left() ||
                     a->Top() + a->Height() <= b->Top() || b->Top() + b->Height() <= a->Top();
        EXPECT_TRUE(apart) << a->Name() << " overlaps " << b->Name();
      }
      if (auto* frame = dynamic_cast<const TGroupBox*>(a)) check(*frame, a->Width(), a->Height());
    }
  };
  check(S(), S().ClientWidth(), S().ClientHeight());
}

}  // namespace
