#!/usr/bin/env bash
# Under Japanese (ANSI code page 932), with a phone-book entry whose name is
# Japanese: two runs, each a connection that drops (automatic redial off).
#
# Run 1 uses the locale's own time and date formats ("H:mm:ss", "yyyy/M/d").
# Run 2 uses formats that hold Japanese text: the time with the morning or
# afternoon mark before it ("tt h:mm:ss", which a Japanese Windows offers),
# the date with a web address that has Japanese characters after it (Windows
# copies a quoted part of a format into every date; that is how such an
# address gets into the pane, as the entry's name does not go there).
#
# Each time: every pane line reaches the log file whole, in code page 932,
# byte for byte. In run 2 the address in the pane is a link, and a click on
# it opens that address and nothing else, and Quindle stays up; the window
# and the settings dialog show the entry's name.
#
#   QUINDLE_WINE_LOCALE=ja_JP.UTF-8 bash tests/e2e/setups/ja_jp.sh build/windows
#
# With QUINDLE_E2E_DOCS=1 the two screenshots of run 2 are copied into docs/.
set -uo pipefail
. "$(dirname "$0")/../lib/common.sh"
e2e_init ja_jp "${1:-build/windows}"

# Text here is UTF-8; Quindle's is code page 932.
entry_utf8="ダイヤルアップ接続テスト"
host_utf8="www.表示例.example.jp"  # 表 ends in the byte 0x5C in code page 932

# The entry's name in the ANSI code page, as the phone book holds its values.
{
  printf '[%s]\n' "$entry_utf8" | iconv -f UTF-8 -t CP932
  cat <<'EOF'
PhoneNumber=03 5555 0932
UserName=e2e
Password=e2e
Script=0:100, 1:100, 2:300, 3:100, 4:50, 5:100, 6:100, 14:100, 18:100, 0x2000:100
DropAfter=3
HangUpDelay=200
EOF
} >"$E2E_ART/.phonebook"
e2e_phonebook <"$E2E_ART/.phonebook"
e2e_reg_set AutoRecon dword 0
e2e_fake_browser

