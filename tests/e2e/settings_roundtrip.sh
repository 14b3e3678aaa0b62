#!/usr/bin/env bash
# Settings changed in the dialog with the mouse and the keyboard (real input
# through the display), the window moved by its title bar, Exit; then a
# second start: every setting, the position and the entry choice come back.
#
# Run 1 changes every stored setting away from its default. The registry after
# Exit must hold each new value, and the phone book the typed credentials.
# Run 2 shows them at work: the window where it was left, a synchronous dial
# (DialMode) of the second entry (ConInt) made by itself (AutoCon) one retry
# interval after the start (RetryInt), into the same log file (LogEnabled,
# LogFile) without the advert line (ZimAdvt), the window going to the tray
# when connected (MiniStart). A change made and undone in the dialog then has
# every setting written again from the dialog's controls: the key must come
# out as it went in.
#
#   bash tests/e2e/settings_roundtrip.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init settings_roundtrip "${1:-build/windows}"

e2e_phonebook <<'EOF'
; Only the second entry connects; the others fail before dialling.
[Alpha Line]
PhoneNumber=555 0001
ImmediateError=797

[Bravo Line]
PhoneNumber=555 0002
UserName=bravo
Password=old
Script=0:100, 1:100, 2:400, 3:100, 4:50, 5:100, 6:100, 14:100, 18:100, 0x2000:100
ClientIP=10.64.9.2

[Charlie Line]
PhoneNumber=555 0003
ImmediateError=797
EOF
LOG="$E2E_ART/roundtrip.log"
LOG_WIN="$(quindle_winpath "$LOG")"

# e2e_type_into X Y TEXT: a click into a field of the dialog, its text
# selected, then TEXT typed.
e2e_type_into() {
  e2e_click_settings "$1" "$2"
  sleep 0.2
  xdotool key End shift+Home
  xdotool type --delay 40 "$3"
  sleep 0.2
}

# ---- Run 1: change everything ----------------------------------------------
e2e_start
sleep 0.5
# Move the window by dragging its title bar.
e2e_move_main -15 6 10
moved_x=$E2E_X moved_y=$E2E_Y
e2e_check "the window moved by its title bar (now at $moved_x,$moved_y)" \
  test "$moved_x" -ne 295 -o "$moved_y" -ne 172

e2e_open_settings
e2e_shot dialog-before "$E2E_SETTINGS"
# " Connection " frame at 5,5: Sync, the second entry, credentials.
e2e_click_settings 263 61
e2e_click_settings 100 35
sleep 0.4
xdotool key Down Return
sleep 0.3
e2e_type_into 66 75 'e2e-user'
e2e_type_into 186 75 's3cret'
# " Connection settings " at 5,96: letters are dropped from the numbers.
e2e_type_into 112 142 '8x0a00'
e2e_type_into 112 174 '7'
# " Logging " at 152,96: on, into the check's own file.
e2e_click_settings 168 120
sleep 0.2
e2e_type_into 220 163 "$LOG_WIN"
# " Startup settings " at 5,200 and " Minimize setting " at 152,200.
e2e_click_settings 21 224
e2e_click_settings 21 242
e2e_click_settings 168 232
# " Timed events " at 312,5: on, 11:30 PM, 31/12/30, shut down. The masked
# fields are overwritten from their first position.
e2e_click_settings 328 29
sleep 0.2
e2e_click_settings 360 55
xdotool key Home
xdotool type --delay 40 '1130'
e2e_click_settings 417 55
xdotool type --delay 40 'p'
e2e_click_settings 360 82
xdotool key Home
xdotool type --delay 40 '311230'
e2e_click_settings 328 135
# The advert switch below the frames.
e2e_click_settings 320 216
sleep 0.3
e2e_shot dialog-changed "$E2E_SETTINGS"
# OK.
e2e_click_settings 435 244
e2e_check "OK closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10
sleep 0.5
e2e_check "no error message on closing the dialog" e2e_no_message_box
e2e_exit_via_tray

