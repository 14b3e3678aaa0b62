# Shared steps of the end-to-end checks (sourced, never run on its own; it
# lives in a folder of its own so that scripts/test does not take it for a
# check).
#
#   . "$(dirname "$0")/lib/common.sh"
#   e2e_init <check name> <windows build folder>
#   e2e_phonebook <<'EOF' ... EOF        # the check's own phone book
#   e2e_start                            # Quindle.exe, waits for its window
#   e2e_click_main 40 193                # a click at client coordinates
#   e2e_move_main 20 -8                  # the window dragged by its title bar
#   e2e_wait_log 'Connected ' 20         # a pane line reached the log file
#   e2e_tray_menu exit                   # right click on the icon, then Exit
#   e2e_wait_exit 20
#   e2e_pass
#
# Every check gets a folder build/e2e/<check>/ for its screenshots, log files
# and phone book, and starts with an empty HKCU\Software\Quindle. On the way
# out (pass, fail or interruption) the program is stopped, the Wine session is
# ended and the registry values the check touched are put back as they were.
#
# What the checks run under comes from the environment:
#   QUINDLE_WINEPREFIX    the Wine prefix (scripts/wine-env; build/wineprefix)
#   QUINDLE_WINE_VERSION  the Windows version Wine reports in that prefix (win7,
#                         win10, ...), set in the prefix once and kept there; at
#                         every start the check reads in Quindle.exe's own Wine
#                         trace that the program was given that version
#   QUINDLE_WINE_LOCALE   the programs' locale (scripts/wine-env; en_US.UTF-8)
#   QUINDLE_E2E_GROUP     a name for the run: the folders become
#                         build/e2e/<group>/<check>/, so that runs in different
#                         prefixes may go on side by side
#   QUINDLE_E2E_WINEDEBUG Wine trace channels for the next starts of Quindle,
#                         besides "ver" (e2e_start)
#   QUINDLE_E2E_DPI       the screen's scale in dots per inch (96), set in the
#                         prefix before each start (HKCU\Control Panel\
#                         Desktop, LogPixels); the client sizes and the click
#                         positions the checks give, the design's at 96 dpi,
#                         are scaled to it as Quindle scales its windows

E2E_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
E2E_KEY='HKCU\Software\Quindle'
E2E_RUNKEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
E2E_X11KEY='HKCU\Software\Wine\X11 Driver'
E2E_DPI="${QUINDLE_E2E_DPI:-96}"
# A length of the design's 96 dpi at the screen's scale, rounded as Windows'
# MulDiv rounds.
e2e_scaled() { echo $((($1 * E2E_DPI + 48) / 96)); }
# Client sizes of the two windows, which the frame sizes are measured against.
E2E_MAIN_CW=$(e2e_scaled 237)
E2E_MAIN_CH=$(e2e_scaled 210)
E2E_SETTINGS_CW=$(e2e_scaled 478)
E2E_SETTINGS_CH=$(e2e_scaled 262)

# The pane's times and dates in the prefix's locale (the long time and the
# short date format), as patterns.
# Day or month first (en-US "12/8/2026", fi-FI "8.12.2026") or the year first
# (ja-JP "2026/12/8").
E2E_T='[0-9]{1,2}[:.][0-9]{2}[:.][0-9]{2}( ?[AP]M)?'
E2E_D='([0-9]{1,2}[./-][0-9]{1,2}[./-][0-9]{2,4}|[0-9]{4}[./-][0-9]{1,2}[./-][0-9]{1,2})'

E2E_QPID=""
E2E_OWN_XVFB=0
E2E_RESTORE=0

e2e_log() { printf '[%s %3ds] %s\n' "$E2E_NAME" "$((SECONDS - E2E_T0))" "$*"; }

e2e_fail() {
  echo "FAIL: $E2E_NAME: $*"
  if [ -n "${E2E_LOGFILE:-}" ] && [ -f "$E2E_LOGFILE" ]; then
    echo "--- the log file ($E2E_LOGFILE) ---"
    tr -d '\r' <"$E2E_LOGFILE" | tail -n 40
  fi
  [ -d "${E2E_ART:-/nonexistent}" ] && quindle_screenshot "$E2E_ART/failure.png" 2>/dev/null
  exit 1
}

e2e_pass() {
  echo "PASS: $E2E_NAME ($((SECONDS - E2E_T0)) s; artefacts in ${E2E_ART#"$E2E_ROOT"/})"
  exit 0
}

# e2e_check CONDITION-TEXT COMMAND...: fails the check when the command fails.
e2e_check() {
  local what="$1"
  shift
  if "$@"; then
    e2e_log "ok: $what"
  else
    e2e_fail "$what"
  fi
}

# ---------------------------------------------------------------------------
# Set-up and clean-up