# e2e_check_log_cp932 FILE TIME-REGEX DATE-REGEX: the log file is code page
# 932 text whose bytes come back unchanged from it, and holds header,
# advert, dial, connection and drop. A text line wider than the pane reaches
# the file whole, however the pane wraps it; lines that came in pieces are
# put together again to tell them apart, and counted in WRAPPED.
e2e_check_log_cp932() {
  local file="$1" T="$2" D="$3" text="${1%.log}.txt" n=0 pieces line re
  WRAPPED=0
  iconv -f CP932 -t UTF-8 "$file" >"${1%.log}.utf8" || e2e_fail "$file is not code page 932 text"
  iconv -f UTF-8 -t CP932 "${1%.log}.utf8" | cmp -s - "$file" ||
    e2e_fail "$file: its bytes do not come back from its text unchanged"
  tr -d '\r' <"${1%.log}.utf8" >"$text"
  e2e_line_patterns "$T" "$D"
  local expected=("${E2E_HEADER_RE[@]}" "${E2E_DIAL_RE[@]}" "^Disconnected $T \\($D\\)$")
  mapfile -t lines <"$text"
  for re in "${expected[@]}"; do
    line="${lines[$n]:-}"
    n=$((n + 1))
    pieces=1
    while ! [[ "$line" =~ $re ]] && [ $pieces -lt 3 ] && [ $n -lt ${#lines[@]} ]; do
      line+="${lines[$n]}"
      n=$((n + 1))
      pieces=$((pieces + 1))
    done
    [[ "$line" =~ $re ]] || e2e_fail "$file, line $n: '$line' is not /$re/"
    [ $pieces -gt 1 ] && WRAPPED=$((WRAPPED + 1))
  done
  [ $n -eq ${#lines[@]} ] || e2e_fail "$file: ${#lines[@]} lines, $n expected"
  e2e_log "ok: ${file##*/} is code page 932 text, byte for byte, every line whole"
}

# e2e_connect_and_drop: Connect, then waits for the connection and its drop;
# sets SEEN_CONNECTED (the host's time when the connection was seen).
e2e_connect_and_drop() {
  e2e_press_connect
  e2e_wait_log '^Connected ' 20
  SEEN_CONNECTED=$(date +%s)
  sleep 0.3
  e2e_shot "connected-run$E2E_RUN" "$E2E_MAIN"
  e2e_wait_log '^Disconnected ' 15
  sleep 1
}

# --- Run 1: the locale's own formats, as the shared patterns know them ---------
e2e_logging "$E2E_ART/run1.log"
e2e_start
e2e_connect_and_drop
e2e_exit_via_tray
e2e_check_log_cp932 "$E2E_ART/run1.log" "$E2E_T" "$E2E_D"
e2e_check "run 1: no line wider than the pane ($WRAPPED)" test "$WRAPPED" = 0
e2e_check "run 1: Japanese 24-hour time and year-first date ($(grep -m1 '^Connected' "$E2E_ART/run1.txt"))" \
  grep -qE '^Connected [0-9]{1,2}:[0-9]{2}:[0-9]{2} \([0-9]{4}/[0-9]{1,2}/[0-9]{1,2}\)$' "$E2E_ART/run1.txt"

# --- Run 2: formats with Japanese text --------------------------------------------
# A .reg file in UTF-16 carries the Japanese text whatever the code page.
formats="$E2E_ART/formats.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Control Panel\\International]\r\n'
  printf '"sTimeFormat"="tt h:mm:ss"\r\n'
  printf "\"sShortDate\"=\"yyyy/M/d' %s'\"\r\n\r\n" "$host_utf8"
} | iconv -f UTF-8 -t UTF-16 >"$formats"
quindle_wine reg import "$(quindle_winpath "$formats")" >/dev/null 2>&1 ||
  e2e_fail "could not set the time and date formats"
e2e_logging "$E2E_ART/run2.log"
e2e_start
e2e_connect_and_drop
e2e_shot main "$E2E_MAIN"

# The pane's last lines hold the date's address, drawn in blue as a link: the
# lowest blue pixel row of the pane is clicked in the middle of its run.
b=$E2E_BORDER t=$E2E_TOPFRAME
blue="$(convert "$E2E_ART/main.png" -crop 220x136+$((b + 2))+$((t + 41)) +repage -depth 8 txt:- |
  awk -F'[,: ]+' '/#0000FF/ { print $1, $2 }' | sort -k2,2n -k1,1n)"
e2e_check "a link is drawn in the pane" test -n "$blue"
row="$(tail -n 1 <<<"$blue" | cut -d' ' -f2)"
xs="$(awk -v r="$row" '$2 == r { print $1 }' <<<"$blue")"
x=$((($(head -n 1 <<<"$xs") + $(tail -n 1 <<<"$xs")) / 2))
e2e_click_main $((x + 2)) $((row + 41 - 2))
end=$((SECONDS + 10))
until grep -q . "$E2E_BROWSED" 2>/dev/null || [ $SECONDS -ge $end ]; do sleep 0.2; done
sleep 1
e2e_check "Quindle is still running after the click" e2e_alive
# Wine hands the address to the host's browser in the host's character set,
# which here has no Japanese (each such character comes out as one "?"): three
# characters between "www." and ".example.jp" show that Quindle passed the
# three characters of the address, not the six bytes they take in code page
# 932, and did not take the second byte of the first for a backslash.
e2e_check "the click opened the address and nothing else ($(tr '\n' ' ' <"$E2E_BROWSED" 2>/dev/null))" \
  eval '[ "$(wc -l <"$E2E_BROWSED")" = 1 ] && grep -qxE "http://www\.[^./]{3}\.example\.jp/?" "$E2E_BROWSED"'
e2e_shot link-clicked "$E2E_MAIN"

e2e_open_settings
e2e_shot settings "$E2E_SETTINGS"
xdotool key Escape
e2e_check "Escape closes the dialog" e2e_wait_gone "$E2E_SETTINGS" 10
e2e_doc_shot screenshot-ja-JP-main connected-run2
e2e_doc_shot screenshot-ja-JP-settings settings
e2e_exit_via_tray

T='(午前|午後) [0-9]{1,2}:[0-9]{2}:[0-9]{2}'
D="[0-9]{4}/[0-9]{1,2}/[0-9]{1,2} ${host_utf8//./\\.}"
e2e_check_log_cp932 "$E2E_ART/run2.log" "$T" "$D"
e2e_check "run 2: the connected and disconnected lines whole, though the pane wraps them ($WRAPPED in pieces)" \
  test "$WRAPPED" = 0

# The mark says which half of the day: the connection's time, read back as a
# 24-hour time, is the host's within a minute.
connected="$(grep -m1 '^Connected ' "$E2E_ART/run2.txt")"
[[ "$connected" =~ (午前|午後)\ ([0-9]{1,2}):([0-9]{2}):([0-9]{2}) ]] || e2e_fail "no time in '$connected'"
h=$((10#${BASH_REMATCH[2]} % 12))
[ "${BASH_REMATCH[1]}" = 午後 ] && h=$((h + 12))
line_s=$((h * 3600 + 10#${BASH_REMATCH[3]} * 60 + 10#${BASH_REMATCH[4]}))
host_s=$((10#$(date -d "@$SEEN_CONNECTED" +%H) * 3600 + 10#$(date -d "@$SEEN_CONNECTED" +%M) * 60 + 10#$(date -d "@$SEEN_CONNECTED" +%S)))
d=$(e2e_delta "$line_s" "$host_s")
e2e_check "run 2: the connected time '${connected#Connected }' is the host's ($(date -d "@$SEEN_CONNECTED" +%T))" \
  test "$d" -le 60 -o "$d" -ge $((86400 - 60))

e2e_pass
