# Shared by scripts/test and scripts/run: building both builds and running
# Windows programs under Wine (with Xvfb when there is no display).

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
started_pids=()
started_servers=()

stop_started() {
  local prefix
  for prefix in "${started_servers[@]}"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  done
  local pid
  for pid in "${started_pids[@]}"; do
    kill "$pid" >/dev/null 2>&1 || true
  done
}
trap stop_started EXIT

# build <i686|x86_64>: configure once, then build with ninja.
build() {
  local arch="$1" dir="$root/build/$1"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" >/dev/null
  fi
  # Progress lines are dropped; the build's own status is what counts.
  cmake --build "$dir" -- -j"$(nproc)" | { grep -v '^\[' || true; }
  return "${PIPESTATUS[0]}"
}

loader_for() { [ "$1" = i686 ] && echo /usr/lib/wine/wine || echo /usr/lib/wine/wine64; }

# use_wine <i686|x86_64>: the build's own Wine prefix, created once, with one
# wineserver kept alive so each program starts quickly.
use_wine() {
  local loader
  loader="$(loader_for "$1")"
  export WINEPREFIX="$root/build/$1/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  [ "$1" = x86_64 ] && export WINEARCH=win64 || export WINEARCH=win32
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$loader" wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  # This Wine looks for its own fonts ("MS Sans Serif", Tahoma, Marlett) only in the
  # prefix's Fonts folder; without them it draws with a far wider fallback font.
  link_wine_fonts "$WINEPREFIX/drive_c/windows/Fonts"
  wineserver -p >/dev/null 2>&1 || true
  started_servers+=("$WINEPREFIX")
  # Start Wine's services now, detached from our output: started by the first
  # test instead, they would inherit ctest's pipes and hold them open.
  "$loader" wineboot </dev/null >/dev/null 2>&1 || true
  # Without a window manager, Wine waits about 2 s on every hide of a managed
  # window; unmanaged windows hide at once.
  "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
}

# link_wine_fonts <folder>: links each of Wine's own fonts (the fonts-wine package)
# into the folder, leaving fonts already there alone.
link_wine_fonts() {
  local font
  mkdir -p "$1"
  for font in /usr/share/wine/fonts/*; do
    [ -e "$font" ] && [ ! -e "$1/$(basename "$font")" ] && ln -s "$font" "$1/"
  done
  return 0
}

# can_run_32bit: the kernel runs 32-bit programs (Wine's 32-bit loader is one).
can_run_32bit() {
  timeout 60 /usr/lib/wine/wine --version >/dev/null 2>&1
}

# no_32bit_reason: why 32-bit programs were not run here.
no_32bit_reason() {
  if [ ! -x /usr/lib/wine/wine ]; then
    echo "Wine's 32-bit loader (wine32:i386) is not installed"
  else
    echo "this machine cannot run 32-bit programs"
  fi
}

# ensure_display: starts Xvfb when there is no display, and waits until it
# accepts clients (it writes its display number once it does).
ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local ready
  ready="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
  started_pids+=("$!")
  local tries=0
  while [ ! -s "$ready" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
  export DISPLAY=":$(tr -d '[:space:]' <"$ready")"
  rm -f "$ready"
}

# How long the waits below wait for a program under Wine, in seconds: a 32-bit program's
# first start in a fresh 64-bit prefix sets up the prefix's 32-bit side first, which on a
# busy machine takes far longer than any later start.
program_wait_seconds=120

# wait_for_window <title>: prints the X id of the shown window of that title (Wine
# also keeps a 1 x 1 window of the application's title) once it is there.
wait_for_window() {
  local id deadline=$((SECONDS + program_wait_seconds))
  while [ $SECONDS -lt $deadline ]; do
    id="$(xwininfo -root -tree 2>/dev/null |
      awk -v title="\"$1\":" '$2 == title || index($0, " " title " ") { if ($0 !~ / 1x1\+/) { print $1; exit } }')"
    if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# wait_for_line <file> <pattern>: waits until the file holds a line that matches (its
# CR LF line end read as a plain one).
wait_for_line() {
  local deadline=$((SECONDS + program_wait_seconds))
  while [ $SECONDS -lt $deadline ]; do
    [ -f "$1" ] && tr -d '\r' <"$1" | grep -q -- "$2" && return 0
    sleep 0.1
  done
  return 1
}

# screenshot_window <X id> <png>: the window as the display shows it, after its
# widgets had a moment to paint.
screenshot_window() {
  sleep 1
  import -window "$1" "$2" 2>/dev/null && [ -s "$2" ]
}

# close_program <i686|x86_64> <exe name> <pid>: asks the program's windows to close (as
# a user would, no forced end) and waits until its process, started in the background
# as <pid>, has ended. Wine's tasklist lists no process, so the wait is for the pid: a
# program still closing keeps its image mapped, and Wine will not delete such a file.
close_program() {
  local loader deadline=$((SECONDS + program_wait_seconds))
  loader="$(loader_for "$1")"
  "$loader" taskkill /im "$2" </dev/null >/dev/null 2>&1 || return 1
  while [ $SECONDS -lt $deadline ]; do
    kill -0 "$3" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}