e2e_init() {
  E2E_NAME="$1"
  E2E_BUILD="$(cd "$2" && pwd)" || { echo "FAIL: $1: no build folder $2"; exit 1; }
  E2E_T0=$SECONDS
  E2E_ART="$E2E_ROOT/build/e2e/${QUINDLE_E2E_GROUP:+$QUINDLE_E2E_GROUP/}$E2E_NAME"
  rm -rf "$E2E_ART"
  mkdir -p "$E2E_ART/.saved"
  [ -f "$E2E_BUILD/Quindle.exe" ] || e2e_fail "no Quindle.exe in $E2E_BUILD"
  # shellcheck source=../../../scripts/wine-env
  . "$E2E_ROOT/scripts/wine-env"
  # The registry as the program sees it: a 32-bit program's HKLM\Software is
  # the 32-bit view (Software\Wow6432Node to a 64-bit one), so values are
  # read in the view of the build's machine.
  case "$(quindle_pe_machine "$E2E_BUILD/Quindle.exe")" in
    i686) E2E_REG_VIEW=/reg:32 ;;
    x86_64) E2E_REG_VIEW=/reg:64 ;;
    *) e2e_fail "$E2E_BUILD/Quindle.exe is not a Windows program of a known machine" ;;
  esac
  for tool in xdotool import convert identify; do
    command -v "$tool" >/dev/null 2>&1 || e2e_fail "$tool is not installed (run scripts/setup)"
  done
  # A virtual display of the check's own, also on a desktop (the checks move
  # the pointer and rely on there being no window manager), unless
  # QUINDLE_E2E_DISPLAY=1 asks for the display in DISPLAY.
  if [ "${QUINDLE_E2E_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    unset DISPLAY
    quindle_display || e2e_fail "no display"
    E2E_OWN_XVFB=1
  fi
  quindle_wine_prefix || e2e_fail "the Wine prefix could not be made"
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  # No session of the prefix runs on: the tray's window is made by the
  # session's first program and must see the frame setting below, and the
  # registry files are complete once the server has ended.
  e2e_stop_server
  e2e_wine_version
  cp -p "$WINEPREFIX/user.reg" "$WINEPREFIX/system.reg" "$E2E_ART/.saved/" ||
    e2e_fail "could not keep the prefix's registry"
  E2E_RESTORE=1
  quindle_install_rassim "$E2E_BUILD" || e2e_fail "the simulated RAS service could not be installed"
  # Wine draws the window frames itself (there is no window manager on the
  # virtual display), so screenshots show the title bars and xdotool reports
  # the outer window position, as Windows does. No settings, no Run value.
  E2E_PENDING="$E2E_ART/.pending.reg"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Decorated"="N"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n\r\n' "$E2E_DPI"
    printf '[-HKEY_CURRENT_USER\\Software\\Quindle]\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"Quindle"=-\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"Quindle"=-\r\n\r\n'
  } >"$E2E_PENDING"
  E2E_PENDING_SECTION=0
  unset QUINDLE_PHONEBOOK
  e2e_log "display $DISPLAY, prefix ${WINEPREFIX#"$E2E_ROOT"/}${QUINDLE_WINE_VERSION:+ ($QUINDLE_WINE_VERSION)}, locale $QUINDLE_WINE_LOCALE, artefacts ${E2E_ART#"$E2E_ROOT"/}"
}

# With QUINDLE_WINE_VERSION: the Windows version Wine reports in the prefix
# (HKCU\Software\Wine, Version), written once while no session runs and then
# kept with the prefix's registry.
e2e_wine_version() {
  [ -n "${QUINDLE_WINE_VERSION:-}" ] || return 0
  if [ "$(e2e_prefix_version)" != "$QUINDLE_WINE_VERSION" ]; then
    quindle_wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$QUINDLE_WINE_VERSION" /f \
      >/dev/null 2>&1 || e2e_fail "could not set the Windows version $QUINDLE_WINE_VERSION"
    e2e_stop_server
    [ "$(e2e_prefix_version)" = "$QUINDLE_WINE_VERSION" ] ||
      e2e_fail "the prefix does not keep the Windows version $QUINDLE_WINE_VERSION"
  fi
}

# The Version value of the prefix's [Software\Wine] key, from user.reg.
e2e_prefix_version() {
  awk '/^\[/ { inwine = ($1 == "[Software\\\\Wine]") }
       inwine && /^"Version"="/ { v = $0; sub(/^"Version"="/, "", v); sub(/".*$/, "", v); print v }' \
    "$WINEPREFIX/user.reg" 2>/dev/null | tr -d '\r'
}

# The version numbers Windows gives for a Wine version name.
e2e_version_numbers() {
  case "$1" in
    win95) echo 4.0 ;;
    win98) echo 4.10 ;;
    winme) echo 4.90 ;;
    win2k) echo 5.0 ;;
    winxp) echo 5.1 ;;
    winxp64 | win2003) echo 5.2 ;;
    vista | win2008) echo 6.0 ;;
    win7 | win2008r2) echo 6.1 ;;
    win8) echo 6.2 ;;
    win81) echo 6.3 ;;
    win10 | win11) echo 10.0 ;;
    *) return 1 ;;
  esac
}

# e2e_check_version_seen OUTPUT-FILE: with QUINDLE_WINE_VERSION, reads in
# Quindle.exe's own Wine trace (the "ver" channel) which Windows version its
# process was given, and which shell32.dll version it read for the
# notification-icon record; fails unless the version is the one asked for
# and of its family (the 95 family, platform 1, for win95, win98 and winme;
# NT, platform 2, for the others). The trace lines of other processes are
# left aside.
e2e_check_version_seen() {
  local out="$1" want pid seen shell family family_name build end=$((SECONDS + 10))
  [ -n "${QUINDLE_WINE_VERSION:-}" ] || return 0
  want="$(e2e_version_numbers "$QUINDLE_WINE_VERSION")" ||
    e2e_fail "no version numbers known for $QUINDLE_WINE_VERSION"
  # The shell's version is read when the tray icon is made, with the window.
  until grep -a -A4 'GetFileVersionInfoSizeExA.*shell32\.dll' "$out" 2>/dev/null |
    grep -q 'fileversion='; do
    [ $SECONDS -ge $end ] && e2e_fail "no version trace from Quindle.exe in $out"
    sleep 0.2
  done
  pid="$(grep -a -m1 'GetFileVersionInfoSizeExA.*shell32\.dll' "$out" | cut -d: -f1)"
  [ -n "$pid" ] || e2e_fail "Quindle.exe did not read shell32.dll's version"
  # The lines begin with the thread's number, or with the process's and the
  # thread's when the "pid" channel is on.
  grep -a -E "^$pid:([0-9a-f]+:)?trace:ver:" "$out" >"$E2E_ART/windows-version-run$E2E_RUN.txt"
  grep -q "parse_win_version got win version L\"$QUINDLE_WINE_VERSION\"" \
    "$E2E_ART/windows-version-run$E2E_RUN.txt" ||
    e2e_fail "Quindle.exe was not given the version $QUINDLE_WINE_VERSION ($(grep -E 'version_init|parse_win_version' \
      "$E2E_ART/windows-version-run$E2E_RUN.txt" | cut -d: -f4- | tr '\n' ' '))"
  seen="$(grep -o -m1 'version_init got [0-9]*\.[0-9]* platform [0-9]* build [0-9a-f]*' \
    "$E2E_ART/windows-version-run$E2E_RUN.txt")"
  [[ "$seen" =~ got\ ([0-9]+\.[0-9]+)\ platform\ ([0-9]+)\ build\ ([0-9a-f]+) ]] ||
    e2e_fail "no version in Quindle.exe's trace"
  [ "${BASH_REMATCH[1]}" = "$want" ] ||
    e2e_fail "Quindle.exe saw Windows ${BASH_REMATCH[1]}, not $want ($QUINDLE_WINE_VERSION)"
  case "$QUINDLE_WINE_VERSION" in
    win95 | win98 | winme) family=1 family_name="the 95 family" ;;
    *) family=2 family_name=NT ;;
  esac
  [ "${BASH_REMATCH[2]}" = $family ] ||
    e2e_fail "Quindle.exe saw platform ${BASH_REMATCH[2]}, not $family_name ($family)"
  # The 95 family gives the build in the low word only (the version is in
  # the high word).
  build=$((16#${BASH_REMATCH[3]}))
  [ $family = 1 ] && build=$((build & 0xFFFF))
  seen="Windows ${BASH_REMATCH[1]} build $build, $family_name"
  shell="$(grep -a -A4 'GetFileVersionInfoSizeExA.*shell32\.dll' "$E2E_ART/windows-version-run$E2E_RUN.txt" |
    grep -o -m1 'fileversion=[0-9.]*' | cut -d= -f2)"
  [ -n "$shell" ] || e2e_fail "no shell32.dll version in Quindle.exe's trace"
  e2e_log "ok: Quindle.exe was given $QUINDLE_WINE_VERSION: $seen; shell32.dll $shell"
}

