// The settings dialog on real windows, typed into through window messages,
// and its store over the real registry.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ScratchRegistry.h"
#include "ToolkitWin32World.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"
#include "settings/SettingsStore.h"
#include "settings/Unit2.h"
#include "toolkit/Timer.h"

namespace {

// What the dialog reaches of the main window.
class THostForm : public TForm {
 public:
  explicit THostForm(TComponent* owner) : TForm(owner) {
    Timer = new TTimer(this);
    DisTimer = new TTimer(this);
  }
  void ApplyDesign() override {
    SetCaption("Host");
    SetClientSize(237, 210);
    Timer->SetEnabled(false);
    Timer->SetInterval(3000);
    DisTimer->SetEnabled(false);
    DisTimer->SetInterval(10000);
  }
  TTimer* Timer;
  TTimer* DisTimer;
  TSharedValues shared;
  TStrings entries;
};

struct TSettingsWin32World {
  TScratchRegistry& registry;
  TWin32Clock clock;
  TWin32Locale locale;
  TWin32System system;
  TRecordingWin32Backend backend;
  std::unique_ptr<TApplication> app;
  THostForm* host = nullptr;
  TSettingsForm* settings = nullptr;

  explicit TSettingsWin32World(TScratchRegistry& r) : registry(r) {
    TPlatform p;
    p.registry = &registry;
    p.clock = &clock;
    p.locale = &locale;
    p.system = &system;
    app = std::make_unique<TApplication>(backend, p);
    app->SetTitle("Quindle");
    backend.SetApplication(app.get());
    host = app->CreateForm<THostForm>();
    host->entries.Add("Office");
    TMainWindowLink link;
    link.values = &host->shared;
    link.Timer = host->Timer;
    link.DisTimer = host->DisTimer;
    link.MainForm = host;
    settings = app->CreateForm<TSettingsForm>(link);
    settings->ShowEntries(host->entries);  // as the main window hands them over
    // The dialog's windows, as its first show makes them: the checks below
    // reach its controls' windows before showing it.
    settings->HandleNeeded();
  }
  ~TSettingsWin32World() {
    app.reset();
    backend.SetApplication(nullptr);
  }
  void Exit() { app->DestroyForms(); }
};

struct SettingsWin32 : ::testing::Test {
  TScratchRegistry registry;
};

TEST_F(SettingsWin32, KeysTypedIntoTheDialogPassThroughItsFilters) {
  TSettingsWin32World w(registry);
  auto& s = *w.settings;
  s.Show();
  w.backend.ProcessMessages();
  ASSERT_TRUE(IsWindowVisible(Hwnd(s.Handle())));

  HWND every = Hwnd(s.EveryEdit->Handle());
  s.EveryEdit->SetFocus();
  SendMessageA(every, EM_SETSEL, 0, -1);
  PostText(every, "1a2;");
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(every), "12");
  EXPECT_EQ(s.EveryEdit->Text(), "12");

  s.TimerBox->Click();
  s.TimeEdit->SetText("");
  HWND time = Hwnd(s.TimeEdit->Handle());
  s.TimeEdit->SetFocus();
  SendMessageA(time, EM_SETSEL, 0, 0);
  // Backspace takes the last digit back, in place.
  PostText(time, "0x94");
  PostKey(time, VK_BACK);
  PostText(time, "30");
  w.backend.ProcessMessages();
  const char sep = w.locale.TimeSeparator();
  EXPECT_EQ(TextOf(time), std::string("09") + sep + "30");
  EXPECT_EQ(s.TimeEdit->Text(), std::string("09") + sep + "30");

  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(Hwnd(s.AmPmBox->Handle()), &info));
  HWND ampm = info.hwndItem;
  s.AmPmBox->SetFocus();
  PostText(ampm, "p");
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(ampm), "PM");
  EXPECT_EQ(s.AmPmBox->Text(), "PM");
  PostKey(ampm, VK_BACK);
  PostKey(ampm, VK_DOWN);
  w.backend.ProcessMessages();
  EXPECT_EQ(TextOf(ampm), "AM");

  // Escape from any field closes the dialog, with the checks of a close.
  PostKey(every, VK_ESCAPE);
  w.backend.ProcessMessages();
  EXPECT_FALSE(s.Visible());
  EXPECT_FALSE(IsWindowVisible(Hwnd(s.Handle())));
  EXPECT_EQ(w.backend.messages,
            (std::vector<std::string>{"Interval can not be less than 500 milliseconds."}));
  EXPECT_EQ(TextOf(every), "500");
  EXPECT_EQ(w.host->Timer->Interval(), 500u);
}

