#!/usr/bin/env bash
# Registers the recording browser automation server ($1) and makes the
# recording URL handler ($2) the open command of http and https, under
# HKLM\Software\Classes since Wine 8 reads no HKCU classes. A DDE verb would
# be tried before the command line, so none is left. Runs in the prefix and
# with the loader of the build that made them (WINEPREFIX,
# WINELOADER).
set -e
. "$(dirname "$0")/../../scripts/wine-env.sh"
wine regsvr32 /s "$(wine winepath -w "$1")"
for scheme in http https; do
  wine reg delete "HKLM\\Software\\Classes\\$scheme\\shell\\open\\ddeexec" /f >/dev/null 2>&1 || true
  wine reg add "HKLM\\Software\\Classes\\$scheme\\shell\\open\\command" /ve /d "\"$(wine winepath -w "$2")\" \"%1\"" /f >/dev/null
done
