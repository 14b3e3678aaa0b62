// The operating-system seams the program's code is given by the program entry.
#pragma once
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/LibraryLoader.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SingleCopy.h"
#include "platform/Sockets.h"
#include "platform/System.h"

struct TPlatform {
  IRegistryApi* registry = nullptr;
  ILibraryLoader* libraries = nullptr;
  IClock* clock = nullptr;
  ILocale* locale = nullptr;
  ISystem* system = nullptr;
  IShell* shell = nullptr;
  ISockets* sockets = nullptr;
  IFileSystem* files = nullptr;
  ISingleCopy* singleCopy = nullptr;
};
