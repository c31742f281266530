#!/usr/bin/env bash
# A user's day with Quillfind.exe, driven only from outside: text copied on the
# Linux side and by Windows programs, the tray icon clicked, the menu chosen
# with the mouse and with the keyboard, the settings dialog typed into, the
# about box opened both ways, a shell restart, and the exit. A second
# clipboard viewer runs beside it all day and must see every change.
set -euo pipefail
. "$(dirname "$0")/lib.sh"

google=http://www.google.co.jp/search?q=
google_right='&hl=ja&lr='
browser=$e2e_work/browser.log
urls=$e2e_work/urls.log
ini=$e2e_ini
settings_title="Quill To Find"
about_title="Quillfind"
viewer_log=$e2e_work/viewer.log
xclip_pid=

wine "$E2E_CLIP_TOOL" empty </dev/null >/dev/null 2>&1

# Joined before Quillfind, the viewer sits behind it in the chain.
e2e_start "$E2E_CHAIN_VIEWER" "$(winepath -w "$viewer_log")"
e2e_wait '[ "$(e2e_count ready "$viewer_log")" -ge 1 ]' || e2e_fail "the viewer did not start"

draws() { e2e_count draw "$viewer_log"; }
navigated() { e2e_count Navigate2 "$browser"; }

# Copies UTF-8 text on the Linux side; Wine hands it on as Shift_JIS.
linux_copy() {
  local before
  before=$(draws)
  [ -z "$xclip_pid" ] || kill "$xclip_pid" 2>/dev/null || true
  printf '%s' "$1" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
  xclip_pid=$!
  e2e_pids+=("$xclip_pid")
  e2e_wait '[ "$(draws)" -gt '"$before"' ]' || e2e_fail "Wine did not see the Linux copy"
}

windows_copy() {
  local before
  before=$(draws)
  e2e_copy "$1"
  e2e_wait '[ "$(draws)" -gt '"$before"' ]' || e2e_fail "the viewer did not see the copy of $1"
}

# Morning: text already on the clipboard is searched at start-up through the
# shell, and that first notification is not passed on.
linux_copy "朝の 検索"
before_start=$(draws)
e2e_start "$E2E_QUILLFIND"
qf_pid=$e2e_last_pid
e2e_wait 'e2e_tray_icon_xy >/dev/null' || e2e_fail "no tray icon appeared"
e2e_wait '[ "$(e2e_count . "$urls")" -ge 1 ]' || e2e_fail "the start-up text was not searched"
[ "$(cat "$urls")" = "$google$(e2e_encode "朝の 検索")$google_right" ] || e2e_fail "start-up URL: $(cat "$urls")"
[ "$(navigated)" -eq 0 ] || e2e_fail "the start-up text went through automation"
[ "$(draws)" -eq "$before_start" ] || e2e_fail "the start-up notification was passed on"

# Several lines copied after start-up: one browser window each, in line order.
windows_copy $'one\r\ntwo\r\nthree\r\n'
e2e_wait '[ "$(e2e_count released "$browser")" -ge 3 ]' || e2e_fail "not every line was searched"
[ "$(grep -o 'q=[^&]*' <(grep Navigate2 "$browser") | tr '\n' ' ')" = "q=%6F%6E%65 q=%74%77%6F q=%74%68%72%65%65 " ] ||
  e2e_fail "lines out of order"

# Off for a while, then on again.
e2e_click_tray 1
windows_copy "private"
sleep 0.5
[ "$(navigated)" -eq 3 ] || e2e_fail "searched while switched off"
e2e_click_tray 1
windows_copy "back"
e2e_wait '[ "$(navigated)" -eq 4 ]' || e2e_fail "not searching after switching back on"

# Japanese from the Linux side is searched as Shift_JIS; it is also the site
# name pasted into the dialog below. Wine may announce one Linux-side copy
# more than once, and each announcement is searched: from here on the counts
# are relative.
linux_copy "和英サイト"
e2e_wait '[ "$(navigated)" -ge 5 ]' || e2e_fail "the Linux copy was not searched"
sleep 0.5
grep -q "Navigate2 $google$(e2e_encode "和英サイト")$google_right|" "$browser" || e2e_fail "the Japanese query was not Shift_JIS"
[ "$(grep Navigate2 "$browser" | tail -n +5 | grep -vc "$(e2e_encode "和英サイト")")" -eq 0 ] ||
  e2e_fail "the Linux copy searched something else"
