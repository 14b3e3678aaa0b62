// The RAS records the program passes, held against the platform's own
// declarations for the architecture being built. The program uses the first
// 32-bit interface's layouts (the sizes Windows 95 and NT 4.0 accept, which
// every later Windows accepts too); the platform header declares the newest
// layouts, which begin with those fields. So every field must lie where the
// header puts it, with the header's size, and each record must end where the
// header's first newer field begins, rounded up to the records' 4-byte
// packing. Nothing here is run: a layout that differs does not compile.
#include <cstddef>
#include <cstdint>

namespace ours {
#include "ras/RasTypes.h"
}

// Named before the platform header comes: it makes each record's name a
// macro for its struct tag.
namespace ours {
using DialParams = RASDIALPARAMSA;
using EntryName = RASENTRYNAMEA;
using Conn = RASCONNA;
using ConnStatus = RASCONNSTATUSA;
using PppIp = RASPPPIPA;
constexpr RASCONNSTATE Connected = RASCS_Connected, Disconnected = RASCS_Disconnected;
}  // namespace ours

#include <windows.h>
#include <ras.h>

namespace {

constexpr size_t Packed4(size_t end) {
  return (end + 3) / 4 * 4;
}

#define SAME_FIELD(mine, platform, field)                                   \
  static_assert(offsetof(ours::mine, field) == offsetof(platform, field),   \
                #platform "." #field " is not where the platform puts it"); \
  static_assert(sizeof(ours::mine::field) == sizeof(platform::field),       \
                #platform "." #field " is not the platform's size")

#define ENDS_BEFORE(mine, platform, newer)                                \
  static_assert(sizeof(ours::mine) == Packed4(offsetof(platform, newer)), \
                #platform " does not end where the platform's newer fields begin")

SAME_FIELD(DialParams, tagRASDIALPARAMSA, dwSize);
SAME_FIELD(DialParams, tagRASDIALPARAMSA, szEntryName);
SAME_FIELD(DialParams, tagRASDIALPARAMSA, szPhoneNumber);
SAME_FIELD(DialParams, tagRASDIALPARAMSA, szCallbackNumber);
SAME_FIELD(DialParams, tagRASDIALPARAMSA, szUserName);
SAME_FIELD(DialParams, tagRASDIALPARAMSA, szPassword);
SAME_FIELD(DialParams, tagRASDIALPARAMSA, szDomain);
ENDS_BEFORE(DialParams, tagRASDIALPARAMSA, dwSubEntry);

// The entry name record's later versions add fields after the name only.
SAME_FIELD(EntryName, tagRASENTRYNAMEA, dwSize);
SAME_FIELD(EntryName, tagRASENTRYNAMEA, szEntryName);
ENDS_BEFORE(EntryName, tagRASENTRYNAMEA, dwFlags);

SAME_FIELD(Conn, tagRASCONNA, dwSize);
// The handle is a pointer to a record: the pointer's size is the field's.
// NOLINTNEXTLINE(bugprone-sizeof-expression)
SAME_FIELD(Conn, tagRASCONNA, hrasconn);
SAME_FIELD(Conn, tagRASCONNA, szEntryName);
SAME_FIELD(Conn, tagRASCONNA, szDeviceType);
SAME_FIELD(Conn, tagRASCONNA, szDeviceName);
ENDS_BEFORE(Conn, tagRASCONNA, szPhonebook);

SAME_FIELD(ConnStatus, tagRASCONNSTATUSA, dwSize);
SAME_FIELD(ConnStatus, tagRASCONNSTATUSA, rasconnstate);
SAME_FIELD(ConnStatus, tagRASCONNSTATUSA, dwError);
SAME_FIELD(ConnStatus, tagRASCONNSTATUSA, szDeviceType);
SAME_FIELD(ConnStatus, tagRASCONNSTATUSA, szDeviceName);
ENDS_BEFORE(ConnStatus, tagRASCONNSTATUSA, szPhoneNumber);

SAME_FIELD(PppIp, tagRASPPPIPA, dwSize);
SAME_FIELD(PppIp, tagRASPPPIPA, dwError);
SAME_FIELD(PppIp, tagRASPPPIPA, szIpAddress);
SAME_FIELD(PppIp, tagRASPPPIPA, szServerIpAddress);
ENDS_BEFORE(PppIp, tagRASPPPIPA, dwOptions);

// The connection states the program tells apart.
static_assert(ours::Connected == ::RASCS_Connected);
static_assert(ours::Disconnected == ::RASCS_Disconnected);

}  // namespace
