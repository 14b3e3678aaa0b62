// A month of failed redials: the whole program with the simulated RAS
// service on the virtual clock, an entry whose every dial fails, automatic
// redial every 3 s with attempts enough for the month, and logging on to a
// real file. Prints, at points through the month, the pane's line count and
// text size and the heap in use, so that it shows whether they stay flat once
// the pane's bound is reached; checks at the end that the file holds every
// line the pane showed, once, in order, byte for byte, and that the pane still
// shows the newest attempt (OK or FAIL); prints the wall time.
//
// With --refused the log's folder refuses the user for the whole run (as
// Program Files does) and takes the file again at its end: the lines the file
// is owed wait in their bounded backlog, the oldest going past its bound, and
// the check is then that the file holds, after its header, the line that
// counts the lost lines and then exactly the newest lines shown, as many as
// the backlog held, and that the lost and the written add up to every line.
//
// Build it without sanitizers for the figures (scripts/bench does):
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/bench --target pane_month_native
//   build/bench/pane_month_native [days] [folder] [--refused]
//   (defaults: 30 days, a temporary folder)
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <deque>
#include <string>
#include <vector>

#include "app/LogBacklog.h"
#include "unit/QuindleWorld.h"

namespace {

constexpr int64_t kHour = 3600LL * 1000;

// Every line added to the pane, read from its text as it grew before the
// change handler runs (and drops), written to a file of its own: what the
// log file must hold after its header block.
class TExpectedLines {
 public:
  TExpectedLines(TForm1& form, const std::string& path) : out_(path, std::ios::binary) {
    TRichEditURL* pane = form.Memo1;
    TNotifyEvent change = pane->OnChange;
    pane->OnChange = [this, pane, change](TObject* sender) {
      const std::string& text = pane->Text();
      for (size_t at = seen_, end; (end = text.find("\r\n", at)) != std::string::npos;
           at = end + 2) {
        out_.write(text.data() + at, static_cast<std::streamsize>(end + 2 - at));
        ++lines_;
      }
      change(sender);
      seen_ = pane->Text().size();
    };
  }
  void Close() { out_.close(); }
  int64_t Lines() const { return lines_; }

 private:
  std::ofstream out_;
  size_t seen_ = 0;  // bytes of the pane's text already read
  int64_t lines_ = 0;
};

// Reads the four lines of a session's header block; false when they are not.
bool ReadHeader(std::ifstream& in) {
  std::string line;
  const std::string rule(39, '-');
  return std::getline(in, line) && line == "\r" && std::getline(in, line) && line == rule + "\r" &&
         std::getline(in, line) && line.rfind("NEW SESSION: ", 0) == 0 && std::getline(in, line) &&
         line == rule + "\r";
}

// True when `log` is one header block followed by exactly the bytes of
// `expected`, compared a block at a time.
bool LogMatches(const std::string& log, const std::string& expected, int64_t& bytes) {
  std::ifstream a(log, std::ios::binary), b(expected, std::ios::binary);
  if (!ReadHeader(a)) return false;
  std::vector<char> x(1 << 16), y(1 << 16);
  bytes = 0;
  for (;;) {
    a.read(x.data(), static_cast<std::streamsize>(x.size()));
    b.read(y.data(), static_cast<std::streamsize>(y.size()));
    if (a.gcount() != b.gcount()) return false;
    if (!std::equal(x.begin(), x.begin() + a.gcount(), y.begin())) return false;
    bytes += a.gcount();
    if (a.gcount() == 0) return true;
  }
}

// With the log refused all along: true when `log` is one header block, the
// line counting the lost lines, then the newest lines of `expected`, as many
// as fit the backlog's bound, and lost + written is every line of `expected`.
// The last `later` lines were shown once the folder took the file again.
bool LogMatchesAfterLoss(const std::string& log, const std::string& expected, int64_t later,
                         int64_t& lost, int64_t& written) {
  std::ifstream a(log, std::ios::binary), b(expected, std::ios::binary);
  std::string line;
  if (!ReadHeader(a)) return false;
  const std::string tail = " lines could not be written to the log file\r";
  if (!std::getline(a, line) || line.size() <= tail.size() ||
      line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  lost = std::atoll(line.c_str());
  std::vector<std::string> got;
  while (std::getline(a, line)) got.push_back(line);
  written = static_cast<int64_t>(got.size());
  // The newest lines shown, enough to compare with what was written.
  std::deque<std::string> newest;
  int64_t shown = 0;
  while (std::getline(b, line)) {
    newest.push_back(line);
    ++shown;
    if (newest.size() > got.size()) newest.pop_front();
  }
  if (lost + written != shown) return false;
  size_t bytes = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] != newest[i]) return false;
    if (static_cast<int64_t>(i) < written - later) bytes += got[i].size() - 1;  // without the CR
  }
  // What the backlog held fits its bound.
  return bytes <= kLogBacklogBytes;
}

