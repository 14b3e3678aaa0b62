// The ANSI code page in which text passes between the program and the native
// controls, as the system describes it (GetCPInfo): the most bytes one
// character takes, and the bytes that start a two-byte character. A control
// counts characters; the text it hands out is in bytes of this code page.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct TAnsiCodePage {
  unsigned id = 1252;
  int maxCharSize = 1;
  // Lead-byte ranges as pairs of first and last byte, ended by a 0, 0 pair.
  uint8_t leadBytes[12] = {};

  bool DoubleByte() const { return leadBytes[0] != 0; }
  bool IsLeadByte(unsigned char b) const {
    for (int i = 0; i + 1 < 12 && leadBytes[i] != 0; i += 2)
      if (b >= leadBytes[i] && b <= leadBytes[i + 1]) return true;
    return false;
  }
  // Bytes of the character at text[at]: two for a lead byte with a trail
  // byte after it (trail bytes are never below 0x40 in the double-byte code
  // pages, so a line break is never taken for one), else one.
  size_t CharSize(const std::string& text, size_t at) const {
    return at + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[at])) &&
                   static_cast<unsigned char>(text[at + 1]) >= 0x40
               ? 2
               : 1;
  }
  // The most bytes a text of `chars` characters takes, with its terminator.
  size_t BytesFor(size_t chars) const {
    return chars * static_cast<size_t>(maxCharSize < 1 ? 1 : maxCharSize) + 1;
  }

  // Western European (1252), the default of the headless backend.
  static TAnsiCodePage Western() { return {}; }
  // Japanese (Shift-JIS, 932): lead bytes 0x81-0x9F and 0xE0-0xFC.
  static TAnsiCodePage Japanese() { return {932, 2, {0x81, 0x9F, 0xE0, 0xFC}}; }
};
