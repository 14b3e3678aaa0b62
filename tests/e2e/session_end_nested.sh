#!/usr/bin/env bash
# The session ends while Quindle is inside a nested message loop: first with
# the Settings dialog open (a setting changed in it, the "Retry every" field
# emptied, the window moved), then in the middle of a dial. Each time the
# process ends at once with status 0 (a message box would hold it up), with
# no crash report, and the window position, the changed setting and the log
# file's lines are saved; the emptied field, which no close has checked,
# keeps the interval in force and stops none of the values stored after it.
#
#   bash tests/e2e/session_end_nested.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init session_end_nested "${1:-build/windows}"

e2e_phonebook <<'EOF'
; Stays 20 s in "Connecting device".
[Slow Line]
PhoneNumber=555 0400
UserName=e2e
Password=e2e
Script=0:200, 1:200, 2:200, 3:20000, 0x2000:200
EOF
e2e_logging "$E2E_ART/session.log"

# e2e_end_session_now: the session ends (as at log off); the program must end
# with it at once, with status 0 and nothing on its output about a crash.
e2e_end_session_now() {
  local status took t0
  t0=$(date +%s.%N)
  timeout 60 env LANG="$QUINDLE_WINE_LOCALE" LC_ALL="$QUINDLE_WINE_LOCALE" \
    "$WINE64" wineboot --end-session >"$E2E_ART/end-session-$1.out" 2>&1
  status=$?
  took="$(echo "$(date +%s.%N) - $t0" | bc)"
  e2e_check "the end of the session was not held up ($took s)" test $status -ne 124
  e2e_wait_exit 10
  e2e_check "Quindle ended with status 0 (got $E2E_EXIT_STATUS)" test "$E2E_EXIT_STATUS" -eq 0
  e2e_check "no crash report" \
    eval "! grep -qiE 'unhandled|page fault|exception|winedbg|backtrace' '$E2E_ART/quindle-run$E2E_RUN.out'"
  e2e_stop_server
}

# --- 1. With the Settings dialog open ----------------------------------------
e2e_start
sleep 0.5
e2e_move_main 20 -8
moved_x=$E2E_X moved_y=$E2E_Y
e2e_check "the window moved (now at $moved_x,$moved_y)" test "$moved_x" -ne 295 -o "$moved_y" -ne 172
e2e_open_settings
e2e_click_settings 168 232      # "Minimize on connected", and the dialog stays open
sleep 0.2
e2e_click_settings 112 142      # "Retry every", emptied
sleep 0.2
xdotool key End shift+Home BackSpace
sleep 0.3
e2e_shot settings-open "$E2E_SETTINGS"
e2e_end_session_now settings

e2e_reg_dump "$E2E_ART/registry-after-settings.txt"
for want in "SLeft REG_DWORD $moved_x" "STop REG_DWORD $moved_y" "RetryInt REG_DWORD 3000" \
  "MiniStart REG_DWORD 1" "ZimAdvt REG_DWORD 0"; do
  e2e_check "saved with the dialog open: $want" grep -qxF "$want" "$E2E_ART/registry-after-settings.txt"
done

# --- 2. In the middle of a dial -------------------------------------------------
e2e_start
sleep 0.5
e2e_move_main -15 12
moved_x=$E2E_X moved_y=$E2E_Y
e2e_press_connect
e2e_wait_log '^Connecting device$' 15
e2e_shot dialling "$E2E_MAIN"
e2e_end_session_now dial

e2e_reg_dump "$E2E_ART/registry-after-dial.txt"
for want in "SLeft REG_DWORD $moved_x" "STop REG_DWORD $moved_y"; do
  e2e_check "saved during the dial: $want" grep -qxF "$want" "$E2E_ART/registry-after-dial.txt"
done
e2e_check "the dial's lines reached the log file" \
  eval "e2e_log_lines | grep -qE '^Connection attempt #1 \\('"
e2e_check "the log file ends with the last pane line" test "$(e2e_log_lines | tail -n 1)" = "Connecting device"

e2e_pass
