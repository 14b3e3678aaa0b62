// The rich-text pane of the log.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>
#include "platform/WinConstants.h"  // rich edit messages and notifications
#include "toolkit/CodePage.h"
#include "toolkit/Controls.h"

// The text limit of a rich edit control that was never given one, and the
// one EM_EXLIMITTEXT sets when asked for 0 (characters; a line break is one).
constexpr int kRichEditDefaultLimit = 32767, kRichEditLimitForZero = 65536;

struct TCharRange {
  int32_t cpMin = 0, cpMax = 0;
};
// The link notification as the pane reflects it back to the control.
struct TENLink {
  uint32_t code = 0;
  uint32_t msg = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  TCharRange chrg;
};

enum TScrollStyle { ssNone, ssVertical };

// A rich-text pane. Its pane lines are the lines as the pane shows them: with
// word wrap on, a text line wider than the pane counts as several, and how
// many it counts changes whenever the pane re-wraps (a resize, the vertical
// scroll bar coming or going). Its text lines are the lines as added, which
// no re-wrap moves: what must be counted across changes counts those.
//
// The control counts characters and hands its text out in bytes of the ANSI
// code page, where a character may take two: every buffer that receives text
// from it is sized for the code page's widest characters.
//
// Like the control it stands for, the pane holds no more characters than its
// text limit (32,767 until one is set): what an added line would put past it
// is cut off, and once full, nothing more is added and no change is raised.
class TRichEdit : public TWinControl {
 public:
  explicit TRichEdit(TComponent* owner);
  ~TRichEdit() override;

  // Adds one logical line (it may hold CR LF, which start further lines).
  void AddLine(const std::string& line);
  void ClearLines();
  // Removes whole text lines from the start of the pane, at most `paneLines`
  // pane lines' worth; a text line wrapped across that mark stays. Returns the
  // pane lines removed. Raises no change: the caller knows what it dropped.
  int DropOldestLines(int paneLines);
  int LineCount() const;
  // Pane line `index` as the control hands it out, whole.
  std::string Line(int index) const;
  // Text lines: each ends at a CR LF, a lone CR or a lone LF; a last line
  // without an end (one cut off at the text limit) is not one yet.
  int TextLineCount() const { return static_cast<int>(textLines_.size()); }
  // Text line `index` without its line break.
  std::string TextLine(int index) const;
  // Removes the oldest `count` text lines (all there are, at most); returns
  // how many went. Raises no change, as DropOldestLines.
  int DropOldestTextLines(int count);
  // The logical text as added, lines ended with CR LF.
  const std::string& Text() const { return text_; }
  // Characters as the control counts them (a CR LF and a two-byte
  // character are one each).
  int TextLength() const { return textLength_; }
  // Where a position in Text() lies in the native control, counted the same way.
  int ControlPosition(size_t offset) const;

  // The most characters the pane holds (EM_EXLIMITTEXT; 0 asks for 64K).
  // Set it through here: the model and the native control keep the same one.
  void LimitText(int chars);
  int TextLimit() const { return textLimit_; }
  // What the last DropOldestLines removed, for the native control to follow.
  struct TDrop {
    size_t bytes = 0;  // of Text()
    int chars = 0;     // as the control counts them
  };
  const TDrop& LastDrop() const { return lastDrop_; }

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s) { scrollBars_ = s; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v) { wordWrap_ = v; }
  // The caret was scrolled into view (EM_SCROLLCARET); counted for tests.
  void ScrollCaret();
  int ScrollCaretCount() const { return scrollCarets_; }

  int SelStart() const { return selStart_; }
  int SelLength() const { return selLength_; }
  // The model's selection, in bytes of Text().
  std::string SelText() const;
  void SetSelection(int start, int length);
  // The control's selected text as it hands it out (EM_GETSELTEXT).
  std::string ReadSelection();

  // The parent reflected a notification of this control back to it (EN_LINK).
  // The result is the parent's answer: non-zero tells the control that the
  // mouse message was handled and that it must not act on it itself.
  virtual intptr_t NotifyReflected(const TENLink& link) { return 0; }
  // Headless: a left-button press over character `position` of the text; it
  // raises EN_LINK when link detection is on, ENM_LINK is in the event mask
  // and the position lies in an address the pane recognises.
  //
  // Without a native control the pane's character positions are those of
  // Text() with each two-byte character of the code page counted as one (a
  // CR LF stays two): messages take and give these, as the control does its own.
  void MouseDownAt(int position);
  // Headless: the character ranges the pane shows as links.
  std::vector<TCharRange> DetectedLinks() const;

 protected:
  intptr_t EmulateMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  // The wrapped lines of the pane when no native control counts them.
  std::vector<std::string> WrappedLines() const;
  // Where each pane line lies in Text(), as a native control would count
  // them: the empty line after a final line break included.
  struct TLineSpan {
    int start = 0, length = 0;
  };
  const std::vector<TLineSpan>& LineSpans() const;
  const std::vector<TLineSpan>& IndexLineSpans() const;
  // Characters per pane line when the pane wraps by itself (0: no wrap):
  // fewer while the vertical scroll bar takes its share of the width.
  int WrapColumns() const;
  // Pane lines that fit in the pane's height without scrolling.
  int VisibleRows() const;
  // Erases the first `cut` bytes of Text(), which end a text line, and moves
  // both line indexes with the rest.
  void DropHead(size_t cut);
  // Where pane line `index` starts in Text().
  size_t TextOffsetOfLine(int index) const;
  // The code page the text is in; a pane without an application is Western.
  TAnsiCodePage CodePage() const;
  // Without a native control: the character position of a byte of Text(),
  // and the byte where a character position lies (cut to the text).
  int CharIndex(size_t offset) const;
  size_t ByteIndex(intptr_t position) const;

  // Text is only ever added at the end, dropped from the start by whole text
  // lines, or cleared: the line index is kept, extended and shifted, so that
  // a long log does not make every line query slower.
  mutable std::vector<TLineSpan> spans_;
  mutable int spansSize_ = -1;     // text size the index covers (-1: none)
  mutable int spansColumns_ = -1;  // wrap width it was made for
  mutable int spansLastLine_ = 0;  // start of its last text line
  mutable unsigned spansCodePage_ = 0;

  // The text lines, by where they lie counted from the pane's first byte
  // ever (text dropped from the start moves textBase_, not every entry).
  struct TTextLine {
    int64_t start = 0;
    int length = 0;
  };
  std::deque<TTextLine> textLines_;
  int64_t textBase_ = 0;       // bytes dropped from the start so far
  int64_t openLineStart_ = 0;  // where the line not yet ended begins
  void IndexTextLines(size_t from);
  // The vertical scroll bar shows while the pane lines do not fit its height
  // (a pane with ssVertical and no ES_DISABLENOSCROLL): the text then wraps
  // at the narrower width that is left.
  mutable bool scrollBarShown_ = false;

  std::string text_;
  int textLength_ = 0;
  int textLimit_ = kRichEditDefaultLimit;
  TDrop lastDrop_;
  bool readOnly_ = false;
  TScrollStyle scrollBars_ = ssNone;
  bool wordWrap_ = true;
  int scrollCarets_ = 0;
  int selStart_ = 0;
  int selLength_ = 0;
  unsigned eventMask_ = 0;
  bool autoUrlDetect_ = false;
};
