#include "toolkit/Controls.h"

#include <algorithm>

#include "platform/Assert.h"

int ScaleForDpi(int value, int dpi, int from) {
  if (from <= 0 || dpi == from) return value;
  const int64_t product = static_cast<int64_t>(value) * dpi;
  const int64_t half = from / 2;
  return static_cast<int>(product >= 0 ? (product + half) / from : (product - half) / from);
}

int FontHeightForDpi(int designHeight, int dpi) {
  if (dpi == kDesignDpi) return designHeight;
  const int points = ScaleForDpi(designHeight < 0 ? -designHeight : designHeight, 72);
  const int height = ScaleForDpi(points, dpi, 72);
  return designHeight < 0 ? -height : height;
}

// ---- TControl ----

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  if (parent_) parent_->RemoveChild(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  if (parent_) parent_->RemoveChild(this);
  parent_ = parent;
  if (parent_) parent_->AddChild(this);
  // A control takes the scale of the parent it joins.
  if (parent_) ScaleTo(parent_->Dpi(), parent_->Widen());
}

IFormHost* TControl::FormHost() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (IFormHost* host = c->AsFormHost()) return host;
  return nullptr;
}

namespace {
// The window manager keeps a window's place within 16 bits: it clamps the
// edges to -32768..32767 and the extents to 0..32767 before it moves one
// (its position messages carry them as signed words). The model clamps
// alike, so that a stored place of any size lands where Windows would put
// it and the sums of edges and extents below cannot overflow.
constexpr int kLeastEdge = -32768;
constexpr int kMostEdge = 32767;
void ClampToWindowRange(int& left, int& top, int& width, int& height) {
  left = std::clamp(left, kLeastEdge, kMostEdge);
  top = std::clamp(top, kLeastEdge, kMostEdge);
  width = std::clamp(width, 0, kMostEdge);
  height = std::clamp(height, 0, kMostEdge);
}
}  // namespace

void TControl::SetBounds(int left, int top, int width, int height) {
  ClampToWindowRange(left, top, width, height);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  // The edges scale, not the extents, so that controls that meet in the
  // design still meet at every scale.
  design_.left = UnscaledX(left);
  design_.top = Unscaled(top);
  design_.width = UnscaledX(left + width) - design_.left;
  design_.height = Unscaled(top + height) - design_.top;
  SetScaledBounds(left, top, width, height);
}

void TControl::SetScaledBounds(int left, int top, int width, int height) {
  ClampToWindowRange(left, top, width, height);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Notify(TPeerChange::Bounds);
}

void TControl::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  Notify(TPeerChange::Caption);
}

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Notify(TPeerChange::Enabled);
}

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  Notify(TPeerChange::Visible);
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TControl::ScaleTo(int dpi, int widen) {
  if (dpi <= 0 || widen <= 0 || (dpi == dpi_ && widen == widen_)) return;
  dpi_ = dpi;
  widen_ = widen;
  ApplyScale();
}

void TControl::ApplyScale() {
  const int left = ScaledX(design_.left), top = Scaled(design_.top);
  SetScaledBounds(left, top, ScaledX(design_.left + design_.width) - left,
                  Scaled(design_.top + design_.height) - top);
  ScaleFont();
}

void TControl::ScaleFont() {
  if (const int height = FontHeightForDpi(designFontHeight_, dpi_); height != font_.height) {
    font_.height = height;
    Notify(TPeerChange::Font);
  }
}

void TControl::SetFont(const TFont& font) {
  if (font == font_) return;
  designFontHeight_ = Unscaled(font.height);
  font_ = font;
  Notify(TPeerChange::Font);
}

void TControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Notify(TPeerChange::Color);
}

void TControl::Click() {
  OnClick(this);
}

void TControl::Repaint() {
  Notify(TPeerChange::Repaint);
}

void TControl::CreateHandles() {
  peer_ = Backend().CreatePeer(*this);
  // A control's window is made inside its parent's: the parent has its
  // window first (a backend gives no peer to a control whose parent has none).
  QUINDLE_ASSERT(!Handle() || !parent_ || parent_->Handle());
  CreateWnd();
}

