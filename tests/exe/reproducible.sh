#!/usr/bin/env bash
# Built again from the same sources in another folder, with the same source
# time, Quillfind.exe and its MSI come out byte for byte as this build made them.
#   reproducible.sh SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE SOURCE_DATE_EPOCH EXE MSI
set -euo pipefail
again=$(mktemp -d)
trap 'rm -rf "$again"' EXIT
SOURCE_DATE_EPOCH=$4 cmake -S "$1" -B "$again" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$2" -DCMAKE_BUILD_TYPE="$3" -DQF_WINE_TESTS=OFF >/dev/null
cmake --build "$again" --target installer >/dev/null
cmp "$5" "$again/${5##*/}" && cmp "$6" "$again/${6##*/}" || { echo "FAILED: a second build made other bytes"; exit 1; }
