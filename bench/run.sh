#!/usr/bin/env bash
# Benchmarks, run on demand (they are not tests): sizes of the stripped setup.exe and uninstall.exe
# beside an NSIS peer that does setup's job on the same package (bench/peer.nsi), and under Wine
# reporting Windows XP, alternating ours and the peer's, the time from process start to the first
# visible window and from pressing Install to process exit, and the uninstaller's time from
# pressing UnInstall to exit; and setup's check of a package with 16 MiB of developer files more,
# beside sha256sum of the same files. Prints one table and writes it to bench/results.md.
#
#   bash bench/run.sh [HOST_BUILD]     default build/host (configured with the host preset if new)
#
# Installs what it needs beyond the project's dependencies (Debian's nsis) itself, builds the
# Windows side of the host build (target win32: programs, package, GUI driving tool), and works in
# HOST_BUILD/bench with one fresh 32-bit Wine prefix per round. TALVEN_BENCH_ROUNDS sets the rounds
# (default 5).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(realpath -m "${1:-$root/build/host}")
rounds=${TALVEN_BENCH_ROUNDS:-5}

# Fixed pauses the programs are meant to make (milliseconds): setup sleeps 100 ms after each of
# its two copies, 1000 ms in each of the two ReplaceDriver runs and 100 ms after the second
# driver; uninstall 1000 ms in each of its two RemoveDriver runs.
setup_pauses=2300
uninstall_pauses=2000

# --- tools and build ------------------------------------------------------------------------
bash "$root/scripts/install-deps.sh" >/dev/null
if ! command -v makensis >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends nsis >/dev/null
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
fi
cmake --build "$build" --target win32 >/dev/null

win32=$build/win32
package=$win32/package/talven-package
guictl=$win32/tests/bin/guictl.exe
svcctl=$win32/tests/bin/svcctl.exe
for needed in "$package/setup.exe" "$package/uninstall.exe" "$guictl" "$svcctl"; do
  [ -f "$needed" ] || { echo "bench: $needed is missing" >&2; exit 1; }
done

work=$build/bench
rm -rf "$work"
mkdir -p "$work"

# Sizes: stripped copies of ours; the peer is built into a copy of the package, beside setup.exe.
strip=i686-w64-mingw32-strip
$strip -o "$work/setup.exe" "$package/setup.exe"
$strip -o "$work/uninstall.exe" "$package/uninstall.exe"
cp -a "$package" "$work/package"
makensis -V1 -DREADME="$package/setup.txt" -DOUTFILE="$work/package/talven-peer.exe" \
         "$here/peer.nsi" >/dev/null
size() { stat -c %s "$1"; }

# A package with 16 MiB of developer files more than the demonstration's, made by the package step.
big=$work/big
mkdir -p "$big"
cp -r "$win32/demo-payload" "$big/payload"
head -c $((16 * 1024 * 1024)) /dev/urandom >"$big/payload/doc/large.bin"
python3 "$root/package/make_package.py" --payload "$big/payload" --setup "$win32/setup/setup.exe" \
  --uninstall "$win32/uninstall/uninstall.exe" --out "$big/out" \
  --placeholder "$root/package/system/windrvr.vxd" \
  --placeholder "$root/package/system/talvenkp.vxd" >/dev/null
big_package=$big/out/talven-package
big_mib=$(find "$big_package" -type f ! -name setup.exe -printf '%s\n' |
          awk '{ s += $1 } END { printf "%.1f", s / 1048576 }')

# --- Wine -----------------------------------------------------------------------------------
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$work/prefix
xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  DISPLAY=":$(head -n1 "$work/display")"
  export DISPLAY
fi
bash "$root/tests/wine/make_template.sh" "$work/template" >/dev/null 2>&1

fresh_prefix() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  cp -a "$work/template" "$WINEPREFIX"
  wineserver -p300
  wine reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null 2>&1
  # No window manager runs on the benchmark's display: Wine then waits 2 s for every hidden
  # top-level window to be withdrawn, unless its windows are unmanaged.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# run_driven LOG SCRIPT DIR EXE: starts guictl with SCRIPT (its output lines time-stamped into
# LOG), then, once guictl runs, EXE from DIR (the current directory setup reads setup.txt from).
# Prints the start time of EXE and its exit time; fails when guictl or EXE fail.
run_driven() {
  local log=$1 script=$2 dir=$3 exe=$4 started ended status
  : >"$log"
  # Stamped as each line arrives (no buffering filter in between: guictl flushes every line).
  wine "$guictl" -f "$script" 2>/dev/null |
    while IFS= read -r line; do echo "$(now_ms) ${line%$'\r'}"; done >"$log" &
  local driver=$!
  for _ in $(seq 600); do [ -s "$log" ] && break; sleep 0.01; done
  started=$(now_ms)
  (cd "$dir" && timeout 120 wine "$exe" >/dev/null 2>&1) && status=0 || status=$?
  ended=$(now_ms)
  wait "$driver" || true
  if grep -q '^[0-9]* FAIL' "$log" || ! grep -q 'ok   key enter' "$log"; then
    echo "bench: driving $exe failed:" >&2
    cat "$log" >&2
    return 1
  fi
  # Windows exit codes of our programs: 0 after an installation run, also for the peer.
  [ "$status" -eq 0 ] || { echo "bench: $exe exited with $status" >&2; cat "$log" >&2; return 1; }
  echo "$started $ended"
}

