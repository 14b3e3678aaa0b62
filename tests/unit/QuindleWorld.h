// The whole program in a test: the simulated RAS service with a phone book,
// the stored settings, then start-up in the program's own order.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "SimHarness.h"
#include "app/Program.h"
#include "app/Unit1.h"
#include "settings/Unit2.h"

inline const char* const kQuindleKey = "HKCU\\SOFTWARE\\Quindle";

struct TQuindleWorld {
  TTestWorld world;
  std::unique_ptr<TSimHarness> sim;
  TForm1* form1 = nullptr;
  TSettingsForm* settings = nullptr;

  explicit TQuindleWorld(const std::string& phoneBook) {
    sim = std::make_unique<TSimHarness>(world, phoneBook);
  }
  ~TQuindleWorld() { sim.reset(); }

  // Runs start-up as the program entry does.
  void Start() {
    TQuindle q = CreateQuindle(*world.app);
    form1 = q.Form1;
    settings = q.SettingsForm;
  }
  // The run-time values as the settings dialog reaches them.
  TSharedValues& Shared() const { return *form1->Link().values; }
  void Advance(int64_t ms) { world.backend.Advance(ms); }
  // Advances a second at a time until `done` holds, at most `limitMs`.
  template <class F>
  bool AdvanceUntil(F done, int64_t limitMs = 120000) {
    for (int64_t t = 0; t <= limitMs; t += 100) {
      if (done()) return true;
      world.backend.Advance(100);
    }
    return done();
  }
  // The lines in the pane as they were added, however it wraps them.
  std::vector<std::string> Pane() const {
    std::vector<std::string> lines;
    const std::string& text = form1->Memo1->Text();
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
      lines.push_back(text.substr(at, end - at));
    return lines;
  }
  // Pane lines from `from` on, without the advert line and its empty line.
  std::vector<std::string> PaneAfterAdvert() const {
    auto lines = Pane();
    if (lines.size() >= 2 && lines[0].rfind("http://", 0) == 0)
      lines.erase(lines.begin(), lines.begin() + 2);
    return lines;
  }
  int CountLinesStartingWith(const std::string& prefix) const {
    int n = 0;
    for (auto& l : Pane())
      if (l.rfind(prefix, 0) == 0) ++n;
    return n;
  }
  // The resource id of the icon the tray shows now.
  int TrayIconResource() const {
    return world.backend.IconResourceOf(form1->TrayIcon->CurrentIcon());
  }
};
