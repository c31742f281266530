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

# The program's settings file in the test prefix, shared with later tests.
e2e_ini=$WINEPREFIX/drive_c/windows/Quillfind.INI
rm -f "$e2e_ini"

e2e_cleanup() {
  local pid
  for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$e2e_work"
  rm -f "$e2e_ini"
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
  tray=$(xdotool search --onlyvisible --name "Wine System Tray" 2>/dev/null | head -1)
  [ -n "$tray" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$tray")"
  x=$((X + 13)) y=$((Y + 32))
  echo "$x $y"
}

e2e_click_tray() {
  local xy
  xy=$(e2e_tray_icon_xy) || e2e_fail "no tray icon to click"
  # shellcheck disable=SC2086
  xdotool mousemove $xy click "$1"
  # Away from the icon, or stray mouse-move notifications follow; and past
  # the double-click time, or the next click arrives as a double click.
  sleep 0.1
  xdotool mousemove 600 500
  sleep 0.6
}

# The first shown window that xdotool search finds with these arguments, or nothing.
e2e_shown() {
  local w
  w=$(xdotool search --onlyvisible "$@" 2>/dev/null | head -1)
  [ -n "$w" ] && echo "$w"
}

# The program's pop-up menu, the only window of it that is shown.
e2e_menu_window() {
  e2e_shown --classname "quillfind.exe"
}

# Clicks item $1 (from 0) of an open menu of $2 items, with the mouse.
e2e_click_menu_item() {
  local menu
  menu=$(e2e_menu_window) || e2e_fail "no menu is open"
  eval "$(xdotool getwindowgeometry --shell "$menu")"
  local item_height=$(( (HEIGHT - 6) / $2 ))
  xdotool mousemove $((X + 20)) $((Y + 3 + item_height * $1 + item_height / 2)) click 1
}

# The first shown window whose title matches $1, or nothing.
e2e_window() {
  e2e_shown --name "$1"
}

# Gives the keyboard to the shown window titled $1; no window manager does.
e2e_focus() {
  local w
  e2e_wait "e2e_window '$1' >/dev/null" || e2e_fail "no window titled $1"
  w=$(e2e_window "$1")
  xdotool windowfocus --sync "$w" 2>/dev/null || e2e_fail "could not focus $1"
}

e2e_open_tray_menu() {
  e2e_click_tray 3
  e2e_wait 'e2e_menu_window >/dev/null' || e2e_fail "no menu opened"
}

# Chooses with the keyboard in the open menu: the keys given, then Return.
e2e_key_menu() {
  xdotool windowfocus --sync "$(e2e_menu_window)" 2>/dev/null || e2e_fail "could not focus the menu"
  xdotool key "$@" Return
}

# Percent-encodes the Shift_JIS form of UTF-8 text, as the program does.
e2e_encode() {
  printf '%s' "$1" | iconv -f UTF-8 -t CP932 | od -An -tx1 | tr -d ' \n' | tr a-f A-F | sed 's/../%&/g'
}
