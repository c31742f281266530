#!/usr/bin/env bash
# A user's day with Quillfind.exe, driven only from outside, in a prefix set up
# as scripts/run sets it up: the MSI installs it, and its Start-menu shortcut
# starts it; text copied on the Linux side reaches the desktop's browser (a
# stand-in xdg-open first in PATH) through quillfind_browser.dll and
# winebrowser, once a line and in line order; another copy, or another
# version, takes the running one's place; the real tray icon is clicked; a
# word copied in WordPad is searched once, and closing WordPad searches
# nothing; OK in the settings dialog writes the settings file and makes the
# Startup shortcut; a second build of the version replaces the running
# program; removing the program while it runs ends it and takes what the MSI
# put in place and the Startup shortcut, and leaves that file.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
. "$here/lib.sh"

# Beside the harness's prefix, from its pristine copy, with a wineserver of
# its own, so the harness's doubles stay out of it. A failed day keeps it.
prefix=$(dirname "$WINEPREFIX")/e2e_day
day_cleanup() {
  local code=$?
  e2e_cleanup
  WINEPREFIX=$prefix wineserver -k 2>/dev/null && WINEPREFIX=$prefix wineserver -w || true
  [ "$code" -ne 0 ] || rm -rf "$prefix"
}
trap day_cleanup EXIT
rm -rf "$prefix"
qf_prepare_run_prefix "$prefix" "$E2E_BRIDGE" "$WINEPREFIX.pristine" || e2e_fail "scripts/run's set-up failed"
registered=$(wine reg query 'HKLM\Software\Classes\CLSID\{0002DF01-0000-0000-C000-000000000046}' /s </dev/null 2>/dev/null)
grep -qi LocalServer32 <<<"$registered" || e2e_fail "registering the bridge took Wine's own browser away"
grep -qi 'ThreadingModel.*Both' <<<"$registered" || e2e_fail "the bridge is not registered for every apartment"

