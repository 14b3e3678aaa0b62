// The program's start-up in its fixed order: the application title, the main
// window (whose creation must not touch the settings dialog), then the
// settings dialog, created hidden, which loads and applies the settings.
#pragma once
#include <functional>
#include <string_view>

class IBackend;
struct TPlatform;
class TApplication;
class TForm1;
class TSettingsForm;

struct TQuindle {
  TForm1* Form1 = nullptr;
  TSettingsForm* SettingsForm = nullptr;
};

// Throws what the creation of either window throws (a missing RAS library
// ends start-up with its message).
TQuindle CreateQuindle(TApplication& app);

// The program from its start to its end, given the platform seams and the
// way to make the backend: a second start in the user's session shows the
// running copy's window and ends before the backend is made (no window, no
// registry value, no log file, no RAS library). A command line of /exit
// ends the copy that runs instead of starting one. Returns the exit code.
int RunQuindle(const TPlatform& platform, const std::function<IBackend&()>& makeBackend,
               std::string_view commandLine = {});