intptr_t TControl::Perform(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (peer_) return peer_->Perform(message, wParam, lParam);
  return EmulateMessage(message, wParam, lParam);
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // Children owned elsewhere outlive their parent only as orphans.
  for (TControl* c : std::vector<TControl*>(children_)) c->SetParent(nullptr);
}

void TWinControl::AddChild(TControl* c) {
  children_.push_back(c);
}

void TWinControl::RemoveChild(TControl* c) {
  children_.erase(std::remove(children_.begin(), children_.end(), c), children_.end());
  IFormHost* form = FormHost();
  if (form && form->ActiveControl() == c) form->SetActiveControl(nullptr);
}

int TWinControl::TabOrder() const {
  if (!Parent()) return 0;
  int order = 0;
  for (TControl* c : Parent()->Controls()) {
    if (c == this) return order;
    if (dynamic_cast<TWinControl*>(c)) ++order;
  }
  return order;
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Enabled()) return false;
  return Visible();
}

void TWinControl::SetFocus() {
  // A control that cannot take the focus (disabled, or its window hidden in
  // the notification area) is simply left alone.
  if (!CanFocus()) return;
  IFormHost* form = FormHost();
  if (form && !AsFormHost()) form->SetActiveControl(this);
  Notify(TPeerChange::Focus);
}

bool TWinControl::Focused() const {
  IFormHost* form = FormHost();
  return form && !AsFormHost() && form->ActiveControl() == this;
}

bool TWinControl::KeyDown(WORD_T& key, TShiftState shift) {
  IFormHost* form = FormHost();
  if (form && !AsFormHost() && !WantsKey(key) && form->PreviewKeyDown(key, shift) && key == 0)
    return false;
  OnKeyDown(this, key, shift);
  return key != 0;
}

namespace {
// The key whose character this is, when the dialog keys take that key.
WORD_T DialogKeyOf(char c) {
  switch (c) {
    case '\t':
      return VK_TAB_T;
    case '\r':
      return VK_RETURN_T;
    case '\x1b':
      return VK_ESCAPE_T;
    default:
      return 0;
  }
}
}  // namespace

bool TWinControl::KeyPress(char& key) {
  // A dialog takes these keys at their key-down and makes no character of
  // them. A control whose window is made but no longer on screen takes no
  // character at all: the focus cannot be there, so it is one left over
  // from a key whose key-down closed the dialog.
  IFormHost* form = FormHost();
  if (form && form->HostWindowMade() && !Showing()) return false;
  if (WORD_T vk = DialogKeyOf(key); vk && !WantsKey(vk)) return false;
  if (form && !AsFormHost() && form->PreviewKeyPress(key) && key == 0) return false;
  OnKeyPress(this, key);
  return key != 0;
}

bool TWinControl::DialogKey(WORD_T key, TShiftState shift) {
  IFormHost* form = FormHost();
  return form && !WantsKey(key) && form->DialogKey(*this, key, shift);
}

bool TWinControl::TypeKey(WORD_T key, TShiftState shift) {
  if (!KeyDown(key, shift)) return false;
  if (!peer_ && !DialogKey(key, shift)) DefaultKeyDown(key, shift);
  return true;
}

void TWinControl::TypeChar(char c) {
  if (KeyPress(c) && !peer_) DefaultKeyPress(c);
}

void TWinControl::TypeText(const std::string& text) {
  for (char c : text) TypeChar(c);
}

void TWinControl::CreateHandles() {
  TControl::CreateHandles();
  CreateChildHandles();
}

void TWinControl::CreateChildHandles() {
  for (TControl* c : std::vector<TControl*>(children_)) c->CreateHandles();
}

void TWinControl::ApplyScale() {
  TControl::ApplyScale();
  ScaleChildren();
}

void TWinControl::ScaleChildren() {
  for (TControl* c : std::vector<TControl*>(children_)) c->ScaleTo(Dpi(), Widen());
}

void TWinControl::Change() {
  OnChange(this);
}

// ---- simple controls ----

TLabel::TLabel(TComponent* owner) : TControl(owner) {}
TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
  SetTabStop(false);
}
TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) {
  SetTabStop(false);
}

TButton::TButton(TComponent* owner) : TWinControl(owner) {}