// Escape closes the dialog at its key-down; the character the loop already
// made from the key must not reach the field it was pressed in, whose key
// filter would mark the settings changed, and the save at exit would then
// rewrite them and remove a Run value the user never touched. The dialog is
// opened as the Settings button opens it, modal above the main window, and
// the key is pressed inside its own loop.
TEST_F(SettingsWin32, EscapeFromAnyFieldLeavesTheSettingsAndTheRunValueAlone) {
  const char sep = TWin32Locale().TimeSeparator();
  registry.PutDword("RetryInt", 3000);
  registry.PutDword("EnableTimer", 1);
  registry.PutText("Time", std::string("10") + sep + "15 PM");
  registry.PutText("Date", "24/12/30");
  registry.PutDword("WinBoot", 0);
  const std::string other = "\"C:\\Tools\\Quindle.exe\" /other-user";
  registry.Put(registry.RunKey(), "Quindle", REG_SZ_T,
               std::vector<uint8_t>(other.c_str(), other.c_str() + other.size() + 1));
  {
    TSettingsWin32World w(registry);
    auto& s = *w.settings;
    ASSERT_FALSE(s.SettingsChanged);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(Hwnd(s.AmPmBox->Handle()), &info));
    const std::pair<TWinControl*, HWND> fields[] = {
        {s.EveryEdit, Hwnd(s.EveryEdit->Handle())},
        {s.AttemptsEdit, Hwnd(s.AttemptsEdit->Handle())},
        {s.TimeEdit, Hwnd(s.TimeEdit->Handle())},
        {s.DateEdit, Hwnd(s.DateEdit->Handle())},
        {s.AmPmBox, info.hwndItem},
        {s.UEdit, Hwnd(s.UEdit->Handle())},
        {s.PMask, Hwnd(s.PMask->Handle())},
    };
    w.host->Show();
    for (auto [field, window] : fields) {
      HWND focused = nullptr;
      bool pressed = false, modal = false;
      uintptr_t press = w.backend.StartTimer(20, [&, field = field, window = window] {
        if (pressed) return;
        pressed = true;
        modal = s.Modal() && !IsWindowEnabled(Hwnd(w.host->Handle()));
        field->SetFocus();
        focused = GetFocus();
        PostKey(window, VK_ESCAPE);
      });
      s.Open();
      w.backend.StopTimer(press);
      w.backend.ProcessMessages();  // what the key left behind for the main loop
      ASSERT_TRUE(pressed) << field->Name();
      EXPECT_TRUE(modal) << field->Name();
      EXPECT_EQ(focused, window) << field->Name();
      EXPECT_FALSE(IsWindowVisible(Hwnd(s.Handle()))) << field->Name();
      EXPECT_FALSE(s.SettingsChanged) << field->Name();
    }
    w.Exit();
  }
  auto [type, data] = registry.Get(registry.RunKey(), "Quindle");
  EXPECT_EQ(type, REG_SZ_T);
  EXPECT_EQ(TScratchRegistry::AsText(data), other);
}