# Each timed run must have done its job, or its time means nothing: after an installation both
# drivers run and their files are in place, after the uninstallation both are gone.
service_state() { wine "$svcctl" state "$1" 2>/dev/null | tr -d '\r'; }
check_state() {
  local want=$1 who=$2 drivers=$WINEPREFIX/drive_c/windows/system32/drivers name file
  for name in WinDriver talvenkp; do
    [ "$(service_state "$name")" = "$want" ] ||
      { echo "bench: $who: service $name is $(service_state "$name"), not $want" >&2; return 1; }
  done
  for file in windrvr.sys talvenkp.sys; do
    if [ "$want" = RUNNING ] && ! cmp -s "$drivers/$file" "$package/system/$file"; then
      echo "bench: $who: $file not installed" >&2; return 1
    fi
    if [ "$want" = MISSING ] && [ -e "$drivers/$file" ]; then
      echo "bench: $who: $file not deleted" >&2; return 1
    fi
  done
  if [ "$want" = RUNNING ] &&
     ! cmp -s "$WINEPREFIX/drive_c/Program Files/Orbanet/TALVEN 5.7/include/talven.h" \
              "$package/include/talven.h"; then
    echo "bench: $who: developer files not installed" >&2; return 1
  fi
}

# Time of the first log line containing TEXT. The scripts below print "ok   sleep 0" right before
# they press the button whose run is timed: guictl reports a click only once its handler has
# returned or a second has passed, and the installation runs inside that handler.
at() { grep -m1 -F -- "$2" "$1" | cut -d' ' -f1; }

cat >"$work/ours.gui" <<'GUI'
timeout 60000
wait-prefix "Windows XP Orbanet Universal Driver Installer"
check 1007 1
click 1005
sleep 0
click 1005
wait-msgbox "" 60000
expect-text -1 "TALVEN Installation Complete!"
key enter
GUI
cat >"$work/peer.gui" <<'GUI'
timeout 60000
wait-prefix "TALVEN Setup"
click 1
sleep 0
click 1
wait-msgbox "TALVEN Setup" 60000
expect-text -1 "TALVEN Installation Complete!"
key enter
GUI
# From the status line of the check to the wizard, which shows once the check is done.
cat >"$work/check.gui" <<'GUI'
timeout 60000
wait "" 60000
wait-text 1012 "Checking the package..."
wait-prefix "Windows XP Orbanet Universal Driver Installer"
click 1004
GUI
cat >"$work/uninstall.gui" <<'GUI'
timeout 60000
wait-prefix "Windows XP Orbanet Universal Driver UnInstaller"
sleep 0
click 1
wait-msgbox "Notice" 60000
expect-text -1 "TALVEN Removed!"
key enter
GUI

# Other work on the machine slows the timed runs: its load is reported with them.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
declare -a ours_window ours_install ours_uninstall peer_window peer_install check_ms sum_ms
for round in $(seq "$rounds"); do
  # Ours: setup, then the uninstaller in the same prefix.
  fresh_prefix
  read -r started ended < <(run_driven "$work/ours.log" "$work/ours.gui" "$work/package" setup.exe)
  ours_window+=($(( $(at "$work/ours.log" "ok   wait-prefix:") - started )))
  ours_install+=($(( ended - $(at "$work/ours.log" "ok   sleep 0") )))
  check_state RUNNING "setup.exe, round $round"
  read -r started ended < <(run_driven "$work/uninstall.log" "$work/uninstall.gui" "$work/package" uninstall.exe)
  ours_uninstall+=($(( ended - $(at "$work/uninstall.log" "ok   sleep 0") )))
  check_state MISSING "uninstall.exe, round $round"

  # The peer.
  fresh_prefix
  read -r started ended < <(run_driven "$work/peer.log" "$work/peer.gui" "$work/package" talven-peer.exe)
  peer_window+=($(( $(at "$work/peer.log" "ok   wait-prefix:") - started )))
  peer_install+=($(( ended - $(at "$work/peer.log" "ok   sleep 0") )))
  check_state RUNNING "talven-peer.exe, round $round"

  # The check of the large package (Quit on the wizard: exit code 1), then sha256sum of its files.
  : >"$work/check.log"
  wine "$guictl" -f "$work/check.gui" 2>/dev/null |
    while IFS= read -r line; do echo "$(now_ms) ${line%$'\r'}"; done >"$work/check.log" &
  checker=$!
  for _ in $(seq 600); do [ -s "$work/check.log" ] && break; sleep 0.01; done
  (cd "$big_package" && timeout 120 wine setup.exe >/dev/null 2>&1) || true
  wait "$checker" || { echo "bench: the package check was not seen:" >&2; cat "$work/check.log" >&2; exit 1; }
  check_ms+=($(( $(at "$work/check.log" "ok   wait-prefix:") - $(at "$work/check.log" "ok   wait-text") )))
  started=$(now_ms)
  find "$big_package" -type f ! -name setup.exe -exec sha256sum {} + >/dev/null
  sum_ms+=($(( $(now_ms) - started )))
  echo "round $round: ours ${ours_window[-1]}/${ours_install[-1]}/${ours_uninstall[-1]} ms," \
       "peer ${peer_window[-1]}/${peer_install[-1]} ms, check ${check_ms[-1]} ms," \
       "sha256sum ${sum_ms[-1]} ms" >&2
