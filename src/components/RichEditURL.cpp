#include "components/RichEditURL.h"

#include <cctype>
#include <cstring>
#include <vector>

TRichEditURL::TRichEditURL(TComponent* owner) : TRichEdit(owner) {}

void TRichEditURL::CreateWnd() {
  TRichEdit::CreateWnd();
  LimitText(kURLPaneTextLimit);
  Perform(EM_AUTOURLDETECT_T, 1, 0);
  // Every notice the control already sends stays switched on.
  const auto mask = static_cast<uint32_t>(Perform(EM_GETEVENTMASK_T, 0, 0));
  Perform(EM_SETEVENTMASK_T, 0, static_cast<intptr_t>(mask | ENM_LINK_T));
}

intptr_t TRichEditURL::NotifyReflected(const TENLink& link) {
  bool pressed = false;
  if (link.code == EN_LINK_T && link.msg == WM_LBUTTONDOWN_T) {
    pressed = true;
    try {
      TCharRange range = link.chrg;
      Perform(EM_EXSETSEL_T, 0, reinterpret_cast<intptr_t>(&range));
      // The buffer is sized by the selection the control actually made.
      TCharRange selected;
      Perform(EM_EXGETSEL_T, 0, reinterpret_cast<intptr_t>(&selected));
      const int length = selected.cpMax > selected.cpMin ? selected.cpMax - selected.cpMin : 0;
      std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
      intptr_t copied = Perform(EM_GETSELTEXT_T, 0, reinterpret_cast<intptr_t>(buffer.data()));
      if (copied < 0) copied = 0;
      if (copied > length) copied = length;
      OnURLClick(this, std::string(buffer.data(), static_cast<size_t>(copied)));
    } catch (...) {
      // A click on a link must never end in an error report; it is dropped.
    }
  }
  intptr_t result = TRichEdit::NotifyReflected(link);
  // The press was handled here: the control must not move the caret and so
  // lose the link's selection.
  return pressed ? 1 : result;
}

bool IsWebAddress(const std::string& text) {
  static const char* const kPrefixes[] = {"http://", "https://", "ftp://", "www."};
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) return false;
  }
  for (const char* prefix : kPrefixes) {
    const size_t n = std::strlen(prefix);
    if (text.size() <= n) continue;
    bool same = true;
    for (size_t i = 0; i < n && same; ++i)
      same = std::tolower(static_cast<unsigned char>(text[i])) == prefix[i];
    if (same) return true;
  }
  return false;
}
