#!/usr/bin/env bash
# Quillfind.exe driven through its real tray icon: a left click stops and
# resumes searching, and "終了" from the right-click menu ends the program
# with the icon gone and the clipboard chain whole for the other viewers.
set -euo pipefail
. "$(dirname "$0")/lib.sh"

wine "$E2E_CLIP_TOOL" empty </dev/null >/dev/null 2>&1

# A viewer that joins first sits behind Quillfind in the chain.
viewer_log=$e2e_work/viewer.log
e2e_start "$E2E_CHAIN_VIEWER" "$(winepath -w "$viewer_log")"
viewer_pid=$e2e_last_pid
e2e_wait '[ "$(e2e_count ready "$viewer_log")" -ge 1 ]' || e2e_fail "the viewer did not start"

e2e_start "$E2E_QUILLFIND"
qf_pid=$e2e_last_pid
e2e_wait 'e2e_tray_icon_xy >/dev/null' || e2e_fail "no tray icon appeared"

e2e_copy one
e2e_wait '[ "$(e2e_count released "$e2e_work/browser.log")" -ge 1 ]' || e2e_fail "the first copy was not searched"

e2e_click_tray 1
draws=$(e2e_count draw "$viewer_log")
e2e_copy two
e2e_wait '[ "$(e2e_count draw "$viewer_log")" -gt "$draws" ]' || e2e_fail "the copy was not passed on"
sleep 0.5
[ "$(e2e_count Navigate2 "$e2e_work/browser.log")" -eq 1 ] || e2e_fail "searched while switched off"

e2e_click_tray 1
e2e_copy three
e2e_wait '[ "$(e2e_count released "$e2e_work/browser.log")" -ge 2 ]' || e2e_fail "not searching after the second click"
grep -q 'Navigate2 .*%74%68%72%65%65' "$e2e_work/browser.log" || e2e_fail "the wrong text was searched"

e2e_click_tray 3
e2e_wait 'e2e_menu_window >/dev/null' || e2e_fail "no menu opened"
e2e_click_menu_item 3 4
code=0
e2e_wait '! kill -0 "$qf_pid" 2>/dev/null' || e2e_fail "the program did not end"
wait "$qf_pid" || code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code"

e2e_wait '! e2e_tray_icon_xy >/dev/null' || e2e_fail "the tray icon is still there"

draws=$(e2e_count draw "$viewer_log")
e2e_copy four
e2e_wait '[ "$(e2e_count draw "$viewer_log")" -gt "$draws" ]' || e2e_fail "the chain is broken after exit"
[ "$(e2e_count released "$e2e_work/browser.log")" -eq 2 ] || e2e_fail "searched after exit"

kill "$viewer_pid" 2>/dev/null || true
echo "tray clicks: passed"
