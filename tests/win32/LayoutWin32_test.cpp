// The program's two forms, the main window and the settings dialog, as they
// open on the real Windows backend at the dpi the system gives their
// windows: each client area is its design size scaled from 96 dpi to the
// window's, every caption of a label, check box, radio button, push button
// and frame fits in its control in the control's own font, and no two shown
// controls of one parent lie over each other. scripts/check-layout runs
// these at 96, 120, 144 and 192 dpi and under Japanese.
//
// What a caption has of its control's client area, where Windows draws the
// parts around it:
//   - a label or panel: all of it;
//   - a check box or radio button: what its box and the gap to the text
//     leave. The box is the size of the default check mark, SM_CXMENUCHECK,
//     at the window's dpi (GetSystemMetricsForDpi; before Windows 10, the
//     system's metric scaled from the system's dpi), and never less than the
//     13 pixels at 96 dpi, scaled, that the buttons draw it at: the metric
//     follows the menu font, which is smaller under some locales (11 pixels
//     under Japanese) than the box drawn. The gap is not documented; the
//     buttons leave half the width of a '0' in their font, which this takes;
//   - a push button: what its 3-D edge (SM_CXEDGE) and the focus rectangle
//     inside it (SM_CXFOCUSBORDER) leave on each side, at the window's dpi;
//   - a frame (group box): the width less an average character at each end,
//     so that the frame's line shows on both sides of its caption; in
//     height, the room above the highest control inside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ScratchRegistry.h"
#include "ToolkitWin32World.h"
#include "app/Program.h"
#include "app/Unit1.h"
#include "platform/memory/VirtualClock.h"
#include "platform/win32/Win32LateBound.h"
#include "platform/win32/Win32Platform.h"
#include "settings/Unit2.h"
#include "toolkit/headless/HeadlessBackend.h"
#include "toolkit/win32/Win32Peer.h"

