#!/usr/bin/env bash
# The Linux desktop road: in a prefix set up as scripts/run sets it up, each
# line of a copy made after start-up reaches the desktop's browser (a stand-in
# xdg-open first in PATH) through quillfind_browser.dll and winebrowser, once
# and in line order, with the query's meaning intact.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
. "$here/../../scripts/wine-env.sh"

# Beside the harness's prefix, from the pristine copy it keeps; its own
# wineserver, so the harness's registrations and clipboard stay out of it.
prefix=$(dirname "$WINEPREFIX")/linux_road
pristine=$WINEPREFIX.pristine

opened=$e2e_work/xdg-open.log
mkdir -p "$e2e_work/bin"
# The URL first, with no program started before it: calls come tens of ms apart.
cat >"$e2e_work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$opened"
date +%s%3N >>"$e2e_work/xdg-open.times"
EOF
chmod +x "$e2e_work/bin/xdg-open"
export PATH="$e2e_work/bin:$PATH"

linux_road_cleanup() {
  local code=$?
  e2e_cleanup
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  # A failed run keeps the prefix to look into.
  [ "$code" -ne 0 ] || rm -rf "$prefix"
}
trap linux_road_cleanup EXIT

rm -rf "$prefix"
qf_prepare_run_prefix "$prefix" "$E2E_BRIDGE" "$pristine" || e2e_fail "scripts/run's set-up failed"
[ "$WINEPREFIX" = "$prefix" ] || e2e_fail "the set-up left WINEPREFIX at $WINEPREFIX"

# Registered in process, with Wine's own browser left registered beside it.
key='HKLM\Software\Classes\CLSID\{0002DF01-0000-0000-C000-000000000046}'
registered=$(wine reg query "$key" /s </dev/null 2>/dev/null | tr -d '\r')
grep -qi 'InprocServer32' <<<"$registered" || e2e_fail "no InprocServer32 key: $registered"
grep -qiF "$(winepath -w "$E2E_BRIDGE" 2>/dev/null)" <<<"$registered" || e2e_fail "not our DLL: $registered"
grep -qi 'LocalServer32' <<<"$registered" || e2e_fail "Wine's LocalServer32 key is gone"
grep -qi 'Both' <<<"$registered" || e2e_fail "threading model is not Both: $registered"

# Nothing on the clipboard to search at start-up, and no tray icon but ours to wait for.
wine "$E2E_CLIP_TOOL" empty </dev/null >/dev/null 2>&1
e2e_wait '! e2e_tray_icon_xy >/dev/null' || e2e_fail "a tray icon is already shown"
e2e_start "$E2E_QUILLFIND"
e2e_wait 'e2e_tray_icon_xy >/dev/null' || e2e_fail "no tray icon appeared"

# "a&b/c", "検索" in Shift_JIS, "~x y+1=2?#%", one copy, CRLF between lines.
copy_started=$(date +%s%3N)
e2e_copy_hex '6126622f63''0d0a''8c9f8df5''0d0a''7e7820792b313d323f2325'
copy_returned=$(date +%s%3N)
e2e_wait '[ "$(e2e_count . "$opened")" -ge 3 ]' || e2e_fail "not every line reached xdg-open: $(cat "$opened" 2>/dev/null)"
sleep 1

# Quillfind escapes every byte; winebrowser turns escapes of unreserved
# characters (letters, digits, - . _ ~) back into the characters, which leaves
# the address equivalent, and keeps every other escape as it was.
expected='http://www.google.co.jp/search?q=a%26b%2Fc&hl=ja&lr=
http://www.google.co.jp/search?q=%8C%9F%8D%F5&hl=ja&lr=
http://www.google.co.jp/search?q=~x%20y%2B1%3D2%3F%23%25&hl=ja&lr='
[ "$(cat "$opened")" = "$expected" ] || e2e_fail "xdg-open got:
$(cat "$opened")
expected:
$expected"

since=()
while read -r t; do since+=("$((t - copy_returned))"); done <"$e2e_work/xdg-open.times"
echo "linux road: the copy tool ran $((copy_returned - copy_started)) ms; xdg-open was called ${since[*]} ms after it returned"
echo "linux road: passed"