void TButton::SetDefault(bool v) {
  if (v == default_) return;
  default_ = v;
  Notify(TPeerChange::Default);
}

void TButton::Click() {
  if (!Enabled()) return;
  if (modalResult_ != mrNone)
    if (IFormHost* f = FormHost()) f->SetModalResult(modalResult_);
  TControl::Click();
}

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {}

void TCheckBox::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  Notify(TPeerChange::Checked);
  TControl::Click();
}

void TCheckBox::Click() {
  if (Enabled()) SetChecked(!checked_);
}

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {}

void TRadioButton::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  Notify(TPeerChange::Checked);
  if (!value) return;
  if (Parent())
    for (TControl* c : std::vector<TControl*>(Parent()->Controls()))
      if (auto* r = dynamic_cast<TRadioButton*>(c); r && r != this) r->SetChecked(false);
  TControl::Click();
}

void TRadioButton::Click() {
  if (Enabled()) SetChecked(true);
}

// ---- TEdit ----

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetColor(clWindow);
}

void TEdit::SetText(const std::string& text) {
  SetCaption(text);
}

void TEdit::SetCaption(const std::string& caption) {
  if (caption == Caption()) return;
  TControl::SetCaption(caption);
  selStart_ = static_cast<int>(caption.size());
  selLength_ = 0;
  Notify(TPeerChange::Text);
  Change();
}

void TEdit::TextFromPeer(const std::string& text) {
  if (text == Caption()) return;
  // Stored without echoing back to the native control that sent it.
  auto peer = std::move(peer_);
  TControl::SetCaption(text);
  peer_ = std::move(peer);
  Change();
}

void TEdit::SetPasswordChar(char c) {
  if (c == passwordChar_) return;
  passwordChar_ = c;
  Notify(TPeerChange::PasswordChar);
}

void TEdit::SetMaxLength(int n) {
  if (n == maxLength_) return;
  maxLength_ = n;
  Notify(TPeerChange::MaxLength);
}

void TEdit::SetReadOnly(bool v) {
  if (v == readOnly_) return;
  readOnly_ = v;
  Notify(TPeerChange::ReadOnly);
}

void TEdit::SetSelStart(int v) {
  int len = static_cast<int>(Caption().size());
  selStart_ = std::clamp(v, 0, len);
  selLength_ = std::min(selLength_, len - selStart_);
  Notify(TPeerChange::Selection);
}

void TEdit::SetSelLength(int v) {
  selLength_ = std::clamp(v, 0, static_cast<int>(Caption().size()) - selStart_);
  Notify(TPeerChange::Selection);
}

void TEdit::SelectAll() {
  selStart_ = 0;
  selLength_ = static_cast<int>(Caption().size());
  Notify(TPeerChange::Selection);
}

void TEdit::Paste() {
  if (readOnly_) return;
  std::string text = Backend().ClipboardText();
  // A one-line field takes the first line.
  if (size_t end = text.find_first_of("\r\n"); end != std::string::npos) text.resize(end);
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 32) continue;
    if (KeyPress(c)) DefaultKeyPress(c);
  }
}

void TEdit::Copy() {
  if (passwordChar_ || selLength_ <= 0) return;
  Backend().SetClipboardText(
      Caption().substr(static_cast<size_t>(selStart_), static_cast<size_t>(selLength_)));
}

void TEdit::Cut() {
  if (passwordChar_ || readOnly_ || selLength_ <= 0) return;
  Copy();
  DefaultKeyDown(VK_DELETE_T, 0);
}

bool TEdit::ClipboardKey(char key) {
  switch (key) {
    case 0x03:  // Ctrl+C
      Copy();
      return true;
    case 0x16:  // Ctrl+V
      Paste();
      return true;
    case 0x18:  // Ctrl+X
      Cut();
      return true;
    default:
      return false;
  }
}