e2e_reg_dump "$E2E_ART/registry-run1.txt"
cat >"$E2E_ART/registry-expected.txt" <<EOF
AttempsInt REG_DWORD 7
AutoCon REG_DWORD 1
AutoRecon REG_DWORD 1
ConInt REG_DWORD 1
ConName REG_SZ Bravo Line
Date REG_SZ 31/12/30
DialMode REG_DWORD 1
DisOrShut REG_DWORD 0
EnableTimer REG_DWORD 1
LogEnabled REG_DWORD 1
LogFile REG_SZ $LOG_WIN
MiniStart REG_DWORD 1
RetryInt REG_DWORD 8000
SLeft REG_DWORD $moved_x
STop REG_DWORD $moved_y
Time REG_SZ 11:30 PM
WinBoot REG_DWORD 1
ZimAdvt REG_DWORD 1
EOF
if ! cmp -s "$E2E_ART/registry-expected.txt" "$E2E_ART/registry-run1.txt"; then
  diff "$E2E_ART/registry-expected.txt" "$E2E_ART/registry-run1.txt" | sed 's/^/    /'
  e2e_fail "the settings key after run 1 is not as set in the dialog"
fi
e2e_log "ok: the settings key holds every value set in the dialog, and the position"
run_value="$(e2e_reg_data "$E2E_RUNKEY" Quindle)"
e2e_check "the Run value names the program ($run_value)" \
  test "${run_value,,}" = "$(quindle_winpath "$E2E_BUILD/Quindle.exe" | tr '[:upper:]' '[:lower:]')"
e2e_check "the typed credentials were stored with the second entry" \
  eval "tr -d '\r' <'$E2E_ART/phonebook.ini' | sed -n '/^\[Bravo Line\]/,/^\[/p' | grep -qx 'UserName=e2e-user' &&
        tr -d '\r' <'$E2E_ART/phonebook.ini' | sed -n '/^\[Bravo Line\]/,/^\[/p' | grep -qx 'Password=s3cret'"

# ---- Run 2: the settings at work -------------------------------------------
E2E_LOGFILE="$LOG"
start_clock="$(date +%H:%M:%S)"
e2e_start
e2e_check "the window where run 1 left it ($E2E_X,$E2E_Y)" test "$E2E_X" -eq "$moved_x" -a "$E2E_Y" -eq "$moved_y"
e2e_wait_log '^Connection Sync attempt #1 \(' 20
e2e_wait_log '^Connected [0-9]' 15
attempt_s="$(e2e_line_time "$(e2e_log_lines | grep -m1 -E '^Connection Sync attempt #1')")"
delay="$(e2e_delta "$(e2e_clock_seconds "$start_clock")" "$attempt_s")"
e2e_check "the first dial one retry interval (8 s) after the start (it came after $delay s)" \
  test "$delay" -ge 8 -a "$delay" -le 20
sleep 1
e2e_check "minimised to the tray once connected" \
  eval '! xdotool search --onlyvisible --name "^Quindle\$" 2>/dev/null | grep -qx "$E2E_MAIN"'

e2e_tray_menu restore
sleep 1
e2e_measure_frame
e2e_open_settings
e2e_shot dialog-run2 "$E2E_SETTINGS"
e2e_doc_shot settings dialog-run2
# A change undone marks the settings changed, so Exit writes them all again.
e2e_click_settings 168 232
sleep 0.2
e2e_click_settings 168 232
sleep 0.2
xdotool key Escape
e2e_check "Escape closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10
sleep 0.5
e2e_check "no error message on closing the dialog" e2e_no_message_box
e2e_shot main-run2 "$E2E_MAIN"
e2e_exit_via_tray

e2e_reg_dump "$E2E_ART/registry-run2.txt"
if ! cmp -s "$E2E_ART/registry-expected.txt" "$E2E_ART/registry-run2.txt"; then
  diff "$E2E_ART/registry-expected.txt" "$E2E_ART/registry-run2.txt" | sed 's/^/    /'
  e2e_fail "the settings key after run 2 differs: a setting did not come back into the dialog"
fi
e2e_log "ok: every setting came back through the dialog unchanged"

# The log file: run 1 wrote nothing (no line after logging came on), run 2
# its own block without the advert line.
e2e_log_lines >"$E2E_ART/roundtrip.txt"
e2e_check "one header block" test "$(grep -c '^NEW SESSION: ' "$E2E_ART/roundtrip.txt")" -eq 1
e2e_check "no advert line" eval "! grep -q 'quest\.example\.org' '$E2E_ART/roundtrip.txt'"
e2e_check "the lines of a synchronous dial" eval "grep -qE '^Connection Sync attempt #1 ' '$E2E_ART/roundtrip.txt'"

e2e_pass
