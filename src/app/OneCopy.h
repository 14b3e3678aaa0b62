// One Quindle in the user's session. The first start holds a named object,
// per user in the session's namespace, for as long as it runs; a second
// start finds it, asks that copy's main window to come out as the tray
// menu's Restore does, and ends before it touches the registry, the log
// file or the RAS service, or makes a window. A start with /exit (the
// installer's, before it removes or replaces the program's files) asks the
// running copy to end as it does when the session ends, and waits for it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include "platform/WinConstants.h"

class ISingleCopy;
class TApplication;
class TForm1;

namespace OneCopy {

// The named object's name for this user on a system of that platform
// (GetVersionExA's dwPlatformId): "Local\Quindle-S-1-5-..." in the session's
// namespace. The 95 family has no session namespaces, and there an object's
// name may hold no backslash: "Quindle", with the user's identifier should
// the system give one.
std::string ObjectName(ISingleCopy& system, int platformId = VER_PLATFORM_WIN32_NT_T);
// Claims the name: false when another copy of this user's holds it. A name
// that cannot be made at all stops no start.
bool ClaimFirst(ISingleCopy& system, int platformId = VER_PLATFORM_WIN32_NT_T);
// A second start's one task: finds the copy that runs by its main window
// (waiting a little for a copy that is still starting), lets it take the
// foreground and asks it to show its window. True when it answered so.
bool ShowFirstCopy(ISingleCopy& system);
// What a start was asked to do by its command line: /exit (any case) ends
// the copy that runs; anything else is an ordinary start.
enum class TStartRequest { Run, EndRunningCopy };
TStartRequest ParseStart(std::string_view commandLine);
// The /exit start's one task: asks the copy that runs, if there is one, to
// save and end as at the session's end, then waits for its main window to
// be gone. True when no copy runs any more.
bool EndFirstCopy(ISingleCopy& system);
// The copy that runs answers those requests, through its main window.
void AnswerSecondStarts(TApplication& app, TForm1& form);

// How long a second start looks for the running copy's answer, in all.
inline constexpr unsigned kLookMs = 5000;
// Between two looks.
inline constexpr unsigned kLookIntervalMs = 250;
// How long one request waits for the answer.
inline constexpr unsigned kAnswerTimeoutMs = 2000;
// How long an /exit start waits for the copy it asked to end to be gone:
// the saves of a copy with a slow log file's drive take their time.
inline constexpr unsigned kEndWaitMs = 10000;

}  // namespace OneCopy
