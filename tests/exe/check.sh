#!/usr/bin/env bash
# Quillfind.exe as it ships: it imports only DLLs that Windows itself ships;
# its manifest asks for no execution level, so that a standard user's
# settings are still written, to the virtual store, and names the
# executable's own architecture everywhere (Windows refuses to start it
# otherwise; Wine runs it with the old common controls); and stripped, it
# stays within its size.
#   check.sh BINUTILS_PREFIX ARCHITECTURE EXE   (i686-w64-mingw32 x86, or x86_64-w64-mingw32 amd64)
set -euo pipefail
binutils=$1 arch=$2 exe=$3 limit=$((192 * 1024))

foreign=$("$binutils-objdump" -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' |
  grep -vxE '(kernel32|user32|gdi32|shell32|shlwapi|ole32|oleaut32|comctl32|advapi32|msvcrt)\.dll' || true)
[ -z "$foreign" ] || { echo "FAILED: imports DLLs that Windows does not ship: $foreign"; exit 1; }
! grep -q requestedExecutionLevel "$exe" || { echo "FAILED: the manifest asks for an execution level"; exit 1; }
named=$(grep -ao 'processorArchitecture="[^"]*"' "$exe" | sort -u)
[ "$named" = "processorArchitecture=\"$arch\"" ] || { echo "FAILED: the manifest names $named, not $arch"; exit 1; }

stripped=$(mktemp)
trap 'rm -f "$stripped"' EXIT
"$binutils-strip" -o "$stripped" "$exe"
size=$(stat -c %s "$stripped")
[ "$size" -le "$limit" ] || { echo "FAILED: $size bytes stripped, $((size - limit)) over the $limit allowed"; exit 1; }
echo "$size bytes stripped, $((limit - size)) within the $limit allowed"
