// Winsock 1.1 for Windows: start-up, clean-up, the host name and its address.
#pragma once
#include "platform/Sockets.h"

class TWin32Sockets : public ISockets {
 public:
  int Startup(uint16_t version) override;
  int Cleanup() override;
  int GetHostName(char* buffer, int length) override;
  std::optional<std::array<uint8_t, 4>> FirstAddressOf(const std::string& name) override;
};
