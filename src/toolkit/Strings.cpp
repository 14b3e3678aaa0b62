#include "toolkit/Strings.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

std::string TStrings::Get(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size()))
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return items_[static_cast<size_t>(index)];
}

int TStrings::Add(const std::string& s) {
  items_.push_back(s);
  Changed();
  return static_cast<int>(items_.size()) - 1;
}

void TStrings::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

void TStrings::Assign(const TStrings& other) {
  items_ = other.ToVector();
  Changed();
}

void TStrings::Sort() {
  auto lower = [](const std::string& s) {
    std::string r;
    for (char c : s) r += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
  };
  std::stable_sort(items_.begin(), items_.end(),
                   [&](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
  Changed();
}

std::vector<std::string> TStrings::ToVector() const {
  std::vector<std::string> v;
  v.reserve(static_cast<size_t>(Count()));
  for (int i = 0; i < Count(); ++i) v.push_back(Get(i));
  return v;
}

std::string TStrings::Text() const {
  std::string t;
  for (int i = 0; i < Count(); ++i) t += Get(i) + "\r\n";
  return t;
}
