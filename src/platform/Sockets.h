// Winsock 1.1: start-up, clean-up, the local host name and its first address.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

class ISockets {
 public:
  virtual ~ISockets() = default;
  virtual int Startup(uint16_t version) = 0;
  virtual int Cleanup() = 0;
  // gethostname: 0 or SOCKET_ERROR (-1).
  virtual int GetHostName(char* buffer, int length) = 0;
  // gethostbyname: the first IPv4 address of the name, if any.
  virtual std::optional<std::array<uint8_t, 4>> FirstAddressOf(const std::string& name) = 0;
};