# Ends whatever still runs in the prefix's session; the server writes the
# registry files as it ends.
e2e_stop_server() {
  "$WINESERVER" -k >/dev/null 2>&1
  "$WINESERVER" -w >/dev/null 2>&1
}

# The registry values planted by the check (e2e_reg_set) are written in one
# go before the next start.
e2e_apply_pending() {
  [ -s "$E2E_PENDING" ] || return 0
  quindle_wine reg import "$(quindle_winpath "$E2E_PENDING")" >/dev/null 2>&1 ||
    e2e_fail "could not write the check's registry values ($(tr -d '\r' <"$E2E_PENDING" | tr '\n' ' '))"
  cp "$E2E_PENDING" "$E2E_ART/registry-planted-$((${E2E_RUN:-0} + 1)).reg"
  : >"$E2E_PENDING"
  E2E_PENDING_SECTION=0
}

e2e_cleanup() {
  local status=$?
  trap - EXIT
  if [ -n "$E2E_QPID" ] && kill -0 "$E2E_QPID" 2>/dev/null; then
    e2e_log "stopping Quindle (pid $E2E_QPID) that is still running"
    kill "$E2E_QPID" 2>/dev/null
    sleep 1
    kill -9 "$E2E_QPID" 2>/dev/null
  fi
  e2e_stop_server
  # The prefix's registry as it was before the check.
  if [ "$E2E_RESTORE" = 1 ]; then
    cp -p "$E2E_ART/.saved/user.reg" "$E2E_ART/.saved/system.reg" "$WINEPREFIX/" ||
      echo "warning: the prefix's registry could not be put back" >&2
  fi
  [ "$E2E_OWN_XVFB" = 1 ] && quindle_stop_display
  exit "$status"
}

# ---------------------------------------------------------------------------
# Registry

# e2e_reg_data KEY NAME: prints a value's data (a DWORD in decimal); fails
# when the value is missing.
e2e_reg_data() {
  local out line
  out="$(quindle_wine reg query "$1" /v "$2" "$E2E_REG_VIEW" 2>/dev/null | tr -d '\r')" || return 1
  line="$(printf '%s\n' "$out" | grep -E "^ +$2 +REG_" | head -n 1)"
  [ -n "$line" ] || return 1
  e2e_reg_line_data "$line"
}

# The data of one line of "reg query": 4 blanks, name, 4 blanks, type, 4
# blanks, data (which may hold blanks itself).
e2e_reg_line_data() {
  local rest type data
  rest="$(printf '%s' "$1" | sed -E 's/^ +[^ ]+ {4}//')"
  type="${rest%%    *}"
  data="${rest#"$type"}"
  data="${data#    }"
  [ "$data" = "$rest" ] && data=""
  if [ "$type" = REG_DWORD ]; then
    printf '%d' "$data"
  else
    printf '%s' "$data"
  fi
}

# e2e_reg_dump FILE: every value of the settings key as "name type data" lines,
# sorted; an empty file when the key is missing.
e2e_reg_dump() {
  local out line name type
  : >"$1"
  out="$(quindle_wine reg query "$E2E_KEY" "$E2E_REG_VIEW" 2>/dev/null | tr -d '\r')" || return 0
  while IFS= read -r line; do
    [[ "$line" =~ ^\ +([^ ]+)\ {4}(REG_[A-Z_]+) ]] || continue
    name="${BASH_REMATCH[1]}"
    type="${BASH_REMATCH[2]}"
    printf '%s %s %s\n' "$name" "$type" "$(e2e_reg_line_data "$line")" >>"$1"
  done <<<"$out"
  LC_ALL=C sort -o "$1" "$1"
}

# e2e_reg_set NAME dword|sz|expand DATA: a value to plant in the settings key
# before the next start.
e2e_reg_set() {
  local data="$3"
  [ -s "$E2E_PENDING" ] || printf 'Windows Registry Editor Version 5.00\r\n\r\n' >"$E2E_PENDING"
  if [ "$E2E_PENDING_SECTION" = 0 ]; then
    printf '[HKEY_CURRENT_USER\\Software\\Quindle]\r\n' >>"$E2E_PENDING"
    E2E_PENDING_SECTION=1
  fi
  case "$2" in
    dword) printf '"%s"=dword:%08x\r\n' "$1" "$data" >>"$E2E_PENDING" ;;
    sz)
      data="${data//\\/\\\\}"
      data="${data//\"/\\\"}"
      printf '"%s"="%s"\r\n' "$1" "$data" >>"$E2E_PENDING"
      ;;
    *) e2e_fail "e2e_reg_set: no type $2" ;;
  esac
}

# e2e_reg_clear: the settings key emptied before the next start (values
# planted after this call are written into the empty key), so that the next
# start begins as a first run.
e2e_reg_clear() {
  [ -s "$E2E_PENDING" ] || printf 'Windows Registry Editor Version 5.00\r\n\r\n' >"$E2E_PENDING"
  printf '\r\n[-HKEY_CURRENT_USER\\Software\\Quindle]\r\n\r\n' >>"$E2E_PENDING"
  E2E_PENDING_SECTION=0
}

# ---------------------------------------------------------------------------
# The phone book and the log file

