# Sourced by the end-to-end test and scripts/screenshots: run Windows programs
# under Wine and drive the tray, its menu and dialogs with the mouse and keys.

e2e_work=$(mktemp -d)
e2e_pids=()

# Starts a Windows program in the background.
e2e_start() {
  wine "$@" </dev/null >>"$e2e_work/wine.out" 2>&1 &
  e2e_pids+=($!)
}

e2e_cleanup() {
  kill "${e2e_pids[@]}" 2>/dev/null || true
  rm -rf "$e2e_work"
}
trap e2e_cleanup EXIT

# Fails with a screenshot kept under E2E_SHOTS.
e2e_fail() {
  mkdir -p "$E2E_SHOTS"
  import -window root "$E2E_SHOTS/$(basename "$0" .sh)-$(date +%H%M%S).png" 2>/dev/null || true
  echo "FAILED: $* (screenshot in $E2E_SHOTS)"
  exit 1
}

# Waits up to 10 s for a shell condition.
e2e_wait() {
  local i
  for i in $(seq 100); do
    eval "$1" && return 0
    sleep 0.1
  done
  return 1
}

# The first shown window that xdotool search finds with these arguments.
e2e_shown() { xdotool search --onlyvisible "$@" 2>/dev/null | head -1 | grep .; }

e2e_window() { e2e_shown --name "$1"; }

# The program's pop-up menu, the only window of it that is shown.
e2e_menu_window() { e2e_shown --classname "quillfind.exe"; }

# Where Wine's own tray window shows the first icon, in screen coordinates.
e2e_tray_icon_xy() {
  local tray
  tray=$(e2e_window "Wine System Tray") || return 1
  eval "$(xdotool getwindowgeometry --shell "$tray")"
  echo "$((X + 13)) $((Y + 32))"
}

# Clicks the tray icon with button $1, then moves away from it (or stray
# mouse-move notifications follow) and waits out the double-click time.
e2e_click_tray() {
  local xy
  xy=$(e2e_tray_icon_xy) || e2e_fail "no tray icon to click"
  # shellcheck disable=SC2086
  xdotool mousemove $xy click "$1" sleep 0.1 mousemove 600 500 sleep 0.6
}

e2e_open_tray_menu() {
  e2e_click_tray 3
  e2e_wait 'e2e_menu_window >/dev/null' || e2e_fail "no menu opened"
}

# Clicks item $1 (from 0) of the open menu of $2 items.
e2e_click_menu_item() {
  eval "$(xdotool getwindowgeometry --shell "$(e2e_menu_window)")"
  local item_height=$(((HEIGHT - 6) / $2))
  xdotool mousemove $((X + 20)) $((Y + 3 + item_height * $1 + item_height / 2)) click 1
}
