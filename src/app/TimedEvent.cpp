// The timed event: at the set moment the connection is hung up, or hung up
// and Windows shut down after everything the orderly exit saves is saved.
// One set moment acts at most once, also across a restart.
#include "app/Unit1.h"
#include "settings/SettingsStore.h"
#include "settings/TimedMoment.h"
#include "settings/Unit2.h"
#include "toolkit/Application.h"

std::optional<TDateTime> TForm1::TimedDeadline(const std::string& text) {
  const std::optional<TTimedMoment> m = ReadTimedMoment(text);
  if (!m || !m->IsReal()) return std::nullopt;
  return IncMinutes(EncodeDateTime({m->year, m->month, m->day, m->Hour24(), m->minute, 0, 0}), 2);
}

void TForm1::DisTimerTimer(TObject*) {
  const TPlatform& p = Application().Platform();
  const std::string moment = Shared.TimedTime + " " + Shared.TimedDate;
  // A moment acts once: not again when the clock is set back, when Settings
  // arms the timer again, or after a restart inside the set minute. A moment
  // changed in Settings is a new one.
  if (!timedEventDone_.empty() && moment != timedEventDone_) ForgetTimedEvent();
  if (moment == timedEventDone_) {
    DisTimer->SetEnabled(false);
    return;
  }
  std::optional<TDateTime> deadline = TimedDeadline(moment);
  TDateTime now = p.clock->Now();
  // A moment that is no real time or date can never come: stop as if missed.
  if (!deadline || now > *deadline) {
    DisTimer->SetEnabled(false);
    return;
  }
  if (FormatTimeAmPm(now, p.locale->TimeSeparator()) != Shared.TimedTime ||
      FormatDateDdMmYy(now, p.locale->DateSeparator()) != Shared.TimedDate)
    return;
  DisTimer->SetEnabled(false);
  RecordTimedEvent(moment);
  DisButtonClick(this);
  if (Shared.DisconnectAtTime) return;
  TApplication& app = Application();
  app.ProcessMessages();
  app.Backend().Sleep(5000);
  // A forced shutdown ends the program without asking it: what the orderly
  // exit saves is saved now, without a box that would hold the shutdown up.
  // A refused shutdown leaves the program running.
  SaveWithoutAsking();
  if (!ShutDownWindows(EWX_SHUTDOWN_T | EWX_FORCE_T))
    app.MessageBox("Error shutting down Windows", app.Title(), MB_OK_T | MB_ICONERROR_T);
}

void TForm1::RecordTimedEvent(const std::string& moment) {
  timedEventDone_ = moment;
  // Stored at once: the shutdown that follows may end the program any moment.
  // A refused write is reported later; within this run the moment is known.
  try {
    TSettingsWriter(*Application().Platform().registry).Text(Stored::kTimedDone, moment);
  } catch (const std::exception& e) {
    Application().HandleExceptionLater(e);
  }
}

void TForm1::ForgetTimedEvent() {
  timedEventDone_.clear();
  try {
    TSettingsWriter(*Application().Platform().registry).Remove(Stored::kTimedDone);
  } catch (const std::exception& e) {
    Application().HandleExceptionLater(e);
  }
}

bool TForm1::ShutDownWindows(uint32_t flags) {
  ISystem& system = *Application().Platform().system;
  if (system.PlatformId() == VER_PLATFORM_WIN32_NT_T) system.EnableShutdownPrivilege();
  return system.ExitWindowsEx(flags, 0) != 0;
}
