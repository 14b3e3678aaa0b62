// TRichEditURL: the rich-text pane that shows web addresses in its text as
// links and reports a left-button press on one through OnURLClick.
#pragma once
#include <string>
#include "toolkit/RichEdit.h"

using TURLClickEvent = TEvent<TObject*, const std::string&>;

// The pane's text limit: the largest the platform documents for its edit
// controls. The control's own default (32,767 characters) would make it stop
// taking lines after a few hours of redials; its owner bounds it by lines.
constexpr int kURLPaneTextLimit = 0x7FFFFFFE;

class TRichEditURL : public TRichEdit {
 public:
  explicit TRichEditURL(TComponent* owner);

  TURLClickEvent OnURLClick;

  // Sets the text limit, switches link detection on and adds link notices to
  // the event mask; runs every time the control's window is made.
  void CreateWnd() override;
  intptr_t NotifyReflected(const TENLink& link) override;
};

// The address to hand to the shell's "open" verb for a clicked link, or ""
// when the link must not be opened. Only web pages are opened: http://,
// https:// and ftp:// addresses (any letter case) as they stand, and www.
// addresses as http:// followed by the address, because the shell tries a
// bare www. address as a file name first (a program of that name in the
// current folder would run). The host part (up to the first /, ? or #) must be
// there and hold no backslash and no "..", which would turn it into a path;
// blanks and control characters are refused anywhere. Anything else (file:,
// a program path, another protocol) is never opened.
//
// The text is in the ANSI code page. With the user's locale given, the second
// byte of a two-byte character is part of that character, not a backslash
// (in code page 932 many characters end in the byte 0x5C, so a Japanese host
// name may hold it); without it every 0x5C is taken for a backslash.
class ILocale;
std::string WebAddressToOpen(const std::string& text, ILocale* locale = nullptr);
