#include "platform/Errors.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

std::string FormatMessage1(const std::string& pattern, const std::string& arg) {
  std::string out;
  auto pos = pattern.find("%s");
  if (pos == std::string::npos) return pattern;
  out = pattern.substr(0, pos) + arg + pattern.substr(pos + 2);
  return out;
}

int StrToInt(const std::string& text) {
  // Decimal with an optional sign, surrounding blanks allowed, within 32 bits.
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  size_t end = text.size();
  while (end > i && text[end - 1] == ' ') --end;
  std::string body = text.substr(i, end - i);
  bool ok = !body.empty();
  size_t digitsFrom = (ok && (body[0] == '-' || body[0] == '+')) ? 1 : 0;
  if (digitsFrom == body.size()) ok = false;
  for (size_t k = digitsFrom; ok && k < body.size(); ++k)
    if (body[k] < '0' || body[k] > '9') ok = false;
  long long value = 0;
  if (ok) {
    for (size_t k = digitsFrom; k < body.size(); ++k) {
      value = value * 10 + (body[k] - '0');
      if (value > 2147483648LL) {
        ok = false;
        break;
      }
    }
    if (body[0] == '-') value = -value;
    if (value > INT_MAX || value < INT_MIN) ok = false;
  }
  if (!ok) throw EConvertError(FormatMessage1("'%s' is not a valid integer value", text));
  return static_cast<int>(value);
}
