// Where the memory of a long run under Wine goes, one part of the program at
// a time: the working set (GetProcessMemoryInfo), the private bytes and the
// bytes in use in the process's heaps (HeapWalk over GetProcessHeaps: the
// process heap, where the system's libraries allocate, apart from the others,
// among them the C runtime's) as the part is exercised. Run it under Wine with
// a display and the simulated rasapi32.dll installed in the prefix.
//
//   growth_win.exe pane [lines]    the log pane (TRichEditURL on the Windows
//                                  backend) takes log lines, a figure every
//                                  1,000; past 10,000 lines the oldest go
//                                  down to 9,000 as the main window does
//   growth_win.exe raw [lines] [url|plain] [batch] [lines|long|vt] [options]
//                                  the same lines sent straight to a RichEdit
//                                  2.0 window (link detection on or off),
//                                  `batch` lines per EM_REPLACESEL; each line
//                                  a paragraph, or four times as long, or a
//                                  batch's lines one paragraph (soft breaks);
//                                  options: undo0 (no undo at all), text
//                                  (plain-text mode), wide (no wrapping)
//   growth_win.exe dial [dials]    dial and hang-up cycles through the
//                                  installed rasapi32.dll's exports, no
//                                  window; every fourth dial is turned down
//   growth_win.exe program [dials] [file|clear]
//                                  the whole program on the real platform
//                                  (settings in memory, logging on to the file
//                                  given): the line drops a second after it
//                                  comes up and is redialled; with "clear",
//                                  logging off and the pane emptied at each
//                                  figure, to see the rest of the program
//   growth_win.exe tray [frames]   the main window's notification icon
//                                  animating, as while a dial is in progress
//
// The phone book beside rasapi32.dll must hold an entry named "Growth" for
// dial and program (scripts: see bench/README.md).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/Program.h"
#include "app/Unit1.h"
#include "components/RichEditURL.h"
#include "platform/LibraryLoader.h"
#include "platform/memory/MemoryRegistry.h"
#include "platform/win32/Win32Platform.h"
#include "ras/RasTypes.h"
#include "toolkit/Application.h"
#include "toolkit/win32/Win32Backend.h"

// After the program's headers, whose methods its macros would rename.
#include <windows.h>
#define PSAPI_VERSION 2
#include <psapi.h>
#include <richedit.h>
#undef MessageBox
#undef LoadLibrary
#undef ShellExecute

namespace {

struct TMemoryFigures {
  size_t workingSetKb = 0;
  size_t privateKb = 0;
  size_t processHeapKb = 0;  // bytes in use in the process heap
  size_t processHeapBlocks = 0;
  size_t otherHeapsKb = 0;  // in the other heaps (the C runtime's among them)
  size_t otherHeapBlocks = 0;
};

void WalkHeap(HANDLE heap, size_t& bytes, size_t& blocks) {
  if (!HeapLock(heap)) return;
  PROCESS_HEAP_ENTRY entry;
  std::memset(&entry, 0, sizeof entry);
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
      bytes += entry.cbData;
      ++blocks;
    }
  }
  HeapUnlock(heap);
}

TMemoryFigures Measure() {
  TMemoryFigures f;
  PROCESS_MEMORY_COUNTERS counters;
  std::memset(&counters, 0, sizeof counters);
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    f.workingSetKb = counters.WorkingSetSize / 1024;
    f.privateKb = counters.PagefileUsage / 1024;
  }
  HANDLE heaps[64];
  DWORD n = GetProcessHeaps(64, heaps);
  size_t processBytes = 0, otherBytes = 0;
  for (DWORD i = 0; i < n && i < 64; ++i) {
    if (heaps[i] == GetProcessHeap())
      WalkHeap(heaps[i], processBytes, f.processHeapBlocks);
    else
      WalkHeap(heaps[i], otherBytes, f.otherHeapBlocks);
  }
  f.processHeapKb = processBytes / 1024;
  f.otherHeapsKb = otherBytes / 1024;
  return f;
}

