// Errors the program reports. Each carries the program's own message text; the
// message loop hands any that escapes a handler to TApplication::HandleException.
#pragma once
#include <stdexcept>
#include <string>

class EQuindleError : public std::runtime_error {
 public:
  explicit EQuindleError(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// A registry value of the wrong type, a value or key that cannot be written.
class ERegistryException : public EQuindleError {
 public:
  using EQuindleError::EQuindleError;
};

// A text that does not convert to a 32-bit integer.
class EConvertError : public EQuindleError {
 public:
  using EQuindleError::EQuindleError;
};

// A file that cannot be opened, written or flushed.
class EInOutError : public EQuindleError {
 public:
  using EQuindleError::EQuindleError;
};

// Formats a message with one %s, as the program's error texts are written.
std::string FormatMessage1(const std::string& pattern, const std::string& arg);

// "'%s' is not a valid integer value" unless the text is a 32-bit signed decimal.
int StrToInt(const std::string& text);
