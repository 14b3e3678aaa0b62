#include "app/LogBacklog.h"

#include <algorithm>

void TLogBacklog::Add(const std::string& line) {
  text_ += line;
  lengths_.push_back(static_cast<uint32_t>(line.size()));
  while (lengths_.size() > 1 && Bytes() > maxBytes_) {
    DropOldest();
    ++lost_;
  }
}

std::vector<std::string> TLogBacklog::Front(size_t n) const {
  std::vector<std::string> lines;
  n = std::min(n, lengths_.size());
  lines.reserve(n);
  size_t at = head_;
  for (size_t i = 0; i < n; ++i) {
    lines.emplace_back(text_, at, lengths_[i]);
    at += lengths_[i];
  }
  return lines;
}

void TLogBacklog::PopFront(size_t n) {
  n = std::min(n, lengths_.size());
  for (size_t i = 0; i < n; ++i) DropOldest();
}

void TLogBacklog::DropOldest() {
  head_ += lengths_.front();
  lengths_.pop_front();
  // The text that went is given back once it is most of the block, so that
  // each byte is moved a bounded number of times.
  if (lengths_.empty()) {
    text_.clear();
    head_ = 0;
  } else if (head_ > 4096 && head_ > text_.size() / 2) {
    text_.erase(0, head_);
    head_ = 0;
  }
}
