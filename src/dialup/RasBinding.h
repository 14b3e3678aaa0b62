// TRasBinding: the dialer's run-time binding of the RAS functions. It loads
// "rasapi32.dll" (or "rnaph.dll" when the first lookup misses there) and looks
// every function up again on each call; one instance lives per application.
#pragma once
#include <cstdint>
#include <string>
#include "platform/LibraryLoader.h"
#include "ras/RasTypes.h"
#include "toolkit/Component.h"

class TRasBinding : public TComponent {
 public:
  // The application's binding, created (owned by the application) on first use,
  // so that it lives until the program ends.
  static TRasBinding& Of(TComponent& anyOwned);

  TRasBinding(TComponent* owner, ILibraryLoader& loader);
  ~TRasBinding() override;  // frees the fallback library when it was bound

  // The entry point of `name` (its full ANSI name, e.g. "RasDialA"), or an
  // EQuindleError with the reason. Nothing is cached.
  void* GetRasProc(const std::string& name);
  bool Bound() const { return bound_; }
  bool Fallback() const { return fallback_; }

  // One forwarding call per RAS function the dialer uses.
  uint32_t RasDialA(void* extensions, const char* phonebook, RASDIALPARAMSA* params,
                    uint32_t notifierType, void* notifier, HRASCONN* conn);
  uint32_t RasEnumEntriesA(const char* reserved, const char* phonebook, RASENTRYNAMEA* entries,
                           uint32_t* bytes, uint32_t* count);
  uint32_t RasGetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                  int32_t* passwordSaved);
  uint32_t RasSetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                  int32_t removePassword);
  uint32_t RasHangUpA(HRASCONN conn);
  uint32_t RasGetConnectStatusA(HRASCONN conn, RASCONNSTATUSA* status);
  uint32_t RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size);

 private:
  [[noreturn]] static void NotFound(const std::string& name);

  ILibraryLoader& loader_;
  HMODULE_T library_ = nullptr;
  bool bound_ = false;
  bool fallback_ = false;
};
