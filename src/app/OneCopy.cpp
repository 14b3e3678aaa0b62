#include "app/OneCopy.h"

#include "app/Unit1.h"
#include "platform/SingleCopy.h"
#include "toolkit/Application.h"
#include "toolkit/Backend.h"

namespace {

// Registered messages share one name space for every program: a name of
// Quindle's own.
constexpr char kShowMessage[] = "Quindle.ShowMainWindow";
// The running copy's answer once its window has come out; a window that
// does not know the message answers 0.
constexpr intptr_t kShownAnswer = 0x5157;
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

void AnswerSecondStarts(TApplication& app, TForm1& form) {
  ISingleCopy* system = app.Platform().singleCopy;
  if (!system) return;
  const uint32_t message = system->RegisterWindowMessage(kShowMessage);
  if (!message) return;
  app.HookMainWindow([&form, message](uint32_t m, uintptr_t, intptr_t, intptr_t& result) {
    if (m != message) return false;
    form.Restore1Click(&form);
    result = kShownAnswer;
    return true;
  });
}

}  // namespace OneCopy
