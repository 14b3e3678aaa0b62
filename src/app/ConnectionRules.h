// TConnectionRules: what the main window counts and decides about keeping
// the connection up (the attempt number, the user's own hang-up) apart from
// the controls that show it. Plain logic: it is told what happened and asked
// what to do next.
#pragma once

class TConnectionRules {
 public:
  // The attempt dialling, or the last one dialled; 1 from a Connect on.
  int AttemptNo() const { return attemptNo_; }
  // A hang-up was asked for (Disconnect, the timed event): the next drop is
  // the one asked for and is not redialled.
  bool UserHangUp() const { return userHangUp_; }

  // Connect, by the user or for an unasked drop: a hang-up asked for before
  // is done with, and the count starts again.
  void Connect();
  // Disconnect: the next drop, or a dial it stops, redials nothing.
  void HangUpAsked() { userHangUp_ = true; }

  // Whether a connection that went is dialled again: only an unasked drop,
  // and only with automatic redial on.
  bool RedialsDrop(bool autoRedial) const { return !userHangUp_ && autoRedial; }
  // The drop has been handled (redialled or not): a hang-up asked for is
  // used up by it, so a later drop is redialled.
  void DropHandled() { userHangUp_ = false; }
  // Whether a failed dial's redial timer runs: as for a drop, a dial the user
  // stopped is not dialled again.
  bool RedialsFailure(bool autoRedial) const { return RedialsDrop(autoRedial); }
  // A redial tick: counts the next attempt and says whether it is still
  // within `maxAttempts` (the first attempt, Connect's, always is).
  bool NextAttempt(int maxAttempts);

 private:
  int attemptNo_ = 0;
  bool userHangUp_ = false;
};
