#include "rasmonitor/RasMiniApi.h"

#include "toolkit/Application.h"

TRasMiniApi& TRasMiniApi::Of(TApplication& app) {
  for (TComponent* c : app.Components())
    if (auto* api = dynamic_cast<TRasMiniApi*>(c)) return *api;
  return *new TRasMiniApi(app, app.Platform().libraries, app.Platform().sockets);
}

TRasMiniApi::TRasMiniApi(TApplication& app, ILibraryLoader* loader, ISockets* sockets)
    : TComponent(&app), loader_(loader), sockets_(sockets) {
  SetName(kComponentName);
  // The result is not examined: without Winsock the host queries simply fail.
  if (sockets_) sockets_->Startup(kWinsockVersion);
}

TRasMiniApi::~TRasMiniApi() {
  RasEnumConnectionsA = nullptr;
  RasGetConnectStatusA = nullptr;
  RasHangUpA = nullptr;
  RasGetProjectionInfoA = nullptr;
  if (library_ && loader_) loader_->FreeLibrary(library_);
  library_ = nullptr;
  if (sockets_) sockets_->Cleanup();
}

bool TRasMiniApi::LoadRasMiniApi() {
  if (loadTried_) return RasEnumConnectionsA != nullptr;
  loadTried_ = true;
  RasEnumConnectionsA = nullptr;
  if (!loader_) return false;
  library_ = loader_->LoadLibrary("RASAPI32.DLL");
  if (!library_) return false;
  RasEnumConnectionsA =
      ProcAs<RasEnumConnectionsA_t>(loader_->GetProcAddress(library_, "RasEnumConnectionsA"));
  RasGetConnectStatusA =
      ProcAs<RasGetConnectStatusA_t>(loader_->GetProcAddress(library_, "RasGetConnectStatusA"));
  RasHangUpA = ProcAs<RasHangUpA_t>(loader_->GetProcAddress(library_, "RasHangUpA"));
  RasGetProjectionInfoA =
      ProcAs<RasGetProjectionInfoA_t>(loader_->GetProcAddress(library_, "RasGetProjectionInfoA"));
  return RasEnumConnectionsA != nullptr;
}