# Installed for this user alone, as a standard user on Windows would have it.
wine msiexec /i "$(wine winepath -w "$E2E_MSI" 2>/dev/null)" /qn </dev/null >/dev/null 2>&1 || e2e_fail "msiexec /i ended with code $?"
installed=("$prefix"/drive_c/users/*/AppData/Local/Programs/Quillfind)
shortcut=("$prefix"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs/Quillfind.lnk)
[ -f "$installed/Quillfind.exe" ] && [ -f "$shortcut" ] || e2e_fail "the MSI put no Quillfind.exe and Start-menu shortcut in place"
startup="${installed%/AppData/*}/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp/Quillfind.lnk"
# Every component has a value of the user's, under Software\Torven\Quillfind,
# as its key path (ICE38, ICE43), and every folder made goes on uninstall
# when empty (ICE64), which Wine does not show: it removes them all the same.
table() { msiinfo export "$E2E_MSI" "$1" | tail -n +4 | tr -d '\r'; }
unkeyed=$(awk -F'\t' 'FNR == NR { user[$1] = $2 == 1 && $3 == "Software\\Torven\\Quillfind"; next }
  !(int($4 / 4) % 2 && user[$6]) { print $1 }' <(table Registry) <(table Component))
kept=$(awk -F'\t' 'FNR == NR { if ($3 == "") gone[$4] = 1; next } $3 != "." && $3 != "SourceDir" && !gone[$1] { print $1 }' \
  <(table RemoveFile) <(table Directory))
[ -z "$unkeyed$kept" ] || e2e_fail "components without a key path of the user's: $unkeyed; folders kept on uninstall: $kept"

opened=$e2e_work/xdg-open.log
mkdir "$e2e_work/bin"
printf '#!/bin/sh\necho "$*" >>%s\n' "$opened" >"$e2e_work/bin/xdg-open"
chmod +x "$e2e_work/bin/xdg-open"
export PATH="$e2e_work/bin:$PATH"

# Copies UTF-8 text on the Linux side; Wine hands it on as Shift_JIS.
copy() {
  : >"$opened"
  printf '%s' "$1" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
  e2e_pids+=($!)
}

# What xdg-open was given since the last copy, once it has been quiet for a
# second: these URLs, in order, once each, or none. Wine may announce one
# Linux-side copy twice; a repeat within half a second is no new copy.
expect_opened() {
  e2e_wait '[ "$(wc -l <"$opened")" -ge '"$#"' ]' && sleep 1 &&
    [ "$(cat "$opened")" = "$(printf '%s\n' "$@")" ] || e2e_fail "xdg-open got $(cat "$opened"), not $*"
}

# The Quillfind.exe processes of this prefix, whoever started them: other
# prefixes may run one from the same path at the same time.
running() { for pid in $(pgrep -x Quillfind.exe); do if grep -qxzF "WINEPREFIX=$prefix" "/proc/$pid/environ" 2>/dev/null; then echo "$pid"; fi; done; }
# Starts a program, if any, then waits for one Quillfind.exe to run in place
# of qf_pid, with its tray icon, and makes it qf_pid.
take_over() {
  [ $# = 0 ] || e2e_start "$@"
  e2e_wait 'now=$(running) && [ "$(wc -w <<<"$now")" = 1 ] && [ "$now" != "${qf_pid:-}" ] && e2e_tray_icon_xy >/dev/null' ||
    e2e_fail "none took the running one's place: ${*:-upgrade}"
  qf_pid=$now
}

google=http://www.google.co.jp/search?q=
right='&hl=ja&lr='

# Morning: three lines, one browser window each, in line order. Quillfind
# escapes every byte; winebrowser turns escapes of letters, digits and
# - . _ ~ back into the characters, which leaves the address equivalent.
e2e_wait '! e2e_tray_icon_xy >/dev/null' || e2e_fail "a tray icon is already shown"
copy ""
take_over start /unix "$shortcut"
# Another copy takes the running one's place, and so does another version
# started from that copy's path once the file there is replaced (the last
# field of its version record one up); then the installed one takes it back.
copy=$e2e_work/Quillfind.exe
cp "$installed/Quillfind.exe" "$copy"
take_over "$copy"
python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[d.index(bytes.fromhex("bd04effe"), d.index("VS_VERSION_INFO".encode("utf-16-le"))) + 12] += 1; open(sys.argv[1] + ".new", "wb").write(d)' "$copy"
mv "$copy.new" "$copy"
take_over "$copy"
take_over "$installed/Quillfind.exe"
copy $'a&b/c\n検索\n~x y+1=2?#%'
expect_opened "${google}a%26b%2Fc$right" "$google%8C%9F%8D%F5$right" "$google~x%20y%2B1%3D2%3F%23%25$right"

# Off for a while, then on again.
e2e_click_tray 1
copy "private"
expect_opened
e2e_click_tray 1
copy "back"
expect_opened "${google}back$right"

# A word copied in WordPad, whose rich edit box copies through OLE, is
# searched once: closing WordPad renders it again, which is no new copy.
e2e_start 'C:\Program Files\Windows NT\Accessories\wordpad.exe'
e2e_wait 'e2e_window Wordpad >/dev/null' || e2e_fail "WordPad did not open"
: >"$opened"
xdotool windowfocus --sync "$(e2e_window Wordpad)" type quill
xdotool key ctrl+a ctrl+c
expect_opened "${google}quill$right"
xdotool key alt+f x
e2e_wait '[ "$(xdotool search --onlyvisible --name Wordpad | wc -l)" -ge 2 ]' || e2e_fail "WordPad did not ask to save"
xdotool key n
e2e_wait '! e2e_window Wordpad >/dev/null' || e2e_fail "WordPad did not close"
sleep 1.5
[ "$(cat "$opened")" = "${google}quill$right" ] || e2e_fail "closing WordPad searched again: $(cat "$opened")"

# OK in the settings dialog writes every site's settings, and the start-up
# box, six tabs from the list, makes the Startup shortcut.
ini=$prefix/drive_c/windows/Quillfind.INI
e2e_open_tray_menu
e2e_click_menu_item 2 4
e2e_wait 'e2e_window "Quill To Find" >/dev/null' || e2e_fail "no settings dialog opened"
xdotool windowfocus --sync "$(e2e_window "Quill To Find")" key Tab Tab Tab Tab Tab Tab space Return
e2e_wait '! e2e_window "Quill To Find" >/dev/null && grep -q "Current Url Index=0" "$ini"' || e2e_fail "OK wrote no settings"
[ -f "$startup" ] || e2e_fail "OK made no Startup shortcut"

# A second build of the version, whose program differs and whose codes are
# its own, replaces the running program and starts the new one in its place,
# and the Startup shortcut stays. The new one finds nothing to search as it starts.
copy ""
codes() { msiinfo export "$1" Property | grep ProductCode; msiinfo suminfo "$1" | grep 'Revision number'; }
! codes "$E2E_OTHER_MSI" | grep -qxFf <(codes "$E2E_MSI") || e2e_fail "two builds share a code: $(codes "$E2E_MSI")"
wine msiexec /i "$(wine winepath -w "$E2E_OTHER_MSI" 2>/dev/null)" /qn </dev/null >/dev/null 2>&1 || e2e_fail "the upgrade ended with code $?"
cmp -s "$installed/Quillfind.exe" "${E2E_OTHER_MSI%/*}/Quillfind.exe" || e2e_fail "the upgrade did not replace the program"
take_over
[ -f "$startup" ] || e2e_fail "the upgrade took the Startup shortcut"

# Evening: removed while it runs, it is ended, and leaves nothing it or the
# program put in place but the settings file the program wrote.
wine msiexec /x "$(wine winepath -w "$E2E_OTHER_MSI" 2>/dev/null)" /qn </dev/null >/dev/null 2>&1 || e2e_fail "msiexec /x ended with code $?"
e2e_wait '[ -z "$(running)" ]' || e2e_fail "removal left the program running"
[ ! -e "${installed%/*}" ] && [ ! -e "$shortcut" ] && [ ! -e "$startup" ] || e2e_fail "removal left $(ls -d "${installed%/*}" "$shortcut" "$startup")"
grep -q "Current Url Index=0" "$ini" || e2e_fail "removal took the settings file"
