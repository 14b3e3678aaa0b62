#!/usr/bin/env bash
# A timed disconnect set in the dialog for the coming minute while connected
# (automatic redial on): the hang-up happens within the first 10 s of that
# minute and is not redialled; the timed event is stored at Exit in the
# prefix's own time and date formats.
#
#   bash tests/e2e/timed_disconnect.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init timed_disconnect "${1:-build/windows}"

e2e_phonebook <<'EOF'
[Timed Line]
PhoneNumber=555 0300
UserName=e2e
Password=e2e
Script=0:100, 1:100, 2:500, 3:100, 4:50, 5:100, 6:100, 14:100, 18:100, 0x2000:100
HangUpDelay=200
EOF
e2e_logging "$E2E_ART/timed.log"
e2e_reg_set AutoRecon dword 1

# The prefix's time and date separators, which the stored time and date use.
intl='HKCU\Control Panel\International'
e2e_apply_pending
tsep="$(e2e_reg_data "$intl" sTime)" || tsep=":"
dsep="$(e2e_reg_data "$intl" sDate)" || dsep="/"
e2e_log "the prefix's separators: time '$tsep', date '$dsep'"

e2e_start
sleep 0.5
e2e_press_connect
e2e_wait_log '^Connected [0-9]' 20

# The coming minute, at least 15 s away (time to set it in the dialog), in
# the host's time zone, which Wine's is; AM and PM from the C locale.
export LC_ALL=C
now=$(date +%s)
at=$(((now + 15 + 59) / 60 * 60))
hhmm="$(date -d "@$at" +%I%M)"
ampm="$(date -d "@$at" +%p)"
ddmmyy="$(date -d "@$at" +%d%m%y)"
want_time="$(date -d "@$at" "+%I${tsep}%M %p")"
want_date="$(date -d "@$at" "+%d${dsep}%m${dsep}%y")"
at_s=$((10#$(date -d "@$at" +%H) * 3600 + 10#$(date -d "@$at" +%M) * 60))
e2e_log "disconnect set for $want_time $want_date ($((at - now)) s ahead)"

e2e_open_settings
e2e_click_settings 328 29          # Enable timer: the fields show the present moment
sleep 0.2
e2e_click_settings 360 55          # time: hours and minutes
xdotool key Home
xdotool type --delay 40 "$hhmm"
e2e_click_settings 417 55          # AM or PM
xdotool type --delay 40 "${ampm:0:1}"
e2e_click_settings 360 82          # date
xdotool key Home
xdotool type --delay 40 "$ddmmyy"
sleep 0.3
e2e_shot dialog "$E2E_SETTINGS"
e2e_click_settings 435 244         # OK
e2e_check "OK closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10
e2e_check "set with $((at - $(date +%s))) s to spare" test "$(date +%s)" -lt "$at"

# The hang-up: up to 10 s into the minute, then no redial.
end=$((at + 20))
until e2e_log_lines | grep -qE '^Disconnected [0-9]'; do
  [ "$(date +%s)" -ge $end ] && e2e_fail "no hang-up by $(date -d "@$end" +%T)"
  e2e_alive || e2e_fail "Quindle ended"
  sleep 0.2
done
sleep 5
e2e_shot after "$E2E_MAIN"
e2e_exit_via_tray

e2e_log_lines >"$E2E_ART/timed.txt"
drop="$(grep -m1 -E '^Disconnected [0-9]' "$E2E_ART/timed.txt")"
into="$(e2e_delta "$at_s" "$(e2e_line_time "$drop")")"
e2e_check "the hang-up within the first 10 s of the minute ('$drop', $into s in)" test "$into" -le 10
e2e_check "the connection was up until then" \
  test "$(grep -cE '^Disconnected [0-9]' "$E2E_ART/timed.txt")" -eq 1
e2e_check "not redialled: the hang-up is the last line" test "$(tail -n 1 "$E2E_ART/timed.txt")" = "$drop"
e2e_check "one attempt in all" test "$(grep -cE '^Connection attempt #' "$E2E_ART/timed.txt")" -eq 1

e2e_reg_dump "$E2E_ART/registry-after.txt"
for want in "EnableTimer REG_DWORD 1" "Time REG_SZ $want_time" "Date REG_SZ $want_date" "DisOrShut REG_DWORD 1"; do
  e2e_check "stored: $want" grep -qxF "$want" "$E2E_ART/registry-after.txt"
done

e2e_pass
