# Sourced by the scripts: a private X display, and Wine prefixes of either
# architecture with a Japanese ANSI code page, Japanese dialog fonts and no
# window-manager waits.

export LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all

qf_xvfb_pids=()
qf_prefixes=()

# The Wine loader of an architecture, win32 or win64.
qf_loader() {
  if [ "$1" = win64 ]; then echo /usr/lib/wine/wine64; else echo /usr/lib/wine/wine; fi
}

# The architectures whose Wine loader starts on this host, 32-bit first, of
# those QF_WINE_ARCHS names (default "win32 win64"; "win64" tries the road
# of a host that runs only 64-bit code). The 32-bit loader may be installed
# and still fail to start where the kernel runs 64-bit code only.
qf_runnable_archs() {
  local arch archs=()
  for arch in ${QF_WINE_ARCHS:-win32 win64}; do
    "$(qf_loader "$arch")" --version >/dev/null 2>&1 && archs+=("$arch")
  done
  echo "${archs[*]}"
}

# One line on why an architecture's loader does not start.
qf_why_not() {
  local loader error
  loader=$(qf_loader "$1")
  if [[ " ${QF_WINE_ARCHS:-win32 win64} " != *" $1 "* ]]; then
    echo "QF_WINE_ARCHS=\"$QF_WINE_ARCHS\" leaves $1 out"
  elif [ ! -x "$loader" ]; then
    echo "$loader is not installed"
  else
    error=$(export LC_ALL=C; "$loader" --version 2>&1 | tail -n 1)
    echo "$loader does not start (${error##*: })"
  fi
}

# Makes the Wine calls that follow use an architecture's loader.
qf_use_arch() {
  export WINEARCH=$1 WINELOADER
  WINELOADER=$(qf_loader "$1")
}

# Makes them use the first architecture the host can run, 32-bit where it
# can; where none starts, says why, as the script named $1, and fails.
qf_use_first_arch() {
  local arch
  read -r arch _ <<<"$(qf_runnable_archs)" || true
  if [ -z "${arch:-}" ]; then
    echo "$1: Wine cannot start here ($(qf_why_not win32); $(qf_why_not win64)); run scripts/setup as root to install wine64" >&2
    return 1
  fi
  qf_use_arch "$arch"
}

# The CMake toolchain file, in cmake/, that builds an architecture's programs.
qf_toolchain() {
  if [ "$1" = win64 ]; then echo mingw-x86_64-posix.cmake; else echo mingw-i686-posix.cmake; fi
}

# Debian's wine wrapper, and wineboot, winepath and the like, which go through
# it, would take the 32-bit loader whenever it is installed: every Wine
# program goes through the loader chosen here instead.
wine() {
  command "${WINELOADER:-wine}" "$@"
}

# Starts a private Xvfb and points DISPLAY at it.
qf_start_xvfb() {
  local fifo display
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  qf_xvfb_pids+=($!)
  read -r display <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$display"
}

# The registry settings every prefix of ours gets.
qf_registry_file() {
  local reg=$1
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    # Without a window manager Wine otherwise waits ~2 s whenever a window hides.
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n'
    printf '"MS PGothic"="IPAPGothic"\r\n"MS Gothic"="IPAGothic"\r\n"MS UI Gothic"="IPAPGothic"\r\n\r\n'
  } | iconv -f UTF-8 -t UTF-16 >"$reg"
}

# Makes WINEPREFIX ($1) if it is missing: booted once, then kept as a pristine
# copy ($2, or beside it) so later runs start fresh in a second.
qf_prepare_prefix() {
  local prefix=$1 pristine=${2:-$1.pristine}
  if [ ! -f "$pristine/system.reg" ]; then
    rm -rf "$pristine"
    mkdir -p "$(dirname "$pristine")"
    WINEPREFIX="$pristine" wine wineboot -i >/dev/null 2>&1 || {
      echo "could not make a $WINEARCH Wine prefix in $pristine: $(qf_why_not "$WINEARCH")" >&2
      return 1
    }
    qf_registry_file "$pristine/drive_c/quillfind.reg"
    WINEPREFIX="$pristine" wine regedit /S 'C:\quillfind.reg' >/dev/null 2>&1
    rm -f "$pristine/drive_c/quillfind.reg"
    WINEPREFIX="$pristine" wineserver -w
  fi
  rm -rf "$prefix"
  cp -a "$pristine" "$prefix"
  export WINEPREFIX=$prefix
}

# The prefix scripts/run starts Quillfind.exe in ($1), made from the pristine
# copy ($3, or beside it) unless it is there already. Wine's own browser
# automation server fails calls every search makes, so the program's own
# ($2, quillfind_browser.dll) is registered in it on every run, which also
# keeps the registration pointing at the current build.
qf_prepare_run_prefix() {
  local prefix=$1 bridge=$2 pristine=${3:-}
  [ -f "$prefix/system.reg" ] || qf_prepare_prefix "$prefix" "$pristine"
  export WINEPREFIX=$prefix
  wine regsvr32 /s "$(wine winepath -w "$bridge" 2>/dev/null)" </dev/null >/dev/null 2>&1 || {
    echo "could not register $bridge in $prefix" >&2
    return 1
  }
}

# Starts the prefix's wineserver and its services before any test reads our
# output through a pipe; otherwise the services inherit the pipe and hang it.
qf_start_wineserver() {
  wineserver -p
  qf_prefixes+=("$WINEPREFIX")
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

qf_stop() {
  local prefix
  for prefix in "${qf_prefixes[@]}" ${WINEPREFIX:+"$WINEPREFIX"}; do
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  done
  qf_prefixes=()
  local pid
  for pid in "${qf_xvfb_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  qf_xvfb_pids=()
}
