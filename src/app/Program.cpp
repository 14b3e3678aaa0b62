#include "app/Program.h"

#include <exception>

#include "app/OneCopy.h"
#include "app/Unit1.h"
#include "settings/Unit2.h"
#include "toolkit/Application.h"

TQuindle CreateQuindle(TApplication& app) {
  TQuindle q;
  app.SetTitle("Quindle");
  q.Form1 = app.CreateForm<TForm1>();
  q.SettingsForm = app.CreateForm<TSettingsForm>(q.Form1->Link());
  q.Form1->SetSettingsForm(q.SettingsForm);
  app.OnEndSession = TNotifyEvent::Bind(q.Form1, &TForm1::SessionEnding);
  return q;
}

int RunQuindle(const TPlatform& platform, const std::function<IBackend&()>& makeBackend,
               std::string_view commandLine) {
  if (OneCopy::ParseStart(commandLine) == OneCopy::TStartRequest::EndRunningCopy)
    return !platform.singleCopy || OneCopy::EndFirstCopy(*platform.singleCopy) ? 0 : 1;
  const int platformId = platform.system ? platform.system->PlatformId() : VER_PLATFORM_WIN32_NT_T;
  if (platform.singleCopy && !OneCopy::ClaimFirst(*platform.singleCopy, platformId))
    return OneCopy::ShowFirstCopy(*platform.singleCopy) ? 0 : 1;
  TApplication app(makeBackend(), platform);
  TQuindle q;
  try {
    q = CreateQuindle(app);
  } catch (const std::exception& e) {
    // Start-up failed (no RAS library, say): its message, then the end.
    app.HandleException(e);
    return 1;
  }
  OneCopy::AnswerSecondStarts(app, *q.Form1);
  app.Run();
  app.DestroyForms();
  return 0;
}
