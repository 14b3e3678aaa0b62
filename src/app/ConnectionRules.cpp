#include "app/ConnectionRules.h"

void TConnectionRules::Connect() {
  userHangUp_ = false;
  attemptNo_ = 1;
}

bool TConnectionRules::NextAttempt(int maxAttempts) {
  // Counted also when past the limit: the count says how far the redials got.
  ++attemptNo_;
  return attemptNo_ <= maxAttempts;
}
