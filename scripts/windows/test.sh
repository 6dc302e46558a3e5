#!/usr/bin/env bash
# Cross-builds the Windows programs (scripts/windows/build.sh) and runs the
# Windows test programs under wine: a private wine prefix for this run, the
# offscreen platform, and the simulated analyser of the Linux build (its
# analyser_sim, in build-test/bin unless VANDREL_LINUX_BIN says where)
# linked to the prefix's COM1; the whole program on a virtual X display.
# A missing SDK, wine or simulator is an error.  Pictures of the screen
# stay in build-win/artefacts.
set -euo pipefail
cd "$(dirname "$0")/../.."

# Wine's windows need an X display, from before the prefix's first program.
if [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "windows tests: xvfb-run is missing" >&2; exit 1; }
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

for tool in wine wineboot wineserver winepath; do
  command -v "$tool" >/dev/null || { echo "windows tests: $tool is missing" >&2; exit 1; }
done
linux_bin=${VANDREL_LINUX_BIN:-$PWD/build-test/bin}
sim=$linux_bin/analyser_sim
[ -x "$sim" ] || { echo "windows tests: no simulator at $sim (build the Linux tree first)" >&2; exit 1; }

bash scripts/windows/build.sh
bin=$PWD/build-win/out/bin

work=$(mktemp -d "${TMPDIR:-/tmp}/vandrel-wine.XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The prefix's server outlives single programs for the whole run, and its
# output (a dump of its objects when it ends) goes nowhere.
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1
wineboot -i >/dev/null 2>&1

sdk=$PWD/build-win/qt6-mingw
WINEPATH="$(winepath -w "$sdk/bin");$(winepath -w /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(winepath -w /usr/x86_64-w64-mingw32/lib)"
export WINEPATH QT_PLUGIN_PATH="$(winepath -w "$sdk/plugins")" QT_QPA_PLATFORM=offscreen

failed=0
run() {
  echo "== windows: $*"
  wine "$bin/$1.exe" "${@:2}" || { echo "== windows: $1 FAILED" >&2; failed=1; }
}

run files_paths_test

# The simulated analyser on COM1: a link in the prefix's dosdevices to its
# pseudo-terminal, which it removes and makes again for a pulled adapter.
"$sim" "$WINEPREFIX/dosdevices/com1" --control "$work/control" --status "$work/status" \
  >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  grep -qx "link up" "$work/status" 2>/dev/null && break
  sleep 0.1
done
grep -qx "link up" "$work/status" || { echo "windows tests: the simulator did not start" >&2; cat "$work/sim.log" >&2; exit 1; }
VANDREL_SIM_PORT=1 VANDREL_SIM_CONTROL="$(winepath -w "$work/control")" \
  VANDREL_SIM_STATUS="$(winepath -w "$work/status")" run serial_test

# The program in a directory of its own with its panel file and a settings
# file that names COM1, in real windows on the X display.
program=$work/program
mkdir -p "$program" build-win/artefacts
cp "$bin/program_run_test.exe" "$bin/Vandrel_V3.uir" "$program/"
printf ' 1 2.5 1 1 0 0.0 250.0  Kv_2014\r\n' >"$program/vandrel.ini"
bin=$program QT_QPA_PLATFORM=windows VANDREL_ARTEFACTS="$(winepath -w build-win/artefacts)" \
  run program_run_test

# The installer, silently: the program directory and its Start-menu entry
# are there, the program runs from that directory on what the installer put
# there alone (no SDK on the path), and the uninstaller removes them again.
(cd build-win/out && cpack -G NSIS >/dev/null && cpack -G ZIP >/dev/null)
echo "== windows: installer"
installed=$WINEPREFIX/drive_c/Vandrel
wine build-win/out/vandrel-*-win64.exe /S '/D=C:\Vandrel'
entry=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Vandrel/Vandrel.lnk' | head -1)
if [ ! -x "$installed/vandrel.exe" ] || [ ! -f "$installed/Vandrel_V3.uir" ] || [ -z "$entry" ]; then
  echo "== windows: installer FAILED: no program, panel file or Start-menu entry" >&2
  failed=1
else
  cp "$bin/program_run_test.exe" "$installed/"
  printf ' 1 2.5 1 1 0 0.0 250.0  Kv_2014\r\n' >"$installed/vandrel.ini"
  bin=$installed WINEPATH= QT_PLUGIN_PATH= QT_QPA_PLATFORM=windows run program_run_test
  rm -f "$installed/program_run_test.exe" "$installed/vandrel.ini" "$installed/run.dat"
  # The uninstaller runs on from a copy of itself: wait until it is done.
  wine "$installed/Uninstall.exe" /S
  for _ in $(seq 600); do
    [ ! -e "$installed" ] && [ ! -e "$entry" ] && break
    sleep 0.1
  done
  if [ -e "$installed" ] || [ -e "$entry" ]; then
    echo "== windows: uninstaller FAILED: left $(ls "$installed" 2>/dev/null | tr '\n' ' ')" >&2
    failed=1
  fi
fi

exit $failed