// Bytes the program holds from malloc, large blocks (mapped one by one) too.
size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// The number of the newest attempt line in the pane (0: none).
int LastAttemptShown(const TRichEditURL& pane) {
  const std::string prefix = "Connection attempt #";
  for (int i = pane.TextLineCount() - 1; i >= 0; --i) {
    const std::string line = pane.TextLine(i);
    if (line.rfind(prefix, 0) == 0) return std::atoi(line.c_str() + prefix.size());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool refused = std::find(args.begin(), args.end(), "--refused") != args.end();
  args.erase(std::remove(args.begin(), args.end(), "--refused"), args.end());
  const int days = !args.empty() ? std::max(1, std::atoi(args[0].c_str())) : 30;
  std::unique_ptr<TTempDir> temp;
  std::string folder;
  if (args.size() > 1) {
    folder = args[1];
  } else {
    temp = std::make_unique<TTempDir>();
    folder = temp->path.string();
  }
  const std::string log = folder + "/month.log", expected = folder + "/month.expected";
  std::remove(log.c_str());
  const auto wallStart = std::chrono::steady_clock::now();
  auto wall = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  };

  bool exact = false, upToDate = false;
  int64_t fileBytes = 0, lines = 0, lost = 0, written = 0, shownWhileRefused = 0;
  {
    // Port opened fails with 678: three lines an attempt, every 3 s and a bit.
    TQuindleWorld q("[Busy]\nScript=0:100,1:100,8192:100\nFailCode=678\nFailAt=1\n");
    auto& r = q.world.registry;
    r.PutDword(kQuindleKey, "AutoRecon", 1);
    r.PutDword(kQuindleKey, "RetryInt", 3000);
    r.PutDword(kQuindleKey, "AttempsInt", 2000000);
    r.PutDword(kQuindleKey, "LogEnabled", 1);
    r.PutString(kQuindleKey, "LogFile", log);
    if (refused) q.world.files.refusedFolders.insert(folder);
    q.Start();
    TExpectedLines shown(*q.form1, expected);
    TRichEditURL& pane = *q.form1->Memo1;
    q.form1->ConButton->Click();

    std::printf("%8s %10s %12s %10s %12s %14s %12s %8s\n", "hours", "attempts", "lines shown",
                "pane lines", "pane bytes", "pane capacity", "heap in use", "wall s");
    const std::vector<int> marks = {1, 2, 3, 6, 12, 24, 48, 96, 168, 240, 336, 432, 504, 600, 720};
    for (int hour = 1; hour <= days * 24; ++hour) {
      q.Advance(kHour);
      // What the test's stand-ins record of the calls made to them is the
      // bench's memory, not the program's.
      std::vector<TRecordedWindowCall>().swap(q.world.backend.windowCalls);
      std::vector<TNotifyCall>().swap(q.world.shell.notifyCalls);
      std::vector<std::string>().swap(q.world.registry.log);
      if (std::find(marks.begin(), marks.end(), hour) != marks.end() || hour == days * 24) {
        std::printf("%8d %10d %12lld %10d %12zu %14zu %12zu %8.1f\n", hour,
                    q.form1->Rules().AttemptNo(), static_cast<long long>(shown.Lines()),
                    pane.TextLineCount(), pane.Text().size(), pane.Text().capacity(), HeapInUse(),
                    wall());
        std::fflush(stdout);
      }
    }
    if (refused) {
      // The folder takes the file again: a change makes it, the next writes.
      shownWhileRefused = shown.Lines();
      q.world.files.refusedFolders.clear();
      q.Advance(10000);
      std::printf("after the folder was writable again: %d pane lines, heap in use %zu\n",
                  pane.TextLineCount(), HeapInUse());
    }
    lines = shown.Lines();
    shown.Close();
    // A pane that stopped taking lines would end on an old attempt.
    upToDate = LastAttemptShown(pane) == q.form1->Rules().AttemptNo();
    std::printf("newest attempt: #%d, in the pane: #%d\n", q.form1->Rules().AttemptNo(),
                LastAttemptShown(pane));
    std::printf("message boxes: %zu\n", q.world.backend.messageBoxes.size());
    q.world.app->DestroyForms();
  }
  if (refused) {
    exact = LogMatchesAfterLoss(log, expected, lines - shownWhileRefused, lost, written);
    std::printf(
        "%d days of failed redials every 3 s, the log refused until the end: %lld lines shown, "
        "%lld counted lost, %lld written after the line that counts them\n",
        days, static_cast<long long>(lines), static_cast<long long>(lost),
        static_cast<long long>(written));
  } else {
    exact = LogMatches(log, expected, fileBytes);
    std::printf(
        "%d days of failed redials every 3 s: %lld lines shown, file %lld bytes after its "
        "header\n",
        days, static_cast<long long>(lines), static_cast<long long>(fileBytes));
  }
  std::printf("file byte-exact against every line shown, once, in order: %s\n",
              exact ? "OK" : "FAIL");
  std::printf("pane up to date with the newest attempt: %s\n", upToDate ? "OK" : "FAIL");
  std::printf("wall time: %.1f s\n", wall());
  return exact && upToDate ? 0 : 1;
}
