#!/usr/bin/env bash
# The keyboard as a Windows user presses it: real key presses through the
# display (Wine's X11 input, not posted messages), and what the program did
# with them read back from the registry after Exit.
#
# Run 1: another installation's Run value is planted; Alt+S opens Settings,
# Tab four times puts the focus in "Retry every", Escape closes the dialog,
# Exit. Nothing was changed, so nothing may be rewritten: the settings key
# holds the window position only, and the Run value still names the other
# installation.
# Run 2: one pass through the dialog by keys alone. Escape in the entry
# list's open drop-down closes only the list and keeps the entry; an arrow
# moves the dial-mode choice to "Sync"; Tab into a field selects its text so
# that typing replaces it; Ctrl+C, Ctrl+X and Ctrl+V work in the digits-only
# fields and a paste keeps only the digits; Backspace clears a position of
# the time and date fields; an arrow moves the timed event to "Shutdown";
# Enter in a field presses OK; Enter on the main window's focused Settings
# button opens the dialog again.
#
#   bash tests/e2e/keys.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init keys "${1:-build/windows}"

e2e_phonebook <<'EOF'
[Alpha Line]
PhoneNumber=555 0001
ImmediateError=797

[Bravo Line]
PhoneNumber=555 0002
ImmediateError=797
EOF

OTHER='C:\Elsewhere\Quindle.exe'

# keys KEY...: key presses one at a time, with the time a user leaves
# between them (Wine dispatches each before the next arrives).
keys() {
  local k
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.25
  done
}

# type_text TEXT: typed a character at a time.
type_text() {
  xdotool type --delay 120 "$1"
  sleep 0.3
}

# settings_shown: the dialog is on screen.
settings_shown() {
  xdotool search --onlyvisible --name '^Settings$' 2>/dev/null | grep -q .
}

# open_by_keys KEY...: the keys given at the main window, then waits for the
# dialog (E2E_SETTINGS).
open_by_keys() {
  local end=$((SECONDS + 15))
  # A click on the status panel gives the main window the keyboard.
  e2e_click_main 118 20
  sleep 0.3
  keys "$@"
  E2E_SETTINGS=""
  while [ -z "$E2E_SETTINGS" ]; do
    E2E_SETTINGS="$(xdotool search --onlyvisible --name '^Settings$' 2>/dev/null | head -n 1)"
    [ -n "$E2E_SETTINGS" ] && break
    [ $SECONDS -ge $end ] && return 1
    sleep 0.2
  done
  sleep 0.5
}

# ---- Run 1: Escape in "Retry every" rewrites nothing -----------------------
printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"Quindle"="%s"\r\n\r\n' \
  "${OTHER//\\/\\\\}" >>"$E2E_PENDING"
e2e_start
e2e_check "Alt+S opens Settings" open_by_keys alt+s
keys Tab Tab Tab Tab
e2e_shot run1-in-retry-every "$E2E_SETTINGS"
keys Escape
e2e_check "Escape in \"Retry every\" closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10
sleep 0.5
e2e_exit_via_tray
e2e_reg_dump "$E2E_ART/registry-run1.txt"
e2e_check "no setting rewritten: the key holds the window position only ($(cut -d' ' -f1 "$E2E_ART/registry-run1.txt" | tr '\n' ' '))" \
  test "$(cut -d' ' -f1 "$E2E_ART/registry-run1.txt" | tr '\n' ' ')" = "SLeft STop "
run_value="$(e2e_reg_data "$E2E_RUNKEY" Quindle)"
e2e_check "the other installation's Run value is kept ($run_value)" test "$run_value" = "$OTHER"

# ---- Run 2: the dialog by keys alone ---------------------------------------
e2e_start
e2e_check "Alt+S opens Settings again" open_by_keys alt+s
# The focus starts in the entry list: open it, move down, Escape.
keys alt+Down Down
e2e_shot run2-list-open
keys Escape
sleep 0.3
e2e_check "Escape in the open entry list leaves the dialog open" settings_shown
# Shift+Tab to the dial mode's checked button, Down to "Sync".
keys shift+Tab Down
# Tab on to the user name (a name with digits in it, copied), then on to
# "Retry every": its text is selected, Ctrl+V replaces it with the digits.
keys Tab Tab
type_text 'ab7c50x'
keys shift+Home ctrl+c Tab Tab Tab ctrl+v
# "Retry attemps": Tab selects it, typing replaces it; Ctrl+X and Ctrl+V
# take it out and put it back.
keys Tab
type_text '42'
keys shift+Home ctrl+x ctrl+v
# The timer on, then the time typed over, a digit taken back with
# Backspace and typed again; PM; the date likewise.
keys Tab Tab Tab Tab Tab space Tab
type_text '1130'
keys BackSpace
type_text '5'
keys Tab
type_text 'p'
keys Tab
type_text '311230'
keys BackSpace BackSpace
type_text '31'
# Down from "Disconnect" to "Shutdown", back into the date field, Enter.
keys Tab Down shift+Tab
e2e_shot run2-before-enter "$E2E_SETTINGS"
keys Return
e2e_check "Enter in the date field presses OK" e2e_wait_gone "$E2E_SETTINGS" 10
sleep 0.5
# Alt+S left the focus on the Settings button: Enter presses it.
keys Return
end=$((SECONDS + 10))
until settings_shown || [ $SECONDS -ge $end ]; do sleep 0.2; done
e2e_check "Enter on the focused Settings button opens the dialog" settings_shown
E2E_SETTINGS="$(xdotool search --onlyvisible --name '^Settings$' 2>/dev/null | head -n 1)"
keys Escape
e2e_check "Escape closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10
sleep 0.5
e2e_exit_via_tray

e2e_reg_dump "$E2E_ART/registry-run2.txt"
value() { awk -v n="$1" '$1 == n { sub(/^[^ ]+ [^ ]+ /, ""); print }' "$E2E_ART/registry-run2.txt"; }
e2e_check "the entry chosen before the list opened is kept (ConInt $(value ConInt))" \
  test "$(value ConInt)" = 0
e2e_check "Down moved the dial mode to Sync (DialMode $(value DialMode))" test "$(value DialMode)" = 1
e2e_check "the pasted digits of 'ab7c50x' replaced \"Retry every\" (RetryInt $(value RetryInt))" \
  test "$(value RetryInt)" = 750
e2e_check "typing after Tab replaced \"Retry attemps\", cut and pasted back (AttempsInt $(value AttempsInt))" \
  test "$(value AttempsInt)" = 42
e2e_check "the timer is on (EnableTimer $(value EnableTimer))" test "$(value EnableTimer)" = 1
e2e_check "Backspace took a digit of the time back (Time '$(value Time)')" \
  test "$(value Time)" = "11:35 PM"
e2e_check "Backspace took the year of the date back (Date '$(value Date)')" \
  test "$(value Date)" = "31/12/31"
e2e_check "Down moved the timed event to Shutdown (DisOrShut $(value DisOrShut))" \
  test "$(value DisOrShut)" = 0

e2e_pass
