// The Windows implementations of every operating-system seam, owned in one
// place by the program entry, which hands their TPlatform to the program.
// No Windows header is needed to use it.
#pragma once
#include "platform/Platform.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32LibraryLoader.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32SingleCopy.h"
#include "platform/win32/Win32Sockets.h"
#include "platform/win32/Win32System.h"

class TWin32Platform {
 public:
  TWin32Platform() = default;
  TWin32Platform(const TWin32Platform&) = delete;
  TWin32Platform& operator=(const TWin32Platform&) = delete;

  // Valid for the lifetime of this object.
  TPlatform Seams() {
    TPlatform p;
    p.registry = &registry;
    p.libraries = &libraries;
    p.clock = &clock;
    p.locale = &locale;
    p.system = &system;
    p.shell = &shell;
    p.sockets = &sockets;
    p.files = &files;
    p.singleCopy = &singleCopy;
    return p;
  }

  TWin32RegistryApi registry;
  TWin32LibraryLoader libraries;
  TWin32Clock clock;
  TWin32Locale locale;
  TWin32System system;
  TWin32Shell shell;
  TWin32Sockets sockets;
  TWin32Files files;
  TWin32SingleCopy singleCopy;
};
