// The masked edit field of the time and date settings.
#pragma once
#include "toolkit/Controls.h"

// An edit field with an input mask such as "!99:99>;1;_": "9" an optional
// digit, "!" unfilled positions kept as leading blanks, ">" upper case from
// there on, ";1" literals kept in the text, ";_" the blank shown.
class TMaskEdit : public TEdit {
 public:
  explicit TMaskEdit(TComponent* owner);
  const std::string& EditMask() const { return mask_; }
  void SetEditMask(const std::string& mask);
  // Literal characters of the mask are replaced by these when shown
  // (the locale's separators for ':' and '/').
  void SetSeparators(char timeSeparator, char dateSeparator);
  // The text as shown, "_" in unfilled positions.
  std::string EditText() const;
  void SetText(const std::string& text);

 protected:
  void DefaultKeyDown(WORD_T key, TShiftState shift) override;
  void DefaultKeyPress(char key) override;

 private:
  struct Slot {
    bool literal = false;
    char ch = ' ';
    bool upper = false;
  };
  void ParseMask();
  std::string Compose() const;
  int NextInputSlot(int from) const;
  std::vector<Slot> slots_;
  std::string mask_;
  char blank_ = '_';
  char timeSep_ = ':', dateSep_ = '/';
  int caret_ = 0;
};

