#!/usr/bin/env bash
# A timed shutdown set in the dialog for the minute about to come, in a run
# that also moved the window and changed a setting. The shutdown Quindle asks
# for is forced: Wine ends the session without asking the programs. What the
# orderly exit saves must be in the registry all the same, with the moment
# that acted, so that it never acts again (e2e_timed_shutdown in lib/common.sh).
#
#   bash tests/e2e/timed_shutdown.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init timed_shutdown "${1:-build/windows}"
e2e_timed_shutdown
e2e_pass
