#include "rassim/SimExports.h"

#include <atomic>

#include "rassim/RasSimService.h"

namespace rassim {

const char kMarker[] = "Quindle simulated RAS service";

namespace {
std::atomic<TRasSimService*> gService{nullptr};
}

void Install(TRasSimService* service) {
  gService.store(service);
}
TRasSimService* Installed() {
  return gService.load();
}

uint32_t RASAPI_CALL RasDialA(void* extensions, const char* phonebook, RASDIALPARAMSA* params,
                              uint32_t notifierType, void* notifier, HRASCONN* conn) {
  TRasSimService* s = Installed();
  return s ? s->RasDialA(extensions, phonebook, params, notifierType, notifier, conn)
           : SIM_ERROR_INVALID_PARAMETER;
}

uint32_t RASAPI_CALL RasEnumEntriesA(const char* reserved, const char* phonebook,
                                     RASENTRYNAMEA* entries, uint32_t* bytes, uint32_t* count) {
  TRasSimService* s = Installed();
  return s ? s->RasEnumEntriesA(reserved, phonebook, entries, bytes, count)
           : SIM_ERROR_INVALID_PARAMETER;
}

uint32_t RASAPI_CALL RasGetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                            int32_t* passwordSaved) {
  TRasSimService* s = Installed();
  return s ? s->RasGetEntryDialParamsA(phonebook, params, passwordSaved)
           : SIM_ERROR_INVALID_PARAMETER;
}

uint32_t RASAPI_CALL RasSetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                            int32_t removePassword) {
  TRasSimService* s = Installed();
  return s ? s->RasSetEntryDialParamsA(phonebook, params, removePassword)
           : SIM_ERROR_INVALID_PARAMETER;
}

uint32_t RASAPI_CALL RasHangUpA(HRASCONN conn) {
  TRasSimService* s = Installed();
  return s ? s->RasHangUpA(conn) : ERROR_INVALID_HANDLE_RAS;
}

uint32_t RASAPI_CALL RasGetConnectStatusA(HRASCONN conn, RASCONNSTATUSA* status) {
  TRasSimService* s = Installed();
  return s ? s->RasGetConnectStatusA(conn, status) : ERROR_INVALID_HANDLE_RAS;
}

uint32_t RASAPI_CALL RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size) {
  TRasSimService* s = Installed();
  return s ? s->RasGetErrorStringA(error, buffer, size) : SIM_ERROR_INVALID_PARAMETER;
}

uint32_t RASAPI_CALL RasEnumConnectionsA(RASCONNA* conns, uint32_t* bytes, uint32_t* count) {
  TRasSimService* s = Installed();
  return s ? s->RasEnumConnectionsA(conns, bytes, count) : SIM_ERROR_INVALID_PARAMETER;
}

uint32_t RASAPI_CALL RasGetProjectionInfoA(HRASCONN conn, uint32_t projection, void* info,
                                           uint32_t* size) {
  TRasSimService* s = Installed();
  return s ? s->RasGetProjectionInfoA(conn, projection, info, size) : ERROR_INVALID_HANDLE_RAS;
}

const char* RASAPI_CALL QuindleSimMarker() {
  return kMarker;
}

}  // namespace rassim
