#!/usr/bin/env bash
# A line that is always busy (678), with automatic redial every 2000 ms and at
# most 3 attempts: Connect makes attempt 1, the redial timer attempts 2 and 3
# one interval after each failure, and then nothing more happens.
#
#   bash tests/e2e/failing_redial.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init failing_redial "${1:-build/windows}"

e2e_phonebook <<'EOF'
; Busy at once: the first step of every dial reports 678.
[Busy Line]
PhoneNumber=555 0678
UserName=e2e
Script=0:50, 0x2000:0
FailCode=678
FailAt=0
EOF
e2e_reg_set AutoRecon dword 1
e2e_reg_set RetryInt dword 2000
e2e_reg_set AttempsInt dword 3
e2e_logging "$E2E_ART/session.log"

e2e_start
e2e_find_tray_icon
sleep 0.5
e2e_icon start
e2e_press_connect

# Each attempt line as it reaches the file, timed here to a tenth of a second.
declare -a seen
for n in 1 2 3; do
  end=$((SECONDS + 15))
  until e2e_log_lines | grep -qE "^Connection attempt #$n \\("; do
    [ $SECONDS -ge $end ] && e2e_fail "no line for attempt $n within 15 s"
    sleep 0.05
  done
  seen[$n]="$(date +%s.%N)"
  e2e_log "attempt $n seen"
  [ $n = 2 ] && e2e_shot waiting "$E2E_MAIN"
done
e2e_wait_log '^Error: 678$' 10 3
# Silence: the timer ticks once more (attempt 4 is over the limit) and stops.
sleep 7
e2e_shot silent "$E2E_MAIN"
e2e_icon silent
e2e_check "the disconnected icon after the last failure" e2e_icons_alike silent start
e2e_exit_via_tray
e2e_check "the menu offers Connect after the last failure" test "$E2E_MENU_CONNECT" = enabled

gap12="$(echo "${seen[2]} - ${seen[1]}" | bc)"
gap23="$(echo "${seen[3]} - ${seen[2]}" | bc)"
e2e_log "attempts seen ${gap12} s and ${gap23} s apart (interval 2.000 s, a failure takes 0.05 s)"
for gap in "$gap12" "$gap23"; do
  e2e_check "attempts one interval apart ($gap s)" test "$(echo "$gap >= 1.8 && $gap <= 3.0" | bc)" = 1
done

e2e_log_lines >"$E2E_ART/session.txt"
T=$E2E_T D=$E2E_D
e2e_line_patterns "$T" "$D"
expected=(
  "${E2E_HEADER_RE[@]}"
  "^Connection attempt #1 \\($T\\)$" '^Error: 678$'
  "^Connection attempt #2 \\($T\\)$" '^Error: 678$'
  "^Connection attempt #3 \\($T\\)$" '^Error: 678$'
)
e2e_expect_lines "$E2E_ART/session.txt" "${expected[@]}"
mapfile -t lines <"$E2E_ART/session.txt"
e2e_log "ok: three attempts, each followed by 'Error: 678', then silence"

# The times in the lines agree: two or three seconds between attempts.
t1="$(e2e_line_time "${lines[6]}")" t2="$(e2e_line_time "${lines[8]}")" t3="$(e2e_line_time "${lines[10]}")"
for d in "$(e2e_delta "$t1" "$t2")" "$(e2e_delta "$t2" "$t3")"; do
  e2e_check "the attempt lines' times $d s apart" test "$d" -ge 2 -a "$d" -le 3
done

e2e_pass
