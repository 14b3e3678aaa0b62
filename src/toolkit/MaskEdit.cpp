#include "toolkit/MaskEdit.h"

#include <cctype>

namespace {
bool IsDigitChar(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool IsAlphaChar(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
}  // namespace

TMaskEdit::TMaskEdit(TComponent* owner) : TEdit(owner) {}

void TMaskEdit::SetEditMask(const std::string& mask) {
  if (mask == mask_) return;
  const std::string old = Text();
  mask_ = mask;
  ParseMask();
  if (IsMasked()) {
    if (old.size() == slots_.size()) FillPositional(old);
    Commit(NextInputSlot(0));
  }
}

void TMaskEdit::SetSeparators(char timeSeparator, char dateSeparator) {
  if (timeSeparator == timeSep_ && dateSeparator == dateSep_) return;
  timeSep_ = timeSeparator;
  dateSep_ = dateSeparator;
  if (IsMasked()) Commit(SlotFromSel(SelStart()));
}

void TMaskEdit::ParseMask() {
  slots_.clear();
  saveLiterals_ = true;
  leadingBlanks_ = false;
  blank_ = '_';
  TCase charCase = TCase::Keep;
  size_t i = 0;
  for (; i < mask_.size() && mask_[i] != ';'; ++i) {
    char m = mask_[i];
    Slot s;
    s.charCase = charCase;
    switch (m) {
      case '!':
        leadingBlanks_ = true;
        continue;
      case '>':
        charCase = TCase::Upper;
        continue;
      case '<':
        if (i + 1 < mask_.size() && mask_[i + 1] == '>') {
          charCase = TCase::Keep;
          ++i;
        } else {
          charCase = TCase::Lower;
        }
        continue;
      case '\\':
        if (i + 1 >= mask_.size()) continue;
        s.literal = mask_[++i];
        s.escaped = true;
        break;
      case '9':
      case '0':
        s.kind = TSlotKind::Digit;
        break;
      case '#':
        s.kind = TSlotKind::DigitOrSign;
        break;
      case 'L':
      case 'l':
        s.kind = TSlotKind::Letter;
        break;
      case 'A':
      case 'a':
        s.kind = TSlotKind::AlphaNum;
        break;
      case 'C':
      case 'c':
        s.kind = TSlotKind::AnyChar;
        break;
      case '_':
        s.literal = ' ';
        s.escaped = true;
        break;
      default:
        s.literal = m;
        break;
    }
    slots_.push_back(s);
  }
  // The two fields after the mask: keep literals in the text, blank character.
  if (i < mask_.size()) {
    size_t second = mask_.find(';', i + 1);
    std::string keep =
        mask_.substr(i + 1, second == std::string::npos ? std::string::npos : second - i - 1);
    saveLiterals_ = keep != "0";
    if (second != std::string::npos && second + 1 < mask_.size()) blank_ = mask_[second + 1];
  }
}

char TMaskEdit::Shown(const Slot& s) const {
  if (s.kind != TSlotKind::Literal) return s.ch == ' ' ? blank_ : s.ch;
  if (!s.escaped && s.literal == ':') return timeSep_;
  if (!s.escaped && s.literal == '/') return dateSep_;
  return s.literal;
}

bool TMaskEdit::Accepts(const Slot& s, char c) const {
  if (c == ' ') return s.kind != TSlotKind::Literal;  // a blank position
  switch (s.kind) {
    case TSlotKind::Literal:
      return false;
    case TSlotKind::Digit:
      return IsDigitChar(c);
    case TSlotKind::DigitOrSign:
      return IsDigitChar(c) || c == '+' || c == '-';
    case TSlotKind::Letter:
      return IsAlphaChar(c);
    case TSlotKind::AlphaNum:
      return IsDigitChar(c) || IsAlphaChar(c);
    case TSlotKind::AnyChar:
      return static_cast<unsigned char>(c) >= 32;
  }
  return false;
}

char TMaskEdit::Cased(const Slot& s, char c) const {
  auto u = static_cast<unsigned char>(c);
  if (s.charCase == TCase::Upper) return static_cast<char>(std::toupper(u));
  if (s.charCase == TCase::Lower) return static_cast<char>(std::tolower(u));
  return c;
}

bool TMaskEdit::IsLiteralChar(char c) const {
  for (const Slot& s : slots_)
    if (s.kind == TSlotKind::Literal && (s.literal == c || Shown(s) == c)) return true;
  return false;
}

void TMaskEdit::FillPositional(const std::string& text) {
  for (size_t i = 0; i < slots_.size(); ++i) {
    Slot& s = slots_[i];
    if (s.kind == TSlotKind::Literal) continue;
    char c = i < text.size() ? text[i] : ' ';
    s.ch = Accepts(s, c) ? Cased(s, c) : ' ';
  }
}

void TMaskEdit::FillBySection(const std::string& text) {
  // The text's pieces between separators go into the mask's runs of input
  // positions, one piece per run.
  std::vector<std::string> pieces(1);
  for (char c : text) {
    if (saveLiterals_ && IsLiteralChar(c))
      pieces.emplace_back();
    else
      pieces.back() += c;
  }
  size_t piece = 0;
  size_t i = 0;
  while (i < slots_.size()) {
    if (slots_[i].kind == TSlotKind::Literal) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < slots_.size() && slots_[end].kind != TSlotKind::Literal) ++end;
    std::string p = piece < pieces.size() ? pieces[piece] : std::string();
    ++piece;
    size_t n = end - i;
    if (p.size() > n) p.resize(n);
    size_t offset = leadingBlanks_ ? n - p.size() : 0;
    for (size_t k = 0; k < n; ++k) {
      Slot& s = slots_[i + k];
      char c = k >= offset && k - offset < p.size() ? p[k - offset] : ' ';
      s.ch = Accepts(s, c) ? Cased(s, c) : ' ';
    }
    i = end;
  }
}

void TMaskEdit::SetCaption(const std::string& caption) {
  if (!IsMasked() || committing_) {
    TEdit::SetCaption(caption);
    return;
  }
  if (!saveLiterals_) {
    // Only input positions are in the text: fill them in order.
    std::string inputs;
    for (const Slot& s : slots_)
      if (s.kind != TSlotKind::Literal) inputs += ' ';
    std::string t = caption.substr(0, inputs.size());
    size_t offset = leadingBlanks_ ? inputs.size() - t.size() : 0;
    inputs.replace(offset, t.size(), t);
    size_t k = 0;
    for (Slot& s : slots_)
      if (s.kind != TSlotKind::Literal) {
        char c = inputs[k++];
        s.ch = Accepts(s, c) ? Cased(s, c) : ' ';
      }
  } else {
    bool aligned = caption.size() == slots_.size();
    for (size_t i = 0; aligned && i < slots_.size(); ++i)
      if (slots_[i].kind == TSlotKind::Literal && !IsLiteralChar(caption[i])) aligned = false;
    if (aligned)
      FillPositional(caption);
    else
      FillBySection(caption);
  }
  Commit(NextInputSlot(0));
}

std::string TMaskEdit::Compose() const {
  std::string out;
  for (const Slot& s : slots_) {
    if (s.kind == TSlotKind::Literal) {
      if (saveLiterals_) out += Shown(s);
    } else {
      out += s.ch;
    }
  }
  return out;
}

std::string TMaskEdit::EditText() const {
  if (!IsMasked()) return Text();
  std::string out;
  for (const Slot& s : slots_) out += Shown(s);
  return out;
}

void TMaskEdit::Commit(int caret) {
  committing_ = true;
  try {
    TEdit::SetCaption(Compose());
  } catch (...) {
    committing_ = false;
    throw;
  }
  committing_ = false;
  SetSelStart(SelFromSlot(caret));
  SetSelLength(0);
}

int TMaskEdit::NextInputSlot(int from) const {
  int n = static_cast<int>(slots_.size());
  for (int i = from < 0 ? 0 : from; i < n; ++i)
    if (slots_[i].kind != TSlotKind::Literal) return i;
  return n;
}

int TMaskEdit::PrevInputSlot(int before) const {
  int n = static_cast<int>(slots_.size());
  for (int i = (before > n ? n : before) - 1; i >= 0; --i)
    if (slots_[i].kind != TSlotKind::Literal) return i;
  return -1;
}

void TMaskEdit::ClearRange(int from, int to) {
  int n = static_cast<int>(slots_.size());
  for (int i = from < 0 ? 0 : from; i < to && i < n; ++i) slots_[i].ch = ' ';
}

int TMaskEdit::SlotFromSel(int sel) const {
  if (saveLiterals_) return sel;
  int seen = 0;
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i)
    if (slots_[i].kind != TSlotKind::Literal && seen++ == sel) return i;
  return static_cast<int>(slots_.size());
}