done
wineserver -k 2>/dev/null || true
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# "median (min-max)" of the numbers given, minus an optional offset: stat OFFSET N...
stat_ms() {
  local offset=$1; shift
  printf '%s\n' "$@" | sort -n | awk -v off="$offset" '
    { v[NR] = $1 - off }
    END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
          printf "%d ms (%d to %d)", m, v[1], v[NR] }'
}

# The median of the numbers given as a rate: MiB/s for $big_mib MiB.
rate() {
  printf '%s\n' "$@" | sort -n | awk -v mib="$big_mib" '
    { v[NR] = $1 }
    END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
          printf "%.0f MiB/s", (m > 0 ? mib * 1000 / m : 0) }'
}

kib() { awk -v b="$1" 'BEGIN { printf "%.1f KiB (%d bytes)", b / 1024, b }'; }

{
  echo "# Benchmarks"
  echo
  echo "Measured $(date -u +%Y-%m-%d) at commit $(git -C "$root" rev-parse --short HEAD) on $(nproc) cores with"
  echo "$(wine --version) reporting Windows XP: $rounds rounds each, ours and the NSIS peer alternating,"
  echo "one fresh prefix per round; times are the median with the lowest and highest in brackets."
  echo "Rerun: \`bash bench/run.sh\`. The machine's load average (1, 5, 15 minutes) was $load_before"
  echo "before the rounds and $load_after after them: above $(nproc), other work competed for the"
  echo "cores and the times are longer than on an idle machine, for ours and the peer alike."
  echo
  echo "| measure | ours | NSIS peer (bench/peer.nsi, $(makensis -VERSION)) |"
  echo "|---|---|---|"
  echo "| setup.exe, stripped (aim: at most 32 KiB) | $(kib "$(size "$work/setup.exe")") | $(kib "$(size "$work/package/talven-peer.exe")") |"
  echo "| uninstall.exe, stripped (aim: at most 24 KiB) | $(kib "$(size "$work/uninstall.exe")") | (no uninstaller) |"
  echo "| process start to first visible window | $(stat_ms 0 "${ours_window[@]}") | $(stat_ms 0 "${peer_window[@]}") |"
  echo "| Install pressed to process exit | $(stat_ms 0 "${ours_install[@]}") | $(stat_ms 0 "${peer_install[@]}") |"
  echo "| the same less the fixed pauses ($setup_pauses ms: 2 x 100 ms after the copies, 2 x 1000 ms in ReplaceDriver, 100 ms at the end) | $(stat_ms "$setup_pauses" "${ours_install[@]}") | (makes no pauses) |"
  echo "| setup's check of a package of $big_mib MiB (16 MiB of developer files more): \"Checking the package...\" to the wizard | $(stat_ms 0 "${check_ms[@]}"), $(rate "${check_ms[@]}") | sha256sum of the same files: $(stat_ms 0 "${sum_ms[@]}"), $(rate "${sum_ms[@]}") |"
  echo "| uninstaller: UnInstall pressed to process exit | $(stat_ms 0 "${ours_uninstall[@]}") | |"
  echo "| the same less its fixed pauses ($uninstall_pauses ms: 2 x 1000 ms in RemoveDriver) | $(stat_ms "$uninstall_pauses" "${ours_uninstall[@]}") | |"
  echo
  echo "The display is a bare Xvfb with Wine's windows unmanaged (X11 Driver \"Managed\"=\"N\"):"
  echo "without a window manager Wine otherwise waits 2 s each time a top-level window is hidden,"
  echo "which setup does twice and both programs' message boxes once."
  echo "Times include Wine's own start of a process and the GUI driving tool's polling (every"
  echo "50 ms) for the window and for the final message box, which both programs show and the tool"
  echo "answers at once. The peer copies the same package folder and registers and starts the same"
  echo "two test drivers as kernel services, without the programs' fixed pauses."
  echo "The check's time is seen by the same polling, so it is known to within about 50 ms; it"
  echo "reads and hashes every file of the package but setup.exe (our own SHA-256, compiled for a"
  echo "Pentium), where sha256sum is the host's own, native and tuned for this processor."
} >"$here/results.md"
cat "$here/results.md"
