#!/usr/bin/env bash
# Four journeys with the service speaking as Windows 10 does, each a start of
# its own:
#  1. a refused password (691) redialled to the attempts limit: every attempt
#     has its line and, after it, the service's whole Windows 10 text of 691;
#     no dial beyond the limit, every failed dial hung up;
#  2. a stored position far off the screen (5000,5000): the window comes up
#     with its title bar on the screen, and that position is what is stored;
#  3. the second entry chosen in the settings dialog, with "Connect on start
#     up"; then an entry added above it: the next start dials the chosen
#     entry by its name, not the one now in its place;
#  4. Disconnect in a loop of quick failures (678): the loop stops, no dial
#     after it, every handle hung up, Connect offered again.
# Dials and hang-ups are read from the service's counts file
# (QUINDLE_SIM_REPORT), the pane's lines from the log file.
#
#   bash tests/e2e/windows10_journeys.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init windows10_journeys "${1:-build/windows}"
T=$E2E_T D=$E2E_D
e2e_line_patterns "$T" "$D"

# The journey's pane lines, as the log file holds them, against patterns.
check_lines() {
  local file="$1"
  shift
  local expected=("$@")
  e2e_log_lines >"$file"
  e2e_expect_lines "$file" "${expected[@]}"
}

# =============================================================================
# 1. A refused password, redialled to the limit
e2e_log "--- journey 1: 691 at authentication, redial every 500 ms, at most 3 attempts"
e2e_phonebook <<'EOF'
ErrorTexts=Windows10

; The user name and password are refused at the authentication step.
[Wrong Password]
PhoneNumber=555 0691
UserName=e2e
Password=wrong
Script=0:50, 1:50, 5:100, 0x2000:50
FailCode=691
FailAt=5
EOF
e2e_sim_counts "$E2E_ART/counts-1.ini"
e2e_reg_set AutoRecon dword 1
e2e_reg_set RetryInt dword 500
e2e_reg_set AttempsInt dword 3
e2e_logging "$E2E_ART/journey1.log"
e2e_start
e2e_press_connect
e2e_wait_log '^Connection attempt #3 \(' 15
e2e_wait_log '^Error: ' 10 3
# The redial timer ticks once more (a fourth attempt is over the limit) and
# stops; a fourth dial would come within the interval.
sleep 2
e2e_shot journey1 "$E2E_MAIN"
e2e_check_count "Wrong Password" Dials 3 "three dials, none beyond the limit"
e2e_check_count "" NotHungUp 0 "every failed dial was hung up"
e2e_exit_via_tray
text691='The remote connection was denied because the user name and password combination you provided is not recognized, or the selected authentication protocol is not permitted on the remote access server.'
# As a pattern: the text's full stops taken literally.
err691="^Error: ${text691//./\\.}$"
attempt=('^Opening port$' '^Port opened$' "$err691")
check_lines "$E2E_ART/journey1.txt" "${E2E_HEADER_RE[@]}" \
  "^Connection attempt #1 \\($T\\)$" "${attempt[@]}" \
  "^Connection attempt #2 \\($T\\)$" "${attempt[@]}" \
  "^Connection attempt #3 \\($T\\)$" "${attempt[@]}"
e2e_log "ok: attempts #1 to #3, each followed by the service's whole text of 691; no fourth"

# =============================================================================
# 2. A stored position off the screen
e2e_log "--- journey 2: SLeft=5000, STop=5000 stored"
e2e_phonebook <<'EOF'
ErrorTexts=Windows10

[Any Line]
PhoneNumber=555 0100
EOF
e2e_sim_counts "$E2E_ART/counts-2.ini"
e2e_reg_clear
e2e_reg_set SLeft dword 5000
e2e_reg_set STop dword 5000
e2e_start
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
e2e_log "the window is at $E2E_X,$E2E_Y, ${E2E_W}x$E2E_H, title bar $E2E_TOPFRAME pixels; the screen ${screen_w}x$screen_h"
e2e_check "the title bar lies within the screen" \
  test "$E2E_X" -ge 0 -a "$E2E_Y" -ge 0 -a $((E2E_X + E2E_W)) -le "$screen_w" \
  -a $((E2E_Y + E2E_TOPFRAME)) -le "$screen_h"
e2e_check "the whole window lies within the screen" test $((E2E_Y + E2E_H)) -le "$screen_h"
e2e_shot journey2
# The title bar is a grip: a drag moves the window.
e2e_move_main -10 -5 8
e2e_check "the window was dragged by its title bar (now at $E2E_X,$E2E_Y)" \
  test "$E2E_X" -lt "$screen_w" -a "$E2E_Y" -lt "$screen_h" -a "$E2E_Y" -ge 0
shown_x=$E2E_X shown_y=$E2E_Y
e2e_exit_via_tray
e2e_check "the position stored at exit is the one shown ($shown_x,$shown_y)" \
  test "$(e2e_reg_data "$E2E_KEY" SLeft),$(e2e_reg_data "$E2E_KEY" STop)" = "$shown_x,$shown_y"

# =============================================================================
# 3. An entry added above the chosen one
e2e_log "--- journey 3: the second entry chosen in Settings, then an entry added above it"
e2e_phonebook <<'EOF'
ErrorTexts=Windows10

