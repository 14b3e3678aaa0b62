#!/usr/bin/env bash
# Quindle run by a normal user from a program folder that user cannot write,
# as a normal user runs it from Program Files: Wine runs as an unprivileged
# Unix user (made by scripts/setup) in a prefix of that user's own, so that
# the folder's refusal is real (root is refused nothing). Logging on to the
# default name "SessionLog.txt": no message box, the log goes to the user's
# own %LOCALAPPDATA%\Quindle\SessionLog.txt (the pane says so once), nothing
# is written beside the program, every pane line reaches the file, and at
# exit the window's position and a changed setting are saved.
#
#   bash tests/e2e/unprivileged_user.sh build/windows
set -uo pipefail
E2E_USER="${QUINDLE_E2E_USER:-quindle-e2e}"

if [ "$(id -u)" -eq 0 ]; then
  # As root: the program is put in a folder root owns, as Program Files is,
  # beside a copy of the check's own files (the work tree may lie where the
  # user cannot read), and the check runs again there as the user, with a
  # prefix of the user's own. Its artefacts come back to build/e2e/.
  root="$(cd "$(dirname "$0")/../.." && pwd)"
  build="$(cd "${1:-build/windows}" && pwd)" || { echo "FAIL: unprivileged_user: no build folder"; exit 1; }
  id "$E2E_USER" >/dev/null 2>&1 ||
    { echo "FAIL: unprivileged_user: no user $E2E_USER (scripts/setup makes it)"; exit 1; }
  home="$(getent passwd "$E2E_USER" | cut -d: -f6)"
  stage="$(mktemp -d /tmp/quindle-unprivileged.XXXXXX)"
  mkdir -p "$stage/program/rassim" "$stage/tree/scripts" "$stage/tree/tests/e2e/lib" \
    "$stage/tree/demo" "$stage/tree/build/e2e"
  cp "$build/Quindle.exe" "$stage/program/" &&
    cp "$build/rassim/rasapi32.dll" "$stage/program/rassim/" &&
    cp "$root/scripts/wine-env" "$stage/tree/scripts/" &&
    cp "$root/tests/e2e/lib/common.sh" "$stage/tree/tests/e2e/lib/" &&
    cp "$0" "$stage/tree/tests/e2e/" &&
    cp "$root/demo/phonebook.ini" "$stage/tree/demo/" ||
    { echo "FAIL: unprivileged_user: could not stage the program"; rm -rf "$stage"; exit 1; }
  chmod -R a+rX,go-w "$stage"
  chown "$E2E_USER" "$stage/tree/build/e2e"
  runuser -u "$E2E_USER" -- env -i PATH="$PATH" HOME="$home" USER="$E2E_USER" \
    LOGNAME="$E2E_USER" QUINDLE_WINEPREFIX="$home/wineprefix-quindle" \
    bash "$stage/tree/tests/e2e/$(basename "$0")" "$stage/program"
  status=$?
  rm -rf "$root/build/e2e/unprivileged_user"
  mkdir -p "$root/build/e2e"
  cp -r "$stage/tree/build/e2e/unprivileged_user" "$root/build/e2e/" 2>/dev/null
  rm -rf "$stage"
  exit $status
fi

. "$(dirname "$0")/lib/common.sh"
e2e_init unprivileged_user "${1:-build/windows}"

e2e_check "runs as $E2E_USER, not as root" test "$(id -un)" = "$E2E_USER"
e2e_check "the program's folder cannot be written by this user" eval '! test -w "$E2E_BUILD"'

e2e_phonebook <<'EOF'
[User Line]
PhoneNumber=555 0300
UserName=e2e
Password=e2e
Script=0:100, 1:100, 2:300, 14:100, 18:100, 0x2000:100
HangUpDelay=200
EOF
e2e_reg_set LogEnabled dword 1
e2e_reg_set LogFile sz "SessionLog.txt"
LOCAL_FOLDER="$WINEPREFIX/drive_c/users/$E2E_USER/AppData/Local/Quindle"
E2E_LOGFILE="$LOCAL_FOLDER/SessionLog.txt"
# The prefix is kept between runs: this run's log starts empty.
rm -rf "$LOCAL_FOLDER"

e2e_start
sleep 1
e2e_check "no message box at start-up" e2e_no_message_box
e2e_press_connect
e2e_wait_log '^Connected [0-9]' 30
sleep 1
e2e_press_disconnect
e2e_wait_log '^Disconnected [0-9]' 15
e2e_check "no message box while logging" e2e_no_message_box
e2e_shot main "$E2E_MAIN"

# A changed setting, saved at exit: "Minimize on connected", then OK.
e2e_open_settings
e2e_click_settings 168 232
sleep 0.2
e2e_click_settings 435 244
e2e_check "OK closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10
e2e_check "no message box after Settings" e2e_no_message_box
e2e_exit_via_tray
e2e_check "no message box at exit (the process ended by itself)" test "${E2E_EXIT_STATUS:-1}" -eq 0
quindle_end_session

e2e_check "nothing was written beside the program" eval '! ls "$E2E_BUILD"/SessionLog.* 2>/dev/null | grep -q .'
e2e_check "the log is in the user's own folder" test -s "$E2E_LOGFILE"
e2e_log_lines >"$E2E_ART/session.txt"
cp "$E2E_LOGFILE" "$E2E_ART/SessionLog.txt"
# A line wider than the pane reaches the file as the pieces it wraps into.
joined="$(tr -d '\n' <"$E2E_ART/session.txt")"
e2e_check "the pane said once where the log goes" \
  eval '[ "$(grep -o "Log file: " <<<"$joined" | wc -l)" -eq 1 ] &&
        grep -qF "Log file: C:\\users\\$E2E_USER\\AppData\\Local\\Quindle\\SessionLog.txt" <<<"$joined"'
e2e_line_patterns "$E2E_T" "$E2E_D"
for want in '^NEW SESSION: ' '^Connection attempt #1 ' '^Connected [0-9]' '^Disconnected [0-9]'; do
  e2e_check "the log holds /$want/" grep -qE "$want" "$E2E_ART/session.txt"
done

e2e_reg_dump "$E2E_ART/registry-after.txt"
for want in "SLeft REG_DWORD" "STop REG_DWORD" "MiniStart REG_DWORD 1" "LogFile REG_SZ SessionLog.txt"; do
  e2e_check "saved: $want" grep -qF "$want" "$E2E_ART/registry-after.txt"
done

e2e_pass
