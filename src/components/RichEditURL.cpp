#include "components/RichEditURL.h"

#include <cctype>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

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
      OnURLClick(this, ReadSelection());
    } catch (...) {
      // A click on a link must never end in an error report; it is dropped.
    }
  }
  intptr_t result = TRichEdit::NotifyReflected(link);
  // The press was handled here: the control must not move the caret and so
  // lose the link's selection.
  return pressed ? 1 : result;
}

std::string WebAddressToOpen(const std::string& text, ILocale* locale) {
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) return {};
  }
  auto startsWith = [&](std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
  };
  std::string address;
  size_t host = 0;
  for (std::string_view scheme : {"http://", "https://", "ftp://"})
    if (startsWith(scheme)) {
      address = text;
      host = scheme.size();
      break;
    }
  if (address.empty()) {
    if (!startsWith("www.")) return {};
    address = "http://" + text;
    host = 7;
  }
  const std::string_view hostPart =
      std::string_view(address).substr(host, address.find_first_of("/?#", host) - host);
  if (hostPart.empty() || hostPart == "www." || hostPart.find("..") != std::string_view::npos)
    return {};
  for (size_t i = 0; i < hostPart.size(); ++i) {
    const auto u = static_cast<unsigned char>(hostPart[i]);
    if (locale && locale->IsLeadByte(u)) {
      ++i;  // its second byte, whatever it is, belongs to the character
      continue;
    }
    if (u == '\\') return {};
  }
  return address;
}