namespace {

// ---- the dpi and the metrics a window is laid out at ----

struct TDpiCalls {
  TWin32LibraryLoader loader;
  decltype(&::GetDpiForWindow) forWindow = nullptr;
  decltype(&::GetSystemMetricsForDpi) metricsForDpi = nullptr;
  TDpiCalls() {
    HMODULE_T user = GetModuleHandleA(LateBound::GetDpiForWindow.library);
    forWindow = Bind(loader, user, LateBound::GetDpiForWindow);
    metricsForDpi = Bind(loader, user, LateBound::GetSystemMetricsForDpi);
  }
  static const TDpiCalls& Get() {
    static const TDpiCalls calls;
    return calls;
  }
};

int ScreenLogPixels() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The dpi the system draws a window at: GetDpiForWindow where there is one
// (Windows 10 1607 on), else the screen's logical pixels.
int DpiOf(HWND window) {
  if (TDpiCalls::Get().forWindow)
    if (const UINT dpi = TDpiCalls::Get().forWindow(window); dpi > 0) return static_cast<int>(dpi);
  return ScreenLogPixels();
}

int MetricAt(int index, int dpi) {
  if (TDpiCalls::Get().metricsForDpi)
    return TDpiCalls::Get().metricsForDpi(index, static_cast<UINT>(dpi));
  return MulDiv(GetSystemMetrics(index), dpi, ScreenLogPixels());
}

// ---- what is measured ----

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// A control's window: the one its peer was made for (a combo box's edit
// field belongs to the combo box's peer but is not its window).
TWin32Peer* PeerOf(HWND window) {
  TWin32Peer* peer = TWin32Peer::FromWindow(window);
  return peer && Hwnd(peer->Handle()) == window ? peer : nullptr;
}

std::string NameOf(HWND window) {
  TWin32Peer* peer = PeerOf(window);
  if (peer && !peer->Control().Name().empty()) return peer->Control().Name();
  return "\"" + TextOf(window) + "\"";
}

BOOL CALLBACK AddControl(HWND window, LPARAM list) {
  if (PeerOf(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// Every control window of a form, frames' controls included, in the order
// Windows keeps them.
std::vector<HWND> ControlsOf(HWND form) {
  std::vector<HWND> found;
  EnumChildWindows(form, AddControl, reinterpret_cast<LPARAM>(&found));
  return found;
}

RECT ClientOf(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return r;
}

// A rectangle of a window in its parent's client coordinates.
RECT InParent(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// A caption measured as the control draws it: in the font the control was
// given, on one line, '&' marking the next letter unless the control shows
// it as it is.
struct TMeasured {
  int width = 0, height = 0;
  int halfZero = 0;  // half the width of a '0'
  int aveChar = 0;   // the font's average character width
};

TMeasured Measure(HWND window, const std::string& text, bool prefix) {
  TMeasured m;
  HDC dc = GetDC(window);
  auto font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | (prefix ? 0 : DT_NOPREFIX));
  m.width = r.right - r.left;
  m.height = r.bottom - r.top;
  INT zero = 0;
  GetCharWidth32A(dc, '0', '0', &zero);
  m.halfZero = zero / 2;
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  m.aveChar = tm.tmAveCharWidth;
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return m;
}

// ---- the checks; each finding is one line that names what is wrong ----

using TFindings = std::vector<std::string>;

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

// The top of the highest shown control inside a frame, in its client area;
// its whole height when it holds none.
int FirstControlTop(HWND frame) {
  int top = ClientOf(frame).bottom;
  for (HWND child = GetWindow(frame, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (IsWindowVisible(child)) top = std::min<int>(top, InParent(child).top);
  return top;
}

// a. and c.: every caption against the room its control has for it.
void CheckCaptions(const std::string& form, HWND formWindow, TFindings& findings) {
  for (HWND w : ControlsOf(formWindow)) {
    if (!IsWindowVisible(w)) continue;
    const std::string caption = TextOf(w);
    if (caption.empty()) continue;
    const std::string cls = ClassOf(w);
    const LONG style = GetWindowLongA(w, GWL_STYLE);
    const int dpi = DpiOf(w);
    const RECT client = ClientOf(w);
    int roomW = client.right, roomH = client.bottom;
    std::string parts;
    bool prefix = true;
    TMeasured m;
    if (lstrcmpiA(cls.c_str(), "Static") == 0) {
      prefix = (style & SS_NOPREFIX) == 0;
      m = Measure(w, caption, prefix);
      parts = Format("client %dx%d", roomW, roomH);
    } else if (lstrcmpiA(cls.c_str(), "Button") == 0) {
      m = Measure(w, caption, prefix);
      switch (style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: {
          const int box = std::max(MetricAt(SM_CXMENUCHECK, dpi), MulDiv(13, dpi, 96));
          roomW -= box + m.halfZero;
          parts = Format("client %dx%d less box %d and gap %d", client.right, client.bottom, box,
                         m.halfZero);
          break;
        }
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON: {
          const int x = MetricAt(SM_CXEDGE, dpi) + MetricAt(SM_CXFOCUSBORDER, dpi);
          const int y = MetricAt(SM_CYEDGE, dpi) + MetricAt(SM_CYFOCUSBORDER, dpi);
          roomW -= 2 * x;
          roomH -= 2 * y;
          parts = Format("client %dx%d less edge and focus line %d, %d on each side", client.right,
                         client.bottom, x, y);
          break;
        }
        case BS_GROUPBOX:
          roomW -= 2 * m.aveChar;
          roomH = FirstControlTop(w);
          parts = Format("client width %d less %d at each end; %d above the first control",
                         client.right, m.aveChar, roomH);
          break;
        default:
          continue;
      }
    } else {
      continue;
    }
    if (m.width > roomW)
      findings.push_back(Format("%s: %s \"%s\" is cut off: text %d px wide, room %d (%s) at %d dpi",
                                form.c_str(), NameOf(w).c_str(), caption.c_str(), m.width, roomW,
                                parts.c_str(), dpi));
    if (m.height > roomH)
      findings.push_back(Format("%s: %s \"%s\" is cut off: text %d px high, room %d (%s) at %d dpi",
                                form.c_str(), NameOf(w).c_str(), caption.c_str(), m.height, roomH,
                                parts.c_str(), dpi));
  }
}

// b. and c.: shown controls of one parent that lie over each other. A frame
// is the parent of what it holds, so only controls side by side are held
// against each other.
void CheckOverlaps(const std::string& form, HWND formWindow, TFindings& findings) {
  const std::vector<HWND> all = ControlsOf(formWindow);
  for (size_t i = 0; i < all.size(); ++i) {
    if (!IsWindowVisible(all[i])) continue;
    for (size_t j = i + 1; j < all.size(); ++j) {
      if (!IsWindowVisible(all[j]) || GetParent(all[i]) != GetParent(all[j])) continue;
      const RECT a = InParent(all[i]), b = InParent(all[j]);
      RECT both{};
      if (!IntersectRect(&both, &a, &b)) continue;
      findings.push_back(Format(
          "%s: %s \"%s\" (%ld,%ld)-(%ld,%ld) and %s \"%s\" (%ld,%ld)-(%ld,%ld) overlap by %ldx%ld",
          form.c_str(), NameOf(all[i]).c_str(), TextOf(all[i]).c_str(), a.left, a.top, a.right,
          a.bottom, NameOf(all[j]).c_str(), TextOf(all[j]).c_str(), b.left, b.top, b.right,
          b.bottom, both.right - both.left, both.bottom - both.top));
    }
  }
}

// d.: the client area against the design's, scaled by MulDiv to the dpi
// the window is at.
struct TSize {
  int width = 0, height = 0;
};

void CheckClientSize(const std::string& form, HWND window, TSize design, TFindings& findings) {
  const int dpi = DpiOf(window);
  const RECT client = ClientOf(window);
  const TSize expected{MulDiv(design.width, dpi, 96), MulDiv(design.height, dpi, 96)};
  std::printf("layout: %s at %d dpi: client %ldx%ld, design %dx%d scaled %dx%d\n", form.c_str(),
              dpi, client.right, client.bottom, design.width, design.height, expected.width,
              expected.height);
  // A form is made wider than that where its captions need more room in the
  // font it is drawn in (up to half as wide again), never narrower.
  if (client.right < expected.width || client.right > expected.width * 3 / 2 ||
      client.bottom != expected.height)
    findings.push_back(Format("%s: the client area is %ldx%ld at %d dpi; its design %dx%d is %dx%d",
                              form.c_str(), client.right, client.bottom, dpi, design.width,
                              design.height, expected.width, expected.height));
}

void Report(const TFindings& findings) {
  for (const std::string& f : findings) {
    std::printf("layout: %s\n", f.c_str());
    ADD_FAILURE() << f;
  }
  std::fflush(stdout);
}

// ---- the forms ----

// The design sizes, from models of the same forms made over a backend
// without windows, at 96 dpi, and never laid out for a screen: their
// designs applied as the application applies them, nothing more.
struct TDesignSizes {
  TSize main, settings;
};

TDesignSizes DesignSizes() {
  TVirtualClock clock;
  THeadlessBackend backend(clock);
  // The RAS monitor's design values need the RAS library; nothing else of
  // the system is reached.
  TWin32LibraryLoader libraries;
  TPlatform platform;
  platform.libraries = &libraries;
  TApplication app(backend, platform);
  backend.SetApplication(&app);
  auto* main = new TForm1(&app);
  main->BeginLoading();
  main->ApplyDesign();
  auto* settings = new TSettingsForm(&app, main->Link());
  settings->BeginLoading();
  settings->ApplyDesign();
  TDesignSizes sizes{{main->ClientWidth(), main->ClientHeight()},
                     {settings->ClientWidth(), settings->ClientHeight()}};
  delete settings;
  delete main;
  backend.SetApplication(nullptr);
  return sizes;
}

// The program as its entry makes it, on the real platform and backend, its
// settings in a scratch key: the main window shown, then the settings dialog.
struct TProgramWorld {
  TScratchRegistry registry;
  TWin32Platform platform;
  TRecordingWin32Backend backend;
  std::unique_ptr<TApplication> app;
  TQuindle q;

  TProgramWorld() {
    TPlatform seams = platform.Seams();
    seams.registry = &registry;
    app = std::make_unique<TApplication>(backend, seams);
    backend.SetApplication(app.get());
    q = CreateQuindle(*app);
    q.Form1->Show();
    q.SettingsForm->Show();
    backend.ProcessMessages();
    // What the captions are measured in, for the runs under other locales.
    HWND ok = Hwnd(q.SettingsForm->Button1->Handle());
    HDC dc = GetDC(ok);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(ok, WM_GETFONT, 0, 0)));
    // The face drawn, which a font replacement gives another name than the
    // one asked for.
    std::string face = "?";
    if (UINT size = GetOutlineTextMetricsA(dc, 0, nullptr); size > 0) {
      std::vector<char> buffer(size);
      auto* metrics = reinterpret_cast<OUTLINETEXTMETRICA*>(buffer.data());
      if (GetOutlineTextMetricsA(dc, size, metrics))
        face = buffer.data() + reinterpret_cast<uintptr_t>(metrics->otmpFaceName);
    }
    SelectObject(dc, old);
    ReleaseDC(ok, dc);
    std::printf("layout: ANSI code page %u; the controls' font is drawn with %s\n", GetACP(),
                face.c_str());
  }
  ~TProgramWorld() {
    app->DestroyForms();
    app.reset();
    backend.SetApplication(nullptr);
  }
  HWND Main() const { return Hwnd(q.Form1->Handle()); }
  HWND Settings() const { return Hwnd(q.SettingsForm->Handle()); }
};

// One program for the suite: its windows take Wine seconds to close.
class LayoutWin32 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    design_ = new TDesignSizes(DesignSizes());
    world_ = new TProgramWorld;
  }
  static void TearDownTestSuite() {
    delete world_;
    delete design_;
    world_ = nullptr;
    design_ = nullptr;
  }
  static TDesignSizes* design_;
  static TProgramWorld* world_;
};
TDesignSizes* LayoutWin32::design_ = nullptr;
TProgramWorld* LayoutWin32::world_ = nullptr;

TEST_F(LayoutWin32, TheMainWindowOpensAtItsDesignSizeScaledToItsDpi) {
  ASSERT_TRUE(IsWindowVisible(world_->Main()));
  TFindings findings;
  CheckClientSize("Form1", world_->Main(), design_->main, findings);
  Report(findings);
}

TEST_F(LayoutWin32, TheSettingsDialogOpensAtItsDesignSizeScaledToItsDpi) {
  ASSERT_TRUE(IsWindowVisible(world_->Settings()));
  TFindings findings;
  CheckClientSize("SettingsForm", world_->Settings(), design_->settings, findings);
  Report(findings);
}

TEST_F(LayoutWin32, EveryCaptionFitsItsControlInItsOwnFont) {
  TFindings findings;
  CheckCaptions("Form1", world_->Main(), findings);
  CheckCaptions("SettingsForm", world_->Settings(), findings);
  Report(findings);
}

TEST_F(LayoutWin32, NoTwoShownControlsOfOneParentOverlap) {
  TFindings findings;
  CheckOverlaps("Form1", world_->Main(), findings);
  CheckOverlaps("SettingsForm", world_->Settings(), findings);
  Report(findings);
}

// The checks themselves: a check box narrowed to its box alone and a label
// moved onto the button beside it are both found and named; the same label
// hidden is no longer held against the button. The dialog is put back
// afterwards.
TEST_F(LayoutWin32, TheChecksFindACaptionCutOffAndControlsLaidOverOneAnother) {
  TSettingsForm& s = *world_->q.SettingsForm;
  const HWND dialog = world_->Settings();
  const int miniWidth = s.MiniBox->Width();
  const int left = s.Label12->Left(), top = s.Label12->Top();
  s.MiniBox->SetWidth(MulDiv(13, DpiOf(dialog), 96));
  s.Label12->SetLeft(s.Button1->Left() + 2);
  s.Label12->SetTop(s.Button1->Top() + 2);
  world_->backend.ProcessMessages();
  TFindings captions, overlaps;
  CheckCaptions("SettingsForm", dialog, captions);
  CheckOverlaps("SettingsForm", dialog, overlaps);
  const auto count = [](const TFindings& list, const std::string& what) {
    return std::count_if(list.begin(), list.end(),
                         [&](const std::string& f) { return f.find(what) != std::string::npos; });
  };
  EXPECT_EQ(count(captions, "MiniBox \"Minimize on connected\" is cut off: text"), 1);
  EXPECT_EQ(count(overlaps, "Label12 \"from the log\""), 1);
  EXPECT_EQ(count(overlaps, "Button1 \"&OK\""), 1);
  s.Label12->SetVisible(false);
  world_->backend.ProcessMessages();
  overlaps.clear();
  CheckOverlaps("SettingsForm", dialog, overlaps);
  EXPECT_EQ(count(overlaps, "Label12"), 0);
  s.Label12->SetVisible(true);
  s.Label12->SetLeft(left);
  s.Label12->SetTop(top);
  s.MiniBox->SetWidth(miniWidth);
  world_->backend.ProcessMessages();
}

}  // namespace

// Windows' word that the window is now on a monitor of another scale (as a
// drag onto it brings): the window is laid out there, at the place Windows
// suggests, its fonts made for that scale, and it is its own layout again
// once back. Before the move Windows asks what size it will take there.
TEST_F(LayoutWin32, AMoveOntoAMonitorOfAnotherScaleLaysTheWindowOutThereAndBack) {
  HWND main = world_->Main();
  const int dpi = DpiOf(main);
  const int other = dpi == 96 ? 144 : 96;
  const RECT before = ClientOf(main);
  RECT outer{};
  GetWindowRect(main, &outer);
  HWND button = Hwnd(world_->q.Form1->ConButton->Handle());
  const auto fontHeight = [button] {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(button, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font.lfHeight;
  };
  const LONG fontBefore = fontHeight();

  SIZE asked{outer.right - outer.left, outer.bottom - outer.top};
  EXPECT_TRUE(SendMessageA(main, WM_GETDPISCALEDSIZE, other, reinterpret_cast<LPARAM>(&asked)));
  RECT suggested{outer.left + 40, outer.top + 30, outer.left + 40 + asked.cx,
                 outer.top + 30 + asked.cy};
  SendMessageA(main, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
  world_->backend.ProcessMessages();
  const RECT there = ClientOf(main);
  RECT placed{};
  GetWindowRect(main, &placed);
  EXPECT_EQ(there.right, MulDiv(design_->main.width, other, 96));
  EXPECT_EQ(there.bottom, MulDiv(design_->main.height, other, 96));
  EXPECT_EQ(placed.left, suggested.left);
  EXPECT_EQ(placed.top, suggested.top);
  EXPECT_EQ(fontHeight(), -MulDiv(8, other, 72));  // 8 points at that scale

  SendMessageA(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&outer));
  world_->backend.ProcessMessages();
  const RECT back = ClientOf(main);
  EXPECT_EQ(back.right, before.right);
  EXPECT_EQ(back.bottom, before.bottom);
  EXPECT_EQ(fontHeight(), fontBefore);
}
