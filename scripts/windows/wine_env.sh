# Sourced by the Windows test and benchmark scripts: a private wine prefix
# for the run and the simulated analysers of the Linux build on its COM
# ports.  Everything started here ends with the script.
#   wine_start                   the prefix, its server, the library paths
#   wine_simulator comN [ARGS]   the simulator linked to COMN, with ARGS

for tool in wine wineboot wineserver winepath; do
  command -v "$tool" >/dev/null || { echo "windows: $tool is missing" >&2; exit 1; }
done
wine_linux_bin=${VANDREL_LINUX_BIN:-$PWD/build-test/bin}

wine_work=
# By port: a port has one simulator at a time.
declare -gA wine_sim_pids=()
wine_sim_dir=
wine_simulator_stop() {
  local pid=${wine_sim_pids[$1]:-}
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  unset "wine_sim_pids[$1]"
}
wine_cleanup() {
  local port
  for port in "${!wine_sim_pids[@]}"; do
    wine_simulator_stop "$port"
  done
  if [ -n "$wine_work" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$wine_work"
  fi
}
trap wine_cleanup EXIT
# Ended from outside: the cleanup still runs.
trap 'exit 143' TERM
trap 'exit 130' INT

wine_start() {
  wine_work=$(mktemp -d "${TMPDIR:-/tmp}/vandrel-wine.XXXXXX")
  export WINEPREFIX=$wine_work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # The prefix's server outlives single programs for the whole run, and its
  # output (a dump of its objects when it ends) goes nowhere.
  mkdir -p "$WINEPREFIX"
  wineserver -p >/dev/null 2>&1
  wineboot -i >/dev/null 2>&1
  # Windows has the families the panels ask for, "MS Shell Dlg" (Qt's
  # default) and "Courier New" (the reading); a prefix without Windows' own
  # fonts resolves both to a math font whose tall lines push the text of
  # line edits and spin boxes out of sight.  Metric twins stand in for them.
  local key='HKCU\Software\Wine\Fonts\Replacements' family
  for family in "MS Shell Dlg:Liberation Sans" "MS Shell Dlg 2:Liberation Sans" "Courier New:Liberation Mono"; do
    wine reg add "$key" /v "${family%%:*}" /d "${family#*:}" /f >/dev/null 2>&1
  done
  local sdk=$PWD/build-win/qt6-mingw
  WINEPATH="$(winepath -w "$sdk/bin");$(winepath -w /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(winepath -w /usr/x86_64-w64-mingw32/lib)"
  QT_PLUGIN_PATH=$(winepath -w "$sdk/plugins")
  export WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM=offscreen
}

# The link in the prefix's dosdevices is the simulator's own: it removes and
# makes it again for a pulled adapter.  Its control and status files are
# $wine_sim_dir/control and $wine_sim_dir/status, in a folder of the port's
# ($wine_work/comN), so that analysers on two ports are driven apart.  A
# port has one simulator: starting another there ends the one before, whose
# link would otherwise be taken from under it.
wine_simulator() {
  local port=$1
  shift
  local sim=$wine_linux_bin/analyser_sim
  [ -x "$sim" ] || { echo "windows: no simulator at $sim (build the Linux tree first)" >&2; exit 1; }
  wine_simulator_stop "$port"
  wine_sim_dir=$wine_work/$port
  mkdir -p "$wine_sim_dir"
  # What the one before left there must not read as this one's.
  rm -f "$wine_sim_dir/control" "$wine_sim_dir/status"
  "$sim" "$WINEPREFIX/dosdevices/$port" --control "$wine_sim_dir/control" --status "$wine_sim_dir/status" "$@" \
    >"$wine_sim_dir/sim.log" 2>&1 &
  wine_sim_pids[$port]=$!
  for _ in $(seq 100); do
    grep -qx "link up" "$wine_sim_dir/status" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "windows: the simulator on $port did not start" >&2
  cat "$wine_sim_dir/sim.log" >&2
  exit 1
}
