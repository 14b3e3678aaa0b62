#include "platform/memory/MemorySystem.h"

#include <cstring>

bool TMemoryShell::NotifyIcon(uint32_t message, const void* record) {
  // Both record layouts begin with their size, the window and the identifier.
  struct Head {
    uint32_t cbSize;
    uintptr_t hWnd;
    uint32_t uID;
  } head;
  std::memcpy(&head, record, sizeof head);
  const auto* bytes = static_cast<const uint8_t*>(record);
  notifyCalls.push_back({message, std::vector<uint8_t>(bytes, bytes + head.cbSize)});
  const auto key = std::make_pair(head.hWnd, head.uID);
  const bool there = icons.count(key) != 0;
  switch (message) {
    case NIM_ADD_T:
      if (refuseAdds) return false;
      if (refuseNextAdds > 0) {
        --refuseNextAdds;
        return false;
      }
      if (there) return false;
      icons.insert(key);
      if (addsTimingOut > 0) {
        --addsTimingOut;
        return false;
      }
      return true;
    case NIM_MODIFY_T:
      return there;
    case NIM_DELETE_T:
      icons.erase(key);
      return there;
    default:
      return false;
  }
}

intptr_t TMemoryShell::ShellExecute(uintptr_t parent, const std::string& verb,
                                    const std::string& file, const std::string& parameters,
                                    const std::string& directory, int show) {
  executes.push_back({parent, verb, file, parameters, directory, show});
  return 42;
}

bool TMemoryShell::FileVersion(const std::string& path, TFixedFileVersion& info) {
  if (versionedFile.empty() || path != versionedFile || !hasVersionInfo) return false;
  info.signature = 0xFEEF04BD;
  info.fileVersionMS = shellMajor << 16;
  info.fileVersionLS = 0;
  return true;
}

int TMemorySockets::GetHostName(char* buffer, int length) {
  if (hostNameFails || length <= 0) return -1;
  std::strncpy(buffer, hostName.c_str(), static_cast<size_t>(length));
  buffer[length - 1] = 0;
  return 0;
}

std::optional<std::array<uint8_t, 4>> TMemorySockets::FirstAddressOf(const std::string& name) {
  if (name != hostName) return std::nullopt;
  return address;
}
