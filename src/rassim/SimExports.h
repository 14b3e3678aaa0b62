// The simulated service's functions in the shape of the RAS exports (same
// names, arguments and calling convention), bound to one installed service.
// The library build exports them; tests register them with an in-memory loader.
#pragma once
#include "ras/RasTypes.h"

class TRasSimService;

namespace rassim {

// The text QuindleSimMarker returns: proof that the simulated service was loaded.
extern const char kMarker[];

// The service the functions below serve (null: none, every call fails with
// ERROR_INVALID_HANDLE for handles and 87 otherwise).
void Install(TRasSimService* service);
TRasSimService* Installed();

uint32_t RASAPI_CALL RasDialA(void* extensions, const char* phonebook, RASDIALPARAMSA* params,
                              uint32_t notifierType, void* notifier, HRASCONN* conn);
uint32_t RASAPI_CALL RasEnumEntriesA(const char* reserved, const char* phonebook,
                                     RASENTRYNAMEA* entries, uint32_t* bytes, uint32_t* count);
uint32_t RASAPI_CALL RasGetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                            int32_t* passwordSaved);
uint32_t RASAPI_CALL RasSetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                            int32_t removePassword);
uint32_t RASAPI_CALL RasHangUpA(HRASCONN conn);
uint32_t RASAPI_CALL RasGetConnectStatusA(HRASCONN conn, RASCONNSTATUSA* status);
uint32_t RASAPI_CALL RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size);
uint32_t RASAPI_CALL RasEnumConnectionsA(RASCONNA* conns, uint32_t* bytes, uint32_t* count);
uint32_t RASAPI_CALL RasGetProjectionInfoA(HRASCONN conn, uint32_t projection, void* info,
                                           uint32_t* size);
const char* RASAPI_CALL QuindleSimMarker();

}  // namespace rassim
