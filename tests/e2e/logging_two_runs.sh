#!/usr/bin/env bash
# Logging on across two runs: run 1 connects and hangs up twice with the
# buttons, which fills the pane past its height (its scroll bar comes and the
# text re-wraps), run 2 once with the tray menu. The log file then holds two header
# blocks, each opened by an empty line, and after each the lines of its run
# (advert line included) exactly once, in order, with CR LF line ends.
#
#   bash tests/e2e/logging_two_runs.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init logging_two_runs "${1:-build/windows}"

e2e_phonebook <<'EOF'
[Log Line]
PhoneNumber=555 0200
UserName=e2e
Password=e2e
Script=0:100, 1:100, 2:500, 3:100, 4:50, 5:100, 6:100, 14:100, 18:100, 0x2000:100
HangUpDelay=200
EOF
# The file does not exist yet: the settings' load makes it.
e2e_logging "$E2E_ART/two-runs.log"

# ---- Run 1 -----------------------------------------------------------------
e2e_start
sleep 0.5
e2e_check "the file is made at start-up, empty" test -f "$E2E_LOGFILE" -a ! -s "$E2E_LOGFILE"
for dial in 1 2; do
  e2e_press_connect
  e2e_wait_log '^Connected [0-9]' 20 $dial
  sleep 1
  e2e_press_disconnect
  e2e_wait_log '^Disconnected [0-9]' 10 $dial
  sleep 1
done
e2e_shot run1 "$E2E_MAIN"
e2e_exit_via_tray
cp "$E2E_LOGFILE" "$E2E_ART/after-run1.log"

# ---- Run 2 -----------------------------------------------------------------
e2e_start
sleep 0.5
e2e_check "run 2 writes nothing before its first new line" cmp -s "$E2E_LOGFILE" "$E2E_ART/after-run1.log"
e2e_tray_menu connect
e2e_wait_log '^Connected [0-9]' 20 3
sleep 1
e2e_tray_menu disconnect
e2e_wait_log '^Disconnected [0-9]' 10 3
sleep 1
e2e_shot run2 "$E2E_MAIN"
e2e_exit_via_tray

# ---- The file ----------------------------------------------------------------
e2e_check "run 2 only appended to the file" \
  eval "cmp -s -n \"$(stat -c %s "$E2E_ART/after-run1.log")\" '$E2E_ART/after-run1.log' '$E2E_LOGFILE'"
e2e_check "every line ends in CR LF" \
  eval "[ \"\$(grep -c \$'\\r\$' '$E2E_LOGFILE')\" -eq \"\$(wc -l <'$E2E_LOGFILE')\" ] &&
        [ \"\$(tail -c 2 '$E2E_LOGFILE' | od -An -c | tr -d ' ')\" = '\\r\\n' ]"
e2e_log_lines >"$E2E_ART/two-runs.txt"
T=$E2E_T D=$E2E_D
e2e_line_patterns "$T" "$D"
dial=("${E2E_DIAL_RE[@]}" "^Disconnected $T \\($D\\)$")
run1=("${E2E_HEADER_RE[@]}" "${dial[@]}" "${dial[@]}")
run2=("${E2E_HEADER_RE[@]}" "${dial[@]}")
expected=("${run1[@]}" "${run2[@]}")
e2e_expect_lines "$E2E_ART/two-runs.txt" "${expected[@]}"
mapfile -t lines <"$E2E_ART/two-runs.txt"
e2e_log "ok: two blocks, each: header, advert and its empty line, the dials, connected, disconnected"
e2e_check "the lines of run 1 are all in the file after run 1 (${#run1[@]} lines)" \
  test "$(wc -l <"$E2E_ART/after-run1.log")" -eq ${#run1[@]}
second=$((${#run1[@]} + 2))
e2e_check "the second block is the later session" \
  eval '[ "$(e2e_delta "$(e2e_line_time "${lines[2]}")" "$(e2e_line_time "${lines[$second]}")")" -lt 3600 ] &&
        [ "${lines[2]}" != "${lines[$second]}" ]'

e2e_pass
