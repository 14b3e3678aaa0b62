#!/usr/bin/env bash
# A second start while Quindle runs connected, hidden in the notification
# area: the second Quindle.exe ends within seconds by itself; the first
# one's window comes out again, and there is still one Quindle process, one
# main window and one tray icon. The second loaded neither the RAS library
# nor the rich edit library (it made no window), and the settings key, the
# Run value and the log file are as they were before it.
#
#   bash tests/e2e/second_start.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init second_start "${1:-build/windows}"

# Quindle.exe processes in this check's prefix: Wine runs each as a Unix
# process whose command line names the program and whose environment names
# the prefix (other prefixes may run Quindle at the same time).
quindle_processes() {
  local pid n=0
  for pid in $(pgrep -f -- 'Quindle\.exe'); do
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = timeout ] && continue
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && n=$((n + 1))
  done
  echo "$n"
}

# Icons in the tray's window: cells (20 pixels, left to right) that hold a
# picture, as e2e_find_tray_icon looks for the first of them.
tray_icons() {
  local cells k n=0 img="$E2E_ART/.tray-count.png"
  e2e_geometry "$E2E_TRAY" || return 1
  import -window "$E2E_TRAY" "$img" 2>/dev/null || return 1
  cells=$(((G_W - 2 * E2E_BORDER) / 20))
  for ((k = 0; k < cells; k++)); do
    [ "$(e2e_colours "$img" 16x16+$((E2E_BORDER + 20 * k + 2))+$((G_H - E2E_BORDER - 18)))" -gt 2 ] &&
      n=$((n + 1))
  done
  echo "$n"
}

e2e_logging "$E2E_ART/session.log"
e2e_start
e2e_press_connect
e2e_wait_log '^Connected ' 30

# The close box hides the window; the program runs on in the tray.
e2e_measure_frame
e2e_pointer $((E2E_X + E2E_W - E2E_BORDER - 9)) $((E2E_Y + E2E_BORDER + 8))
xdotool click 1
e2e_check "the close box hides the window" e2e_wait_gone "$E2E_MAIN" 10
e2e_find_tray_icon
e2e_check "one Quindle process before the second start" test "$(quindle_processes)" -eq 1
e2e_check "one tray icon before the second start" test "$(tray_icons)" -eq 1

e2e_reg_dump "$E2E_ART/registry-before.txt"
e2e_reg_data "$E2E_RUNKEY" Quindle >"$E2E_ART/run-before.txt"
cp "$E2E_LOGFILE" "$E2E_ART/session-before.log"
e2e_check "the log file holds the session" grep -q 'Connected ' "$E2E_ART/session-before.log"

# The second start, with Wine's trace of the libraries it loads.
t0=$(date +%s.%N)
(
  cd "$E2E_ART" &&
    exec timeout 60 env WINEDEBUG=-all,+loaddll LANG="$QUINDLE_WINE_LOCALE" LC_ALL="$QUINDLE_WINE_LOCALE" \
      "$WINE64" "$E2E_BUILD/Quindle.exe" >"$E2E_ART/second.out" 2>&1
)
status=$?
took="$(echo "$(date +%s.%N) - $t0" | bc)"
e2e_log "the second Quindle.exe ended with status $status after $took s"
e2e_check "the second start ended by itself, reporting the first shown (status $status)" test $status -eq 0
e2e_check "the second start ended within 10 s ($took s)" test "$(echo "$took < 10" | bc)" -eq 1
e2e_check "the second start's trace lists the libraries it loaded" grep -qi 'Loaded .*kernel32' "$E2E_ART/second.out"
e2e_check "the second start loaded no RAS library" eval '! grep -qi "rasapi32" "$E2E_ART/second.out"'
e2e_check "the second start made no window (no rich edit library)" \
  eval '! grep -qi "riched20" "$E2E_ART/second.out"'

end=$((SECONDS + 10))
until xdotool search --onlyvisible --name '^Quindle$' 2>/dev/null | grep -qx "$E2E_MAIN"; do
  [ $SECONDS -ge $end ] && e2e_fail "the first Quindle's window did not come out of the tray"
  sleep 0.2
done
e2e_log "ok: the first Quindle's window is shown again"
e2e_shot after-second-start
e2e_check "one Quindle process after the second start" test "$(quindle_processes)" -eq 1
e2e_check "the first Quindle runs on" e2e_alive
e2e_check "one Quindle main window" test "$(xdotool search --name '^Quindle$' 2>/dev/null | wc -l)" -eq 1
e2e_find_tray_icon
e2e_check "one tray icon after the second start" test "$(tray_icons)" -eq 1

e2e_reg_dump "$E2E_ART/registry-after.txt"
e2e_reg_data "$E2E_RUNKEY" Quindle >"$E2E_ART/run-after.txt"
e2e_check "the settings key as before ($(tr '\n' ';' <"$E2E_ART/registry-after.txt"))" \
  cmp -s "$E2E_ART/registry-before.txt" "$E2E_ART/registry-after.txt"
e2e_check "the Run value as before" cmp -s "$E2E_ART/run-before.txt" "$E2E_ART/run-after.txt"
e2e_check "the log file as before" cmp -s "$E2E_ART/session-before.log" "$E2E_LOGFILE"

e2e_exit_via_tray
e2e_pass
