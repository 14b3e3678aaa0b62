// A fresh program world for a test: an application over the headless backend
// on a virtual clock, with the in-memory platform seams.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/memory/MemoryLibraryLoader.h"
#include "platform/memory/MemoryRegistry.h"
#include "platform/memory/MemorySystem.h"
#include "platform/memory/TestFiles.h"
#include "platform/memory/VirtualClock.h"
#include "toolkit/Application.h"
#include "toolkit/headless/HeadlessBackend.h"

struct TTestWorld {
  TVirtualClock clock;
  TMemoryLocale locale;
  TMemoryRegistry registry;
  TMemoryLibraryLoader libraries;
  TMemorySystem system;
  TMemoryShell shell;
  TMemorySockets sockets;
  TTestFiles files;
  THeadlessBackend backend{clock};
  std::unique_ptr<TApplication> app;

  TTestWorld() {
    TPlatform p;
    p.registry = &registry;
    p.libraries = &libraries;
    p.clock = &clock;
    p.locale = &locale;
    p.system = &system;
    p.shell = &shell;
    p.sockets = &sockets;
    p.files = &files;
    // Keys every Windows installation has.
    registry.MakeKey("HKCU\\SOFTWARE");
    registry.MakeKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    app = std::make_unique<TApplication>(backend, p);
    app->SetTitle("Quindle");
  }
  ~TTestWorld() { app.reset(); }

  // Texts of the message boxes shown so far.
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> out;
    for (auto& m : backend.messageBoxes) out.push_back(m.text);
    return out;
  }
};

// A temporary folder removed at the end of the test.
struct TTempDir {
  std::filesystem::path path;
  TTempDir() {
    static int n = 0;
    path = std::filesystem::temp_directory_path() /
           ("quindle-test-" + std::to_string(::getpid()) + "-" + std::to_string(++n));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path, ec);
  }
  std::string File(const std::string& name) const { return (path / name).string(); }
};
