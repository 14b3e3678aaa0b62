// The program's start-up in its fixed order: the application title, the main
// window (whose creation must not touch the settings dialog), then the
// settings dialog, created hidden, which loads and applies the settings.
#pragma once

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
