#!/usr/bin/env bash
# First run on an empty registry: the main window opens at its design
# position (295, 172) with the client area 237 by 210, the status panel and
# the advert line are drawn, the advert's address is a link that a click
# opens in the browser, the tray icon is there; Exit in the tray menu ends
# the program, which then has written only SLeft and STop.
#
#   bash tests/e2e/first_run.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init first_run "${1:-build/windows}"

# The demo phone book installed beside the simulated service.
e2e_fake_browser
e2e_apply_pending
e2e_reg_dump "$E2E_ART/registry-before.txt"
e2e_check "no settings key before the start" test ! -s "$E2E_ART/registry-before.txt"

e2e_start
sleep 1
e2e_shot main "$E2E_MAIN"
e2e_doc_shot main-disconnected main

# The position: Wine draws the frame itself, so the X window is the outer
# window; were the frame left to a window manager, the X window would be the
# client area, a frame's width right of and below the outer position.
if [ "$E2E_BORDER" -gt 0 ]; then
  e2e_check "window at 295,172 (saw $E2E_X,$E2E_Y)" test "$E2E_X" -eq 295 -a "$E2E_Y" -eq 172
  e2e_check "client area 237x210 (window ${E2E_W}x$E2E_H, frame $E2E_BORDER/$E2E_TOPFRAME)" \
    test $((E2E_W - 2 * E2E_BORDER)) -eq 237 -a $((E2E_H - E2E_TOPFRAME - E2E_BORDER)) -eq 210
else
  e2e_check "client area at 295,172 plus a frame (saw $E2E_X,$E2E_Y)" \
    test "$E2E_X" -gt 295 -a "$E2E_X" -le 303 -a "$E2E_Y" -gt 172 -a "$E2E_Y" -le 212
fi

# What the window shows, from its pixels (client coordinates; text is drawn
# in one colour on one background): the panel's caption, the advert line as
# the pane's first line and nothing below the empty line that follows it.
b=$E2E_BORDER t=$E2E_TOPFRAME
img="$E2E_ART/main.png"
e2e_check "the status panel has a caption" test "$(e2e_colours "$img" 160x14+$((b + 38))+$((t + 13)))" -ge 2
e2e_check "the pane's first line holds text (the advert line)" \
  test "$(e2e_colours "$img" 200x12+$((b + 3))+$((t + 43)))" -ge 2
e2e_check "the pane is empty below its second line" \
  test "$(e2e_colours "$img" 200x70+$((b + 8))+$((t + 41 + 50)))" -eq 1

# The advert line's address is a link (drawn in blue); a click on it opens it
# in the browser.
e2e_check "the advert line's address is drawn as a link" \
  test "$(convert "$img" -crop 120x12+$((b + 3))+$((t + 43)) +repage -fill black +opaque '#0000FF' \
    -format '%[fx:mean>0]' info:)" = 1
e2e_click_main 60 49
end=$((SECONDS + 15))
until grep -q . "$E2E_BROWSED" 2>/dev/null || [ $SECONDS -ge $end ]; do sleep 0.2; done
e2e_check "a click on the advert line opened its address ($(cat "$E2E_BROWSED" 2>/dev/null))" \
  grep -q '^http://quest\.example\.org/\?$' "$E2E_BROWSED"
e2e_shot link-clicked "$E2E_MAIN"

e2e_find_tray_icon
e2e_log "tray icon in cell $E2E_ICON_CELL at $E2E_ICON_X,$E2E_ICON_Y"
e2e_shot tray "$E2E_TRAY"

E2E_MENU_SHOT=tray_menu e2e_tray_menu exit
e2e_check "disconnected: the menu offers Connect, not Disconnect" \
  test "$E2E_MENU_CONNECT/$E2E_MENU_DISCONNECT" = enabled/disabled
e2e_doc_shot tray-menu tray_menu
e2e_wait_exit 30

e2e_reg_dump "$E2E_ART/registry-after.txt"
printf 'SLeft REG_DWORD 295\nSTop REG_DWORD 172\n' >"$E2E_ART/registry-expected.txt"
e2e_check "only SLeft=295 and STop=172 written ($(tr '\n' ';' <"$E2E_ART/registry-after.txt"))" \
  cmp -s "$E2E_ART/registry-expected.txt" "$E2E_ART/registry-after.txt"
e2e_check "no Run value written" eval '! e2e_reg_data "$E2E_RUNKEY" Quindle >/dev/null'

e2e_pass
