#!/usr/bin/env bash
# The user's session ends while Quindle runs minimised to the tray with a
# changed setting and a moved window: the end of the session is not held up,
# the process ends, and the position and the settings are saved. On the way
# there: the close box and Escape only hide the window, and a click on the
# tray icon brings it back.
#
#   bash tests/e2e/session_end.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init session_end "${1:-build/windows}"

e2e_start
sleep 0.5
# Moved by its title bar.
e2e_move_main 20 -8
moved_x=$E2E_X moved_y=$E2E_Y
e2e_check "the window moved (now at $moved_x,$moved_y)" test "$moved_x" -ne 295 -o "$moved_y" -ne 172

# A changed setting: "Minimize on connected", then OK.
e2e_open_settings
e2e_click_settings 168 232
sleep 0.2
e2e_click_settings 435 244
e2e_check "OK closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10

# The close box only hides the window; a click on the tray icon brings it
# back; Escape hides it again.
e2e_measure_frame
e2e_pointer $((E2E_X + E2E_W - E2E_BORDER - 9)) $((E2E_Y + E2E_BORDER + 8))
xdotool click 1
e2e_check "the close box hides the window" e2e_wait_gone "$E2E_MAIN" 10
e2e_check "the program runs on in the tray" e2e_alive
e2e_find_tray_icon
e2e_pointer "$E2E_ICON_X" "$E2E_ICON_Y"
xdotool click 1
end=$((SECONDS + 10))
until xdotool search --onlyvisible --name '^Quindle$' 2>/dev/null | grep -qx "$E2E_MAIN"; do
  [ $SECONDS -ge $end ] && e2e_fail "a click on the tray icon did not bring the window back"
  sleep 0.2
done
e2e_log "ok: a click on the tray icon brings the window back"
sleep 0.5
e2e_measure_frame
e2e_check "the window came back where it was ($E2E_X,$E2E_Y)" test "$E2E_X" -eq "$moved_x" -a "$E2E_Y" -eq "$moved_y"
e2e_click_main 118 20
xdotool key Escape
e2e_check "Escape hides the window" e2e_wait_gone "$E2E_MAIN" 10
e2e_check "the program runs on in the tray" e2e_alive
e2e_shot in-tray

# The session ends (as at log off): the programs are asked to close.
t0=$(date +%s.%N)
timeout 60 env LANG="$QUINDLE_WINE_LOCALE" LC_ALL="$QUINDLE_WINE_LOCALE" "$WINE64" wineboot --end-session \
  >"$E2E_ART/end-session.out" 2>&1
status=$?
took="$(echo "$(date +%s.%N) - $t0" | bc)"
e2e_log "wineboot --end-session returned $status after $took s"
e2e_check "the end of the session was not held up (it took $took s)" test $status -ne 124
end=$((SECONDS + 10))
while e2e_alive && [ $SECONDS -lt $end ]; do sleep 0.1; done
e2e_check "Quindle ended with the session" eval '! e2e_alive'
E2E_QPID=""
quindle_end_session

e2e_reg_dump "$E2E_ART/registry-after.txt"
for want in "SLeft REG_DWORD $moved_x" "STop REG_DWORD $moved_y" "MiniStart REG_DWORD 1"; do
  e2e_check "saved: $want" grep -qxF "$want" "$E2E_ART/registry-after.txt"
done

e2e_pass
