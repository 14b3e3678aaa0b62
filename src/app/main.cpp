// Quindle's entry: the Windows platform and backend, then the program's own
// start-up order, then the message loop until Exit.
#include <windows.h>

#include <exception>

#include "app/Program.h"
#include "platform/win32/Win32Platform.h"
#include "toolkit/Application.h"
#include "toolkit/win32/Win32Backend.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything loads a library: none is ever taken from the program's
  // folder or the current folder.
  TWin32LibraryLoader::RestrictDefaultSearch();
  TWin32Platform platform;
  TWin32Backend backend;
  TApplication app(backend, platform.Seams());
  backend.SetApplication(&app);
  try {
    CreateQuindle(app);
  } catch (const std::exception& e) {
    // Start-up failed (no RAS library, say): its message, then the end.
    app.HandleException(e);
    return 1;
  }
  app.Run();
  app.DestroyForms();
  return 0;
}
