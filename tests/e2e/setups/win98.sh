#!/usr/bin/env bash
# The i686 Quindle.exe told it runs on Windows 98 (the 95 family, platform 1),
# through the three branches it takes there only:
#
# Run 1, the simulated service laid out as on that family
# (quindle_install_rassim95: a rasapi32.dll without the dialer's functions,
# an rnaph.dll that forwards them to it) and performance providers planted
# in the registry:
#   - the one-copy name without the session prefix "Local\";
#   - the statistics at start-up: HKLM's PerfStats\Enum key and
#     HKEY_DYN_DATA's PerfStats\StartStat opened, and each provider's
#     "<provider>\ConnectSpeed" value asked for;
#   - the dialer's first lookup misses in rasapi32.dll, so it loads
#     rnaph.dll and takes every function from there, while the connection
#     monitor takes its own from rasapi32.dll: a connection, its drop, the
#     redial and a hang-up asked for in the tray menu, as the pane's lines
#     and the service's counts show.
# Run 2, a timed shutdown (e2e_timed_shutdown): no shutdown privilege is
# asked for (OpenProcessToken for adjusting, LookupPrivilegeValueA,
# AdjustTokenPrivileges), and the shutdown comes all the same, with what the
# orderly exit saves saved.
#
# What was called is read in Quindle.exe's own Wine trace: the loader's
# (loaddll) and the calls into Wine's libraries of the functions listed in
# RelayInclude, with their results (relay), each line with its process's
# number (pid), so that the other programs of the session are left aside.
#
# What this proves and what it cannot: Wine's win98 mode changes what the
# version calls answer. Every NT function is still there and behaves as on
# NT (OpenProcessToken succeeds, HKEY_DYN_DATA is one more key of Wine's
# registry server, the loader honours the search flags of Windows 8), so the
# journey shows that the program takes the 95 family's branches and that they
# work together with the rest of it, not that the program runs on a real
# Windows 98: there the i686 build would not even load, as it imports
# AddVectoredExceptionHandler (Windows XP and later), which the compiler's
# runtime libraries ask for. Nor does it show what a real 98 does with what
# it refuses (OpenProcessToken, the search flags of LoadLibraryExA).
#
#   QUINDLE_WINEPREFIX=$PWD/build/wineprefix-win98 QUINDLE_WINE_VERSION=win98 \
#     bash tests/e2e/setups/win98.sh build/windows-x86
#
# Without them the prefix is build/wineprefix-win98 and the version win98 (a
# prefix of its own: the version is kept in the prefix).
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export QUINDLE_WINEPREFIX="${QUINDLE_WINEPREFIX:-$(cd "$here/../../.." && pwd)/build/wineprefix-win98}"
export QUINDLE_WINE_VERSION="${QUINDLE_WINE_VERSION:-win98}"
. "$here/../lib/common.sh"
e2e_init win98 "${1:-build/windows-x86}"

case "$QUINDLE_WINE_VERSION" in
  win95 | win98 | winme) ;;
  *) e2e_fail "the 95 family's journey needs win95, win98 or winme, not $QUINDLE_WINE_VERSION" ;;
esac
[ "$(quindle_pe_machine "$E2E_BUILD/Quindle.exe")" = i686 ] ||
  e2e_fail "the 95 family's journey needs the i686 build (Windows 98 runs 32-bit programs only)"
quindle_install_rassim95 "$E2E_BUILD" || e2e_fail "the 95 family's layout of the service could not be installed"
SYS="$(quindle_syswow64)"
e2e_log "ok: the service as the 95 family lays it out: ${SYS#"$WINEPREFIX"/}/rasapi32.dll and rnaph.dll"

# The export table of the installed rasapi32.dll: "name RVA" lines.
OBJDUMP=""
for tool in i686-w64-mingw32-objdump objdump; do
  command -v "$tool" >/dev/null 2>&1 && { OBJDUMP=$tool; break; }
