#!/usr/bin/env bash
# Libraries planted beside the program or in the current folder are never
# loaded. A marker library, built here, notes its own path in markers.txt
# when it is loaded (and then refuses to load). It is planted under the name
# of every library the program imports that Windows does not protect as a
# known library, and under the names of the libraries the program loads at
# run time (riched20.dll, version.dll), in the program's folder and in the
# current folder; Wine is told to prefer such libraries to its own.
#
# First a small program that loads each of these names the ordinary way
# shows that the markers and Wine's preference work: each name leaves its
# line (version.dll, which Wine's own user32 imports, notes the program's
# calls rather than its loading: see planted/marker.c). Then Quindle.exe starts from a folder of its own with the markers
# beside it, shows its window and the pane's first line, and ends; no marker
# may have been loaded.
#
#   bash tests/e2e/planted_libraries.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init planted_libraries "${1:-build/windows}"

CC=x86_64-w64-mingw32-gcc
command -v "$CC" >/dev/null 2>&1 || e2e_fail "$CC is not installed"
command -v x86_64-w64-mingw32-objdump >/dev/null 2>&1 || e2e_fail "x86_64-w64-mingw32-objdump is not installed"

# The libraries Windows 7 to 11 load only from the system folder (the
# KnownDLLs list), in lower case.
KNOWN=" $(echo kernel32 user32 gdi32 advapi32 shell32 shlwapi ole32 oleaut32 comdlg32 msvcrt \
  ws2_32 rpcrt4 sechost imm32 setupapi normaliz nsi psapi wldap32 imagehlp msctf combase clbcatq \
  gdiplus shcore | sed 's/\([a-z0-9_]*\)/\1.dll/g') "

IMPORTS="$(x86_64-w64-mingw32-objdump -p "$E2E_BUILD/Quindle.exe" |
  sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r' | sort -u)"
[ -n "$IMPORTS" ] || e2e_fail "no imports read from Quindle.exe"
e2e_log "imports: $(echo $IMPORTS)"
PLANTED="riched20.dll version.dll comctl32.dll"
for dll in $IMPORTS; do
  case "$KNOWN" in *" $dll "*) continue ;; esac
  case " $PLANTED " in *" $dll "*) ;; *) PLANTED="$PLANTED $dll" ;; esac
done
e2e_log "planted: $PLANTED"

# The marker libraries and the control program, from tests/e2e/planted/.
SRC="$E2E_ROOT/tests/e2e/planted"
{ "$CC" -shared -O1 -o "$E2E_ART/marker.dll" "$SRC/marker.c" &&
  "$CC" -shared -O1 -DVERSION_MARKER -o "$E2E_ART/version-marker.dll" "$SRC/marker.c"; } \
  2>"$E2E_ART/marker-build.txt" ||
  e2e_fail "the marker library did not build: $(cat "$E2E_ART/marker-build.txt")"
mkdir -p "$E2E_ART/control"
"$CC" -O1 -o "$E2E_ART/control/control.exe" "$SRC/control.c" 2>"$E2E_ART/control-build.txt" ||
  e2e_fail "the control program did not build: $(cat "$E2E_ART/control-build.txt")"

# plant FOLDER: a marker under each planted name.
plant() {
  local dll
  mkdir -p "$1"
  for dll in $PLANTED; do cp "$E2E_ART/marker.dll" "$1/$dll"; done
  cp "$E2E_ART/version-marker.dll" "$1/version.dll"
}
MARKERS="$E2E_ART/markers.txt"
QUINDLE_MARKERS="$(quindle_winpath "$MARKERS")"
export QUINDLE_MARKERS
# Wine prefers a library of these names found in the search to its own.
WINEDLLOVERRIDES="$(echo $PLANTED | sed 's/\.dll//g; s/ /,/g')=n,b"
export WINEDLLOVERRIDES
e2e_log "WINEDLLOVERRIDES=$WINEDLLOVERRIDES"

# ---- the control: the markers are loaded when searched for ----------------
plant "$E2E_ART/control"
: >"$MARKERS"
(cd "$E2E_ART/control" && "$WINE64" control.exe $PLANTED) >"$E2E_ART/control.out" 2>&1
e2e_log "control: $(tr -d '\r' <"$MARKERS" | tr '\n' ';')"
for dll in $PLANTED; do
  [ "$dll" = version.dll ] && continue
  e2e_check "the control program took the planted $dll" \
    grep -qiE "\\\\control\\\\$dll\$" <(tr -d '\r' <"$MARKERS")
done
e2e_check "the control program called the planted version.dll" \
  grep -qiE "^GetFileVersionInfoSizeA called .*\\\\control\\\\version\.dll\$" <(tr -d '\r' <"$MARKERS")

# ---- Quindle: a folder of its own with the markers beside it --------------
# Started from there, with the check's folder, which holds markers too, as
# its current folder.
plant "$E2E_ART/app"
plant "$E2E_ART"
cp "$E2E_BUILD/Quindle.exe" "$E2E_ART/app/" || e2e_fail "Quindle.exe could not be copied"
E2E_BUILD="$E2E_ART/app"
: >"$MARKERS"

e2e_start
sleep 1
e2e_shot main "$E2E_MAIN"
b=$E2E_BORDER t=$E2E_TOPFRAME
e2e_check "no planted library loaded or called at start-up ($(tr -d '\r' <"$MARKERS" | tr '\n' ' '))" \
  test ! -s "$MARKERS"
e2e_check "the pane's first line holds text (the advert line)" \
  test "$(e2e_colours "$E2E_ART/main.png" 200x12+$((b + 3))+$((t + 43)))" -ge 2
e2e_exit_via_tray
e2e_check "Quindle ended normally (status $E2E_EXIT_STATUS)" test "$E2E_EXIT_STATUS" -eq 0
e2e_check "no planted library was loaded or called ($(tr -d '\r' <"$MARKERS" | tr '\n' ' '))" \
  test ! -s "$MARKERS"
e2e_pass
