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

// True for text that is safe to hand to the shell's "open" verb as a web
// page: it begins with http://, https://, ftp:// or www. (any letter case),
// has something after that, and holds no blanks or control characters.
// Anything else (file:, a program path, another protocol) must not be opened.
bool IsWebAddress(const std::string& text);
