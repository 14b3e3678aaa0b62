#include "platform/win32/Win32Clock.h"

#include <windows.h>

#include <vector>

namespace {

constexpr int64_t kMsPerDay = 86400000;

SYSTEMTIME ToSystemTime(TDateTime t) {
  TDateParts p = DecodeDateTime(t);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(p.year);
  st.wMonth = static_cast<WORD>(p.month);
  st.wDay = static_cast<WORD>(p.day);
  st.wHour = static_cast<WORD>(p.hour);
  st.wMinute = static_cast<WORD>(p.minute);
  st.wSecond = static_cast<WORD>(p.second);
  st.wMilliseconds = static_cast<WORD>(p.millisecond);
  // 1970-01-01 was a Thursday (4); day counts before it round down.
  int64_t days = t.ms >= 0 ? t.ms / kMsPerDay : -((-t.ms + kMsPerDay - 1) / kMsPerDay);
  st.wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 4) % 7);
  return st;
}

bool Representable(TDateTime t) {
  TDateParts p = DecodeDateTime(t);
  return p.year >= 1601 && p.year <= 30827;
}

// Calls a GetXxxFormatA-like function twice: once for the size, once to fill.
template <class Fn>
std::string Formatted(Fn call) {
  int n = call(nullptr, 0);
  if (n <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(n));
  n = call(buffer.data(), n);
  if (n <= 0) return {};
  return std::string(buffer.data());  // n counts the terminating NUL
}

// The user's separator where it is one byte. A user may set one of up to
// four characters, two-byte ones included (up to 8 bytes and the NUL in a
// double-byte code page): the first byte of a two-byte character is half a
// character, which would end up in the fields and the stored values, so such
// a separator gives the default instead.
char SeparatorOf(LCTYPE type, char fallback) {
  char buffer[16] = {};
  int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
  if (n <= 1 || buffer[0] == '\0' || IsDBCSLeadByte(static_cast<BYTE>(buffer[0]))) return fallback;
  return buffer[0];
}

}  // namespace

TDateTime TWin32Clock::Now() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return EncodeDateTime(
      {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds});
}

std::string TWin32Locale::LongTime(TDateTime t) {
  if (!Representable(t)) return {};
  const SYSTEMTIME st = ToSystemTime(t);
  return Formatted([&](char* out, int size) {
    return GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, out, size);
  });
}

std::string TWin32Locale::ShortDate(TDateTime t) {
  if (!Representable(t)) return {};
  const SYSTEMTIME st = ToSystemTime(t);
  return Formatted([&](char* out, int size) {
    return GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, out, size);
  });
}

char TWin32Locale::TimeSeparator() {
  return SeparatorOf(LOCALE_STIME, ':');
}

char TWin32Locale::DateSeparator() {
  return SeparatorOf(LOCALE_SDATE, '/');
}

bool TWin32Locale::IsLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != 0;
}