# e2e_phonebook: the check's own phone book from standard input, given to the
# simulated service through QUINDLE_PHONEBOOK.
e2e_phonebook() {
  cat >"$E2E_ART/phonebook.ini"
  QUINDLE_PHONEBOOK="$(quindle_winpath "$E2E_ART/phonebook.ini")"
  export QUINDLE_PHONEBOOK
}

# e2e_sim_counts FILE: the simulated service writes its counts (dials,
# hang-ups, handles never hung up) to FILE (a Unix path) from the next start.
e2e_sim_counts() {
  E2E_COUNTS="$1"
  rm -f "$E2E_COUNTS"
  QUINDLE_SIM_REPORT="$(quindle_winpath "$E2E_COUNTS")"
  export QUINDLE_SIM_REPORT
}

# e2e_count SECTION KEY: a value of the counts file; SECTION "" for the lines
# before the first entry (NotHungUp).
e2e_count() {
  tr -d '\r' <"$E2E_COUNTS" 2>/dev/null | awk -v want="$1" -v key="$2" '
    /^\[/ { section = substr($0, 2, length($0) - 2); next }
    section == want && index($0, key "=") == 1 { print substr($0, length(key) + 2) }'
}

# e2e_check_count SECTION KEY VALUE WHAT: fails the check unless the counts
# file holds that value.
e2e_check_count() {
  local got
  got="$(e2e_count "$1" "$2")"
  [ "$got" = "$3" ] ||
    e2e_fail "$4: ${1:-the service} $2 is '${got}', not $3 (counts: $(tr -d '\r' <"$E2E_COUNTS" 2>/dev/null | tr '\n' ' '))"
  e2e_log "ok: $4 (${1:-the service} $2=$3)"
}

# e2e_fake_browser: Wine opens web addresses with the programs listed in its
# WineBrowser key; the check lists one of its own, which writes each address
# it is given to browser.txt in the check's folder.
e2e_fake_browser() {
  E2E_BROWSED="$E2E_ART/browser.txt"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$E2E_BROWSED" >"$E2E_ART/browser.sh"
  chmod +x "$E2E_ART/browser.sh"
  [ -s "$E2E_PENDING" ] || printf 'Windows Registry Editor Version 5.00\r\n\r\n' >"$E2E_PENDING"
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser]\r\n"Browsers"="%s"\r\n\r\n' \
    "$E2E_ART/browser.sh" >>"$E2E_PENDING"
  E2E_PENDING_SECTION=0
}

# e2e_logging FILE: logging on, into FILE (a Unix path), through the registry.
e2e_logging() {
  E2E_LOGFILE="$1"
  e2e_reg_set LogEnabled dword 1
  e2e_reg_set LogFile sz "$(quindle_winpath "$E2E_LOGFILE")"
}

# e2e_line_patterns TIME DATE: the pane's lines as patterns, with the time
# and date patterns given: E2E_HEADER_RE, a session's header with the advert
# line; E2E_DIAL_RE, a first attempt that connects.
e2e_line_patterns() {
  local T="$1" D="$2"
  E2E_HEADER_RE=(
    '^$' '^-{39}$' "^NEW SESSION: $T \\($D\\)$" '^-{39}$'
    '^http://quest\.example\.org' '^$'
  )
  E2E_DIAL_RE=(
    "^Connection attempt #1 \\($T\\)$"
    '^Opening port$' '^Port opened$' '^Connecting device$' '^Device connected$'
    '^Verifying user name and password\.\.$' '^Authenticated$'
    "^Connected $T \\($D\\)$"
  )
}

# The log file's lines without their CR.
e2e_log_lines() { [ -f "$E2E_LOGFILE" ] && tr -d '\r' <"$E2E_LOGFILE"; }

# e2e_wait_log REGEX SECONDS [COUNT]: waits until COUNT lines (default 1) of
# the log file match.
e2e_wait_log() {
  local regex="$1" limit="$2" want="${3:-1}" n end=$((SECONDS + $2))
  while :; do
    n="$(e2e_log_lines | grep -cE -- "$regex")"
    [ "${n:-0}" -ge "$want" ] && return 0
    [ $SECONDS -ge $end ] && e2e_fail "no $want line(s) matching /$regex/ in the log file within $limit s"
    e2e_alive || e2e_fail "Quindle ended while waiting for /$regex/"
    sleep 0.2
  done
}

