// rasapi32.dll: the simulated RAS service as a library, exporting the RAS
// functions the program binds at run time. Its phone book is the file named by
// QUINDLE_PHONEBOOK, else "phonebook.ini" beside the library; credentials
// stored through RasSetEntryDialParamsA are written back to that file. With
// QUINDLE_SIM_REPORT naming a file, the service's counts (dials, hang-ups,
// handles never hung up) are written to it whenever a dial or a hang-up
// changes them, for a test outside the process to read.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "rassim/RasSimService.h"
#include "rassim/SimExports.h"

namespace {

std::string Environment(const char* name) {
  char buffer[MAX_PATH * 2] = {};
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

std::string PhoneBookPath() {
  if (std::string path = Environment("QUINDLE_PHONEBOOK"); !path.empty()) return path;
  char buffer[MAX_PATH * 2] = {};
  DWORD n = 0;
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&PhoneBookPath), &self))
    return "phonebook.ini";
  n = GetModuleFileNameA(self, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return "phonebook.ini";
  std::string path(buffer, n);
  size_t slash = path.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "phonebook.ini";
}

// The counts file, written through a temporary file so that a reader never
// sees half of it. A write that fails is reported and the service goes on.
class TCountsFile {
 public:
  explicit TCountsFile(std::string path) : path_(std::move(path)) {}
  void Write(const std::string& text);

 private:
  std::mutex mutex_;
  std::string path_;
};

void Report(const std::string& text);

void TCountsFile::Write(const std::string& text) {
  if (path_.empty()) return;
  std::lock_guard lock(mutex_);
  const std::string tmp = path_ + ".tmp";
  HANDLE file = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Report(tmp + ": cannot be written (error " + std::to_string(GetLastError()) + ")");
    return;
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != text.size() ||
      !MoveFileExA(tmp.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    Report(path_ + ": cannot be written (error " + std::to_string(GetLastError()) + ")");
    DeleteFileA(tmp.c_str());
  }
}

void Report(const std::string& text) {
  std::string line = "Quindle simulated RAS service: " + text + "\n";
  OutputDebugStringA(line.c_str());
  std::fputs(line.c_str(), stderr);
}

struct TSim {
  TRasSimService* service;
  TCountsFile* counts;
};

// Made on the first call, never destroyed: its threads must not be joined
// while the library is being unloaded. Nor may the library be unloaded under
// them: from the first call on it stays loaded whatever FreeLibrary is asked.
TSim& Sim() {
  static TSim* sim = [] {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCSTR>(&Environment), &self))
      Report("the library could not be kept loaded (error " + std::to_string(GetLastError()) + ")");
    auto* scheduler = new TRealTimeScheduler();
    std::string path = PhoneBookPath();
    TSimPhoneBook book;
    uint32_t unavailable = 0;
    try {
      book = TSimPhoneBook::Load(path);
    } catch (const std::exception& e) {
      Report(e.what());
      unavailable = SIM_ERROR_CANNOT_OPEN_PHONEBOOK;
    }
    auto* s = new TRasSimService(*scheduler, std::move(book), path);
    if (unavailable) s->SetUnavailable(unavailable);
    rassim::Install(s);
    auto* counts = new TCountsFile(Environment("QUINDLE_SIM_REPORT"));
    counts->Write(s->CountsReport());
    return new TSim{s, counts};
  }();
  return *sim;
}

TRasSimService& Service() {
  return *Sim().service;
}

// A dial or a hang-up: its result, with the counts written after it. A
// count that cannot be written never changes what the call returns.
uint32_t Counted(uint32_t result) {
  try {
    Sim().counts->Write(Service().CountsReport());
  } catch (...) {
  }
  return result;
}

}  // namespace

// Nothing may unwind into the caller: a fault becomes ERROR_INVALID_PARAMETER.
#define SIM_GUARDED(call)               \
  try {                                 \
    return call;                        \
  } catch (...) {                       \
    return SIM_ERROR_INVALID_PARAMETER; \
  }

extern "C" {

uint32_t RASAPI_CALL RasDialA(void* extensions, const char* phonebook, RASDIALPARAMSA* params,
                              uint32_t notifierType, void* notifier, HRASCONN* conn){SIM_GUARDED(
    Counted(Service().RasDialA(extensions, phonebook, params, notifierType, notifier, conn)))}

uint32_t RASAPI_CALL RasEnumEntriesA(const char* reserved, const char* phonebook,
                                     RASENTRYNAMEA* entries, uint32_t* bytes, uint32_t* count){
    SIM_GUARDED(Service().RasEnumEntriesA(reserved, phonebook, entries, bytes, count))}

uint32_t RASAPI_CALL
    RasGetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params, int32_t* passwordSaved){
        SIM_GUARDED(Service().RasGetEntryDialParamsA(phonebook, params, passwordSaved))}

uint32_t RASAPI_CALL
    RasSetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params, int32_t removePassword){
        SIM_GUARDED(Service().RasSetEntryDialParamsA(phonebook, params, removePassword))}

uint32_t RASAPI_CALL RasHangUpA(HRASCONN conn){SIM_GUARDED(Counted(Service().RasHangUpA(conn)))}

uint32_t RASAPI_CALL RasGetConnectStatusA(HRASCONN conn, RASCONNSTATUSA* status){
    SIM_GUARDED(Service().RasGetConnectStatusA(conn, status))}

uint32_t RASAPI_CALL RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size){
    SIM_GUARDED(Service().RasGetErrorStringA(error, buffer, size))}

uint32_t RASAPI_CALL RasEnumConnectionsA(RASCONNA* conns, uint32_t* bytes, uint32_t* count){
    SIM_GUARDED(Service().RasEnumConnectionsA(conns, bytes, count))}

uint32_t RASAPI_CALL
    RasGetProjectionInfoA(HRASCONN conn, uint32_t projection, void* info, uint32_t* size) {
  SIM_GUARDED(Service().RasGetProjectionInfoA(conn, projection, info, size))
}

const char* RASAPI_CALL QuindleSimMarker() {
  return rassim::kMarker;
}

}  // extern "C"
