// Quindle's entry: the Windows platform, then the program's own start-up
// order (RunQuindle), which makes the Windows backend only when this is the
// one copy in the user's session, then the message loop until Exit.
#include <windows.h>

#include <optional>

#include "app/Program.h"
#include "platform/win32/Win32Platform.h"
#include "toolkit/win32/Win32Backend.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
  // Before anything loads a library: none is ever taken from the program's
  // folder or the current folder.
  TWin32LibraryLoader::RestrictDefaultSearch();
  // The platform outlives the backend: it holds the one-copy name until the
  // process ends, after the saving steps.
  TWin32Platform platform;
  std::optional<TWin32Backend> backend;
  return RunQuindle(
      platform.Seams(), [&]() -> IBackend& { return backend.emplace(); },
      lpCmdLine ? lpCmdLine : "");
}