# Seconds since midnight of a pane time such as "6:41:07 AM" (the long time
# format of the prefix's English locale).
e2e_clock_seconds() {
  local t="$1" h m s ampm
  [[ "$t" =~ ^([0-9]{1,2})[:.]([0-9]{2})[:.]([0-9]{2})\ ?([AP]M)?$ ]] || return 1
  h=$((10#${BASH_REMATCH[1]}))
  m=$((10#${BASH_REMATCH[2]}))
  s=$((10#${BASH_REMATCH[3]}))
  ampm="${BASH_REMATCH[4]}"
  if [ "$ampm" = PM ] && [ $h -ne 12 ]; then h=$((h + 12)); fi
  if [ "$ampm" = AM ] && [ $h -eq 12 ]; then h=0; fi
  echo $((h * 3600 + m * 60 + s))
}

# e2e_line_time LINE: the seconds since midnight of the first time in a
# pane line ("Connected 6:41:07 AM (...)", "Connection attempt #2 (6:41:09 AM)").
e2e_line_time() {
  [[ "$1" =~ ($E2E_T) ]] || return 1
  e2e_clock_seconds "${BASH_REMATCH[1]}"
}

# e2e_delta FROM TO: seconds from one time of day to a later one (across
# midnight too).
e2e_delta() { echo $((($2 - $1 + 86400) % 86400)); }

# ---------------------------------------------------------------------------
# The program

e2e_alive() { [ -n "$E2E_QPID" ] && kill -0 "$E2E_QPID" 2>/dev/null; }

# e2e_start [SECONDS]: starts Quindle.exe in the check's folder (its current
# folder) and waits for its main window.
e2e_start() {
  local limit="${1:-40}" end
  e2e_apply_pending
  E2E_RUN=$((${E2E_RUN:-0} + 1))
  # With a version asked for, Wine traces what version the program is given;
  # QUINDLE_E2E_WINEDEBUG adds channels of a journey's own ("+loaddll,+pid").
  (
    debug="${QUINDLE_WINE_VERSION:+,+ver}${QUINDLE_E2E_WINEDEBUG:+,$QUINDLE_E2E_WINEDEBUG}"
    [ -n "$debug" ] && export WINEDEBUG="-all$debug"
    cd "$E2E_ART" &&
      exec env LANG="$QUINDLE_WINE_LOCALE" LC_ALL="$QUINDLE_WINE_LOCALE" \
        "$WINE64" "$E2E_BUILD/Quindle.exe" >"$E2E_ART/quindle-run$E2E_RUN.out" 2>&1
  ) &
  E2E_QPID=$!
  E2E_START_TIME=$SECONDS
  end=$((SECONDS + limit))
  E2E_MAIN=""
  while [ -z "$E2E_MAIN" ]; do
    # The main window, not a message box of the same title shown before it:
    # the one at least as tall as the main window's client area.
    for w in $(xdotool search --onlyvisible --name '^Quindle$' 2>/dev/null); do
      e2e_geometry "$w" && [ "$G_H" -ge $E2E_MAIN_CH ] && { E2E_MAIN=$w; break; }
    done
    [ -n "$E2E_MAIN" ] && break
    e2e_alive || e2e_fail "Quindle.exe ended at start-up (output: $(tail -c 400 "$E2E_ART/quindle-run$E2E_RUN.out"))"
    [ $SECONDS -ge $end ] && e2e_fail "no main window within $limit s"
    sleep 0.2
  done
  e2e_measure_frame
  e2e_log "Quindle started (run $E2E_RUN, pid $E2E_QPID, window $E2E_MAIN at $E2E_X,$E2E_Y)"
  e2e_check_process_bits
  e2e_check_version_seen "$E2E_ART/quindle-run$E2E_RUN.out"
}

# The build's Quindle.exe runs as a process of its own machine: an i686
# build in Wine's 32-bit loader (WoW64, as on 64-bit Windows), an x86_64 one
# in the 64-bit loader. The 64-bit loader the check starts hands a 32-bit
# program to a process of its own and waits for it, so the program's
# processes are found by name in this prefix; their loader's ELF class in
# /proc tells 32 from 64 bits. Once per check.
e2e_check_process_bits() {
  [ -n "${E2E_BITS_SEEN:-}" ] && return 0
  local machine want pid class seen="" exe=""
  machine="$(quindle_pe_machine "$E2E_BUILD/Quindle.exe")" || e2e_fail "Quindle.exe is not a Windows program"
  case "$machine" in
    i686) want=1 ;;
    *) want=2 ;;
  esac
  for pid in $(pgrep -f 'Quindle\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    class="$(od -An -t u1 -j 4 -N 1 "/proc/$pid/exe" 2>/dev/null | tr -d ' ')"
    seen="$seen $class"
    [ "$class" = "$want" ] && exe="$(readlink "/proc/$pid/exe")"
  done
  [ -n "$exe" ] ||
    e2e_fail "no $([ $want = 1 ] && echo 32 || echo 64)-bit process runs the $machine Quindle.exe (ELF classes seen:${seen:- none})"
  [ $want = 2 ] && [[ "$seen" == *1* ]] && e2e_fail "a 32-bit process runs the x86_64 Quindle.exe"
  E2E_BITS_SEEN=1
  e2e_log "ok: the $machine Quindle.exe runs as a $([ $want = 1 ] && echo "32-bit process under WoW64" || echo "64-bit process") ($exe)"
}

# The main window's outer position and size, and the frame around its client
# area (the same frame as the tray's window).
e2e_geometry() {  # WINDOW -> G_X G_Y G_W G_H
  local out
  out="$(xdotool getwindowgeometry "$1" 2>/dev/null)" || return 1
  [[ "$out" =~ Position:\ (-?[0-9]+),(-?[0-9]+) ]] || return 1
  G_X=${BASH_REMATCH[1]}
  G_Y=${BASH_REMATCH[2]}
  [[ "$out" =~ Geometry:\ ([0-9]+)x([0-9]+) ]] || return 1
  G_W=${BASH_REMATCH[1]}
  G_H=${BASH_REMATCH[2]}
}

e2e_measure_frame() {
  e2e_geometry "$E2E_MAIN" || e2e_fail "no geometry of the main window"
  E2E_X=$G_X E2E_Y=$G_Y E2E_W=$G_W E2E_H=$G_H
  E2E_BORDER=$(((E2E_W - E2E_MAIN_CW) / 2))
  E2E_TOPFRAME=$((E2E_H - E2E_MAIN_CH - E2E_BORDER))
}

# e2e_pointer X Y: moves the pointer there (xdotool's --sync would wait for
# ever for a move to where the pointer already is).
e2e_pointer() {
  local at
  at="$(xdotool getmouselocation 2>/dev/null)"
  if [[ "$at" == "x:$1 y:$2 "* ]]; then
    xdotool mousemove $(($1 + 1)) "$2"
    sleep 0.05
  fi
  xdotool mousemove --sync "$1" "$2"
}

# e2e_click WINDOW CLIENT-WIDTH CLIENT-HEIGHT X Y [BUTTON]: a click at client
# coordinates of a window with the standard frame, all of the design's at 96
# dpi. Down they are scaled to the screen's dpi; across, to the client width
# the window has, which is wider than the scaled design where its captions
# needed more room in the font they are drawn in (the frame is the main
# window's, measured at its start).
e2e_click() {
  local win="$1" dcw="$2" dch="$3" x="$4" y="$5" button="${6:-1}" b cw ch top
  e2e_geometry "$win" || e2e_fail "window $win is gone"
  ch=$(e2e_scaled "$dch")
  if [ -n "${E2E_BORDER:-}" ]; then
    b=$E2E_BORDER
    cw=$((G_W - 2 * b))
  else
    cw=$(e2e_scaled "$dcw")
    b=$(((G_W - cw) / 2))
  fi
  top=$((G_H - ch - b))
  e2e_pointer $((G_X + b + (2 * x * cw + dcw) / (2 * dcw))) $((G_Y + top + $(e2e_scaled "$y")))
  xdotool click "$button"
}

# e2e_move_main DX DY [STEPS]: drags the main window by its title bar, STEPS
# moves of DX, DY pixels (8 unless given), then measures where it went.
e2e_move_main() {
  e2e_pointer $((E2E_X + 120)) $((E2E_Y + 10))
  xdotool mousedown 1
  for _ in $(seq 1 "${3:-8}"); do
    xdotool mousemove_relative -- "$1" "$2"
    sleep 0.05
  done
  xdotool mouseup 1
  sleep 0.5
  e2e_measure_frame
}

e2e_click_main() { e2e_click "$E2E_MAIN" 237 210 "$@"; }

# The buttons of the main window (client coordinates of their centres).
e2e_press_connect() { e2e_click_main 40 193; }
e2e_press_disconnect() { e2e_click_main 118 193; }
e2e_press_settings() { e2e_click_main 196 193; }

# e2e_open_settings: Settings, then waits for the dialog (E2E_SETTINGS).
e2e_open_settings() {
  local end=$((SECONDS + 15))
  e2e_press_settings
  E2E_SETTINGS=""
  while [ -z "$E2E_SETTINGS" ]; do
    E2E_SETTINGS="$(xdotool search --onlyvisible --name '^Settings$' 2>/dev/null | head -n 1)"
    [ -n "$E2E_SETTINGS" ] && break
    [ $SECONDS -ge $end ] && e2e_fail "the Settings dialog did not open"
    sleep 0.2
  done
  sleep 0.3
}

e2e_click_settings() { e2e_click "$E2E_SETTINGS" 478 262 "$@"; }

# e2e_wait_gone WINDOW SECONDS
e2e_wait_gone() {
  local end=$((SECONDS + $2))
  while xdotool search --onlyvisible --name '' 2>/dev/null | grep -qx "$1"; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.2
  done
}

# No message box (its title would be the program's) beside the main window.
e2e_no_message_box() {
  local n
  n="$(xdotool search --onlyvisible --name '^Quindle$' 2>/dev/null | grep -vx "$E2E_MAIN" | wc -l)"
  [ "$n" -eq 0 ]
}

# e2e_wait_exit SECONDS: waits for the process to end by itself.
e2e_wait_exit() {
  local end=$((SECONDS + $1)) t0=$SECONDS
  while e2e_alive; do
    [ $SECONDS -ge $end ] && e2e_fail "Quindle did not end within $1 s"
    sleep 0.1
  done
  wait "$E2E_QPID" 2>/dev/null
  E2E_EXIT_STATUS=$?
  E2E_QPID=""
  e2e_log "Quindle ended after $((SECONDS - t0)) s (status $E2E_EXIT_STATUS)"
}

# ---------------------------------------------------------------------------
# The notification area

# Finds the tray's window and Quindle's icon in it: the first cell from the
# left that holds a picture (cells are 20 pixels, left to right, at the
# bottom of the window's client area). Sets E2E_TRAY, E2E_ICON_X/Y (screen).
e2e_find_tray_icon() {
  local end=$((SECONDS + ${1:-15})) cells k img
  while :; do
    E2E_TRAY="$(xdotool search --name '^Wine System Tray$' 2>/dev/null | head -n 1)"
    if [ -n "$E2E_TRAY" ] && e2e_geometry "$E2E_TRAY"; then
      cells=$(((G_W - 2 * E2E_BORDER) / 20))
      img="$E2E_ART/.tray.png"
      if import -window "$E2E_TRAY" "$img" 2>/dev/null; then
        for ((k = 0; k < cells; k++)); do
          if [ "$(e2e_colours "$img" 16x16+$((E2E_BORDER + 20 * k + 2))+$((G_H - E2E_BORDER - 18)))" -gt 2 ]; then
            E2E_ICON_CELL=$k
            E2E_ICON_X=$((G_X + E2E_BORDER + 20 * k + 10))
            E2E_ICON_Y=$((G_Y + G_H - E2E_BORDER - 10))
            return 0
          fi
        done
      fi
    fi
    [ $SECONDS -ge $end ] && e2e_fail "no icon in the notification area within ${1:-15} s"
    sleep 0.2
  done
}

# Number of colours in a region (GEOMETRY) of an image.
e2e_colours() { convert "$1" -crop "$2" +repage -format '%k' info: 2>/dev/null || echo 0; }

# A signature of the icon's pixels, to tell the icons apart.
# e2e_icon NAME: the icon's picture now, kept as icon-NAME.png.
e2e_icon() {
  e2e_region_signature $((E2E_ICON_X - 8)) $((E2E_ICON_Y - 8)) 16 16 >/dev/null &&
    cp "$E2E_ART/.region.png" "$E2E_ART/icon-$1.png"
}

# e2e_icons_alike NAME1 NAME2: the two pictures show the same icon. Only the
# inner 12 by 12 pixels are compared: the tray blends an icon's soft edge over
# whatever the cell showed before, so the edge depends on the previous icon.
e2e_icons_alike() {
  local n
  n="$(convert "$E2E_ART/icon-$1.png" "$E2E_ART/icon-$2.png" -crop 12x12+2+2 +repage \
    -fuzz 20% -metric AE -compare -format '%[distortion]' info: 2>/dev/null)"
  [ "${n%%.*}" -le 8 ] 2>/dev/null
}

# e2e_hint NAME: hovers the icon until its hint shows; keeps the hint as
# hint-NAME.png and the tray with it as hint-NAME-tray.png. Fails when no
# hint shows within 4 s.
e2e_hint() {
  local before w end tip="" right bottom
  e2e_pointer 700 700
  sleep 0.2
  before="$(xdotool search --onlyvisible --name '' 2>/dev/null)"
  e2e_pointer "$E2E_ICON_X" "$E2E_ICON_Y"
  sleep 0.2
  e2e_pointer $((E2E_ICON_X + 1)) "$E2E_ICON_Y"
  end=$((SECONDS + 4))
  while [ -z "$tip" ] && [ $SECONDS -lt $end ]; do
    sleep 0.2
    for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
      # The tray's own window may be missing from the first list of a busy
      # display: it is never the tip.
      [ "$w" = "${E2E_TRAY:-}" ] && continue
      [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "Wine System Tray" ] && continue
      printf '%s\n' "$before" | grep -qx "$w" && continue
      tip=$w
      break
    done
  done
  if [ -n "$tip" ]; then
    sleep 0.3
    import -window "$tip" "$E2E_ART/hint-$1.png" 2>/dev/null
    right=0
    e2e_geometry "$E2E_TRAY" && right=$((G_X + G_W))
    if e2e_geometry "$tip"; then
      [ $((G_X + G_W)) -gt $right ] && right=$((G_X + G_W))
      bottom=$((G_Y + G_H))
      import -window root -crop $((right + 4))x$((bottom + 4))+0+0 +repage \
        "$E2E_ART/hint-$1-tray.png" 2>/dev/null
    fi
  fi
  e2e_pointer 700 700
  [ -n "$tip" ]
}

# e2e_hints_same NAME1 NAME2: the two hints are drawn alike (same text).
e2e_hints_same() {
  [ "$(identify -format '%#' "$E2E_ART/hint-$1.png" 2>/dev/null)" = \
    "$(identify -format '%#' "$E2E_ART/hint-$2.png" 2>/dev/null)" ]
}

# e2e_tray_menu ITEM: right click on the icon, then a click on the menu's
# item (restore, connect, disconnect or exit; none closes the menu). The
# items are found from the menu's height: four items of one height and two
# separators. The click waits until the pointer has lit the item up.
e2e_tray_menu() {
  local item="$1" before menu w end h y strip lit
  e2e_find_tray_icon
  before="$(xdotool search --onlyvisible --name '' 2>/dev/null)"
  e2e_pointer "$E2E_ICON_X" "$E2E_ICON_Y"
  xdotool click 3
  end=$((SECONDS + 10))
  menu=""
  while [ -z "$menu" ]; do
    for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
      # The tray's window has a menu's size too; a busy display may leave it
      # out of the first list.
      [ "$w" = "$E2E_TRAY" ] && continue
      printf '%s\n' "$before" | grep -qx "$w" && continue
      e2e_geometry "$w" || continue
      [ "$G_W" -lt 400 ] && [ "$G_H" -gt 40 ] && [ "$G_H" -lt 300 ] && { menu=$w; break; }
    done
    [ -n "$menu" ] && break
    [ $SECONDS -ge $end ] && e2e_fail "the tray menu did not open"
    sleep 0.1
  done
  E2E_MENU=$menu
  E2E_MENU_X=$G_X E2E_MENU_Y=$G_Y E2E_MENU_W=$G_W E2E_MENU_H=$G_H
  sleep 0.3
  [ -n "${E2E_MENU_SHOT:-}" ] && e2e_shot_menu "$E2E_MENU_SHOT"
  h=$(((E2E_MENU_H - 6 - 18) / 4))
  # Which of Connect and Disconnect the menu offers: an enabled item is drawn
  # in black, a disabled one in grey.
  E2E_MENUS=$((${E2E_MENUS:-0} + 1))
  import -window "$menu" "$E2E_ART/menu-$E2E_MENUS.png" 2>/dev/null
  E2E_MENU_CONNECT="$(e2e_menu_item_state "$E2E_ART/menu-$E2E_MENUS.png" $((3 + h + 9 + h / 2)))"
  E2E_MENU_DISCONNECT="$(e2e_menu_item_state "$E2E_ART/menu-$E2E_MENUS.png" $((3 + 2 * h + 9 + h / 2)))"
  e2e_log "tray menu open: Connect $E2E_MENU_CONNECT, Disconnect $E2E_MENU_DISCONNECT"
  case "$item" in
    restore) y=$((3 + h / 2)) ;;
    connect) y=$((3 + h + 9 + h / 2)) ;;
    disconnect) y=$((3 + 2 * h + 9 + h / 2)) ;;
    exit) y=$((E2E_MENU_H - 3 - h / 2)) ;;
    none)
      # A click beside the menu closes it.
      e2e_pointer $((E2E_MENU_X + E2E_MENU_W + 200)) $((E2E_MENU_Y + E2E_MENU_H + 200))
      xdotool click 1
      e2e_wait_gone "$menu" 5 || e2e_fail "the tray menu did not close"
      return 0
      ;;
    *) e2e_fail "no menu item $item" ;;
  esac
  strip="$(e2e_region_signature $((E2E_MENU_X + 4)) $((E2E_MENU_Y + y - 2)) $((E2E_MENU_W - 8)) 4)"
  end=$((SECONDS + 5))
  lit=0
  while [ $SECONDS -lt $end ]; do
    e2e_pointer $((E2E_MENU_X + E2E_MENU_W / 2 - 1)) $((E2E_MENU_Y + y))
    sleep 0.1
    e2e_pointer $((E2E_MENU_X + E2E_MENU_W / 2)) $((E2E_MENU_Y + y))
    sleep 0.2
    if [ "$(e2e_region_signature $((E2E_MENU_X + 4)) $((E2E_MENU_Y + y - 2)) $((E2E_MENU_W - 8)) 4)" != "$strip" ]; then
      lit=1
      break
    fi
  done
  [ $lit = 1 ] || e2e_log "the menu item $item did not light up; clicking it anyway"
  xdotool click 1
  e2e_log "tray menu: $item"
}

