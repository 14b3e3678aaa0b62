#include "app/OneCopy.h"

#include <cctype>

#include "app/Unit1.h"
#include "platform/SingleCopy.h"
#include "toolkit/Application.h"
#include "toolkit/Backend.h"

namespace {

// Registered messages share one name space for every program: a name of
// Quindle's own.
constexpr char kShowMessage[] = "Quindle.ShowMainWindow";
constexpr char kEndMessage[] = "Quindle.EndSession";
// The running copy's answer once its window has come out; a window that
// does not know the message answers 0.
constexpr intptr_t kShownAnswer = 0x5157;
// The running copy's answer to the end request: it ends once the answer is
// on its way.
constexpr intptr_t kEndingAnswer = 0x5158;
// The main window's caption, by which (with the form class) it is found.
constexpr char kMainCaption[] = "Quindle";

}  // namespace

namespace OneCopy {

std::string ObjectName(ISingleCopy& system, int platformId) {
  // Another user in the same session (a program run as another user) has
  // settings and a log file of their own, and a copy of their own.
  const std::string sid = system.UserSid();
  const std::string name = "Quindle" + (sid.empty() ? std::string() : "-" + sid);
  // The session prefix came with Terminal Services; on the 95 family a
  // backslash is no part of a name, and every program shares one namespace.
  return platformId == VER_PLATFORM_WIN32_WINDOWS_T ? name : "Local\\" + name;
}

bool ClaimFirst(ISingleCopy& system, int platformId) {
  return system.CreateNamedObject(ObjectName(system, platformId)) !=
         ISingleCopy::TClaim::AlreadyExists;
}

bool ShowFirstCopy(ISingleCopy& system) {
  const uint32_t message = system.RegisterWindowMessage(kShowMessage);
  if (!message) return false;
  // The running copy may have made its name but not yet its window, or its
  // window may not answer yet: looked for again until the time is up. A
  // request that got no answer is counted as having waited its whole time.
  unsigned waited = 0;
  for (;;) {
    if (uintptr_t window = system.FindWindow(kFormWindowClass, kMainCaption)) {
      // This start is the one the user just made: the foreground is its to
      // hand on, and the running copy may then bring its window to the front.
      system.AllowForegroundFor(window);
      auto answer = system.SendMessageTimeout(window, message, 0, 0, kAnswerTimeoutMs);
      if (answer && *answer == kShownAnswer) return true;
      if (!answer) waited += kAnswerTimeoutMs;
    }
    if (waited >= kLookMs) return false;
    system.Sleep(kLookIntervalMs);
    waited += kLookIntervalMs;
  }
}

TStartRequest ParseStart(std::string_view commandLine) {
  const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!commandLine.empty() && space(commandLine.front())) commandLine.remove_prefix(1);
  while (!commandLine.empty() && space(commandLine.back())) commandLine.remove_suffix(1);
  constexpr std::string_view kExit = "/exit";
  if (commandLine.size() != kExit.size()) return TStartRequest::Run;
  for (size_t i = 0; i < kExit.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(commandLine[i])) != kExit[i])
      return TStartRequest::Run;
  return TStartRequest::EndRunningCopy;
}

bool EndFirstCopy(ISingleCopy& system) {
  uintptr_t window = system.FindWindow(kFormWindowClass, kMainCaption);
  if (!window) return true;
  const uint32_t message = system.RegisterWindowMessage(kEndMessage);
  if (!message) return false;
  // A copy that does not answer (hung, or an older Quindle without the
  // request) is not waited for: the installer's own check of files in use
  // then has its say.
  auto answer = system.SendMessageTimeout(window, message, 0, 0, kAnswerTimeoutMs);
  if (!answer || *answer != kEndingAnswer) return false;
  for (unsigned waited = 0; waited < kEndWaitMs; waited += kLookIntervalMs) {
    system.Sleep(kLookIntervalMs);
    if (!system.FindWindow(kFormWindowClass, kMainCaption)) return true;
  }
  return false;
}

void AnswerSecondStarts(TApplication& app, TForm1& form) {
  ISingleCopy* system = app.Platform().singleCopy;
  if (!system) return;
  const uint32_t show = system->RegisterWindowMessage(kShowMessage);
  const uint32_t end = system->RegisterWindowMessage(kEndMessage);
  if (!show && !end) return;
  app.HookMainWindow([&app, &form, show, end](uint32_t m, uintptr_t, intptr_t, intptr_t& result) {
    if (show && m == show) {
      form.Restore1Click(&form);
      result = kShownAnswer;
      return true;
    }
    if (end && m == end) {
      // Ended from the message loop, after the answer has reached the
      // asking start, in the session end's order: the log's last lines and
      // the settings in force saved, the connection left as it is.
      app.Backend().PostToGui([&app] { app.EndSession(); });
      result = kEndingAnswer;
      return true;
    }
    return false;
  });
}

}  // namespace OneCopy