void TEdit::DefaultKeyDown(WORD_T key, TShiftState shift) {
  int len = static_cast<int>(Caption().size());
  switch (key) {
    case VK_LEFT_T:
      SetSelStart(selStart_ - 1);
      break;
    case VK_RIGHT_T:
      SetSelStart(selStart_ + 1);
      break;
    case VK_HOME_T:
      SetSelStart(0);
      break;
    case VK_END_T:
      SetSelStart(len);
      break;
    case VK_DELETE_T:
      if (!readOnly_ && (selLength_ > 0 || selStart_ < len)) {
        std::string t = Caption();
        int start = selStart_;
        t.erase(static_cast<size_t>(start), static_cast<size_t>(selLength_ > 0 ? selLength_ : 1));
        SetText(t);
        SetSelStart(start);
      }
      break;
    default:
      break;
  }
}

void TEdit::DefaultKeyPress(char key) {
  if (ClipboardKey(key) || readOnly_) return;
  std::string t = Caption();
  int start = selStart_;
  if (key == '\b') {
    if (selLength_ > 0) {
      t.erase(static_cast<size_t>(start), static_cast<size_t>(selLength_));
    } else if (start > 0) {
      t.erase(static_cast<size_t>(--start), 1);
    } else {
      return;
    }
  } else if (static_cast<unsigned char>(key) >= 32) {
    t.erase(static_cast<size_t>(start), static_cast<size_t>(selLength_));
    if (maxLength_ > 0 && static_cast<int>(t.size()) >= maxLength_) return;
    t.insert(static_cast<size_t>(start++), 1, key);
  } else {
    return;
  }
  SetText(t);
  SetSelStart(start);
}

// ---- TComboBox ----

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
  SetColor(clWindow);
  items_.onChange = [this] {
    if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
    Notify(TPeerChange::Items);
  };
}

void TComboBox::SetItemIndex(int index) {
  if (index < 0 || index >= items_.Count()) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  Notify(TPeerChange::ItemIndex);
}

std::string TComboBox::Text() const {
  return itemIndex_ >= 0 && itemIndex_ < items_.Count() ? items_.Get(itemIndex_) : std::string();
}

void TComboBox::Select(int index) {
  SetItemIndex(index);
  Change();
}

bool TComboBox::DroppedDown() {
  return Perform(CB_GETDROPPEDSTATE_T, 0, 0) != 0;
}

void TComboBox::SetDroppedDown(bool open) {
  Perform(CB_SHOWDROPDOWN_T, open ? 1 : 0, 0);
}

void TComboBox::CloseUp(bool choose, int highlighted) {
  droppedDown_ = false;
  highlighted_ = -1;
  if (choose && highlighted != itemIndex_ && highlighted >= 0 && highlighted < items_.Count())
    Select(highlighted);
  else
    Notify(TPeerChange::ItemIndex);  // the list shows the choice made before
}

bool TComboBox::WantsKey(WORD_T key) {
  return (key == VK_ESCAPE_T || key == VK_RETURN_T) && DroppedDown();
}

intptr_t TComboBox::EmulateMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case CB_GETDROPPEDSTATE_T:
      return droppedDown_ ? 1 : 0;
    case CB_SHOWDROPDOWN_T:
      if (style_ == csSimple) return 1;
      if (wParam && !droppedDown_) {
        droppedDown_ = true;
        highlighted_ = itemIndex_;
      } else if (!wParam && droppedDown_) {
        CloseUp(false, -1);
      }
      return 1;
    default:
      return 0;
  }
}

void TComboBox::DefaultKeyDown(WORD_T key, TShiftState shift) {
  const int count = items_.Count();
  switch (key) {
    case VK_F4_T:
      SetDroppedDown(!droppedDown_);
      return;
    case VK_UP_T:
    case VK_DOWN_T: {
      if ((shift & ssAlt) != 0) {
        SetDroppedDown(!droppedDown_);
        return;
      }
      const int step = key == VK_DOWN_T ? 1 : -1;
      if (count == 0) return;
      if (droppedDown_) {
        highlighted_ = std::clamp(highlighted_ + step, 0, count - 1);
      } else {
        int next = std::clamp(itemIndex_ + step, 0, count - 1);
        if (next != itemIndex_) Select(next);
      }
      return;
    }
    case VK_RETURN_T:
    case VK_ESCAPE_T:
      if (droppedDown_) CloseUp(key == VK_RETURN_T, highlighted_);
      return;
    default:
      return;
  }
}
