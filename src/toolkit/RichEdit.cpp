#include "toolkit/RichEdit.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <stdexcept>

namespace {

// A wrapped line is about this many pixels per character in the pane's font,
// and a pane line this many pixels high.
constexpr int kPixelsPerColumn = 6, kPixelsPerRow = 13;
// The width of a vertical scroll bar at 96 dpi (SM_CXVSCROLL).
constexpr int kScrollBarPixels = 17;

bool IsBreak(char c) {
  return c == '\r' || c == '\n';
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || IsBreak(c) || c == '\0';
}
bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// Bytes of the character at text[i] as the control counts characters: it
// keeps a CR LF as one paragraph mark, and a two-byte character is one.
size_t ControlCharSize(const std::string& text, size_t i, const TAnsiCodePage& page) {
  if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') return 2;
  return page.CharSize(text, i);
}

// The characters of text[from, to) as the control counts them.
int ControlChars(const std::string& text, size_t from, size_t to, const TAnsiCodePage& page) {
  int chars = 0;
  for (size_t i = from; i < to; ++chars) i += ControlCharSize(text, i, page);
  return chars;
}

// The bytes of the longest head of `piece` that is at most `room` characters
// (a CR LF or a two-byte character goes whole or not at all); `chars` gets
// its characters.
size_t FittingHead(const std::string& piece, int room, int& chars, const TAnsiCodePage& page) {
  size_t i = 0;
  chars = 0;
  while (i < piece.size() && chars < room) {
    i += ControlCharSize(piece, i, page);
    ++chars;
  }
  return i;
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (text.size() - at < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
  return true;
}

}  // namespace

TRichEdit::TRichEdit(TComponent* owner) : TWinControl(owner) {}

TRichEdit::~TRichEdit() = default;

// ---- lines ----

void TRichEdit::AddLine(const std::string& line) {
  const std::string piece = line + "\r\n";
  // The control cuts an insertion off at its text limit; once full, it takes
  // nothing and its text does not change.
  int chars = 0;
  const size_t fits = FittingHead(piece, textLimit_ - textLength_, chars, CodePage());
  if (fits == 0) return;
  const size_t from = text_.size();
  text_.append(piece, 0, fits);
  textLength_ += chars;
  IndexTextLines(from);
  // Adding a line leaves the caret at the end, as the native control does.
  selStart_ = static_cast<int>(text_.size());
  selLength_ = 0;
  Notify(TPeerChange::LinesAdded);
  Change();
}

void TRichEdit::IndexTextLines(size_t from) {
  size_t i = from;
  // An LF right after a CR that ended the text before is part of that break.
  if (i > 0 && i < text_.size() && text_[i - 1] == '\r' && text_[i] == '\n')
    openLineStart_ = textBase_ + static_cast<int64_t>(++i);
  for (; i < text_.size(); ++i) {
    if (!IsBreak(text_[i])) continue;
    const int64_t at = textBase_ + static_cast<int64_t>(i);
    textLines_.push_back({openLineStart_, static_cast<int>(at - openLineStart_)});
    if (text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') ++i;
    openLineStart_ = textBase_ + static_cast<int64_t>(i) + 1;
  }
}

std::string TRichEdit::TextLine(int index) const {
  if (index < 0 || index >= TextLineCount())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  const TTextLine& line = textLines_[static_cast<size_t>(index)];
  return text_.substr(static_cast<size_t>(line.start - textBase_),
                      static_cast<size_t>(line.length));
}

int TRichEdit::DropOldestTextLines(int count) {
  count = std::min(count, TextLineCount());
  if (count <= 0) return 0;
  // Up to the start of the first line kept: the last line's break goes too.
  const int64_t keep =
      count < TextLineCount() ? textLines_[static_cast<size_t>(count)].start : openLineStart_;
  DropHead(static_cast<size_t>(keep - textBase_));
  Notify(TPeerChange::LinesDropped);
  return count;
}

void TRichEdit::ClearLines() {
  text_.clear();
  textLength_ = 0;
  textLines_.clear();
  textBase_ = openLineStart_ = 0;
  scrollBarShown_ = false;
  spansSize_ = -1;
  selStart_ = selLength_ = 0;
  Notify(TPeerChange::LinesCleared);
  Change();
}

int TRichEdit::DropOldestLines(int paneLines) {
  const int before = LineCount();
  if (paneLines <= 0 || before == 0) return 0;
  size_t cut = paneLines >= before ? text_.size() : TextOffsetOfLine(paneLines);
  // Only whole text lines go: back to the start of the line the mark is in.
  while (cut > 0 && !IsBreak(text_[cut - 1])) --cut;
  if (cut == 0) return 0;
  DropHead(cut);
  Notify(TPeerChange::LinesDropped);
  return before - LineCount();
}

void TRichEdit::DropHead(size_t cut) {
  lastDrop_ = {cut, ControlChars(text_, 0, cut, CodePage())};
  text_.erase(0, cut);
  textLength_ -= lastDrop_.chars;
  textBase_ += static_cast<int64_t>(cut);
  while (!textLines_.empty() && textLines_.front().start < textBase_) textLines_.pop_front();

  // The lines after the cut wrap as they did: the index moves down with them.
  const int shift = static_cast<int>(cut);
  if (spansSize_ >= shift && spansLastLine_ >= shift) {
    auto kept = std::lower_bound(spans_.begin(), spans_.end(), shift,
                                 [](const TLineSpan& s, int at) { return s.start < at; });
    spans_.erase(spans_.begin(), kept);
    for (TLineSpan& s : spans_) s.start -= shift;
    spansSize_ -= shift;
    spansLastLine_ -= shift;
  } else {
    spansSize_ = -1;
  }
  const int selEnd = selStart_ + selLength_;
  selStart_ = std::max(0, selStart_ - shift);
  selLength_ = std::max(0, selEnd - shift) - selStart_;
}

int TRichEdit::LineCount() const {
  auto* self = const_cast<TRichEdit*>(this);
  int count = static_cast<int>(self->Perform(EM_GETLINECOUNT_T, 0, 0));
  if (count <= 0) return 0;
  // The control counts the empty line after a final line break (and one line
  // in an empty pane); that line holds nothing and is not a pane line.
  intptr_t last = self->Perform(EM_LINEINDEX_T, static_cast<uintptr_t>(count - 1), 0);
  if (last >= 0 && self->Perform(EM_LINELENGTH_T, static_cast<uintptr_t>(last), 0) == 0) --count;
  return count;
}

std::string TRichEdit::Line(int index) const {
  if (index < 0 || index >= LineCount())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  auto* self = const_cast<TRichEdit*>(this);
  intptr_t start = self->Perform(EM_LINEINDEX_T, static_cast<uintptr_t>(index), 0);
  if (start < 0) return {};
  intptr_t length = self->Perform(EM_LINELENGTH_T, static_cast<uintptr_t>(start), 0);
  if (length <= 0) return {};
  // EM_LINELENGTH counts characters and EM_GETLINE copies bytes, so the
  // buffer has room for the code page's widest characters, and for the
  // paragraph mark the control copies along at the end of a text line. Its
  // size goes in its first word: at most 65,535 bytes.
  const size_t wanted = CodePage().BytesFor(static_cast<size_t>(length)) + 1;
  std::vector<char> buffer(std::min<size_t>(wanted, 0xFFFF), '\0');
  const auto capacity = static_cast<uint16_t>(buffer.size());
  std::memcpy(buffer.data(), &capacity, sizeof capacity);
  // The count is of bytes (TCHARs of an ANSI window), never past the buffer.
  intptr_t copied = self->Perform(EM_GETLINE_T, static_cast<uintptr_t>(index),
                                  reinterpret_cast<intptr_t>(buffer.data()));
  auto n = static_cast<size_t>(std::clamp<intptr_t>(copied, 0, capacity));
  // A trail byte is never a line break: what ends the copy is the mark.
  while (n > 0 && IsBreak(buffer[n - 1])) --n;
  return std::string(buffer.data(), n);
}

size_t TRichEdit::TextOffsetOfLine(int index) const {
  auto* self = const_cast<TRichEdit*>(this);
  const intptr_t at = self->Perform(EM_LINEINDEX_T, static_cast<uintptr_t>(index), 0);
  if (at < 0) return text_.size();
  if (!peer_) return ByteIndex(at);
  const TAnsiCodePage page = CodePage();
  size_t i = 0;
  for (intptr_t cp = 0; cp < at && i < text_.size(); ++cp) i += ControlCharSize(text_, i, page);
  return i;
}

int TRichEdit::ControlPosition(size_t offset) const {
  offset = std::min(offset, text_.size());
  const TAnsiCodePage page = CodePage();
  int cp = 0;
  // A position inside a CR LF or a two-byte character is the one after it.
  for (size_t i = 0; i < offset; ++cp) i += ControlCharSize(text_, i, page);
  return cp;
}

TAnsiCodePage TRichEdit::CodePage() const {
  return Owner() ? Backend().AnsiCodePage() : TAnsiCodePage::Western();
}

int TRichEdit::CharIndex(size_t offset) const {
  offset = std::min(offset, text_.size());
  const TAnsiCodePage page = CodePage();
  if (!page.DoubleByte()) return static_cast<int>(offset);
  int chars = 0;
  for (size_t i = 0; i < offset; ++chars) i += page.CharSize(text_, i);
  return chars;
}

size_t TRichEdit::ByteIndex(intptr_t position) const {
  const TAnsiCodePage page = CodePage();
  if (!page.DoubleByte())
    return static_cast<size_t>(
        std::clamp<intptr_t>(position, 0, static_cast<intptr_t>(text_.size())));
  size_t i = 0;
  for (intptr_t n = 0; n < position && i < text_.size(); ++n) i += page.CharSize(text_, i);
  return i;
}

void TRichEdit::LimitText(int chars) {
  textLimit_ = chars > 0 ? chars : kRichEditLimitForZero;
  Perform(EM_EXLIMITTEXT_T, 0, chars);
}

int TRichEdit::WrapColumns() const {
  if (!wordWrap_ || Width() <= 0) return 0;
  // The font and the scroll bar scale with the control.
  const int width = Width() - (scrollBarShown_ ? Scaled(kScrollBarPixels) : 0);
  return std::max(1, width / Scaled(kPixelsPerColumn));
}

int TRichEdit::VisibleRows() const {
  return Height() / Scaled(kPixelsPerRow);
}

const std::vector<TRichEdit::TLineSpan>& TRichEdit::LineSpans() const {
  const std::vector<TLineSpan>& spans = IndexLineSpans();
  // The bar comes once the lines no longer fit and goes once they do; the
  // text then wraps again at the width it leaves. An unsized pane has none.
  const bool bar = scrollBars_ == ssVertical && VisibleRows() > 0 &&
                   static_cast<int>(spans.size()) > VisibleRows();
  if (bar == scrollBarShown_) return spans;
  scrollBarShown_ = bar;
  return IndexLineSpans();
}

const std::vector<TRichEdit::TLineSpan>& TRichEdit::IndexLineSpans() const {
  std::vector<TLineSpan>& spans = spans_;
  const int columns = WrapColumns();
  const int size = static_cast<int>(text_.size());
  const TAnsiCodePage page = CodePage();
  // Text added since the index was made is indexed from the start of the
  // last text line on (it may have grown); anything else rebuilds it. A
  // lone CR at the old end could pair with an LF added after it.
  if (columns != spansColumns_ || page.id != spansCodePage_ || spansSize_ < 0 ||
      spansSize_ > size || (spansSize_ > 0 && text_[spansSize_ - 1] == '\r')) {
    spans.clear();
    spansLastLine_ = 0;
  } else if (spansSize_ == size) {
    return spans;
  } else {
    while (!spans.empty() && spans.back().start >= spansLastLine_) spans.pop_back();
  }
  spansColumns_ = columns;
  spansCodePage_ = page.id;
  spansSize_ = size;
  // The byte after `columns` characters from `pos` (a two-byte character is
  // one, and is never split).
  auto edgeOf = [&](int pos, int end) {
    if (!page.DoubleByte()) return std::min(pos + columns, end);
    for (int n = 0; n < columns && pos < end; ++n)
      pos += static_cast<int>(page.CharSize(text_, static_cast<size_t>(pos)));
    return std::min(pos, end);
  };
  auto addWrapped = [&](int pos, int end) {
    // Break at the last space that still fits; the space stays on the line it
    // ends, so the pieces put together give back the text line.
    for (int edge; columns > 0 && (edge = edgeOf(pos, end)) < end;) {
      int cut = -1;
      for (int i = edge; i > pos; --i)
        if (text_[i] == ' ') {
          cut = i + 1;
          break;
        }
      if (cut < 0) cut = edge;  // one long word: cut it at the edge
      spans.push_back({pos, cut - pos});
      pos = cut;
    }
    spans.push_back({pos, end - pos});
  };
  int pos = spansLastLine_;
  while (true) {
    spansLastLine_ = pos;
    int end = pos;
    while (end < size && !IsBreak(text_[end])) ++end;
    addWrapped(pos, end);
    if (end >= size) break;
    // CR LF, a lone CR and a lone LF each end a line.
    pos = end + ((text_[end] == '\r' && end + 1 < size && text_[end + 1] == '\n') ? 2 : 1);
  }
  return spans;
}

std::vector<std::string> TRichEdit::WrappedLines() const {
  std::vector<TLineSpan> spans = LineSpans();
  if (!spans.empty() && spans.back().length == 0) spans.pop_back();
  std::vector<std::string> lines;
  lines.reserve(spans.size());
  for (const TLineSpan& s : spans) lines.push_back(text_.substr(s.start, s.length));
  return lines;
}

// ---- properties ----

void TRichEdit::SetReadOnly(bool v) {
  if (v == readOnly_) return;
  readOnly_ = v;
  Notify(TPeerChange::ReadOnly);
}

void TRichEdit::ScrollCaret() {
  Perform(EM_SCROLLCARET_T, 0, 0);
  if (peer_) ++scrollCarets_;  // without a peer the emulation counts it
}

std::string TRichEdit::SelText() const {
  const int size = static_cast<int>(text_.size());
  int start = std::clamp(selStart_, 0, size);
  int length = std::clamp(selLength_, 0, size - start);
  return text_.substr(start, length);
}

void TRichEdit::SetSelection(int start, int length) {
  const int size = static_cast<int>(text_.size());
  start = std::clamp(start, 0, size);
  length = std::clamp(length, 0, size - start);
  selStart_ = start;
  selLength_ = length;
  Notify(TPeerChange::Selection);
}

std::string TRichEdit::ReadSelection() {
  TCharRange selected;
  Perform(EM_EXGETSEL_T, 0, reinterpret_cast<intptr_t>(&selected));
  const int chars = selected.cpMax > selected.cpMin ? selected.cpMax - selected.cpMin : 0;
  // EM_GETSELTEXT takes no size: it writes the selection's bytes and a
  // terminator, and returns characters. The buffer holds two bytes a
  // character at least (a paragraph mark may come out as CR LF), more when
  // the code page's characters take more.
  TAnsiCodePage page = CodePage();
  page.maxCharSize = std::max(page.maxCharSize, 2);
  std::vector<char> buffer(page.BytesFor(static_cast<size_t>(chars)), '\0');
  Perform(EM_GETSELTEXT_T, 0, reinterpret_cast<intptr_t>(buffer.data()));
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

// ---- links ----

std::vector<TCharRange> TRichEdit::DetectedLinks() const {
  std::vector<TCharRange> links;
  if (!autoUrlDetect_) return links;
  static const char* const kPrefixes[] = {"http://", "https://", "ftp://", "www."};
  const size_t size = text_.size();
  size_t i = 0;
  while (i < size) {
    size_t matched = 0;
    if (i == 0 || !IsWordChar(text_[i - 1]))
      for (const char* prefix : kPrefixes)
        if (StartsWithNoCase(text_, i, prefix)) {
          matched = std::strlen(prefix);
          break;
        }
    // A prefix alone, with nothing after it, is not an address.
    if (matched == 0 || i + matched >= size || IsBlank(text_[i + matched])) {
      ++i;
      continue;
    }
    size_t end = i + matched;
    while (end < size && !IsBlank(text_[end])) ++end;
    links.push_back({CharIndex(i), CharIndex(end)});
    i = end;
  }
  return links;
}

void TRichEdit::MouseDownAt(int position) {
  if (autoUrlDetect_ && (eventMask_ & ENM_LINK_T)) {
    for (const TCharRange& range : DetectedLinks()) {
      if (position < range.cpMin || position >= range.cpMax) continue;
      TENLink link;
      link.code = EN_LINK_T;
      link.msg = WM_LBUTTONDOWN_T;
      link.wParam = MK_LBUTTON_T;
      link.chrg = range;
      if (NotifyReflected(link) != 0) return;  // the press was taken care of
      break;
    }
  }
  // The control's own handling of the press: the caret goes there.
  SetSelection(static_cast<int>(ByteIndex(position)), 0);
}

// ---- messages without a native control ----

intptr_t TRichEdit::EmulateMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case EM_AUTOURLDETECT_T:
      autoUrlDetect_ = wParam != 0;
      return 0;
    case EM_GETEVENTMASK_T:
      return static_cast<intptr_t>(eventMask_);
    case EM_SETEVENTMASK_T: {
      unsigned old = eventMask_;
      eventMask_ = static_cast<unsigned>(lParam);
      return static_cast<intptr_t>(old);
    }
    case EM_EXSETSEL_T: {
      if (!lParam) return 0;
      const auto* range = reinterpret_cast<const TCharRange*>(lParam);
      const int size = CharIndex(text_.size());
      // cpMax -1 reaches to the end of the text.
      int lo = std::clamp(range->cpMin, 0, size);
      int hi = range->cpMax < 0 ? size : std::clamp(range->cpMax, 0, size);
      if (hi < lo) std::swap(lo, hi);
      const auto from = static_cast<int>(ByteIndex(lo));
      SetSelection(from, static_cast<int>(ByteIndex(hi)) - from);
      return hi;
    }
    case EM_EXGETSEL_T: {
      if (!lParam) return 0;
      auto* range = reinterpret_cast<TCharRange*>(lParam);
      range->cpMin = CharIndex(static_cast<size_t>(selStart_));
      range->cpMax = CharIndex(static_cast<size_t>(selStart_) + static_cast<size_t>(selLength_));
      return 0;
    }
    case EM_GETSELTEXT_T: {
      // The selection's bytes and a terminator, however small the buffer;
      // the result counts characters.
      if (!lParam) return 0;
      std::string text = SelText();
      std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
      return CharIndex(static_cast<size_t>(selStart_) + static_cast<size_t>(selLength_)) -
             CharIndex(static_cast<size_t>(selStart_));
    }
    case EM_SCROLLCARET_T:
      ++scrollCarets_;
      return 0;
    case EM_EXLIMITTEXT_T:
      // 0 asks for the control's larger default; text already held stays.
      textLimit_ = lParam > 0 ? static_cast<int>(std::min<intptr_t>(lParam, INT_MAX))
                              : kRichEditLimitForZero;
      return 0;
    case EM_GETLIMITTEXT_T:
      return textLimit_;
    case EM_GETLINECOUNT_T:
      return static_cast<intptr_t>(LineSpans().size());
    case EM_LINEINDEX_T: {
      const std::vector<TLineSpan>& spans = LineSpans();
      intptr_t line = static_cast<intptr_t>(wParam);
      if (line == -1) {
        // The line that holds the caret.
        line = 0;
        for (size_t i = 0; i < spans.size(); ++i)
          if (spans[i].start <= selStart_) line = static_cast<intptr_t>(i);
      }
      if (line < 0 || line >= static_cast<intptr_t>(spans.size())) return -1;
      return CharIndex(static_cast<size_t>(spans[static_cast<size_t>(line)].start));
    }
    case EM_LINELENGTH_T: {
      // Characters, whatever bytes they take.
      auto at = static_cast<intptr_t>(wParam);
      if (at < 0) return 0;
      // The last line that starts at or before the position.
      const std::vector<TLineSpan>& spans = LineSpans();
      at = static_cast<intptr_t>(ByteIndex(at));
      auto after = std::upper_bound(spans.begin(), spans.end(), at,
                                    [](intptr_t a, const TLineSpan& s) { return a < s.start; });
      if (after == spans.begin()) return 0;
      const TLineSpan& s = *std::prev(after);
      return CharIndex(static_cast<size_t>(s.start) + static_cast<size_t>(s.length)) -
             CharIndex(static_cast<size_t>(s.start));
    }
    case EM_GETLINE_T: {
      // Bytes, as many whole characters as the size in the buffer's first
      // word allows, then the paragraph mark at the end of a text line when
      // there is room for it. No terminator, unless nothing was copied.
      if (!lParam) return 0;
      const std::vector<TLineSpan>& spans = LineSpans();
      if (wParam >= spans.size()) return 0;
      uint16_t capacity = 0;
      std::memcpy(&capacity, reinterpret_cast<const void*>(lParam), sizeof capacity);
      const TLineSpan& s = spans[wParam];
      const TAnsiCodePage page = CodePage();
      const auto start = static_cast<size_t>(s.start), end = start + static_cast<size_t>(s.length);
      size_t n = 0;
      while (start + n < end && n + page.CharSize(text_, start + n) <= capacity)
        n += page.CharSize(text_, start + n);
      auto* out = reinterpret_cast<char*>(lParam);
      std::memcpy(out, text_.data() + start, n);
      if (n == static_cast<size_t>(s.length) && end < text_.size() && IsBreak(text_[end]) &&
          n < capacity)
        out[n++] = '\r';
      if (n == 0 && capacity > 0) out[0] = '\0';
      return static_cast<intptr_t>(n);
    }
    default:
      return 0;
  }
}
