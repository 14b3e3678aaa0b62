#!/usr/bin/env bash
# Connect, a drop, the immediate redial, a connection again, then a hang-up
# asked for in the tray menu, which is not redialled. The pane's lines are
# read from the session log file; the tray icon and its hint are told apart
# by their pixels (disconnected, the dialling frames, connected), and the
# screenshots show them.
#
#   bash tests/e2e/connect_drop_redial.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init connect_drop_redial "${1:-build/windows}"

# The dial stays in "Connecting device" while the check looks at the icon and
# its hint: 6 s, or QUINDLE_E2E_DIAL_HOLD_MS where other checks run beside
# this one (tests/e2e/run) and each look may take longer.
hold="${QUINDLE_E2E_DIAL_HOLD_MS:-6000}"
e2e_phonebook <<EOF
; Connects in about $((hold / 1000 + 2)) seconds ($((hold / 1000)) s in "Connecting device"), drops 12 s later.
[Drop Line]
PhoneNumber=555 0108
UserName=e2e
Password=e2e
Script=0:200, 1:200, 2:$hold, 3:200, 4:100, 5:300, 6:200, 14:200, 18:200, 0x2000:200
DropAfter=12
ClientIP=10.64.8.2
ServerIP=10.64.8.1
HangUpDelay=200
EOF
e2e_logging "$E2E_ART/session.log"

e2e_start
e2e_find_tray_icon
sleep 0.5
e2e_shot disconnected "$E2E_MAIN"
e2e_icon disconnected
e2e_check "a hint on the icon (disconnected)" e2e_hint disconnected

# --- Connect ---------------------------------------------------------------
e2e_press_connect
e2e_wait_log '^Connection attempt #1 \(' 15
e2e_wait_log '^Opening port$' 5
# The dial stays in "Connecting device": the dialling presentation.
sleep 0.4
e2e_shot dialling "$E2E_MAIN"
e2e_check "a hint on the icon (dialling)" e2e_hint dialling
# The animation shows a frame every 700 ms: four looks over 1.05 s see both.
for i in 1 2 3 4; do
  e2e_icon dialling-$i
  sleep 0.35
done
e2e_check "the dial was still on meanwhile" eval '! e2e_log_lines | grep -q "^Device connected"'
for i in 1 2 3 4; do
  e2e_check "dialling: the icon is not the disconnected one ($i)" eval "! e2e_icons_alike dialling-$i disconnected"
done
frames=0
for i in 1 2 3; do e2e_icons_alike dialling-$i dialling-$((i + 1)) || frames=1; done
e2e_check "dialling: the icon is animated (its frames change)" test $frames = 1
e2e_check "dialling: the hint differs from the disconnected one" eval '! e2e_hints_same dialling disconnected'

e2e_wait_log '^Connected [0-9]' 15
sleep 0.3
e2e_shot connected "$E2E_MAIN"
e2e_icon connected
e2e_check "a hint on the icon (connected)" e2e_hint connected
e2e_check "connected: the icon differs from the disconnected one" eval '! e2e_icons_alike connected disconnected'
for i in 1 2 3 4; do
  e2e_check "connected: the icon is not a dialling frame ($i)" eval "! e2e_icons_alike connected dialling-$i"
done
e2e_check "connected: the hint differs from the other two" \
  eval '! e2e_hints_same connected disconnected && ! e2e_hints_same connected dialling'

# --- The drop and the redial -------------------------------------------------
e2e_wait_log '^Disconnected [0-9]' 20
e2e_wait_log '^Connection attempt #1 \(' 5 2
e2e_shot redialling "$E2E_MAIN"
e2e_icon redialling
e2e_tray_menu none
e2e_check "dialling: the menu offers Disconnect (which stops the dial), not Connect" \
  test "$E2E_MENU_CONNECT/$E2E_MENU_DISCONNECT" = disabled/enabled
e2e_check "redialling: a dialling icon" eval 'e2e_icons_alike redialling dialling-1 || e2e_icons_alike redialling dialling-2 || e2e_icons_alike redialling dialling-3'
e2e_wait_log '^Connected [0-9]' 15 2
sleep 0.3
e2e_icon connected-again
e2e_check "connected again: the connected icon" e2e_icons_alike connected-again connected
e2e_check "connected again: the connected hint" eval 'e2e_hint connected-again && e2e_hints_same connected-again connected'

# --- A hang-up asked for: not redialled ---------------------------------------
e2e_tray_menu disconnect
e2e_check "connected: the menu offered Disconnect, not Connect" \
  test "$E2E_MENU_CONNECT/$E2E_MENU_DISCONNECT" = disabled/enabled
e2e_wait_log '^Disconnected [0-9]' 5 2
sleep 3
e2e_shot hung-up "$E2E_MAIN"
e2e_icon hung-up
e2e_check "after the hang-up: the disconnected icon" e2e_icons_alike hung-up disconnected
e2e_check "after the hang-up: the disconnected hint" eval 'e2e_hint hung-up && e2e_hints_same hung-up disconnected'

e2e_exit_via_tray
e2e_check "disconnected again: the menu offered Connect, not Disconnect" \
  test "$E2E_MENU_CONNECT/$E2E_MENU_DISCONNECT" = enabled/disabled
e2e_doc_shot main-dialling dialling
e2e_doc_shot main-connected connected

# --- The pane's lines, as the log file holds them -----------------------------
e2e_log_lines >"$E2E_ART/session.txt"
T=$E2E_T D=$E2E_D
e2e_line_patterns "$T" "$D"
expected=(
  "${E2E_HEADER_RE[@]}"
  "${E2E_DIAL_RE[@]}"
  "^Disconnected $T \\($D\\)$"
  "${E2E_DIAL_RE[@]}"
  "^Disconnected $T \\($D\\)$"
)
e2e_expect_lines "$E2E_ART/session.txt" "${expected[@]}"
e2e_log "ok: the lines are, in order: header, advert, dial, connected, drop, redial, connected, hang-up"

# The redial follows the drop at once: its attempt line carries the drop's
# second or the next one.
drop_s="$(e2e_line_time "$(grep -m1 -E '^Disconnected ' "$E2E_ART/session.txt")")"
redial_s="$(e2e_line_time "$(grep -E '^Connection attempt #1 ' "$E2E_ART/session.txt" | sed -n 2p)")"
e2e_check "the redial within 1 s of the drop" test "$(e2e_delta "$drop_s" "$redial_s")" -le 1

# The second line that begins "Disconnected " is the hang-up asked for, not
# the line's own drop 12 s after the connection.
conn2_s="$(e2e_line_time "$(grep -E '^Connected [0-9]' "$E2E_ART/session.txt" | sed -n 2p)")"
drop2_s="$(e2e_line_time "$(grep -E '^Disconnected [0-9]' "$E2E_ART/session.txt" | sed -n 2p)")"
e2e_check "the hang-up came from the menu, before the line's drop" \
  test "$(e2e_delta "$conn2_s" "$drop2_s")" -lt 12

e2e_pass
