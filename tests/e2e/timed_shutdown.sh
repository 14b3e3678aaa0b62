#!/usr/bin/env bash
# A timed shutdown set in the dialog for the minute about to come, in a run
# that also moved the window and changed a setting. The shutdown Quindle asks
# for is forced: Wine ends the session without asking the programs. What the
# orderly exit saves must be in the registry all the same, with the moment
# that acted, so that it never acts again.
#
#   bash tests/e2e/timed_shutdown.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init timed_shutdown "${1:-build/windows}"

# The prefix's time and date separators, which the stored time and date use.
intl='HKCU\Control Panel\International'
e2e_apply_pending
tsep="$(e2e_reg_data "$intl" sTime)" || tsep=":"
dsep="$(e2e_reg_data "$intl" sDate)" || dsep="/"

e2e_start
sleep 0.5
# Moved by its title bar.
e2e_move_main 15 10
moved_x=$E2E_X moved_y=$E2E_Y
e2e_check "the window moved (now at $moved_x,$moved_y)" test "$moved_x" -ne 295 -o "$moved_y" -ne 172

# The minute that holds the moment 20 s from now: the timer ticks 10 s after
# the dialog closes and every 10 s after that, so one tick falls inside it.
export LC_ALL=C
at=$(($(date +%s) + 20))
hhmm="$(date -d "@$at" +%I%M)"
ampm="$(date -d "@$at" +%p)"
ddmmyy="$(date -d "@$at" +%d%m%y)"
want_time="$(date -d "@$at" "+%I${tsep}%M %p")"
want_date="$(date -d "@$at" "+%d${dsep}%m${dsep}%y")"
e2e_log "shutdown set for $want_time $want_date"

e2e_open_settings
e2e_click_settings 168 232         # "Minimize on connected": a setting changed in this run
e2e_click_settings 328 29          # Enable timer
sleep 0.2
e2e_click_settings 360 55          # time: hours and minutes
xdotool key Home
xdotool type --delay 30 "$hhmm"
e2e_click_settings 417 55          # AM or PM
xdotool type --delay 30 "${ampm:0:1}"
e2e_click_settings 360 82          # date
xdotool key Home
xdotool type --delay 30 "$ddmmyy"
e2e_click_settings 340 135         # "Shutdown PC at this time"
sleep 0.3
e2e_shot dialog "$E2E_SETTINGS"
e2e_click_settings 435 244         # OK
e2e_check "OK closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10

# The tick in the minute hangs up, waits 5 s and asks for the shutdown.
e2e_wait_exit 60
e2e_check "no crash report" \
  eval "! grep -qiE 'unhandled|page fault|winedbg|backtrace' '$E2E_ART/quindle-run$E2E_RUN.out'"
e2e_stop_server

e2e_reg_dump "$E2E_ART/registry-after.txt"
for want in "SLeft REG_DWORD $moved_x" "STop REG_DWORD $moved_y" "MiniStart REG_DWORD 1" \
  "EnableTimer REG_DWORD 1" "DisOrShut REG_DWORD 0" "Time REG_SZ $want_time" \
  "Date REG_SZ $want_date" "TimedDone REG_SZ $want_time $want_date"; do
  e2e_check "saved before the shutdown: $want" grep -qxF "$want" "$E2E_ART/registry-after.txt"
done

e2e_pass