TEST_F(SettingsWin32, TheStoreReadsAndWritesTheRealRegistry) {
  const char sep = TWin32Locale().TimeSeparator();
  const std::string time = std::string("10") + sep + "15";
  registry.PutText("DialMode", "1");
  registry.PutDword("RetryInt", 4500);
  registry.PutDword("EnableTimer", 1);
  registry.PutText("Time", time + " PM", REG_EXPAND_SZ_T);
  registry.PutText("Date", "24/12/26");
  registry.Put(registry.SettingsKey(), "ZimAdvt", REG_BINARY_T, {1});
  {
    TSettingsWin32World w(registry);
    auto& s = *w.settings;
    EXPECT_EQ(w.backend.messages, (std::vector<std::string>{"Invalid data type for 'DialMode'",
                                                            "Invalid data type for 'ZimAdvt'"}));
    EXPECT_TRUE(s.AsyncButton->Checked());
    EXPECT_EQ(s.EveryEdit->Text(), "4500");
    EXPECT_EQ(w.host->Timer->Interval(), 4500u);
    EXPECT_EQ(s.TimeEdit->Text(), time);
    EXPECT_EQ(s.AmPmBox->Text(), "PM");
    EXPECT_TRUE(w.host->DisTimer->Enabled());
    EXPECT_TRUE(s.SettingsChanged);
    s.CheckBox2->Click();
    w.Exit();
  }
  EXPECT_EQ(registry.Dword("DialMode"), 0u);
  EXPECT_EQ(registry.Dword("ZimAdvt"), 0u);
  EXPECT_EQ(registry.Dword("RetryInt"), 4500u);
  EXPECT_EQ(registry.Dword("WinBoot"), 1u);
  auto [timeType, timeData] = registry.Get(registry.SettingsKey(), "Time");
  EXPECT_EQ(timeType, REG_SZ_T);
  EXPECT_EQ(TScratchRegistry::AsText(timeData), time + " PM");
  auto [runType, runData] = registry.Get(registry.RunKey(), "Quindle");
  EXPECT_EQ(runType, REG_SZ_T);
  EXPECT_EQ(TScratchRegistry::AsText(runData), TWin32System().ModuleFileName());

  // The next run finds the box checked; unchecking it removes the Run value.
  {
    TSettingsWin32World w(registry);
    EXPECT_TRUE(w.backend.messages.empty());
    EXPECT_TRUE(w.settings->CheckBox2->Checked());
    w.settings->CheckBox2->Click();
    w.Exit();
  }
  EXPECT_EQ(registry.Get(registry.RunKey(), "Quindle").first, REG_NONE_T);
  EXPECT_EQ(registry.Dword("WinBoot"), 0u);
}

// A path with a space is written quoted: unquoted, Windows would try
// "D:\My.exe" first at every logon. An old unquoted value names the program
// too and is rewritten quoted; another program's value is replaced.
TEST(RunValueWin32, APathWithASpaceIsStoredQuotedAndAnOldUnquotedValueRewritten) {
  TScratchRegistry registry;
  const std::string program = "D:\\My Tools\\Quindle\\Quindle.exe";
  const std::string quoted = "\"" + program + "\"";
  auto stored = [&] {
    auto [type, data] = registry.Get(registry.RunKey(), "Quindle");
    EXPECT_EQ(type, REG_SZ_T);
    return TScratchRegistry::AsText(data);
  };
  UpdateRunValue(registry, program, true);
  EXPECT_EQ(stored(), quoted);
  std::vector<uint8_t> old(program.begin(), program.end());
  old.push_back(0);
  registry.Put(registry.RunKey(), "Quindle", REG_SZ_T, old);
  UpdateRunValue(registry, program, true);
  EXPECT_EQ(stored(), quoted);
  UpdateRunValue(registry, "C:\\Quindle\\Quindle.exe", true);
  EXPECT_EQ(stored(), "C:\\Quindle\\Quindle.exe");
}

// Where the real registry refuses the machine-wide key, as for a normal
// user, the value goes to the current user's Run key, without an error; it
// is removed from there, and the refused key is not touched.
TEST(RunValueWin32, ARefusedMachineWideKeyGivesTheCurrentUsersRunValue) {
  TScratchRegistry registry;
  registry.RefuseWritesToRunKey();
  HKEY_T probe = 0;
  ASSERT_EQ(registry.real.OpenKey(HKEY_CURRENT_USER_T, registry.RunKey(), KEY_ALL_ACCESS_T, &probe),
            ERROR_ACCESS_DENIED_T);
  const std::string program = "D:\\My Tools\\Quindle\\Quindle.exe";
  UpdateRunValue(registry, program, true);
  auto [type, data] = registry.Get(registry.UserRunKey(), "Quindle");
  EXPECT_EQ(type, REG_SZ_T);
  EXPECT_EQ(TScratchRegistry::AsText(data), "\"" + program + "\"");
  EXPECT_EQ(registry.Get(registry.RunKey(), "Quindle").first, REG_NONE_T);
  EXPECT_TRUE(RunValueNamesProgram(registry, program));
  EXPECT_EQ(RemoveRunValue(registry, program), TRunRemoval::kNothingLeft);
  EXPECT_EQ(registry.Get(registry.UserRunKey(), "Quindle").first, REG_NONE_T);
  EXPECT_FALSE(RunValueNamesProgram(registry, program));
}

}  // namespace
