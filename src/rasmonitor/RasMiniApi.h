// RasMiniApi: the connection monitor's own binding of four RAS functions, and
// the Winsock start-up the monitor's host-name queries need.
//
// The binding lives in a component owned by the application, so it is made
// once for the life of the program (one application per process) and freed
// when the application goes; every monitor of the application shares it. A
// test gets a fresh binding with each fresh application.
#pragma once
#include "platform/LibraryLoader.h"
#include "platform/Sockets.h"
#include "ras/RasTypes.h"
#include "toolkit/Component.h"

class TRasMiniApi : public TComponent {
 public:
  // The application's binding, made (and Winsock started) on first use.
  static TRasMiniApi& Of(TApplication& app);

  ~TRasMiniApi() override;

  // Loads "RASAPI32.DLL" and looks up the four functions on the first call;
  // later calls only report the first result (a failed load is not repeated).
  // True when the enumeration function is bound.
  bool LoadRasMiniApi();
  bool LoadTried() const { return loadTried_; }

  // Empty until bound; a caller checks before calling.
  RasEnumConnectionsA_t RasEnumConnectionsA = nullptr;
  RasGetConnectStatusA_t RasGetConnectStatusA = nullptr;
  RasHangUpA_t RasHangUpA = nullptr;
  RasGetProjectionInfoA_t RasGetProjectionInfoA = nullptr;

  ISockets* Sockets() const { return sockets_; }

  static constexpr const char* kComponentName = "RasMiniApi";
  static constexpr uint16_t kWinsockVersion = 0x0101;  // Winsock 1.1

 private:
  TRasMiniApi(TApplication& app, ILibraryLoader* loader, ISockets* sockets);

  // Kept as plain pointers: the platform objects outlive the application.
  ILibraryLoader* loader_;
  ISockets* sockets_;
  HMODULE_T library_ = nullptr;
  bool loadTried_ = false;
};