TMemoryFigures first;

void Header(const char* unit) {
  std::printf("%10s %10s %10s %12s %10s %12s %10s\n", unit, "ws kB", "private kB", "proc.heap kB",
              "blocks", "other kB", "blocks");
  first = Measure();
}

void Row(long at) {
  TMemoryFigures f = Measure();
  std::printf("%10ld %10zu %10zu %12zu %10zu %12zu %10zu\n", at, f.workingSetKb, f.privateKb,
              f.processHeapKb, f.processHeapBlocks, f.otherHeapsKb, f.otherHeapBlocks);
  std::fflush(stdout);
}

void PerUnit(const char* unit, long units, const TMemoryFigures& from) {
  TMemoryFigures f = Measure();
  auto per = [&](size_t a, size_t b) {
    return (static_cast<double>(a) - static_cast<double>(b)) / static_cast<double>(units);
  };
  std::printf(
      "per %s over %ld: working set %+.2f kB, private %+.2f kB, process heap %+.2f kB "
      "(%+.2f blocks), other heaps %+.2f kB (%+.2f blocks)\n",
      unit, units, per(f.workingSetKb, from.workingSetKb), per(f.privateKb, from.privateKb),
      per(f.processHeapKb, from.processHeapKb), per(f.processHeapBlocks, from.processHeapBlocks),
      per(f.otherHeapsKb, from.otherHeapsKb), per(f.otherHeapBlocks, from.otherHeapBlocks));
  std::fflush(stdout);
}

// Lines as a dial writes them to the pane (a connected dial and its drop).
const char* const kDialLines[] = {
    "Connection attempt #1 (4:01:09 PM)",
    "Opening port",
    "Port opened",
    "Connecting device",
    "Device connected",
    "Verifying user name and password..",
    "Authenticated",
    "Connected 4:01:13 PM (12/8/2026)",
    "Disconnected 4:03:13 PM (12/8/2026)",
};
constexpr int kDialLineCount = sizeof kDialLines / sizeof kDialLines[0];

class TQuietBackend : public TWin32Backend {
 public:
  int MessageBox(TWindowHandle, const std::string& text, const std::string&, unsigned) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return 1;
  }
};

void PumpFor(TWin32Backend& backend, unsigned ms) {
  bool expired = false;
  uintptr_t limit = backend.StartTimer(ms, [&] { expired = true; });
  backend.RunUntil([&] { return expired; });
  backend.StopTimer(limit);
}

// ---- the log pane through the toolkit --------------------------------------

// A window with the main window's log pane, made as the main window makes it.
class TPaneForm : public TForm {
 public:
  explicit TPaneForm(TComponent* owner) : TForm(owner) {
    pane = new TRichEditURL(this);
    pane->SetName("Memo1");
    pane->SetParent(this);
    pane->SetBounds(0, 41, 237, 136);
    pane->SetReadOnly(true);
    pane->SetScrollBars(ssVertical);
    pane->SetColor(clBtnFace);
    pane->SetFont(Font());
  }
  TRichEditURL* pane;
};