[Alpha Line]
PhoneNumber=555 0001
Script=0:50, 1:50, 2:100, 0x2000:100

[Bravo Line]
PhoneNumber=555 0002
Script=0:50, 1:50, 2:100, 0x2000:100
ClientIP=10.64.2.2
EOF
e2e_sim_counts "$E2E_ART/counts-3a.ini"
e2e_reg_clear
# The start-up dial comes one redial interval after the start.
e2e_reg_set AutoRecon dword 1
e2e_reg_set RetryInt dword 500
e2e_logging "$E2E_ART/journey3.log"
e2e_start
e2e_open_settings
# The entry box in " Connection ": its list opened, the second entry taken.
e2e_click_settings 100 35
sleep 0.4
xdotool key Down Return
sleep 0.3
# " Startup settings ": "Connect on start up".
e2e_click_settings 21 242
sleep 0.3
e2e_shot journey3-settings "$E2E_SETTINGS"
e2e_click_settings 435 244
e2e_check "OK closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10
e2e_exit_via_tray
e2e_check_count "Alpha Line" Dials 0 "run 1 dialled nothing"
e2e_check_count "Bravo Line" Dials 0 "run 1 dialled nothing"
e2e_check "the choice is stored by its place and its name (ConInt, ConName, AutoCon)" \
  test "$(e2e_reg_data "$E2E_KEY" ConInt)/$(e2e_reg_data "$E2E_KEY" ConName)/$(e2e_reg_data "$E2E_KEY" AutoCon)" \
  = "1/Bravo Line/1"

e2e_phonebook <<'EOF'
ErrorTexts=Windows10

; Added since: the chosen entry's old place is now Alpha Line's.
[New Line]
PhoneNumber=555 0003
Script=0:50, 1:50, 2:100, 0x2000:100

[Alpha Line]
PhoneNumber=555 0001
Script=0:50, 1:50, 2:100, 0x2000:100

[Bravo Line]
PhoneNumber=555 0002
Script=0:50, 1:50, 2:100, 0x2000:100
ClientIP=10.64.2.2
EOF
e2e_sim_counts "$E2E_ART/counts-3b.ini"
e2e_start
e2e_wait_log '^Connection attempt #1 \(' 15
e2e_wait_log '^Connected [0-9]' 15
sleep 0.5
e2e_shot journey3-connected "$E2E_MAIN"
e2e_check_count "Bravo Line" Dials 1 "start-up dialled the chosen entry"
e2e_check_count "New Line" Dials 0 "the entry added above it was not dialled"
e2e_check_count "Alpha Line" Dials 0 "the entry now in its old place was not dialled"
e2e_press_disconnect
e2e_wait_log '^Disconnected [0-9]' 10
e2e_check_count "Bravo Line" HangUps 1 "Disconnect hung up the chosen entry"
e2e_check_count "" NotHungUp 0 "every handle was hung up"
e2e_exit_via_tray

# =============================================================================
# 4. Disconnect in a redial loop
e2e_log "--- journey 4: 678 at once, redial every 500 ms, Disconnect after attempt 2"
e2e_phonebook <<'EOF'
ErrorTexts=Windows10

; No answer, at once: the first step of every dial reports 678.
[No Answer]
PhoneNumber=555 0678
Script=0:50, 0x2000:0
FailCode=678
FailAt=0
EOF
e2e_sim_counts "$E2E_ART/counts-4.ini"
e2e_reg_clear
e2e_reg_set AutoRecon dword 1
e2e_reg_set RetryInt dword 500
e2e_reg_set AttempsInt dword 1000
e2e_logging "$E2E_ART/journey4.log"
e2e_start
e2e_press_connect
e2e_wait_log '^Connection attempt #2 \(' 10
before="$(e2e_log_lines | grep -cE '^Connection attempt #')"
e2e_press_disconnect
# A dial on its way at the click ends as it will; then nothing more.
sleep 1
attempts="$(e2e_log_lines | grep -cE '^Connection attempt #')"
dials="$(e2e_count "No Answer" Dials)"
e2e_log "$before attempt line(s) before Disconnect, $attempts one second after, $dials dial(s)"
e2e_check "at most the dial on its way at the click came after it" test "$attempts" -le $((before + 1))
sleep 5
e2e_shot journey4 "$E2E_MAIN"
e2e_check "no attempt in the 5 s after Disconnect" \
  test "$(e2e_log_lines | grep -cE '^Connection attempt #')" -eq "$attempts"
e2e_check_count "No Answer" Dials "$attempts" "a dial for every attempt line, none after Disconnect"
e2e_check_count "" NotHungUp 0 "every failed dial was hung up"
e2e_tray_menu none
e2e_check "the menu offers Connect, not Disconnect" \
  test "$E2E_MENU_CONNECT/$E2E_MENU_DISCONNECT" = enabled/disabled
e2e_exit_via_tray
lines=("${E2E_HEADER_RE[@]}")
for ((n = 1; n <= attempts; n++)); do lines+=("^Connection attempt #$n \\($T\\)$" '^Error: 678$'); done
check_lines "$E2E_ART/journey4.txt" "${lines[@]}"
e2e_log "ok: $attempts attempts, each with its error line, then silence"

e2e_pass
