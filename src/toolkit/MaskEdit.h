// The masked edit field of the time and date settings.
#pragma once
#include <string>
#include <vector>
#include "toolkit/Controls.h"

// An edit field with an input mask such as "!99:99>;1;_". The mask part:
// "9" an optional digit, "0" a digit, "#" a digit or sign, "L"/"l" a letter,
// "A"/"a" a letter or digit, "C"/"c" any character; ">" upper case and "<"
// lower case from there on ("<>" ends either); "!" short sections of an
// assigned text are aligned right, leaving leading blanks; "\" takes the next
// character literally; ":" and "/" are shown as the locale's time and date
// separators; every other character is a literal. After the first ";", "1"
// keeps the literals in Text() and "0" leaves them out; after the second, the
// character shown in an unfilled position.
//
// Text() (the caption) holds a space in every unfilled position; EditText()
// is what the field shows. Typing fills the position at the caret and moves
// on past literals; characters a position does not accept are ignored.
class TMaskEdit : public TEdit {
 public:
  explicit TMaskEdit(TComponent* owner);
  const std::string& EditMask() const { return mask_; }
  void SetEditMask(const std::string& mask);
  // Literal ':' and '/' of the mask are shown as these (the locale's separators).
  void SetSeparators(char timeSeparator, char dateSeparator);
  // The text as shown, the blank character in unfilled positions.
  std::string EditText() const;
  // Fills the positions from a text (with or without its literals); the
  // positions it does not fill, or fills with a character they do not accept,
  // are left blank.
  void SetText(const std::string& text) { SetCaption(text); }
  void SetCaption(const std::string& caption) override;
  bool IsMasked() const { return !slots_.empty(); }

  // The field's own handling of a key that nobody dropped. A native peer of a
  // masked field calls these instead of letting the system's edit control
  // change the text, and shows EditText().
  void MaskKeyDown(WORD_T key, TShiftState shift);
  void MaskKeyPress(char key);

 protected:
  void DefaultKeyDown(WORD_T key, TShiftState shift) override;
  void DefaultKeyPress(char key) override;

 private:
  enum class TSlotKind { Literal, Digit, DigitOrSign, Letter, AlphaNum, AnyChar };
  enum class TCase { Keep, Upper, Lower };
  struct Slot {
    TSlotKind kind = TSlotKind::Literal;
    char literal = 0;      // a literal's character as written in the mask
    bool escaped = false;  // written after "\": shown as it stands
    TCase charCase = TCase::Keep;
    char ch = ' ';  // an input position's character, ' ' when unfilled
  };
  void ParseMask();
  char Shown(const Slot& s) const;
  bool Accepts(const Slot& s, char c) const;
  char Cased(const Slot& s, char c) const;
  bool IsLiteralChar(char c) const;
  void FillPositional(const std::string& text);
  void FillBySection(const std::string& text);
  std::string Compose() const;
  // Stores the slots' text as the caption and puts the caret at `caret`.
  void Commit(int caret);
  // The first input position at or after `from` (slots_.size() when none).
  int NextInputSlot(int from) const;
  int PrevInputSlot(int before) const;
  void ClearRange(int from, int to);
  // Caret positions: SelStart counts characters of Text(), the slots count
  // every position of the mask; they differ only when literals are not kept.
  int SlotFromSel(int sel) const;
  int SelFromSlot(int slot) const;

  std::vector<Slot> slots_;
  std::string mask_;
  bool saveLiterals_ = true;
  bool leadingBlanks_ = false;
  char blank_ = '_';
  char timeSep_ = ':', dateSep_ = '/';
  bool committing_ = false;
};
