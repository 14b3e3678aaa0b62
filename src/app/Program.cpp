#include "app/Program.h"

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