done
[ -n "$OBJDUMP" ] || e2e_fail "no objdump to read the library's exports"
"$OBJDUMP" -p "$SYS/rasapi32.dll" | awk '
  /^Export Address Table --/ { eat = 1; next }
  /^\[Ordinal\/Name Pointer\] Table/ { eat = 0; names = 1; next }
  eat && /^\t\[ *[0-9]+\]/ { i = $0; sub(/^\t\[ */, "", i); sub(/\].*/, "", i); rva[i + 0] = $(NF - 2) }
  names && /^\t\[ *[0-9]+\]/ { i = $0; sub(/^\t\[ */, "", i); sub(/\].*/, "", i); print $NF, rva[i + 0] }
  names && /^$/ { names = 0 }' >"$E2E_ART/rasapi32-exports.txt"
export_rva() { awk -v n="$1" '$1 == n { print $2 }' "$E2E_ART/rasapi32-exports.txt"; }

# The dialer's seven functions: the names rnaph.dll exports, and what each
# forwards to in rasapi32.dll.
DIALER=(RasDialA RasEnumEntriesA RasGetEntryDialParamsA RasSetEntryDialParamsA RasHangUpA
  RasGetConnectStatusA RasGetErrorStringA)
declare -A TARGET=(
  [RasDialA]=QuindleSimRasDialA [RasEnumEntriesA]=QuindleSimRasEnumEntriesA
  [RasGetEntryDialParamsA]=QuindleSimRasGetEntryDialParamsA
  [RasSetEntryDialParamsA]=QuindleSimRasSetEntryDialParamsA [RasHangUpA]=RasHangUpA
  [RasGetConnectStatusA]=RasGetConnectStatusA [RasGetErrorStringA]=QuindleSimRasGetErrorStringA)
for name in RasDialA RasEnumEntriesA RasGetEntryDialParamsA RasSetEntryDialParamsA RasGetErrorStringA; do
  [ -z "$(export_rva "$name")" ] && [ -z "$(export_rva "${name}A")" ] ||
    e2e_fail "the installed rasapi32.dll exports the dialer's $name"
done
for name in RasEnumConnectionsA RasGetConnectStatusA RasHangUpA RasGetProjectionInfoA "${TARGET[@]}"; do
  [ -n "$(export_rva "$name")" ] || e2e_fail "the installed rasapi32.dll lacks $name"
done

# --- The planted set-up --------------------------------------------------------
# Three performance providers; two have a connection speed in the start-up
# statistics, the third has none. The relay trace covers the calls the three
# branches make and the lookups of the RAS functions.
PROVIDERS=("Dial-Up Adapter" "Dial-Up Adapter #2" "Microsoft TCP/IP")
SPEEDS=("Dial-Up Adapter" "Dial-Up Adapter #2")
relay="kernel32.LoadLibraryExA;kernel32.GetProcAddress"
relay+=";advapi32.RegOpenKeyExA;advapi32.RegQueryValueExA"
relay+=";advapi32.OpenProcessToken;advapi32.LookupPrivilegeValueA;advapi32.AdjustTokenPrivileges"
relay+=";user32.ExitWindowsEx;kernel32.CreateMutexA"
{
  [ -s "$E2E_PENDING" ] || printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Debug]\r\n"RelayInclude"="%s"\r\n\r\n' "$relay"
  for p in "${PROVIDERS[@]}"; do
    printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\PerfStats\\Enum\\%s]\r\n\r\n' "$p"
  done
} >>"$E2E_PENDING"
E2E_PENDING_SECTION=0
# HKEY_DYN_DATA is no part of the prefix's registry files: Wine's server
# keeps it in memory and makes it anew, nearly empty, each time it starts.
# So the server is kept up from here to the end of run 1 ("-p"; stopped by
# e2e_stop_server), and the values are written with regedit (Wine's reg
# knows no such root).
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_DYN_DATA\\PerfStats\\StartStat]\r\n'
  for p in "${SPEEDS[@]}"; do printf '"%s\\\\ConnectSpeed"=hex:00,e1,00,00\r\n' "$p"; done
  printf '\r\n'
} >"$E2E_ART/dyn-data.reg"