# e2e_menu_item_state IMAGE Y: "enabled" or "disabled" for the item whose
# middle is at Y in the menu's picture.
e2e_menu_item_state() {
  local colours
  colours="$(convert "$1" -crop "$(($(identify -format %w "$1") - 16))x8+8+$(($2 - 4))" +repage \
    -depth 8 txt:- 2>/dev/null | awk 'NR > 1 { print $3 }' | sort -u)"
  if grep -qx '#000000' <<<"$colours"; then
    echo enabled
  elif grep -qx '#808080' <<<"$colours"; then
    echo disabled
  else
    echo unknown
  fi
}

# A signature of the pixels of a screen region (X Y W H).
e2e_region_signature() {
  local img="$E2E_ART/.region.png"
  import -window root -crop "$3x$4+$1+$2" +repage "$img" 2>/dev/null && identify -format '%#' "$img"
}

# e2e_exit_via_tray [SECONDS]: Exit in the tray menu; waits for the end.
e2e_exit_via_tray() {
  e2e_tray_menu exit
  e2e_wait_exit "${1:-30}"
}

# ---------------------------------------------------------------------------
# Screenshots

# e2e_shot NAME [WINDOW]: the whole display or one window, into the folder.
# A window is taken once it has finished painting: when two looks 0.3 s apart
# agree (or after five looks). A window of one colour has not been painted
# yet (a busy machine may take seconds to): it is looked at again, for up to
# 10 s, before those five looks count.
e2e_shot() {
  local file="$E2E_ART/$1.png" previous="" sig i end=$((SECONDS + 10))
  if [ -z "${2:-}" ]; then
    quindle_screenshot "$file"
    return
  fi
  for ((i = 1; i <= 5; i++)); do
    import -window "$2" "$file" 2>/dev/null || e2e_fail "no screenshot of window $2"
    if [ "$(identify -format '%k' "$file" 2>/dev/null)" = 1 ] && [ $SECONDS -lt $end ]; then
      i=0
      previous=""
      sleep 0.3
      continue
    fi
    sig="$(identify -format '%#' "$file" 2>/dev/null)"
    [ "$sig" = "$previous" ] && break
    previous=$sig
    sleep 0.3
  done
}

