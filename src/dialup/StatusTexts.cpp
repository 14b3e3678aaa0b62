#include "dialup/StatusTexts.h"

#include "ras/RasTypes.h"

namespace {

struct TStatusRow {
  RASCONNSTATE state;
  const char* text;
};

// The owner compares these texts literally: keep them as they are.
constexpr TStatusRow kEnglish[] = {
    {RASCS_OpenPort, "Opening port"},
    {RASCS_PortOpened, "Port opened"},
    {RASCS_ConnectDevice, "Connecting device"},
    {RASCS_DeviceConnected, "Device connected"},
    {RASCS_AllDevicesConnected, "All devices connected"},
    {RASCS_Authenticate, "Start authenticating"},
    {RASCS_AuthNotify, "Authentication: notify"},
    {RASCS_AuthRetry, "Authentication: retry"},
    {RASCS_AuthCallback, "Authentication: callback"},
    {RASCS_AuthChangePassword, "Authentication: change password"},
    {RASCS_AuthProject, "Authentication: projecting"},
    {RASCS_AuthLinkSpeed, "Authentication: link speed"},
    {RASCS_AuthAck, "Authentication: acknowledge"},
    {RASCS_ReAuthenticate, "Authentication: reauthenticate"},
    {RASCS_Authenticated, "Authenticated"},
    {RASCS_PrepareForCallback, "Preparing for callback"},
    {RASCS_WaitForModemReset, "Waiting for modem reset"},
    {RASCS_WaitForCallback, "Waiting for callback"},
    {RASCS_Projected, "Projected"},
    {RASCS_StartAuthentication, "Start authentication"},
    {RASCS_CallbackComplete, "Callback complete"},
    {RASCS_LogonNetwork, "Logging on network"},
    {RASCS_Interactive, "Interactive"},
    {RASCS_RetryAuthentication, "Retry Authentication"},
    {RASCS_CallbackSetByCaller, "Callback set by caller"},
    {RASCS_PasswordExpired, "Password expired"},
    {RASCS_Connected, "Connected"},
    {RASCS_Disconnected, "Disconnected"},
};

// Code page 1250.
constexpr TStatusRow kCzech[] = {
    {RASCS_OpenPort, "Otev\xEDr\xE1 se port"},  // Otevírá se port
    {RASCS_PortOpened,
     "Port otev\xF8"
     "en"},                                                  // Port otevřen
    {RASCS_ConnectDevice, "Prob\xEDh\xE1 spojov\xE1n\xED"},  // Probíhá spojování
    {RASCS_DeviceConnected, "Nav\xE1z\xE1no spojen\xED"},    // Navázáno spojení
    {RASCS_AllDevicesConnected,
     "V\x9A"
     "echna za\xF8\xEDzen\xED spojena"},  // Všechna zařízení spojena
    {RASCS_Authenticate,
     "Za\xE8\xEDnaj\xED se ov\xEC\xF8ovat u\x9Eivatelsk\xE9 informace"},  // Začínají se ověřovat
                                                                          // uživatelské informace
    {RASCS_AuthNotify,
     "Ov\xEC\xF8"
     "en\xED: ozn\xE1men\xED"},  // Ověření: oznámení
    {RASCS_AuthRetry,
     "Ov\xEC\xF8"
     "en\xED: opakov\xE1n\xED"},  // Ověření: opakování
    {RASCS_AuthCallback,
     "Ov\xEC\xF8"
     "en\xED: zp\xECtn\xE9 vol\xE1n\xED"},  // Ověření: zpětné volání
    {RASCS_AuthChangePassword,
     "Ov\xEC\xF8"
     "en\xED: zm\xECna hesla"},  // Ověření: změna hesla
    {RASCS_AuthProject,
     "Ov\xEC\xF8"
     "en\xED: n\xE1vrh"},  // Ověření: návrh
    {RASCS_AuthLinkSpeed,
     "Ov\xEC\xF8"
     "en\xED: spojovac\xED rychlost"},  // Ověření: spojovací rychlost
    {RASCS_AuthAck,
     "Ov\xEC\xF8"
     "en\xED: potvrzen\xED"},  // Ověření: potvrzení
    {RASCS_ReAuthenticate,
     "Ov\xEC\xF8"
     "en\xED: znovuov\xEC\xF8"
     "en\xED"},  // Ověření: znovuověření
    {RASCS_Authenticated,
     "Ov\xEC\xF8"
     "eno"},  // Ověřeno
    {RASCS_PrepareForCallback,
     "P\xF8\xEDprava na zpetn\xE9 vol\xE1n\xED"},  // Příprava na zpetné volání
    {RASCS_WaitForModemReset,
     "\xC8"
     "ek\xE1 se na reset modemu"},  // Čeká se na reset modemu
    {RASCS_WaitForCallback,
     "\xC8"
     "ek\xE1 se na zp\xECtn\xE9 vol\xE1n\xED"},  // Čeká se na zpětné volání
    {RASCS_Projected, "Navrhnuto"},
    {RASCS_StartAuthentication,
     "Ov\xEC\xF8ov\xE1n\xED u\x9Eivatelsk\xFD"
     "ch informac\xED"},  // Ověřování uživatelských informací
    {RASCS_CallbackComplete, "Zpetn\xE9 vol\xE1n\xED hotovo"},  // Zpetné volání hotovo
    {RASCS_LogonNetwork, "P\xF8ipojuje se na s\xED\x9D"},       // Připojuje se na síť
    {RASCS_Interactive, "Interakce"},
    {RASCS_RetryAuthentication,
     "Opakov\xE1n\xED ove\xF8"
     "en\xED"},  // Opakování oveření
    {RASCS_CallbackSetByCaller,
     "Zpe\xECtn\xE9 vol\xE1n\xED zvoleno u\x9Eivatelem"},  // Zpeětné volání zvoleno uživatelem
    {RASCS_PasswordExpired,
     "Platnost hesla vypr\x9A"
     "ela"},  // Platnost hesla vypršela
    {RASCS_Connected, "Spojeno"},
    {RASCS_Disconnected, "Rozpojeno"},
};

// Code page 1252. States 6, 10 and 12 share one text.
constexpr TStatusRow kPortuguese[] = {
    {RASCS_OpenPort, "Abrindo a porta"},
    {RASCS_PortOpened, "Porta aberta"},
    {RASCS_ConnectDevice, "Conectando componente"},
    {RASCS_DeviceConnected, "Componente conenctado"},
    {RASCS_AllDevicesConnected, "Todos componentes conectados"},
    {RASCS_Authenticate,
     "Iniciando autentica\xE7"
     "ao"},  // Iniciando autenticaçao
    {RASCS_AuthNotify,
     "Autentica\xE7"
     "ao: enviando"},  // Autenticaçao: enviando
    {RASCS_AuthRetry,
     "Autentica\xE7"
     "ao: Reenviando"},  // Autenticaçao: Reenviando
    {RASCS_AuthCallback,
     "Autentica\xE7"
     "ao: Esperando"},  // Autenticaçao: Esperando
    {RASCS_AuthChangePassword,
     "Autentica\xE7"
     "ao: Senha incorreta"},  // Autenticaçao: Senha incorreta
    {RASCS_AuthProject,
     "Autentica\xE7"
     "ao: enviando"},  // Autenticaçao: enviando
    {RASCS_AuthLinkSpeed,
     "Autentica\xE7"
     "ao: Velocidade da linha"},  // Autenticaçao: Velocidade da linha
    {RASCS_AuthAck,
     "Autentica\xE7"
     "ao: enviando"},  // Autenticaçao: enviando
    {RASCS_ReAuthenticate,
     "Autentica\xE7"
     "ao: Re-Autenticando"},  // Autenticaçao: Re-Autenticando
    {RASCS_Authenticated, "Autenticado"},
    {RASCS_PrepareForCallback, "Preparando para callback"},
    {RASCS_WaitForModemReset, "Esperando Reset do modem"},
    {RASCS_WaitForCallback, "Esperando callback"},
    {RASCS_Projected, "Enviando"},
    {RASCS_StartAuthentication,
     "Autentica\xE7"
     "ao iniciada"},  // Autenticaçao iniciada
    {RASCS_CallbackComplete, "Callback completo"},
    {RASCS_LogonNetwork, "Logando na rede"},
    {RASCS_Interactive, "Modo Interativo"},
    {RASCS_RetryAuthentication, "Re-autenticar"},
    {RASCS_CallbackSetByCaller, "Callback foi conf. pelo destino"},
    {RASCS_PasswordExpired, "Senha inv\xE1lida"},  // Senha inválida
    {RASCS_Connected, "Conectado"},
    {RASCS_Disconnected, "Desconectado"},
};

template <size_t N>
const char* Find(const TStatusRow (&table)[N], int32_t state) {
  for (const TStatusRow& row : table)
    if (static_cast<int32_t>(row.state) == state) return row.text;
  return "";
}

}  // namespace

const char* DialStatusText(int language, int32_t state) {
  switch (language) {
    case 1:
      return Find(kCzech, state);
    case 2:
      return Find(kPortuguese, state);
    default:
      return Find(kEnglish, state);
  }
}
