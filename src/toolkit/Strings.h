// A list of strings with a change notice, as the controls and the dialer hold them.
#pragma once
#include <functional>
#include <string>
#include <vector>

class TStrings {
 public:
  virtual ~TStrings() = default;
  virtual int Count() const { return static_cast<int>(items_.size()); }
  virtual std::string Get(int index) const;
  std::string operator[](int index) const { return Get(index); }
  virtual int Add(const std::string& s);
  virtual void Clear();
  void Assign(const TStrings& other);
  void Sort();  // case-insensitive, as the user's locale orders names
  std::vector<std::string> ToVector() const;
  std::string Text() const;  // lines joined with CR LF, each line ended
  // Runs after every change.
  std::function<void()> onChange;

 protected:
  void Changed() const {
    if (onChange) onChange();
  }
  std::vector<std::string> items_;
};