# The open tray menu with the tray's window: the part of the display that
# holds both.
e2e_shot_menu() {
  local x0 y0 x1 y1 w
  x0=$E2E_MENU_X y0=$E2E_MENU_Y x1=$((E2E_MENU_X + E2E_MENU_W)) y1=$((E2E_MENU_Y + E2E_MENU_H))
  for w in "$E2E_TRAY"; do
    e2e_geometry "$w" || continue
    [ "$G_X" -lt "$x0" ] && x0=$G_X
    [ "$G_Y" -lt "$y0" ] && y0=$G_Y
    [ $((G_X + G_W)) -gt "$x1" ] && x1=$((G_X + G_W))
    [ $((G_Y + G_H)) -gt "$y1" ] && y1=$((G_Y + G_H))
  done
  [ "$x0" -lt 0 ] && x0=0
  [ "$y0" -lt 0 ] && y0=0
  import -window root -crop $((x1 - x0))x$((y1 - y0))+$x0+$y0 +repage "$E2E_ART/$1.png" 2>/dev/null
}

# e2e_doc_shot NAME FILE: with QUINDLE_E2E_DOCS=1, copies a screenshot into
# docs/ (small: metadata stripped, a palette of 256 colours, which is lossless
# for these windows).
e2e_doc_shot() {
  [ "${QUINDLE_E2E_DOCS:-0}" = 1 ] || return 0
  convert "$E2E_ART/$2.png" -strip -colors 256 "PNG8:$E2E_ROOT/docs/$1.png" &&
    e2e_log "docs/$1.png written"
}