searched=$(navigated)

# Settings: row 2 becomes the current site with a new name and new parts,
# typed for real; Enter saves what the last box holds.
e2e_open_tray_menu
e2e_click_menu_item 2 4
e2e_focus "$settings_title"
xdotool key Down Tab ctrl+v Tab
xdotool type --delay 20 'http://example.test/find?q='
xdotool key Tab
xdotool type --delay 20 '&x=1'
xdotool key Return
e2e_wait '! e2e_window "$settings_title" >/dev/null' || e2e_fail "OK did not close the settings"
grep -q '^Current Url Index=1' "$ini" || e2e_fail "current site not saved: $(cat "$ini")"
[ "$(grep -a '^WWW Search Site Name 2=' "$ini" | tr -d '\r' | iconv -f CP932 -t UTF-8)" = "WWW Search Site Name 2=和英サイト" ] ||
  e2e_fail "pasted name not saved"
windows_copy "abc"
e2e_wait '[ "$(navigated)" -eq $((searched + 1)) ]' || e2e_fail "the copy after OK was not searched"
grep -q 'Navigate2 http://example.test/find?q=%61%62%63&x=1|' "$browser" || e2e_fail "the new site was not used"

# Second thoughts: edits, then Escape. Opened with the keyboard this time.
saved=$(md5sum <"$ini")
e2e_open_tray_menu
e2e_key_menu Down Down Down
e2e_focus "$settings_title"
xdotool key Tab
xdotool type --delay 20 'never saved'
xdotool key Escape
e2e_wait '! e2e_window "$settings_title" >/dev/null' || e2e_fail "Escape did not close the settings"
[ "$(md5sum <"$ini")" = "$saved" ] || e2e_fail "Escape wrote the settings"

# The about box from the settings dialog's system menu, whose last item it is.
e2e_open_tray_menu
e2e_click_menu_item 2 4
e2e_focus "$settings_title"
xdotool key Tab
xdotool type --delay 20 'kept'
xdotool key alt+space
sleep 0.3
xdotool key Up Return
e2e_focus "$about_title"
xdotool key Return
e2e_wait '! e2e_window "$about_title" >/dev/null' || e2e_fail "OK did not close the about box"
e2e_focus "$settings_title"
xdotool key Escape
e2e_wait '! e2e_window "$settings_title" >/dev/null' || e2e_fail "the settings stayed open"
[ "$(md5sum <"$ini")" = "$saved" ] || e2e_fail "the settings were written after the about box"

# The about box from the tray's version item.
e2e_open_tray_menu
e2e_click_menu_item 1 4
e2e_focus "$about_title"
xdotool key Escape
e2e_wait '! e2e_window "$about_title" >/dev/null' || e2e_fail "Escape did not close the about box"

# The shell restarts: the icon goes, and comes back when the taskbar is announced.
wine "$E2E_SHELL_RESTART" TORVEN_QUILLFIND 1 </dev/null >/dev/null 2>&1 || e2e_fail "no shell restart"
e2e_wait 'e2e_tray_icon_xy >/dev/null' || e2e_fail "the icon did not come back"
e2e_click_tray 1
windows_copy "after restart, off"
e2e_click_tray 1
windows_copy "after restart, on"
e2e_wait '[ "$(navigated)" -eq $((searched + 2)) ]' || e2e_fail "the restored icon does not work"

# Evening: "終了", chosen with the keyboard (Up wraps to the last item).
e2e_open_tray_menu
e2e_key_menu Up
code=0
e2e_wait '! kill -0 "$qf_pid" 2>/dev/null' || e2e_fail "the program did not end"
wait "$qf_pid" || code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code"
e2e_wait '! e2e_tray_icon_xy >/dev/null' || e2e_fail "the tray icon is still there"
windows_copy "after hours"
[ "$(navigated)" -eq $((searched + 2)) ] || e2e_fail "searched after exit"
echo "typical day: passed"