int TMaskEdit::SelFromSlot(int slot) const {
  if (saveLiterals_) return slot;
  int count = 0;
  for (int i = 0; i < slot && i < static_cast<int>(slots_.size()); ++i)
    if (slots_[i].kind != TSlotKind::Literal) ++count;
  return count;
}

void TMaskEdit::MaskKeyDown(WORD_T key, TShiftState shift) {
  int caret = SlotFromSel(SelStart());
  int n = static_cast<int>(slots_.size());
  switch (key) {
    case VK_LEFT_T: {
      int p = PrevInputSlot(caret);
      Commit(p < 0 ? caret : p);
      break;
    }
    case VK_RIGHT_T:
      Commit(caret < n ? NextInputSlot(caret + 1) : n);
      break;
    case VK_HOME_T:
      Commit(NextInputSlot(0));
      break;
    case VK_END_T:
      Commit(n);
      break;
    case VK_DELETE_T:
      if (ReadOnly()) break;
      if (SelLength() > 0)
        ClearRange(caret, SlotFromSel(SelStart() + SelLength()));
      else if (int p = NextInputSlot(caret); p < n)
        slots_[p].ch = ' ';
      Commit(caret);
      break;
    default:
      break;
  }
}

void TMaskEdit::MaskKeyPress(char key) {
  if (ReadOnly()) return;
  int n = static_cast<int>(slots_.size());
  int caret = SlotFromSel(SelStart());
  int selEnd = SlotFromSel(SelStart() + SelLength());
  bool selection = SelLength() > 0;
  if (key == '\b') {
    if (selection) {
      ClearRange(caret, selEnd);
      Commit(caret);
    } else if (int p = PrevInputSlot(caret); p >= 0) {
      slots_[p].ch = ' ';
      Commit(p);
    }
    return;
  }
  if (static_cast<unsigned char>(key) < 32) return;
  int pos = NextInputSlot(caret);
  if (pos >= n || !Accepts(slots_[pos], key)) return;  // full, or not for this position
  if (selection) ClearRange(caret, selEnd);
  slots_[pos].ch = Cased(slots_[pos], key);
  Commit(NextInputSlot(pos + 1));
}

void TMaskEdit::DefaultKeyDown(WORD_T key, TShiftState shift) {
  if (IsMasked())
    MaskKeyDown(key, shift);
  else
    TEdit::DefaultKeyDown(key, shift);
}

void TMaskEdit::DefaultKeyPress(char key) {
  if (ClipboardKey(key)) return;
  if (IsMasked())
    MaskKeyPress(key);
  else
    TEdit::DefaultKeyPress(key);
}
