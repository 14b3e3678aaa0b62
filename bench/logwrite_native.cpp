// Session log throughput: 100,000 lines added to the log pane of the running
// program with logging on to a real file, each written and flushed by the
// pane's change handler as the program does. Prints the wall time per line of
// each tenth (10,000 lines) and the ratio of the last tenth to the first (the
// target: within 1.5), and checks that the file holds the header block and
// every line the pane showed (it keeps only the newest), byte for byte (OK or
// FAIL).
//
// Build it without sanitizers for the figure (scripts/bench does):
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/bench --target logwrite_native
//   build/bench/logwrite_native [lines] [runs] [folder]
//   (defaults: 100000 lines, 5 runs, a temporary folder)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "unit/QuindleWorld.h"

namespace {

// Lines as a session shows them, with the odd one long enough to wrap.
std::string SessionLine(int i, TMemoryLocale& locale, TDateTime now) {
  switch (i % 12) {
    case 0:
      return "Connection attempt #" + std::to_string(i % 7 + 1) + " (" + locale.LongTime(now) + ")";
    case 1:
      return "Opening port";
    case 2:
      return "Port opened";
    case 3:
      return "Connecting device";
    case 4:
      return "Device connected";
    case 5:
      return "Verifying user name and password..";
    case 6:
      return "Authenticated";
    case 7:
      return "Connected " + locale.LongTime(now) + " (" + locale.ShortDate(now) + ")";
    case 8:
      return "Disconnected " + locale.LongTime(now) + " (" + locale.ShortDate(now) + ")";
    case 9:
      return "Error: 678";
    case 10:
      return "Error: Access was denied because the user name and/or password was invalid on the "
             "domain.";
    default:
      return "Unable to connect device";
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// One fresh program: adds `total` lines, returns the wall time per line of
// each tenth, and whether the file matches the pane byte for byte.
bool Run(int total, const std::string& log, std::vector<double>& perLineUs, size_t& fileBytes,
         int& paneLines) {
  const int block = total / 10;
  std::remove(log.c_str());
  TQuindleWorld q("[Line]\nScript=0:100,8192:100\n");
  q.world.registry.PutDword(kQuindleKey, "LogEnabled", 1);
  q.world.registry.PutString(kQuindleKey, "LogFile", log);
  q.world.registry.PutDword(kQuindleKey, "ZimAdvt", 1);
  q.Start();  // the log file is created empty
  TRichEditURL& pane = *q.form1->Memo1;
  const TDateTime now = q.world.clock.Now();
  // Every line added to the pane, read from its text as it grew before the
  // change handler runs (the pane drops its oldest lines past its bound).
  std::vector<std::string> shown;
  size_t seen = 0;
  TNotifyEvent change = pane.OnChange;
  pane.OnChange = [&](TObject* sender) {
    const std::string& text = pane.Text();
    for (size_t at = seen, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
      shown.push_back(text.substr(at, end - at));
    change(sender);
    seen = pane.Text().size();
  };

  perLineUs.clear();
  for (int b = 0; b < 10; ++b) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(block));
    for (int i = 0; i < block; ++i)
      lines.push_back(SessionLine(b * block + i, q.world.locale, now));
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& l : lines) pane.AddLine(l);
    const double us =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    perLineUs.push_back(us / block);
  }

  // The file: one header block, then every line added (whole, however the
  // pane wraps it), each ended by CR LF.
  const std::string rule(39, '-');
  std::string expected = "\r\n" + rule + "\r\nNEW SESSION: " + q.world.locale.LongTime(now) + " (" +
                         q.world.locale.ShortDate(now) + ")\r\n" + rule + "\r\n";
  paneLines = static_cast<int>(shown.size());
  for (const std::string& line : shown) expected += line + "\r\n";
  const std::string file = ReadFile(log);
  fileBytes = file.size();
  q.world.app->DestroyForms();
  return file == expected;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int total = argc > 1 ? std::max(20000, std::atoi(argv[1])) / 10 * 10 : 100000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::unique_ptr<TTempDir> temp;
  std::string folder;
  if (argc > 3) {
    folder = argv[3];
  } else {
    temp = std::make_unique<TTempDir>();
    folder = temp->path.string();
  }
  const std::string log = folder + "/logwrite.log";

  // Each run is a fresh program; a block's figure is its median over the runs,
  // so that other work on the machine does not decide the ratio.
  std::vector<std::vector<double>> byBlock(10);
  bool allExact = true;
  size_t fileBytes = 0;
  int paneLines = 0;
  for (int r = 0; r < runs; ++r) {
    std::vector<double> perLine;
    const bool exact = Run(total, log, perLine, fileBytes, paneLines);
    allExact = allExact && exact;
    std::printf("run %d: byte-exact %s; us/line by tenth:", r + 1, exact ? "OK" : "FAIL");
    for (int b = 0; b < 10; ++b) {
      std::printf(" %.2f", perLine[b]);
      byBlock[b].push_back(perLine[b]);
    }
    std::printf("\n");
  }
  std::vector<double> median;
  median.reserve(byBlock.size());
  for (auto& v : byBlock) median.push_back(Median(v));
  const int block = total / 10;
  const double ratio = median.back() / median.front();
  std::printf(
      "session log: %d lines added to the pane with logging on, %d runs (file %zu bytes, %d pane "
      "lines shown)\n",
      total, runs, fileBytes, paneLines);
  std::printf(
      "median time per line: first %d %.2f us, last %d %.2f us, ratio %.2f (target <= 1.5): %s\n",
      block, median.front(), block, median.back(), ratio, ratio <= 1.5 ? "within" : "OVER");
  std::printf("file byte-exact against every line shown: %s\n", allExact ? "OK" : "FAIL");
  return allExact ? 0 : 1;
}