# ---------------------------------------------------------------------------
# Journeys shared by checks

# e2e_timed_shutdown: a start, the window moved by its title bar, then in the
# dialog a timed shutdown for the minute about to come and "Minimize on
# connected" changed; waits for the shutdown to end Quindle and the session,
# and checks that what the orderly exit saves is in the registry, with the
# moment that acted (TimedDone), so that it never acts again. The run's Wine
# output is quindle-run$E2E_RUN.out (timed_shutdown.sh, setups/win98.sh).
e2e_timed_shutdown() {
  local intl='HKCU\Control Panel\International' tsep dsep moved_x moved_y at hhmm ampm ddmmyy
  local want_time want_date want
  # The prefix's time and date separators, which the stored time and date use.
  e2e_apply_pending
  tsep="$(e2e_reg_data "$intl" sTime)" || tsep=":"
  dsep="$(e2e_reg_data "$intl" sDate)" || dsep="/"

  e2e_start
  sleep 0.5
  # Moved by its title bar.
  e2e_move_main 15 10
  moved_x=$E2E_X moved_y=$E2E_Y
  e2e_check "the window moved (now at $moved_x,$moved_y)" test "$moved_x" -ne 295 -o "$moved_y" -ne 172

  # The minute that holds the moment 20 s from now: the timer ticks 10 s after
  # the dialog closes and every 10 s after that, so one tick falls inside it.
  export LC_ALL=C
  at=$(($(date +%s) + 20))
  hhmm="$(date -d "@$at" +%I%M)"
  ampm="$(date -d "@$at" +%p)"
  ddmmyy="$(date -d "@$at" +%d%m%y)"
  want_time="$(date -d "@$at" "+%I${tsep}%M %p")"
  want_date="$(date -d "@$at" "+%d${dsep}%m${dsep}%y")"
  e2e_log "shutdown set for $want_time $want_date"

  e2e_open_settings
  e2e_click_settings 168 232         # "Minimize on connected": a setting changed in this run
  e2e_click_settings 328 29          # Enable timer
  sleep 0.2
  e2e_click_settings 360 55          # time: hours and minutes
  xdotool key Home
  xdotool type --delay 30 "$hhmm"
  e2e_click_settings 417 55          # AM or PM
  xdotool type --delay 30 "${ampm:0:1}"
  e2e_click_settings 360 82          # date
  xdotool key Home
  xdotool type --delay 30 "$ddmmyy"
  e2e_click_settings 340 135         # "Shutdown PC at this time"
  sleep 0.3
  e2e_shot dialog "$E2E_SETTINGS"
  e2e_click_settings 435 244         # OK
  e2e_check "OK closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10

  # The tick in the minute hangs up, waits 5 s and asks for the shutdown.
  e2e_wait_exit 60
  e2e_check "no crash report" \
    eval "! grep -qiE 'unhandled|page fault|winedbg|backtrace' '$E2E_ART/quindle-run$E2E_RUN.out'"
  e2e_stop_server

  e2e_reg_dump "$E2E_ART/registry-after.txt"
  for want in "SLeft REG_DWORD $moved_x" "STop REG_DWORD $moved_y" "MiniStart REG_DWORD 1" \
    "EnableTimer REG_DWORD 1" "DisOrShut REG_DWORD 0" "Time REG_SZ $want_time" \
    "Date REG_SZ $want_date" "TimedDone REG_SZ $want_time $want_date"; do
    e2e_check "saved before the shutdown: $want" grep -qxF "$want" "$E2E_ART/registry-after.txt"
  done
}

# e2e_expect_lines FILE PATTERN...: fails the check unless FILE holds one line
# for each pattern, in order, each matching its pattern (an extended regular
# expression).
e2e_expect_lines() {
  local file="$1" lines i
  shift
  local expected=("$@")
  mapfile -t lines <"$file"
  e2e_check "${file##*/} holds ${#expected[@]} lines (it holds ${#lines[@]})" \
    test ${#lines[@]} -eq ${#expected[@]}
  for i in "${!expected[@]}"; do
    [[ "${lines[$i]}" =~ ${expected[$i]} ]] ||
      e2e_fail "line $((i + 1)) of ${file##*/} is '${lines[$i]}', expected /${expected[$i]}/"
  done
}