int Pane(long lines) {
  TQuietBackend backend;
  TApplication app(backend, TPlatform{});
  app.SetTitle("growth");
  backend.SetApplication(&app);
  auto* form = app.CreateForm<TPaneForm>();
  TRichEditURL* pane = form->pane;
  form->Show();
  app.ProcessMessages();
  if (!pane->Handle()) {
    std::fprintf(stderr, "the pane has no window\n");
    return 1;
  }
  Header("lines");
  Row(0);
  TMemoryFigures at1000;
  auto since = std::chrono::steady_clock::now();
  for (long i = 1; i <= lines; ++i) {
    pane->AddLine(kDialLines[i % kDialLineCount]);
    if (pane->LineCount() > 10000) {
      pane->DropOldestLines(pane->LineCount() - 9000);
      std::printf("(dropped to %d lines)\n", pane->LineCount());
    }
    if (i % 1000 == 0) {
      app.ProcessMessages();
      const auto now = std::chrono::steady_clock::now();
      // The time includes the line count the main window reads after each line.
      std::printf("(the last 1,000 lines took %.0f ms)\n",
                  std::chrono::duration<double, std::milli>(now - since).count());
      since = now;
      Row(i);
      if (i == 1000) at1000 = Measure();
    }
  }
  if (lines > 1000) PerUnit("line from line 1000", std::min(lines, 10000L) - 1000, at1000);
  std::printf("pane lines at the end: %d\n", pane->LineCount());
  app.DestroyForms();
  backend.SetApplication(nullptr);
  return 0;
}

// ---- the same lines straight to a RichEdit 2.0 window ----------------------

// `shape`: "lines" (each line a paragraph, as the pane has them), "long"
// (each line four times as long) or "vt" (a batch's lines one paragraph, the
// lines within it ended by soft line breaks, VT).
// `options`: "undo0" (EM_SETUNDOLIMIT 0 first), "text" (plain-text mode,
// EM_SETTEXTMODE TM_PLAINTEXT, while the control is empty), "wide" (a window
// 1,000 pixels wide: no line wraps), comma-separated.
int Raw(long lines, bool url, int batch, const std::string& shape, const std::string& options) {
  LoadLibraryA("riched20.dll");
  HWND w = CreateWindowExA(
      WS_EX_CLIENTEDGE, RICHEDIT_CLASSA, "",
      WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
      0, 0, options.find("wide") != std::string::npos ? 1000 : 240, 140, nullptr, nullptr,
      GetModuleHandleA(nullptr), nullptr);
  if (!w) return 1;
  if (options.find("text") != std::string::npos &&
      SendMessageA(w, EM_SETTEXTMODE, TM_PLAINTEXT, 0) != 0)
    std::fprintf(stderr, "plain-text mode refused\n");
  if (options.find("undo0") != std::string::npos) SendMessageA(w, EM_SETUNDOLIMIT, 0, 0);
  SendMessageA(w, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
  if (url) SendMessageA(w, EM_AUTOURLDETECT, 1, 0);
  Header("lines");
  Row(0);
  TMemoryFigures at1000;
  std::string piece;
  int inPiece = 0;
  for (long i = 1; i <= lines; ++i) {
    const bool last = inPiece + 1 == batch || i % 1000 == 0;
    for (int r = 0; r < (shape == "long" ? 4 : 1); ++r) piece += kDialLines[i % kDialLineCount];
    piece += shape == "vt" && !last ? "\v" : "\r\n";
    if (++inPiece == batch || i % 1000 == 0) {
      CHARRANGE end{-1, -1};
      SendMessageA(w, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
      SendMessageA(w, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
      piece.clear();
      inPiece = 0;
    }
    const LRESULT count = SendMessageA(w, EM_GETLINECOUNT, 0, 0) - 1;
    if (count > 10000) {
      LRESULT cut = SendMessageA(w, EM_LINEINDEX, count - 9000, 0);
      CHARRANGE head{0, static_cast<LONG>(cut)};
      SendMessageA(w, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&head));
      SendMessageA(w, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
      std::printf("(dropped to %ld lines)\n",
                  static_cast<long>(SendMessageA(w, EM_GETLINECOUNT, 0, 0) - 1));
    }
    if (i % 1000 == 0) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      Row(i);
      if (i == 1000) at1000 = Measure();
    }
  }
  if (lines > 1000) PerUnit("line from line 1000", std::min(lines, 10000L) - 1000, at1000);
  DestroyWindow(w);
  Row(-1);
  return 0;
}

// ---- dials through the installed library's exports ------------------------

HANDLE ended = nullptr;
volatile LONG lastState = 0;
volatile LONG lastError = 0;

void RASAPI_CALL Notifier(uint32_t, RASCONNSTATE state, uint32_t error) {
  lastState = static_cast<LONG>(state);
  lastError = static_cast<LONG>(error);
  if (error != 0 || state == RASCS_Connected) SetEvent(ended);
}

int Dial(long dials) {
  HMODULE ras = LoadLibraryA("rasapi32.dll");
  if (!ras) return 1;
  auto proc = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(ras, name)); };
  auto dial = ProcAs<RasDialA_t>(proc("RasDialA"));
  auto hangUp = ProcAs<RasHangUpA_t>(proc("RasHangUpA"));
  auto status = ProcAs<RasGetConnectStatusA_t>(proc("RasGetConnectStatusA"));
  if (!dial || !hangUp || !status) return 1;
  ended = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  Header("dials");
  Row(0);
  TMemoryFigures at20;
  long connected = 0, failed = 0;
  for (long i = 1; i <= dials; ++i) {
    RASDIALPARAMSA params;
    std::memset(&params, 0, sizeof params);
    params.dwSize = sizeof params;
    std::strcpy(params.szEntryName, "Growth");
    HRASCONN conn = 0;
    ResetEvent(ended);
    uint32_t r = dial(nullptr, nullptr, &params, 0, reinterpret_cast<void*>(&Notifier), &conn);
    if (r != 0) {
      std::fprintf(stderr, "RasDialA: %u\n", r);
      return 1;
    }
    if (WaitForSingleObject(ended, 10000) != WAIT_OBJECT_0) {
      std::fprintf(stderr, "no end to dial %ld\n", i);
      return 1;
    }
    (lastError ? failed : connected) += 1;
    hangUp(conn);
    // As the program does: the handle is waited for until it is gone.
    for (int t = 0; t < 1000; ++t) {
      RASCONNSTATUSA s;
      std::memset(&s, 0, sizeof s);
      s.dwSize = sizeof s;
      if (status(conn, &s) != 0) break;
      Sleep(5);
    }
    if (i % 20 == 0) {
      Row(i);
      if (i == 20) at20 = Measure();
    }
  }
  std::printf("%ld connected, %ld turned down\n", connected, failed);
  if (dials > 20) PerUnit("dial from dial 20", dials - 20, at20);
  return 0;
}

