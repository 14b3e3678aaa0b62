// Faults from outside the program: a RAS service that refuses every call, a
// log folder that vanishes and comes back. The program reports, keeps going
// and loses nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "QuindleWorld.h"

namespace {

// A RAS service whose every call fails with "the port is not connected"/"no
// such entry" codes, as a broken installation might answer.
uint32_t RASAPI_CALL FailDial(void*, const char*, RASDIALPARAMSA*, uint32_t, void*, HRASCONN*) {
  return 619;
}
uint32_t RASAPI_CALL FailEnumEntries(const char*, const char*, RASENTRYNAMEA*, uint32_t*,
                                     uint32_t*) {
  return 610;
}
uint32_t RASAPI_CALL FailGetParams(const char*, RASDIALPARAMSA*, int32_t*) {
  return 623;
}
uint32_t RASAPI_CALL FailSetParams(const char*, RASDIALPARAMSA*, int32_t) {
  return 623;
}
uint32_t RASAPI_CALL FailHangUp(HRASCONN) {
  return 6;
}
uint32_t RASAPI_CALL FailStatus(HRASCONN, RASCONNSTATUSA*) {
  return 6;
}
uint32_t RASAPI_CALL FailErrorString(uint32_t, char*, uint32_t) {
  return 87;
}
uint32_t RASAPI_CALL FailEnumConnections(RASCONNA*, uint32_t*, uint32_t*) {
  return 610;
}
uint32_t RASAPI_CALL FailProjection(HRASCONN, uint32_t, void*, uint32_t*) {
  return 6;
}

TEST(Faults, EveryRasCallFailingLeavesTheProgramRunningAndDisconnected) {
  TTestWorld w;
  auto& l = w.libraries;
  l.Add("rasapi32.dll", "RasDialA", &FailDial);
  l.Add("rasapi32.dll", "RasEnumEntriesA", &FailEnumEntries);
  l.Add("rasapi32.dll", "RasGetEntryDialParamsA", &FailGetParams);
  l.Add("rasapi32.dll", "RasSetEntryDialParamsA", &FailSetParams);
  l.Add("rasapi32.dll", "RasHangUpA", &FailHangUp);
  l.Add("rasapi32.dll", "RasGetConnectStatusA", &FailStatus);
  l.Add("rasapi32.dll", "RasGetErrorStringA", &FailErrorString);
  l.Add("rasapi32.dll", "RasEnumConnectionsA", &FailEnumConnections);
  l.Add("rasapi32.dll", "RasGetProjectionInfoA", &FailProjection);
  w.registry.PutDword(kQuindleKey, "ZimAdvt", 1);
  TQuindle q = CreateQuindle(*w.app);
  EXPECT_EQ(q.SettingsForm->ComboBox1->Text(), "No connections available");
  q.Form1->ConButton->Click();
  w.backend.Advance(10000);
  q.Form1->DisButton->Click();  // a hang-up the service refuses
  w.backend.Advance(5000);
  q.SettingsForm->Show();  // credentials cannot be read: empty fields
  EXPECT_EQ(q.SettingsForm->UEdit->Text(), "");
  q.SettingsForm->Hide();
  std::vector<std::string> pane;
  pane.reserve(static_cast<size_t>(q.Form1->Memo1->LineCount()));
  for (int i = 0; i < q.Form1->Memo1->LineCount(); ++i) pane.push_back(q.Form1->Memo1->Line(i));
  EXPECT_EQ(pane, (std::vector<std::string>{"Error: No connections available"}));
  EXPECT_EQ(q.Form1->Panel1->Caption(), "Disconnected");
  EXPECT_TRUE(q.Form1->ConButton->Enabled());
  EXPECT_TRUE(w.backend.messageBoxes.empty());
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(Faults, LogFolderThatVanishesKeepsItsLinesUntilItComesBack) {
  TTempDir dir;
  const std::string folder = dir.File("logs");
  std::filesystem::create_directories(folder);
  const std::string log = folder + "/session.txt";
  TQuindleWorld q("[Home]\nScript=0:100,8192:100\nDropAfter=5\n");
  q.world.registry.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.world.registry.PutDword(kQuindleKey, "LogEnabled", 1);
  q.world.registry.PutString(kQuindleKey, "LogFile", log);
  q.Start();
  std::filesystem::remove_all(folder);  // a network drive gone, a USB stick pulled
  q.form1->ConButton->Click();
  q.Advance(20000);  // connects, drops, redials while the folder is away
  EXPECT_FALSE(std::filesystem::exists(log));
  std::filesystem::create_directories(folder);
  q.Advance(10000);  // the next lines make the file; the ones after write all
  std::string text = Slurp(log);
  std::string pane;
  for (auto& l : q.Pane()) pane += l + "\r\n";
  ASSERT_GT(text.size(), pane.size());
  // After the header block comes every pane line, once.
  EXPECT_EQ(text.substr(text.size() - pane.size()), pane) << "file:\n" << text << "pane:\n" << pane;
}

// The disk fills while the line is up; the line drops and the redial first
// waits for the service to let the old connection go, which takes 500 ms.
// The drop's line met the fault, and its report waits until the handler
// that added the line has returned: not inside the wait, where the user's
// OK would hold the redial up.
TEST(Faults, AWriteFaultsReportDoesNotHoldUpARedialWaitingForItsHangUp) {
  TTempDir dir;
  const std::string log = dir.File("session.txt");
  TQuindleWorld q("[Home]\nScript=0:100,1:100,8192:100\nDropAfter=20\nHangUpDelay=500\n");
  q.world.registry.PutDword(kQuindleKey, "LogEnabled", 1);
  q.world.registry.PutString(kQuindleKey, "LogFile", log);
  q.world.registry.PutDword(kQuindleKey, "AutoRecon", 1);
  q.Start();
  q.form1->ConButton->Click();
  ASSERT_TRUE(q.AdvanceUntil([&] { return q.CountLinesStartingWith("Connected ") == 1; }));
  q.form1->CloseLogFile();
  q.Shared().LogFileName = "/dev/full";
  // When the drop's line reached the pane.
  int64_t droppedAt = -1;
  TRichEditURL* pane = q.form1->Memo1;
  TNotifyEvent change = pane->OnChange;
  pane->OnChange = [&, pane, change](TObject* sender) {
    const int count = pane->LineCount();
    if (droppedAt < 0 && count > 0 && pane->Line(count - 1).rfind("Disconnected ", 0) == 0)
      droppedAt = q.world.clock.NowMs();
    change(sender);
  };
  const int dials = q.sim->service->DialCount("Home");
  int dialsAtBox = -1;
  int64_t boxAt = -1;
  std::string lastLineAtBox;
  q.world.backend.messageBoxAnswer = [&](const TRecordedMessageBox&) {
    dialsAtBox = q.sim->service->DialCount("Home");
    boxAt = q.world.clock.NowMs();
    lastLineAtBox = q.Pane().back();
    return IDOK_T;
  };
  ASSERT_TRUE(q.AdvanceUntil([&] { return !q.world.backend.messageBoxes.empty(); }, 30000));

  ASSERT_GE(droppedAt, 0);
  EXPECT_GE(boxAt - droppedAt, 500);  // the redial did wait for the hang-up
  EXPECT_EQ(dialsAtBox, dials + 1);   // and dialled before the report came up
  EXPECT_EQ(lastLineAtBox.rfind("Connection attempt #1 (", 0), 0u);
  EXPECT_EQ(q.world.backend.messageBoxes.size(), 1u);
}

}  // namespace
