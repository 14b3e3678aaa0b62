#include "dialup/RasBinding.h"

#include "platform/Errors.h"
#include "toolkit/Application.h"

namespace {
const char* const kBindingName = "QuindleRasBinding";
}

TRasBinding& TRasBinding::Of(TComponent& anyOwned) {
  TApplication& app = anyOwned.Application();
  for (TComponent* c : app.Components())
    if (auto* b = dynamic_cast<TRasBinding*>(c)) return *b;
  auto* b = new TRasBinding(&app, *app.Platform().libraries);
  b->SetName(kBindingName);
  return *b;
}

TRasBinding::TRasBinding(TComponent* owner, ILibraryLoader& loader)
    : TComponent(owner), loader_(loader) {}

TRasBinding::~TRasBinding() {
  // "rasapi32.dll" is left to process exit; only the fallback is released.
  if (bound_ && fallback_ && library_) loader_.FreeLibrary(library_);
}

void TRasBinding::NotFound(const std::string& name) {
  throw EQuindleError("Function " + name + " not found!");
}

void* TRasBinding::GetRasProc(const std::string& name) {
  if (bound_) {
    void* p = nullptr;
    if (fallback_) {
      p = loader_.GetProcAddress(library_, name);
    } else {
      p = loader_.GetProcAddress(library_, name + "A");
      if (!p) p = loader_.GetProcAddress(library_, name);
    }
    // The library of the first successful lookup serves for good: a miss now
    // is an error, never a switch of library.
    if (!p) NotFound(name);
    return p;
  }
  library_ = loader_.LoadLibrary("rasapi32.dll");
  if (!library_) throw EQuindleError("Error opening rasapi.dll");
  void* p = loader_.GetProcAddress(library_, name + "A");
  if (!p) p = loader_.GetProcAddress(library_, name);
  if (p) {
    bound_ = true;
    return p;
  }
  // The older service library; "rasapi32.dll" stays loaded.
  library_ = loader_.LoadLibrary("rnaph.dll");
  if (!library_) throw EQuindleError("Error opening rnaph.dll");
  p = loader_.GetProcAddress(library_, name);
  if (!p) NotFound(name);
  bound_ = true;
  fallback_ = true;
  return p;
}

uint32_t TRasBinding::RasDialA(void* extensions, const char* phonebook, RASDIALPARAMSA* params,
                               uint32_t notifierType, void* notifier, HRASCONN* conn) {
  return ProcAs<RasDialA_t>(GetRasProc("RasDialA"))(extensions, phonebook, params, notifierType,
                                                    notifier, conn);
}

uint32_t TRasBinding::RasEnumEntriesA(const char* reserved, const char* phonebook,
                                      RASENTRYNAMEA* entries, uint32_t* bytes, uint32_t* count) {
  return ProcAs<RasEnumEntriesA_t>(GetRasProc("RasEnumEntriesA"))(reserved, phonebook, entries,
                                                                  bytes, count);
}

uint32_t TRasBinding::RasGetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                             int32_t* passwordSaved) {
  return ProcAs<RasGetEntryDialParamsA_t>(GetRasProc("RasGetEntryDialParamsA"))(phonebook, params,
                                                                                passwordSaved);
}

uint32_t TRasBinding::RasSetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                             int32_t removePassword) {
  return ProcAs<RasSetEntryDialParamsA_t>(GetRasProc("RasSetEntryDialParamsA"))(phonebook, params,
                                                                                removePassword);
}

uint32_t TRasBinding::RasHangUpA(HRASCONN conn) {
  return ProcAs<RasHangUpA_t>(GetRasProc("RasHangUpA"))(conn);
}

uint32_t TRasBinding::RasGetConnectStatusA(HRASCONN conn, RASCONNSTATUSA* status) {
  return ProcAs<RasGetConnectStatusA_t>(GetRasProc("RasGetConnectStatusA"))(conn, status);
}

uint32_t TRasBinding::RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size) {
  return ProcAs<RasGetErrorStringA_t>(GetRasProc("RasGetErrorStringA"))(error, buffer, size);
}