// ---- the whole program ---------------------------------------------------

// `logFile` "clear": logging off, and the pane emptied at every row, so that
// what grows is the rest of the program.
int Program(long dials, std::string logFile) {
  const bool clear = logFile == "clear";
  if (clear) logFile.clear();
  TWin32LibraryLoader::RestrictDefaultSearch();
  TWin32Platform real;
  TMemoryRegistry registry;
  registry.MakeKey("HKCU\\SOFTWARE");
  registry.MakeKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  const std::string key = "HKCU\\SOFTWARE\\Quindle";
  registry.PutDword(key, "AutoCon", 1);
  registry.PutDword(key, "AutoRecon", 1);
  registry.PutDword(key, "RetryInt", 1000);
  registry.PutDword(key, "AttempsInt", 100000);
  registry.PutDword(key, "LogEnabled", logFile.empty() ? 0 : 1);
  if (!logFile.empty()) registry.PutString(key, "LogFile", logFile);
  TPlatform platform = real.Seams();
  platform.registry = &registry;
  TQuietBackend backend;
  TApplication app(backend, platform);
  backend.SetApplication(&app);
  TQuindle q = CreateQuindle(app);
  TForm1& f = *q.Form1;
  f.Show();
  app.ProcessMessages();
  long dialsSeen = 0;
  auto dialing = f.DialUp1->OnDialing;
  f.DialUp1->OnDialing = [&](TObject* s) {
    ++dialsSeen;
    dialing(s);
  };
  Header("dials");
  Row(0);
  TMemoryFigures at20;
  long reported = 0;
  const auto start = std::chrono::steady_clock::now();
  while (dialsSeen < dials) {
    PumpFor(backend, 250);
    if (dialsSeen >= reported + 20) {
      reported = dialsSeen - dialsSeen % 20;
      if (clear) {
        f.Memo1->ClearLines();
        app.ProcessMessages();
      }
      Row(dialsSeen);
      std::printf("           pane lines %d, %.0f s\n", f.Memo1->LineCount(),
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      if (reported == 20) at20 = Measure();
    }
  }
  if (dials > 20) PerUnit("dial from dial 20", dialsSeen - 20, at20);
  std::printf("pane lines at the end: %d\n", f.Memo1->LineCount());
  std::fflush(stdout);
  ExitProcess(0);
}

// ---- the notification icon's animation -------------------------------------

// The real shell, counting the icon records it takes and refuses.
class TCountingShell : public IShell {
 public:
  explicit TCountingShell(IShell& real) : real_(real) {}
  bool NotifyIcon(uint32_t message, const void* record) override {
    const bool ok = real_.NotifyIcon(message, record);
    ++(ok ? taken : refused);
    return ok;
  }
  intptr_t ShellExecute(uintptr_t parent, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& directory,
                        int show) override {
    return real_.ShellExecute(parent, verb, file, parameters, directory, show);
  }
  bool FileVersion(const std::string& path, TFixedFileVersion& info) override {
    return real_.FileVersion(path, info);
  }
  std::string LocalAppDataFolder() override { return real_.LocalAppDataFolder(); }
  long taken = 0, refused = 0;

 private:
  IShell& real_;
};

int Tray(long frames) {
  TWin32LibraryLoader::RestrictDefaultSearch();
  TWin32Platform real;
  TMemoryRegistry registry;
  registry.MakeKey("HKCU\\SOFTWARE");
  registry.MakeKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  TCountingShell shell(real.shell);
  TPlatform platform = real.Seams();
  platform.registry = &registry;
  platform.shell = &shell;
  TQuietBackend backend;
  TApplication app(backend, platform);
  backend.SetApplication(&app);
  TQuindle q = CreateQuindle(app);
  TForm1& f = *q.Form1;
  f.Show();
  app.ProcessMessages();
  // As a dial starts: the dialling frames, in turn (here every 10 ms).
  f.TrayIcon->SetActive(true);
  f.TrayIcon->SetImageList(f.AniList);
  f.TrayIcon->SetInterval(10);
  f.TrayIcon->SetAnimate(true);
  // Rows by the icon records the shell has taken (a frame each), every 5 s.
  Header("frames");
  Row(0);
  PumpFor(backend, 5000);
  Row(shell.taken);
  const TMemoryFigures atFirst = Measure();
  const long firstFrames = shell.taken;
  while (shell.taken < frames) {
    PumpFor(backend, 5000);
    Row(shell.taken);
  }
  std::printf("icon records refused: %ld\n", shell.refused);
  PerUnit("frame after the first 5 s", shell.taken - firstFrames, atFirst);
  std::fflush(stdout);
  ExitProcess(0);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "pane";
  const long n = argc > 2 ? std::atol(argv[2]) : 0;
  if (mode == "pane") return Pane(n > 0 ? n : 12000);
  if (mode == "raw")
    return Raw(n > 0 ? n : 12000, !(argc > 3 && std::strcmp(argv[3], "plain") == 0),
               argc > 4 ? std::max(1, std::atoi(argv[4])) : 1, argc > 5 ? argv[5] : "lines",
               argc > 6 ? argv[6] : "");
  if (mode == "dial") return Dial(n > 0 ? n : 200);
  if (mode == "program") return Program(n > 0 ? n : 100, argc > 3 ? argv[3] : "");
  if (mode == "tray") return Tray(n > 0 ? n : 5000);
  std::fprintf(stderr, "usage: growth_win.exe pane|raw|dial|program|tray [n]\n");
  return 2;
}
