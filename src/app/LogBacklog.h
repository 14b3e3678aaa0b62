// The lines the log file is owed while it cannot be written, kept outside the
// log pane (whose bound must hold whatever happens to the file) as one
// compact block of text with a bound of its own. Past that bound the oldest
// lines go, counted, so that the file can say how many it never got.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class TLogBacklog {
 public:
  explicit TLogBacklog(size_t maxBytes) : maxBytes_(maxBytes) {}

  // Adds a line at the end, dropping the oldest ones while the text is over
  // the bound (a line longer than the bound on its own is kept alone).
  void Add(const std::string& line);
  bool Empty() const { return lengths_.empty(); }
  size_t Lines() const { return lengths_.size(); }
  // Bytes of line text held.
  size_t Bytes() const { return text_.size() - head_; }
  // The oldest `n` lines (fewer when fewer are held).
  std::vector<std::string> Front(size_t n) const;
  void PopFront(size_t n);
  // Lines dropped for the bound since the count was last cleared.
  int64_t Lost() const { return lost_; }
  void ClearLost() { lost_ = 0; }

 private:
  void DropOldest();
  size_t maxBytes_;
  std::string text_;  // the lines one after another; those before head_ are gone
  size_t head_ = 0;
  std::deque<uint32_t> lengths_;
  int64_t lost_ = 0;
};

// The bound of the lines the log file is owed: 1 MiB of text, some 25,000
// lines of a dial's log, or about 20 hours of failed redials every 3 s.
constexpr size_t kLogBacklogBytes = size_t{1} << 20;