e2e_phonebook <<'EOF'
; Connects in about 2.4 s, drops 8 s later.
[Drop Line]
PhoneNumber=555 0108
UserName=e2e
Password=e2e
Script=0:200, 1:200, 2:600, 3:200, 4:100, 5:300, 6:200, 14:200, 18:200, 0x2000:200
DropAfter=8
ClientIP=10.64.8.2
ServerIP=10.64.8.1
HangUpDelay=200
EOF
e2e_sim_counts "$E2E_ART/counts.ini"
e2e_logging "$E2E_ART/session.log"
# The settings, the window frames and the relay list go in before any
# program of the session starts.
e2e_apply_pending
"$WINESERVER" -p
quindle_wine regedit /s "$(quindle_winpath "$E2E_ART/dyn-data.reg")" >/dev/null 2>&1 ||
  e2e_fail "regedit could not write HKEY_DYN_DATA"
quindle_wine regedit /e "$(quindle_winpath "$E2E_ART/dyn-data-seen.reg")" 'HKEY_DYN_DATA\PerfStats\StartStat' \
  >/dev/null 2>&1
for p in "${SPEEDS[@]}"; do
  iconv -f UTF-16 -t UTF-8 "$E2E_ART/dyn-data-seen.reg" 2>/dev/null | tr -d '\r' |
    grep -qxF "\"$p\\\\ConnectSpeed\"=hex:00,e1,00,00" ||
    e2e_fail "HKEY_DYN_DATA\\PerfStats\\StartStat does not hold $p\\ConnectSpeed"
done
e2e_log "ok: planted: ${#PROVIDERS[@]} providers in HKLM's PerfStats\\Enum, ${#SPEEDS[@]} connection speeds in HKEY_DYN_DATA\\PerfStats\\StartStat"

export QUINDLE_E2E_WINEDEBUG="+pid,+loaddll,+relay"

