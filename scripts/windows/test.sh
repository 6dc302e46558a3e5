#!/usr/bin/env bash
# Cross-builds the Windows programs (scripts/windows/build.sh) and runs the
# Windows test programs under wine: a private wine prefix for this run, the
# offscreen platform, and the simulated analyser of the Linux build (its
# analyser_sim, in build-test/bin unless VANDREL_LINUX_BIN says where)
# linked to the prefix's COM5.  A missing SDK, wine or simulator is an error.
set -euo pipefail
cd "$(dirname "$0")/../.."

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

# The simulated analyser on COM5: a link in the prefix's dosdevices to its
# pseudo-terminal, which it removes and makes again for a pulled adapter.
"$sim" "$WINEPREFIX/dosdevices/com5" --control "$work/control" --status "$work/status" \
  >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  grep -qx "link up" "$work/status" 2>/dev/null && break
  sleep 0.1
done
grep -qx "link up" "$work/status" || { echo "windows tests: the simulator did not start" >&2; cat "$work/sim.log" >&2; exit 1; }
VANDREL_SIM_PORT=5 VANDREL_SIM_CONTROL="$(winepath -w "$work/control")" \
  VANDREL_SIM_STATUS="$(winepath -w "$work/status")" run serial_test

exit $failed
