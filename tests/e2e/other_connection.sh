#!/usr/bin/env bash
# Another program's VPN is up from the start and listed before the chosen
# entry's line, and the service words its errors as Windows 10 does. Quindle
# does not take the VPN for its own connection: Connect is offered and dials
# the chosen entry, whose connection is shown; its drop is seen and
# redialled while the VPN stays; Disconnect hangs up the entry only. Who was
# hung up is read from the service's counts file (QUINDLE_SIM_REPORT).
#
#   bash tests/e2e/other_connection.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init other_connection "${1:-build/windows}"

e2e_phonebook <<'EOF'
; The service speaks as Windows 10 does.
ErrorTexts=Windows10

; Dialled by another program, up before Quindle starts and throughout.
[Corp VPN]
Foreign=1
DeviceType=vpn
DeviceName=WAN Miniport (IKEv2)
ClientIP=172.16.0.9
ServerIP=172.16.0.1
HangUpDelay=200

; Quindle's entry: connects in about 2.4 s, drops 14 s later: the menu is
; read and Disconnect pressed (and pressed again, should Wine lose the
; click) well before the second connection would drop, which would
; otherwise pass for the hang-up.
[Drop Line]
PhoneNumber=555 0108
UserName=e2e
Password=e2e
Script=0:200, 1:200, 2:600, 3:200, 4:100, 5:300, 6:200, 14:200, 18:200, 0x2000:200
DropAfter=14
ClientIP=10.64.8.2
ServerIP=10.64.8.1
HangUpDelay=200
EOF
# press_and_see PRESS REGEX COUNT: presses a button of the main window and
# waits until COUNT lines of the log file match; a press made right after the
# tray menu closed that the window never got (seen now and then under Wine's
# X11 input) is made once more, and said so.
press_and_see() {
  local press="$1" regex="$2" count="$3" i
  sleep 1
  "$press"
  for i in $(seq 1 10); do
    [ "$(e2e_log_lines | grep -cE -- "$regex")" -ge "$count" ] && return 0
    sleep 0.5
  done
  e2e_log "the press was not taken; pressing again"
  "$press"
}

e2e_sim_counts "$E2E_ART/counts.ini"
e2e_logging "$E2E_ART/session.log"

e2e_start
e2e_find_tray_icon
# A few of the monitor's polls: the VPN is listed all the while.
end=$((SECONDS + 10))
until [ -s "$E2E_COUNTS" ]; do
  [ $SECONDS -ge $end ] && e2e_fail "no counts file from the simulated service ($E2E_COUNTS)"
  sleep 0.2
done
sleep 2.5
e2e_shot vpn-up "$E2E_MAIN"
e2e_check "the VPN is not reported as Quindle's connection" \
  eval '! e2e_log_lines | grep -qE "^Connected [0-9]"'
e2e_tray_menu none
e2e_check "with the VPN up, the menu offers Connect, not Disconnect" \
  test "$E2E_MENU_CONNECT/$E2E_MENU_DISCONNECT" = enabled/disabled
e2e_check_count "Drop Line" Dials 0 "nothing dialled yet"

# --- Connect: the chosen entry -----------------------------------------------
press_and_see e2e_press_connect '^Connection attempt #1 \(' 1
e2e_wait_log '^Connection attempt #1 \(' 10
e2e_wait_log '^Connected [0-9]' 15
sleep 0.3
e2e_shot connected "$E2E_MAIN"
e2e_check_count "Drop Line" Dials 1 "Connect dialled the chosen entry"
e2e_check_count "Corp VPN" Dials 0 "the VPN was not dialled"

# --- Its drop, with the VPN still up: seen and redialled ------------------------
e2e_wait_log '^Disconnected [0-9]' 20
e2e_wait_log '^Connection attempt #1 \(' 5 2
e2e_wait_log '^Connected [0-9]' 15 2
e2e_check_count "Drop Line" Dials 2 "the drop was redialled"
e2e_check_count "Corp VPN" HangUps 0 "the VPN was never hung up"
e2e_check_count "Drop Line" HangUps 1 "the dropped line's handle was let go at the redial"

# --- Disconnect: the entry only --------------------------------------------------
e2e_tray_menu none
e2e_check "connected: the menu offers Disconnect, not Connect" \
  test "$E2E_MENU_CONNECT/$E2E_MENU_DISCONNECT" = disabled/enabled
press_and_see e2e_press_disconnect '^Disconnected [0-9]' 2
e2e_wait_log '^Disconnected [0-9]' 8 2
sleep 1
e2e_shot hung-up "$E2E_MAIN"
e2e_check_count "Corp VPN" HangUps 0 "Disconnect left the VPN up"
e2e_check_count "Drop Line" HangUps 2 "Disconnect hung up the entry"
e2e_check_count "" NotHungUp 0 "every handle Quindle dialled was hung up"
sleep 3
e2e_check "no redial after the hang-up asked for" \
  test "$(e2e_log_lines | grep -cE '^Connection attempt #')" -eq 2

e2e_exit_via_tray
e2e_check_count "Corp VPN" HangUps 0 "the VPN was still never hung up when Quindle ended"

# --- The pane's lines, as the log file holds them ----------------------------------
e2e_log_lines >"$E2E_ART/session.txt"
e2e_line_patterns "$E2E_T" "$E2E_D"
expected=(
  "${E2E_HEADER_RE[@]}"
  "${E2E_DIAL_RE[@]}"
  "^Disconnected $E2E_T \\($E2E_D\\)$"
  "${E2E_DIAL_RE[@]}"
  "^Disconnected $E2E_T \\($E2E_D\\)$"
)
e2e_expect_lines "$E2E_ART/session.txt" "${expected[@]}"
e2e_log "ok: header, dial, connected, drop, redial, connected, hang-up; no line of the VPN"

e2e_pass