# calls RUN: Quindle.exe's process's calls in run RUN's trace as
# "MODULE.Function(arguments) = result by caller" lines (calls-runRUN.txt;
# the caller is the address the call returns to); its loader lines go to
# loaddll-runRUN.txt. Sets QPID (the process's number in the trace) and
# QEXE_LOW, QEXE_HIGH (where Quindle.exe's own code lies).
calls() {
  local out="$E2E_ART/quindle-run$1.out" exe pe size
  exe="$(grep -a -m1 -E '^[0-9a-f]+:[0-9a-f]+:trace:loaddll:.*Loaded L".*\\Quindle\.exe" at ' "$out")"
  QPID="${exe%%:*}"
  [ -n "$exe" ] && [ -n "$QPID" ] || e2e_fail "run $1: Quindle.exe's process is not in its trace"
  grep -a "^$QPID:[0-9a-f]*:trace:loaddll:" "$out" >"$E2E_ART/loaddll-run$1.txt"
  # The image's size, from the program's PE header (SizeOfImage).
  pe=$(od -An -t u4 -j 60 -N 4 "$E2E_BUILD/Quindle.exe" | tr -d ' ')
  size=$(od -An -t u4 -j $((pe + 80)) -N 4 "$E2E_BUILD/Quindle.exe" | tr -d ' ')
  QEXE_LOW=$((16#$(sed -E 's/.* at ([0-9A-Fa-f]+): .*/\1/' <<<"$exe")))
  QEXE_HIGH=$((QEXE_LOW + size))
  # A thread's calls nest: each result belongs to the thread's latest open call.
  awk -v pid="$QPID" '
    index($0, pid ":") != 1 { next }
    {
      rest = substr($0, length(pid) + 2); tid = rest; sub(/:.*/, "", tid)
      rest = substr(rest, length(tid) + 2)
    }
    rest ~ /^Call [A-Za-z0-9_]+\.[A-Za-z0-9_]+\(.* ret=[0-9a-f]+$/ {
      call = substr(rest, 6); by = call
      sub(/ ret=[0-9a-f]+$/, "", call); sub(/.* ret=/, "", by)
      open[tid, ++depth[tid]] = call " = %s by " by; next
    }
    rest ~ /^Ret  [A-Za-z0-9_]+\.[A-Za-z0-9_]+\(\) retval=/ && depth[tid] > 0 {
      v = rest; sub(/.* retval=/, "", v); sub(/ .*/, "", v)
      line = open[tid, depth[tid]--]; sub(/ = %s by /, " = " v " by ", line); print line
    }' "$out" >"$E2E_ART/calls-run$1.txt"
}

# from_program ADDRESS: the address lies in Quindle.exe's own image.
from_program() { [ $((16#$1)) -ge $QEXE_LOW ] && [ $((16#$1)) -lt $QEXE_HIGH ]; }

# base RUN LIBRARY: where the loader put the library (lower-case hex).
base() {
  grep -i -m1 -E "Loaded L\"[^\"]*\\\\$2\" at [0-9A-Fa-f]+: native" "$E2E_ART/loaddll-run$1.txt" |
    sed -E 's/.* at ([0-9A-Fa-f]+): .*/\1/' | tr 'A-F' 'a-f'
}

# lookups RUN LIBRARY-BASE: Quindle.exe's GetProcAddress calls on the library
# as "name result" lines, in order.
lookups() {
  local name result by
  grep -E "^KERNEL32\.GetProcAddress\($2,[0-9a-f]+ \"" "$E2E_ART/calls-run$1.txt" |
    sed -E 's/^[^"]*"([^"]*)"\) = ([0-9a-f]+) by ([0-9a-f]+)$/\1 \2 \3/' |
    while read -r name result by; do from_program "$by" && echo "$name $result"; done
}

# --- Run 1: the statistics, and a connection through rnaph.dll -----------------
e2e_start
calls 1
ras="$(base 1 rasapi32.dll)" rna="$(base 1 rnaph.dll)"
e2e_check "Quindle.exe (process $QPID) loaded rasapi32.dll (at $ras) and rnaph.dll (at $rna), both the ones installed" \
  test -n "$ras" -a -n "$rna"

# The one-copy name: the 95 family knows no session namespaces and no
# backslash in a name, so the name has no "Local\" prefix (Wine gives the
# process a user's identifier on every version; a real 98 gives none).
mutex="$(sed -nE 's/^KERNEL32\.CreateMutexA\([0-9a-f]+,00000000,[0-9a-f]+ "([^"]*)"\) = [0-9a-f]+ by ([0-9a-f]+)$/\2 \1/p' \
  "$E2E_ART/calls-run1.txt" | while read -r by name; do from_program "$by" && echo "$name"; done)"
e2e_check "the one-copy name is '${mutex:-none}': the program's, without a namespace prefix" \
  eval '[ "$(wc -l <<<"$mutex")" = 1 ] && [[ "$mutex" =~ ^Quindle(-S-[0-9-]+)?$ ]]'

# The statistics, read once as the dialer is made.
called() { grep -qxE -- "$1 by [0-9a-f]+" "$E2E_ART/calls-run1.txt"; }
e2e_check "statistics: HKLM\\System\\CurrentControlSet\\Control\\PerfStats\\Enum opened" \
  called 'advapi32\.RegOpenKeyExA\(80000002,[0-9a-f]+ "System\\\\CurrentControlSet\\\\Control\\\\PerfStats\\\\Enum",00000000,[0-9a-f]+,[0-9a-f]+\) = 00000000'
e2e_check "statistics: HKEY_DYN_DATA\\PerfStats\\StartStat opened" \
  called 'advapi32\.RegOpenKeyExA\(80000006,[0-9a-f]+ "PerfStats\\\\StartStat",00000000,[0-9a-f]+,[0-9a-f]+\) = 00000000'
for p in "${PROVIDERS[@]}"; do
  want=00000002 what="not there"
  for s in "${SPEEDS[@]}"; do [ "$s" = "$p" ] && want=00000000 what=found; done
  e2e_check "statistics: $p\\ConnectSpeed asked for ($what)" \
    grep -qE "^advapi32\.RegQueryValueExA\([0-9a-f]+,[0-9a-f]+ \"${p//./\\.}\\\\\\\\ConnectSpeed\",.*\) = $want by [0-9a-f]+\$" \
    "$E2E_ART/calls-run1.txt"
done

# A user name typed in the dialog is stored through the dialer
# (RasSetEntryDialParamsA) in the service's phone book; the password the
# dialog read back stays.
e2e_open_settings
e2e_click_settings 66 75
sleep 0.2
xdotool key End shift+Home
xdotool type --delay 40 'e2e-95'
sleep 0.2
e2e_click_settings 435 244         # OK
e2e_check "OK closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10
entry_lines() { tr -d '\r' <"$E2E_ART/phonebook.ini" | sed -n '/^\[Drop Line\]/,/^\[/p'; }
e2e_check "the user name typed is stored in the service's phone book, the password kept" \
  eval 'entry_lines | grep -qx "UserName=e2e-95" && entry_lines | grep -qx "Password=e2e"'

sleep 0.5
e2e_press_connect
e2e_wait_log '^Connected [0-9]' 20
e2e_wait_log '^Disconnected [0-9]' 20
e2e_wait_log '^Connected [0-9]' 20 2
sleep 0.5
e2e_shot connected-again "$E2E_MAIN"
e2e_tray_menu disconnect
e2e_wait_log '^Disconnected [0-9]' 10 2
sleep 2
e2e_exit_via_tray

# The lookups: the monitor's from rasapi32.dll; the dialer's first one
# misses there (its name with "A" added, then as given), then rnaph.dll is
# loaded and every one comes from it, each the function of rasapi32.dll that
# rnaph.dll forwards to.
calls 1
lookups 1 "$ras" >"$E2E_ART/lookups-rasapi32.txt"
lookups 1 "$rna" >"$E2E_ART/lookups-rnaph.txt"
for name in RasEnumConnectionsA RasGetConnectStatusA RasHangUpA RasGetProjectionInfoA; do
  want="$(printf '%08x' $((16#$ras + 16#$(export_rva "$name"))))"
  e2e_check "monitor: $name from rasapi32.dll ($want)" grep -qxF "$name $want" "$E2E_ART/lookups-rasapi32.txt"
done
first="$(grep -vE '^(RasEnumConnectionsA|RasGetConnectStatusA|RasHangUpA|RasGetProjectionInfoA) ' \
  "$E2E_ART/lookups-rasapi32.txt" | tr '\n' ' ')"
e2e_check "dialer: its first lookup missed in rasapi32.dll, and it asked rasapi32.dll nothing more ($first)" \
  test "$first" = "RasEnumEntriesAA 00000000 RasEnumEntriesA 00000000 "
e2e_check "dialer: rnaph.dll loaded after that miss" \
  grep -qE "^KERNEL32\.LoadLibraryExA\([0-9a-f]+ \"[^\"]*\\\\\\\\rnaph\.dll\",.*\) = $rna by [0-9a-f]+\$" "$E2E_ART/calls-run1.txt"
dialer_re="^($(IFS='|'; echo "${DIALER[*]}")) "
e2e_check "dialer: looked up nothing in rnaph.dll but its seven functions" \
  eval '! grep -qvE "$dialer_re" "$E2E_ART/lookups-rnaph.txt"'
for name in "${DIALER[@]}"; do
  want="$(printf '%08x' $((16#$ras + 16#$(export_rva "${TARGET[$name]}"))))"
  got="$(awk -v n="$name" '$1 == n { print $2 }' "$E2E_ART/lookups-rnaph.txt" | sort -u | tr '\n' ' ')"
  # RasGetErrorStringA is asked for only when a dial or a store fails.
  if [ "$name" = RasGetErrorStringA ] && [ -z "$got" ]; then
    e2e_log "ok: dialer: $name not needed (no dial failed)"
    continue
  fi
  e2e_check "dialer: $name from rnaph.dll is rasapi32.dll's ${TARGET[$name]} ($want; got ${got% })" \
    test "$got" = "$want "
done
e2e_check "dialer: the dial itself came through rnaph.dll" grep -q '^RasDialA ' "$E2E_ART/lookups-rnaph.txt"

# The pane's lines: the dial's steps (the dialer's notifications) and the
# connected and disconnected lines (the monitor's) of one service.
e2e_log_lines >"$E2E_ART/session.txt"
e2e_line_patterns "$E2E_T" "$E2E_D"
disconnected="^Disconnected $E2E_T \\($E2E_D\\)$"
expected=("${E2E_HEADER_RE[@]}" "${E2E_DIAL_RE[@]}" "$disconnected" "${E2E_DIAL_RE[@]}" "$disconnected")
e2e_expect_lines "$E2E_ART/session.txt" "${expected[@]}"
e2e_log "ok: the lines are, in order: header, advert, dial, connected, drop, redial, connected, hang-up"
e2e_check_count "Drop Line" Dials 2 "the dial and the redial reached the service"
e2e_check_count "Drop Line" HangUps 2 "the dropped handle and the one hung up in the menu were hung up"
e2e_check_count "" NotHungUp 0 "every handle Quindle dialled was hung up"

# --- Run 2: the timed shutdown, without the shutdown privilege -------------------
e2e_stop_server
e2e_timed_shutdown
calls 2
e2e_check "the shutdown was asked for: ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE)" \
  grep -aqE "^$QPID:[0-9a-f]+:Call user32\.ExitWindowsEx\(00000005," "$E2E_ART/quindle-run2.out"
# No token opened for adjusting (TOKEN_ADJUST_PRIVILEGES, 0x20) by anyone in
# the process, no privilege looked up or adjusted. The relay trace does see
# the program's token calls: the one-copy name's, with TOKEN_QUERY (8) only,
# made by Quindle.exe at start-up, is there.
opened=() query=0
while read -r access by; do
  opened+=("$access")
  [ "$access" = 00000008 ] && from_program "$by" && query=1
done < <(grep -a -E "^$QPID:[0-9a-f]+:Call advapi32\.OpenProcessToken\(" "$E2E_ART/quindle-run2.out" |
  sed -nE 's/.*:Call advapi32\.OpenProcessToken\([0-9a-f]+,([0-9a-f]+),[0-9a-f]+\) ret=([0-9a-f]+)$/\1 \2/p')
e2e_check "the program's one-copy token call is seen (TOKEN_QUERY; the process's token calls asked for: ${opened[*]:-none})" \
  test $query = 1
for access in "${opened[@]}"; do
  e2e_check "no token opened for adjusting its privileges (access $access)" test $((16#$access & 0x20)) = 0
done
e2e_check "no LookupPrivilegeValueA, no AdjustTokenPrivileges in Quindle.exe's process" \
  eval '! grep -aqE "^$QPID:[0-9a-f]+:Call advapi32\.(LookupPrivilegeValueA|AdjustTokenPrivileges)\(" "$E2E_ART/quindle-run2.out"'

# The full library again for the prefix's other journeys.
e2e_stop_server
quindle_install_rassim "$E2E_BUILD" && rm -f "$SYS/rnaph.dll" ||
  e2e_fail "the simulated service's own layout could not be put back"
e2e_pass
