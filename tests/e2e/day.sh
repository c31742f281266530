#!/usr/bin/env bash
# A user's day with Quillfind.exe, driven only from outside, in a prefix set up
# as scripts/run sets it up: text copied on the Linux side reaches the
# desktop's browser (a stand-in xdg-open first in PATH) through winebrowser,
# by the shell at start-up and through quillfind_browser.dll after it, once a
# line and in line order; the real tray icon is clicked, its menu chosen from
# and the settings dialog typed into; "終了" ends the day.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
. "$here/lib.sh"

# Beside the harness's prefix, from the pristine copy it keeps, with a
# wineserver of its own, so the harness's doubles stay out of it.
prefix=$(dirname "$WINEPREFIX")/e2e_day
pristine=$WINEPREFIX.pristine
opened=$e2e_work/xdg-open.log
xclip_pid=

mkdir -p "$e2e_work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n' "$opened" >"$e2e_work/bin/xdg-open"
chmod +x "$e2e_work/bin/xdg-open"
export PATH="$e2e_work/bin:$PATH"

day_cleanup() {
  local code=$?
  e2e_cleanup
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  # A failed day keeps the prefix to look into.
  [ "$code" -ne 0 ] || rm -rf "$prefix"
}
trap day_cleanup EXIT

rm -rf "$prefix"
qf_prepare_run_prefix "$prefix" "$E2E_BRIDGE" "$pristine" || e2e_fail "scripts/run's set-up failed"
[ "$WINEPREFIX" = "$prefix" ] || e2e_fail "the set-up left WINEPREFIX at $WINEPREFIX"
wine reg query 'HKLM\Software\Classes\CLSID\{0002DF01-0000-0000-C000-000000000046}' /s </dev/null 2>/dev/null |
  grep -qi LocalServer32 || e2e_fail "registering the bridge took Wine's own browser away"

# Copies UTF-8 text on the Linux side; Wine hands it on as Shift_JIS.
copy() {
  [ -z "$xclip_pid" ] || kill "$xclip_pid" 2>/dev/null || true
  : >"$opened"
  printf '%s' "$1" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
  xclip_pid=$!
  e2e_pids+=("$xclip_pid")
}

# What xdg-open was given since the last copy, once it has been quiet for a
# second: these URLs, in order. Wine may announce one Linux-side copy twice,
# and each announcement is searched, so the whole run may come more than once.
expect_opened() {
  local expected lines
  expected=$(printf '%s\n' "$@")
  e2e_wait '[ "$(wc -l <"$opened")" -ge '"$#"' ]' || e2e_fail "xdg-open got $(cat "$opened"), not $expected"
  sleep 1
  lines=$(wc -l <"$opened")
  [ $((lines % $#)) -eq 0 ] && [ "$(cat "$opened")" = "$(for _ in $(seq $((lines / $#))); do echo "$expected"; done)" ] ||
    e2e_fail "xdg-open got:
$(cat "$opened")
expected:
$expected"
}

google=http://www.google.co.jp/search?q=
right='&hl=ja&lr='

# Morning: what is on the clipboard at start goes through the shell.
e2e_wait '! e2e_tray_icon_xy >/dev/null' || e2e_fail "a tray icon is already shown"
copy "検索 a&b"
e2e_start "$E2E_QUILLFIND"
qf_pid=$e2e_last_pid
e2e_wait 'e2e_tray_icon_xy >/dev/null' || e2e_fail "no tray icon appeared"
# Quillfind escapes every byte; winebrowser turns escapes of unreserved
# characters (letters, digits, - . _ ~) back into the characters, which leaves
# the address equivalent, and keeps every other escape as it was.
expect_opened "$google%8C%9F%8D%F5%20a%26b$right"

# Three lines, one browser window each, in line order.
copy $'a&b/c\n検索\n~x y+1=2?#%'
expect_opened "${google}a%26b%2Fc$right" "$google%8C%9F%8D%F5$right" "$google~x%20y%2B1%3D2%3F%23%25$right"

# Off for a while, then on again.
e2e_click_tray 1
copy "private"
sleep 1.5
[ ! -s "$opened" ] || e2e_fail "searched while switched off: $(cat "$opened")"
e2e_click_tray 1
copy "back"
expect_opened "${google}back$right"

# The settings: the second site becomes the current one.
e2e_open_tray_menu
e2e_click_menu_item 2 4
e2e_focus "Quill To Find"
xdotool key Down Return
e2e_wait '! e2e_window "Quill To Find" >/dev/null' || e2e_fail "OK did not close the settings"
copy "site two"
expect_opened "http://www.infoseek.co.jp/Titles?qt=site%20two&lk=noframes&svx=101100&lk=noframes&qp=0&nh=10"

# Evening: "終了" ends the program, with code 0 and its icon gone.
e2e_open_tray_menu
e2e_click_menu_item 3 4
e2e_wait '! kill -0 "$qf_pid" 2>/dev/null' || e2e_fail "the program did not end"
code=0
wait "$qf_pid" || code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code"
e2e_wait '! e2e_tray_icon_xy >/dev/null' || e2e_fail "the tray icon is still there"
echo "day: passed"
