// The RAS records, states, codes and function types, in the platform's first
// 32-bit interface layouts. The platform packs these records to 4 bytes on
// every architecture; only RASCONNA grows on 64-bit (its handle is 8 bytes).
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(_MSC_VER) && defined(_M_IX86)
#define RASAPI_CALL __stdcall
#elif defined(__i386__)
#define RASAPI_CALL __attribute__((stdcall))
#else
#define RASAPI_CALL
#endif

using HRASCONN = uintptr_t;  // the platform's HRASCONN handle, pointer sized
using RASCONNSTATE = uint32_t;

constexpr int RAS_MaxEntryName = 256;
constexpr int RAS_MaxDeviceType = 16;
constexpr int RAS_MaxDeviceName = 128;
constexpr int RAS_MaxPhoneNumber = 128;
constexpr int RAS_MaxCallbackNumber = 128;
constexpr int UNLEN = 256;
constexpr int PWLEN = 256;
constexpr int DNLEN = 15;
constexpr int RAS_MaxIpAddress = 15;

#pragma pack(push, 4)
struct RASDIALPARAMSA {
  uint32_t dwSize;
  char szEntryName[RAS_MaxEntryName + 1];
  char szPhoneNumber[RAS_MaxPhoneNumber + 1];
  char szCallbackNumber[RAS_MaxCallbackNumber + 1];
  char szUserName[UNLEN + 1];
  char szPassword[PWLEN + 1];
  char szDomain[DNLEN + 1];
};

struct RASENTRYNAMEA {
  uint32_t dwSize;
  char szEntryName[RAS_MaxEntryName + 1];
};

struct RASCONNA {
  uint32_t dwSize;
  HRASCONN hrasconn;
  char szEntryName[RAS_MaxEntryName + 1];
  char szDeviceType[RAS_MaxDeviceType + 1];
  char szDeviceName[RAS_MaxDeviceName + 1];
};

struct RASCONNSTATUSA {
  uint32_t dwSize;
  RASCONNSTATE rasconnstate;
  uint32_t dwError;
  char szDeviceType[RAS_MaxDeviceType + 1];
  char szDeviceName[RAS_MaxDeviceName + 1];
};

struct RASPPPIPA {
  uint32_t dwSize;
  uint32_t dwError;
  char szIpAddress[RAS_MaxIpAddress + 1];
  char szServerIpAddress[RAS_MaxIpAddress + 1];
};
#pragma pack(pop)

static_assert(sizeof(RASDIALPARAMSA) == 1052);
static_assert(sizeof(RASENTRYNAMEA) == 264);
static_assert(sizeof(RASCONNSTATUSA) == 160);
static_assert(sizeof(RASPPPIPA) == 40);
static_assert(offsetof(RASCONNA, hrasconn) == 4);
static_assert(sizeof(RASCONNA) == (sizeof(void*) == 4 ? 412 : 416));

// Connection states (RASCONNSTATE).
constexpr RASCONNSTATE RASCS_OpenPort = 0, RASCS_PortOpened = 1, RASCS_ConnectDevice = 2,
                       RASCS_DeviceConnected = 3, RASCS_AllDevicesConnected = 4,
                       RASCS_Authenticate = 5, RASCS_AuthNotify = 6, RASCS_AuthRetry = 7,
                       RASCS_AuthCallback = 8, RASCS_AuthChangePassword = 9, RASCS_AuthProject = 10,
                       RASCS_AuthLinkSpeed = 11, RASCS_AuthAck = 12, RASCS_ReAuthenticate = 13,
                       RASCS_Authenticated = 14, RASCS_PrepareForCallback = 15,
                       RASCS_WaitForModemReset = 16, RASCS_WaitForCallback = 17,
                       RASCS_Projected = 18, RASCS_StartAuthentication = 19,
                       RASCS_CallbackComplete = 20, RASCS_LogonNetwork = 21,
                       RASCS_Interactive = 0x1000, RASCS_RetryAuthentication = 0x1001,
                       RASCS_CallbackSetByCaller = 0x1002, RASCS_PasswordExpired = 0x1003,
                       RASCS_Connected = 0x2000, RASCS_Disconnected = 0x2001;

// Codes the program and the simulated service use.
constexpr uint32_t ERROR_SUCCESS_RAS = 0;
constexpr uint32_t ERROR_INVALID_HANDLE_RAS = 6;
constexpr uint32_t ERROR_INVALID_SIZE_RAS = 632;
constexpr uint32_t ERROR_BUFFER_TOO_SMALL_RAS = 603;
constexpr uint32_t ERROR_CANNOT_FIND_PHONEBOOK_ENTRY_RAS = 623;
constexpr uint32_t ERROR_PORT_NOT_CONNECTED_RAS = 619;
constexpr uint32_t ERROR_NO_ANSWER_RAS = 678;
constexpr uint32_t ERROR_LINE_BUSY_RAS = 676;
constexpr uint32_t ERROR_NO_DIALTONE_RAS = 680;
constexpr uint32_t ERROR_AUTHENTICATION_FAILURE_RAS = 691;
constexpr uint32_t ERROR_FROM_DEVICE_RAS = 651;
constexpr uint32_t ERROR_NO_CONNECTION_RAS = 668;
constexpr uint32_t ERROR_PROJECTION_NOT_COMPLETE_RAS = 730;
constexpr uint32_t ERROR_DEVICE_NOT_AVAILABLE_RAS = 797;
constexpr uint32_t ERROR_DIAL_ALREADY_IN_PROGRESS_RAS = 756;
constexpr uint32_t RASP_PppIp = 0x8021;

// The notifier of type 0: (message number, connection state, error code).
using RASDIALFUNC = void(RASAPI_CALL*)(uint32_t unMsg, RASCONNSTATE state, uint32_t dwError);

using RasDialA_t = uint32_t(RASAPI_CALL*)(void* dialExtensions, const char* phonebook,
                                          RASDIALPARAMSA* params, uint32_t notifierType,
                                          void* notifier, HRASCONN* conn);
using RasEnumEntriesA_t = uint32_t(RASAPI_CALL*)(const char* reserved, const char* phonebook,
                                                 RASENTRYNAMEA* entries, uint32_t* bytes,
                                                 uint32_t* count);
using RasGetEntryDialParamsA_t = uint32_t(RASAPI_CALL*)(const char* phonebook,
                                                        RASDIALPARAMSA* params,
                                                        int32_t* passwordSaved);
using RasSetEntryDialParamsA_t = uint32_t(RASAPI_CALL*)(const char* phonebook,
                                                        RASDIALPARAMSA* params,
                                                        int32_t removePassword);
using RasHangUpA_t = uint32_t(RASAPI_CALL*)(HRASCONN conn);
using RasGetConnectStatusA_t = uint32_t(RASAPI_CALL*)(HRASCONN conn, RASCONNSTATUSA* status);
using RasGetErrorStringA_t = uint32_t(RASAPI_CALL*)(uint32_t error, char* buffer, uint32_t size);
using RasEnumConnectionsA_t = uint32_t(RASAPI_CALL*)(RASCONNA* conns, uint32_t* bytes,
                                                     uint32_t* count);
using RasGetProjectionInfoA_t = uint32_t(RASAPI_CALL*)(HRASCONN conn, uint32_t projection,
                                                       void* info, uint32_t* size);
