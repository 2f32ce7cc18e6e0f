# Helpers of scripts/demo.sh: display, prefix, running a program, the autopilot's screenshots,
# and the report of what is installed. Expects $root, $out and $tools (folder of svcctl.exe and
# guictl.exe) to be set.
# shellcheck shell=bash disable=SC2154  # root, out and tools: set by demo.sh, which sources this

DEMO_AUTOPILOT=0
DEMO_XVFB_PID=
DEMO_PROGRAM_STATUS=
DEMO_PREFIX=

# A display that answers is used as it is, for the user to click through; otherwise (or with
# --autopilot) a private Xvfb and the autopilot. Wine must see the display from its first
# process on, so this runs before the prefix is made.
demo_display() {
  if [ "$1" = 0 ] && [ -n "${DISPLAY:-}" ] &&
     import -window root -crop 1x1+0+0 png:- >/dev/null 2>&1; then
    echo "Display $DISPLAY: you click through the programs yourself."
    return
  fi
  DEMO_AUTOPILOT=1
  local fifo
  fifo=$(mktemp)
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$fifo" 2>/dev/null &
  DEMO_XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$fifo" ] && break
    sleep 0.1
  done
  DISPLAY=":$(head -n1 "$fifo")"
  export DISPLAY
  rm -f "$fifo"
  echo "No display to use: autopilot on a private Xvfb ($DISPLAY)."
}

demo_prefix() {
  # Made the way the Wine tests make theirs (tests/wine/make_template.sh, lib.sh): first without
  # a display, settled, then started afresh with the display and kept alive.
  export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  rm -rf "$1.new" "$1"
  (
    export WINEPREFIX=$1.new DISPLAY=
    wineboot -i
    wine reg add 'HKCU\Software\Wine' /v Version /d winxp /f
    if [ "$DEMO_AUTOPILOT" = 1 ]; then
      # A virtual desktop: Wine then draws the windows' captions itself, as Windows does,
      # where no window manager runs to draw them.
      wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
      wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 640x480 /f
    fi
    wineserver -w
  ) >/dev/null 2>&1
  mv "$1.new" "$1"
  export WINEPREFIX=$1
  DEMO_PREFIX=$1
  # One server for the whole demo: kernel drivers run only as long as it does.
  wineserver -p
}

demo_stop() {
  # Only the demo's own prefix: a WINEPREFIX of the user's is never touched.
  if [ -n "$DEMO_PREFIX" ]; then
    WINEPREFIX=$DEMO_PREFIX wineserver -k 2>/dev/null || true
    WINEPREFIX=$DEMO_PREFIX wineserver -w 2>/dev/null || true
    DEMO_PREFIX=
  fi
  if [ -n "$DEMO_XVFB_PID" ]; then
    kill "$DEMO_XVFB_PID" 2>/dev/null || true
    DEMO_XVFB_PID=
  fi
}

# DIR PROGRAM: start DIR/PROGRAM in the background with DIR as its working directory (setup reads
# setup.txt from there).
demo_start() {
  DEMO_PROGRAM_STATUS=$out/.program.status
  rm -f "$DEMO_PROGRAM_STATUS"
  (cd "$1" && WINEDEBUG=${TALVEN_DEMO_WINEDEBUG:--all} wine "$2" >"$out/$2.log" 2>&1
   echo $? >"$DEMO_PROGRAM_STATUS") &
}

# Waits for the program started last (as long as the user needs) and prints its exit code.
demo_wait() {
  while [ ! -s "$DEMO_PROGRAM_STATUS" ]; do
    sleep 0.2
  done
  cat "$DEMO_PROGRAM_STATUS"
}

gui() {
  if ! wine "$tools/guictl.exe" "$@" | tr -d '\r' | sed 's/^/   autopilot: /'; then
    echo "autopilot: a step failed (see above)" >&2
    return 1
  fi
}

# The virtual desktop (640 x 480 at the top left corner of the screen).
shot() {
  import -window root -crop 640x480+0+0 +repage "$out/$1.png"
  echo "   screenshot $out/$1.png"
}

service_line() {
  printf '  %-10s %s\n' "$1" "$(wine "$tools/svcctl.exe" state "$1" 2>/dev/null | tr -d '\r')"
}

demo_report() {
  local drivers=$WINEPREFIX/drive_c/windows/system32/drivers
  echo "Driver files in C:\\windows\\system32\\drivers:"
  local files
  files=$(find "$drivers" -maxdepth 1 -type f -iregex '.*/\(windrvr\|talvenkp\)\.sys' \
            -printf '  %f  %s bytes\n' | sort) || true
  echo "${files:-  (none)}"
  echo "Services (Wine's service control manager):"
  service_line WinDriver
  service_line talvenkp
  echo "Install directory C:\\Program Files\\Orbanet\\TALVEN 5.7:"
  if [ -d "$1" ]; then
    (cd "$1" && find . -type f | sort | sed 's|^\./|  |')
  else
    echo "  (none)"
  fi
}

# A control id from a program's resource.h: resource_id setup IDC_NEXT.
resource_id() {
  sed -n "s/^#define $2 *\([0-9]*\).*/\1/p" "$root/$1/resource.h"
}
