#include "platform/win32/Win32Sockets.h"

#include <winsock2.h>

#include <cstring>

int TWin32Sockets::Startup(uint16_t version) {
  WSADATA data{};
  return WSAStartup(version, &data);
}

int TWin32Sockets::Cleanup() {
  return WSACleanup();
}

int TWin32Sockets::GetHostName(char* buffer, int length) {
  return gethostname(buffer, length);
}

std::optional<std::array<uint8_t, 4>> TWin32Sockets::FirstAddressOf(const std::string& name) {
  const hostent* host = gethostbyname(name.c_str());
  if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list ||
      !host->h_addr_list[0]) {
    return std::nullopt;
  }
  std::array<uint8_t, 4> address{};
  std::memcpy(address.data(), host->h_addr_list[0], address.size());
  return address;
}
