#!/usr/bin/env bash
# The windows at the screen's scale (QUINDLE_E2E_DPI, 96 unless given): the
# main window and the settings dialog open with their client areas scaled
# from the design's 96 dpi, inside a frame of Wine's at that scale, and what
# they show is drawn there; the screenshots at 150 % are the ones in docs/.
#
#   QUINDLE_E2E_DPI=144 bash tests/e2e/dpi_layout.sh build/windows
set -uo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_init dpi_layout "${1:-build/windows}"

# The main window: its client area `cw` x `ch` (the design's, scaled) inside
# a frame, its sides a few pixels each, its top a caption's height. A window
# laid out at 96 dpi on a screen of another scale fails here: too small
# (narrower than its client area) or too large.
check_main() {
  e2e_log "main window: ${E2E_W}x$E2E_H, client ${E2E_MAIN_CW}x$E2E_MAIN_CH at $E2E_DPI dpi (frame $E2E_BORDER, top $E2E_TOPFRAME)"
  e2e_check "the main window is its client area ${E2E_MAIN_CW}x$E2E_MAIN_CH in a frame (window ${E2E_W}x$E2E_H)" \
    test "$E2E_BORDER" -ge 1 -a "$E2E_BORDER" -le "$(e2e_scaled 6)" \
    -a "$E2E_TOPFRAME" -ge "$(e2e_scaled 16)" -a "$E2E_TOPFRAME" -le "$(e2e_scaled 36)"
}

# The dialog in the same frame: its client area as tall as the design's
# scaled, and as wide or wider (up to half as wide again) where its captions
# need the room in the font they are drawn in.
check_dialog() {
  e2e_geometry "$E2E_SETTINGS" || e2e_fail "no geometry of the settings dialog"
  local cw=$((G_W - 2 * E2E_BORDER)) ch=$((G_H - E2E_TOPFRAME - E2E_BORDER))
  e2e_log "settings dialog: ${G_W}x$G_H, client ${cw}x$ch at $E2E_DPI dpi (design ${E2E_SETTINGS_CW}x$E2E_SETTINGS_CH scaled)"
  e2e_check "the settings dialog's client area ${cw}x$ch is the design's ${E2E_SETTINGS_CW}x$E2E_SETTINGS_CH, as tall and at least as wide" \
    test "$ch" -eq "$E2E_SETTINGS_CH" -a "$cw" -ge "$E2E_SETTINGS_CW" -a "$cw" -le $((E2E_SETTINGS_CW * 3 / 2))
}

e2e_start
sleep 1
check_main
e2e_shot main "$E2E_MAIN"
# The status panel's caption and the buttons' captions are drawn (text in one
# colour on the face), at their scaled places.
img="$E2E_ART/main.png" b=$E2E_BORDER t=$E2E_TOPFRAME
e2e_check "the status panel has a caption" \
  test "$(e2e_colours "$img" "$(e2e_scaled 160)x$(e2e_scaled 14)+$((b + $(e2e_scaled 38)))+$((t + $(e2e_scaled 13)))")" -ge 2
e2e_check "the Settings button has a caption" \
  test "$(e2e_colours "$img" "$(e2e_scaled 50)x$(e2e_scaled 11)+$((b + $(e2e_scaled 171)))+$((t + $(e2e_scaled 188)))")" -ge 2
[ "$E2E_DPI" = 144 ] && e2e_doc_shot main-150 main

e2e_open_settings
check_dialog
e2e_shot settings "$E2E_SETTINGS"
[ "$E2E_DPI" = 144 ] && e2e_doc_shot settings-150 settings
# OK, at its scaled place, closes the dialog.
e2e_click_settings 435 244
e2e_wait_gone "$E2E_SETTINGS" 10 || e2e_fail "OK did not close the dialog"

e2e_tray_menu exit
e2e_wait_exit 20
e2e_pass
