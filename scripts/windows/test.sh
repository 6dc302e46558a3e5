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

. scripts/windows/wine_env.sh

bash scripts/windows/build.sh
bin=$PWD/build-win/out/bin
wine_start

# Port 1, an interval of 2.5 s, a top of the scale of 250: what the program
# tests expect to find when they start.
settings_line=' 1 2.5 1 1 0 0.0 250.0  Kv_2014\r\n'

failed=0
run() {
  echo "== windows: $*"
  # A program stopped in a message box (a fault at start-up) would wait for
  # an operator for ever.
  timeout "${run_limit:-120}" wine "$bin/$1.exe" "${@:2}" || { echo "== windows: $1 FAILED" >&2; failed=1; }
}

run files_paths_test
run format_test
run skip_test
run utility_test

# The simulated analyser on COM1.
wine_simulator com1
VANDREL_SIM_PORT=1 VANDREL_SIM_CONTROL=$(winepath -w "$wine_work/control")
VANDREL_SIM_STATUS=$(winepath -w "$wine_work/status")
export VANDREL_SIM_PORT VANDREL_SIM_CONTROL VANDREL_SIM_STATUS
run serial_test

# The program's files held for a moment by another program, in a folder of
# their own where the test keeps its settings.
held="$wine_work/held"
mkdir -p "$held"
cp "$bin/held_file_test.exe" "$bin/file_holder.exe" "$bin/Vandrel_V3.uir" "$held/"
bin=$held run held_file_test

# The program in a directory of its own, named in letters beyond any one
# code page, with its panel file and a settings file that names COM1, in
# real windows on the X display.
program="$wine_work/Prüfung 測定"
mkdir -p "$program" build-win/artefacts
cp "$bin/program_run_test.exe" "$bin/Vandrel_V3.uir" "$program/"
printf "$settings_line" >"$program/vandrel.ini"
bin=$program QT_QPA_PLATFORM=windows VANDREL_ARTEFACTS="$(winepath -w build-win/artefacts)" \
  run program_run_test

# Publishing through the outbox, against a mosquitto broker and subscriber of
# the Linux side on loopback, with the outbox in a folder named beyond any
# one code page.
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
broker_port=$(free_port)
mkdir -p "$wine_work/broker"
{
  echo "listener $broker_port 127.0.0.1"
  echo "allow_anonymous true"
  echo "max_queued_messages 0"
  [ "$(id -u)" -eq 0 ] && echo "user root"
} >"$wine_work/broker/mosquitto.conf"
mosquitto -c "$wine_work/broker/mosquitto.conf" >"$wine_work/broker/log" 2>&1 &
broker_pid=$!
trap 'kill "${subscriber_pid:-}" "$broker_pid" 2>/dev/null || true; wine_cleanup' EXIT
for _ in $(seq 200); do
  mosquitto_pub -h 127.0.0.1 -p "$broker_port" -t vandrel/probe -m up -q 1 2>/dev/null && break
  sleep 0.1
done
mosquitto_sub -h 127.0.0.1 -p "$broker_port" -t 'vandrel/#' -q 1 -v -R >"$wine_work/received" 2>/dev/null &
subscriber_pid=$!
# A probe sent before the subscription stands is lost: sent until one arrives.
for _ in $(seq 200); do
  mosquitto_pub -h 127.0.0.1 -p "$broker_port" -t vandrel/probe -m probe -q 1 2>/dev/null
  grep -q '^vandrel/probe' "$wine_work/received" && break
  sleep 0.1
done
outbox_dir="$wine_work/Messplatz Süd 測定"
mkdir -p "$outbox_dir"
cp "$bin/outbox_test.exe" "$outbox_dir/"
VANDREL_BROKER_PORT=$broker_port VANDREL_DOWN_PORT=$(free_port) \
  VANDREL_RECEIVED=$(winepath -w "$wine_work/received") bin=$outbox_dir run_limit=900 run outbox_test
kill "$subscriber_pid" "$broker_pid" 2>/dev/null || true

# The installer, silently: the program directory, its Start-menu entry and
# (asked for with /SESSIONSTART) the start with the session in the user's
# Startup folder are there, the program runs from that directory on what the
# installer put there alone (no SDK on the path), and the uninstaller
# removes them again.
(cd build-win/out && cpack -G NSIS >/dev/null && cpack -G ZIP >/dev/null)
echo "== windows: installer"
installed=$WINEPREFIX/drive_c/Vandrel
wine build-win/out/vandrel-*-win64.exe /S /SESSIONSTART '/D=C:\Vandrel'
entry=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Vandrel/Vandrel.lnk' | head -1)
startup=$(find "$WINEPREFIX/drive_c/users" -ipath '*/Programs/Startup/Vandrel.lnk' | head -1)
if [ ! -x "$installed/vandrel.exe" ] || [ ! -f "$installed/Vandrel_V3.uir" ] || [ -z "$entry" ] ||
   [ -z "$startup" ]; then
  echo "== windows: installer FAILED: no program, panel file, Start-menu entry or Startup shortcut" >&2
  failed=1
else
  cp "$bin/program_run_test.exe" "$installed/"
  printf "$settings_line" >"$installed/vandrel.ini"
  bin=$installed WINEPATH= QT_PLUGIN_PATH= QT_QPA_PLATFORM=windows run program_run_test
  rm -f "$installed/program_run_test.exe" "$installed/vandrel.ini" "$installed/run.dat"
  # The uninstaller runs on from a copy of itself: wait until it is done.
  wine "$installed/Uninstall.exe" /S
  for _ in $(seq 600); do
    [ ! -e "$installed" ] && [ ! -e "$entry" ] && [ ! -e "$startup" ] && break
    sleep 0.1
  done
  if [ -e "$installed" ] || [ -e "$entry" ] || [ -e "$startup" ]; then
    echo "== windows: uninstaller FAILED: left $(ls "$installed" 2>/dev/null | tr '\n' ' ')" >&2
    failed=1
  fi
fi

exit $failed
