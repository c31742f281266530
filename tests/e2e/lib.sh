# Sourced by the end-to-end tests: run Windows programs under Wine, drive the
# tray with the mouse, and wait on the recorders' logs.

e2e_work=$(mktemp -d)
e2e_pids=()
e2e_name=${0##*/}
e2e_name=${e2e_name%.sh}

FAKE_BROWSER_LOG=$(winepath -w "$e2e_work/browser.log")
URL_RECORDER_LOG=$(winepath -w "$e2e_work/urls.log")
export FAKE_BROWSER_LOG URL_RECORDER_LOG

# Starts a Windows program in the background; its PID is in e2e_last_pid.
e2e_start() {
  wine "$@" </dev/null >>"$e2e_work/wine.out" 2>&1 &
  e2e_last_pid=$!
  e2e_pids+=("$e2e_last_pid")
}

e2e_cleanup() {
  local pid
  for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$e2e_work"
}
trap e2e_cleanup EXIT

# Fails the test with a screenshot kept under the shot folder.
e2e_fail() {
  local shot="$E2E_SHOTS/$e2e_name-$(date +%H%M%S).png"
  mkdir -p "$E2E_SHOTS"
  import -window root "$shot" 2>/dev/null || true
  echo "FAILED: $*"
  echo "screenshot: $shot"
  echo "browser log:"; cat "$e2e_work/browser.log" 2>/dev/null || true
  echo "url log:"; cat "$e2e_work/urls.log" 2>/dev/null || true
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

# How many lines of file $2 match $1 (0 while the file does not exist).
e2e_count() {
  local n
  n=$(grep -c -- "$1" "$2" 2>/dev/null) || true
  echo "${n:-0}"
}

e2e_copy_hex() {
  wine "$E2E_CLIP_TOOL" text-hex "$1" </dev/null >/dev/null 2>&1 || e2e_fail "could not set the clipboard"
}

e2e_copy() {
  e2e_copy_hex "$(printf '%s' "$1" | od -An -tx1 | tr -d ' \n')"
}

# Where Wine's own tray window shows the first icon, in screen coordinates.
e2e_tray_icon_xy() {
  local tray x y
  tray=$(xdotool search --onlyvisible --name "Wine System Tray" | head -1) || return 1
  eval "$(xdotool getwindowgeometry --shell "$tray")"
  x=$((X + 13)) y=$((Y + 32))
  echo "$x $y"
}

e2e_click_tray() {
  local xy
  xy=$(e2e_tray_icon_xy) || e2e_fail "no tray icon to click"
  # shellcheck disable=SC2086
  xdotool mousemove $xy click "$1"
  sleep 0.3
  # Away from the icon, or stray mouse-move notifications follow.
  xdotool mousemove 600 500
}

# The program's pop-up menu, the only window of it that is shown.
e2e_menu_window() {
  xdotool search --onlyvisible --classname "quillfind.exe" | head -1
}

# Clicks item $1 (from 0) of an open menu of $2 items, with the mouse.
e2e_click_menu_item() {
  local menu
  menu=$(e2e_menu_window) || e2e_fail "no menu is open"
  eval "$(xdotool getwindowgeometry --shell "$menu")"
  local item_height=$(( (HEIGHT - 6) / $2 ))
  xdotool mousemove $((X + 20)) $((Y + 3 + item_height * $1 + item_height / 2)) click 1
}
