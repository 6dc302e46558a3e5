#!/usr/bin/env bash
# Cross-builds the Windows programs (scripts/windows/build.sh) and runs the
# Windows test programs under wine: a private wine prefix for this run, the
# offscreen platform, and the simulated analyser of the Linux build (its
# analyser_sim, in build-test/bin unless VANDREL_LINUX_BIN says where)
# linked to the prefix's COM1, a second one on COM2 for two analysers at
# once; the whole program on a virtual X display.
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
run profile_test

# OpenSSL's configuration: an openssl.cnf planted in the folder compiled into
# the SDK's OpenSSL, which wine lets anyone write, is never read; the test
# runs from a folder of its own as the program is installed (with the
# openssl.cnf that comes with it), named beyond any one code page, with the
# DLL it plants.  Again below from the installed program's folder.
openssl_folder="$wine_work/Installiert 測定"
mkdir -p "$openssl_folder"
cp "$bin/openssl_conf_test.exe" "$bin/planted_module.dll" app/package/openssl.cnf "$openssl_folder/"
bin=$openssl_folder run openssl_conf_test

# The simulated analyser on COM1.
wine_simulator com1
VANDREL_SIM_PORT=1 VANDREL_SIM_CONTROL=$(winepath -w "$wine_sim_dir/control")
VANDREL_SIM_STATUS=$(winepath -w "$wine_sim_dir/status")
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
  # The whole program links OpenSSL's libcrypto for the seal's SHA-256: an
  # openssl.cnf planted in the SDK's OPENSSLDIR stays unread through a
  # recorded, sealed run and its verification.  The control after them, a
  # bare MQTT client, shows that the plant is where OpenSSL looks.
  ssl_dir="$WINEPREFIX/drive_c/Program Files/Common Files/SSL"
  mkdir -p "$ssl_dir"
  cp "$bin/planted_module.dll" "$ssl_dir/"
  printf '%s\n' 'openssl_conf = openssl_init' '[openssl_init]' 'providers = providers' '[providers]' \
    'default = default_provider' 'planted = planted_provider' '[default_provider]' 'activate = 1' \
    '[planted_provider]' 'module = C:\\Program Files\\Common Files\\SSL\\planted_module.dll' 'activate = 1' \
    >"$ssl_dir/openssl.cnf"
  bin=$installed WINEPATH= QT_PLUGIN_PATH= QT_QPA_PLATFORM=windows run program_run_test
  # vandrel --verify as installed, with no window, on the recording the test
  # left with one digit of its first line changed: one line and status 1.
  echo "== windows: vandrel --verify"
  status=0
  said=$(WINEPATH= QT_PLUGIN_PATH= wine "$installed/vandrel.exe" --verify 'C:\Vandrel\run.dat' 2>/dev/null) || status=$?
  if [ "$status" != 1 ] || [[ "$said" != *"run.dat: changed between line 1 and line "* ]]; then
    echo "== windows: vandrel --verify FAILED: status $status, said: $said" >&2
    failed=1
  fi
  if [ -e "$ssl_dir/planted_module.dll.loaded" ]; then
    echo "== windows: the program read the planted openssl.cnf: FAILED" >&2
    failed=1
  fi
  wine "$bin/openssl_conf_test.exe" --bare-client >/dev/null 2>&1 || true
  if [ ! -e "$ssl_dir/planted_module.dll.loaded" ]; then
    echo "== windows: the planted openssl.cnf is not where OpenSSL looks: FAILED" >&2
    failed=1
  fi
  rm -rf "$ssl_dir"
  rm -f "$installed/program_run_test.exe" "$installed/vandrel.ini" "$installed"/run.*
  # The MQTT library and OpenSSL as installed, with the openssl.cnf installed.
  cp "$bin/openssl_conf_test.exe" "$bin/planted_module.dll" "$installed/"
  bin=$installed WINEPATH= run openssl_conf_test
  rm -f "$installed/openssl_conf_test.exe" "$installed/planted_module.dll"
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

# Two analysers at once, a copy of the program each, both from one folder
# of the operator's own as the ZIP unpacks: "--profile A" on COM1 and
# "--profile B" on COM2, started together, each finding a run of its own to
# resume and so recording at once.  The analysers answer apart (one stays in
# air, the other is purged at once): a reading shows the port it came
# through.  A third start of A must leave A alone.
echo "== windows: two analysers at once"
two_failed() { echo "== windows: two analysers at once FAILED: $*" >&2; failed=1; }
wine_simulator com1 --time-constant 1e9
wine_simulator com2 --time-constant 0.001
two=$wine_work/analysers
cmake --install build-win/out --prefix "$two" >/dev/null
installed_files=$(cd "$two" && find . | sort)
# Settings written anywhere but the program's folder are newer than this.
touch "$wine_work/two.start"
for profile in A:1:0.5 B:2:1.0; do
  IFS=: read -r name port interval <<<"$profile"
  dir=$two/profiles/$name
  mkdir -p "$dir"
  printf ' %d %s 1 1 0 0.0 250.0  Kv_2014\r\n' "$port" "$interval" >"$dir/vandrel.ini"
  printf 'resume=1\r\nrunning=1\r\nalive=%s\r\nfile=%s\r\n' "$(date +%s)" "$(winepath -w "$dir/run.dat")" \
    >"$dir/vandrel-resume.ini"
done
# The resumed runs record beside the old recordings, under the next free name.
rec_a=$two/profiles/A/run-2.dat rec_b=$two/profiles/B/run-2.dat
# On what the folder holds alone, with no SDK on the path.  The Linux process
# is the Windows one: its pid ends the copy.
program=(env WINEPATH= QT_PLUGIN_PATH= QT_QPA_PLATFORM=windows wine "$two/vandrel.exe")
"${program[@]}" --profile A >"$wine_work/A.log" 2>&1 &
pid_a=$!
"${program[@]}" --profile B >"$wine_work/B.log" 2>&1 &
pid_b=$!
lines() { if [ -f "$1" ]; then wc -l <"$1"; else echo 0; fi; }
# Waits, with a generous limit, until the recording FILE holds more than N
# lines while the copy PID runs.
recording_grows() {
  for _ in $(seq 1800); do
    [ "$(lines "$1")" -gt "$2" ] && return 0
    kill -0 "$3" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
if ! recording_grows "$rec_a" 3 "$pid_a" || ! recording_grows "$rec_b" 3 "$pid_b"; then
  two_failed "the recordings did not grow (A: $(lines "$rec_a") lines, B: $(lines "$rec_b") lines;" \
    "A runs: $(kill -0 "$pid_a" 2>/dev/null && echo yes || echo no)," \
    "B runs: $(kill -0 "$pid_b" 2>/dev/null && echo yes || echo no)); A said: $(cat "$wine_work/A.log")" \
    "B said: $(cat "$wine_work/B.log")"
else
  # A copy that did not find A claimed would resume A's run too, into a
  # file of its own beside A's, and never end by itself.
  own_files() { (cd "$two/profiles/A" && ls | grep -v '\.new$' || true); }
  before=$(own_files)
  status=0
  timeout -k 10 120 "${program[@]}" --profile A >"$wine_work/A-again.log" 2>&1 || status=$?
  echo "== windows: a third start of A ended with status $status: $(tr -d '\r' <"$wine_work/A-again.log")"
  [ "$status" -eq 0 ] || two_failed "a third start of A ended with status $status (124: not by itself)"
  [ "$(own_files)" = "$before" ] ||
    two_failed "a third start of A changed A's folder: $(echo $before) -> $(echo $(own_files))"
  recording_grows "$rec_a" $(($(lines "$rec_a") + 2)) "$pid_a" ||
    two_failed "A did not record on after a third start (A runs: $(kill -0 "$pid_a" 2>/dev/null && echo yes || echo no))"
fi
# Ended as a power cut ends them, which no window or message box can hold up.
kill -KILL "$pid_a" "$pid_b" 2>/dev/null || true
wait "$pid_a" "$pid_b" 2>/dev/null || true

# "elapsed value" lines, elapsed never falling, every value within
# [LOW, HIGH]: the first line that is not, or nothing.
recording_fault() {
  awk -v low="$2" -v high="$3" '
    { sub(/\r$/, "") }
    NF != 2 || $2 + 0 < low + 0 || $2 + 0 > high + 0 || (NR > 1 && $1 + 0 < last) { print "line " NR ": " $0; exit }
    { last = $1 + 0 }' "$1" 2>&1 || true
}
# A's analyser stays at about 209500 ppm, B's at about 3 ppm.
fault=$(recording_fault "$rec_a" 150000 250000)
[ -z "$fault" ] || two_failed "A's recording holds what COM1's analyser did not answer: $fault"
fault=$(recording_fault "$rec_b" 1 10)
[ -z "$fault" ] || two_failed "B's recording holds what COM2's analyser did not answer: $fault"
left=$(cd "$two" && find . -path ./profiles -prune -o -print | sort)
[ "$left" = "$installed_files" ] ||
  two_failed "the program's folder changed beside the profiles: $(diff <(echo "$installed_files") <(echo "$left") | grep '^[<>]' | tr '\n' ' ')"
[ "$(ls "$two/profiles" | tr '\n' ' ')" = "A B " ] ||
  two_failed "the profiles folder holds $(ls "$two/profiles" | tr '\n' ' ')"
elsewhere=$(find "$WINEPREFIX/drive_c" -newer "$wine_work/two.start" -ipath '*vandrel*' | tr '\n' ' ')
[ -z "$elsewhere" ] || two_failed "settings written outside the program's folder: $elsewhere"
echo "== windows: two analysers at once: A recorded $(lines "$rec_a") lines, B $(lines "$rec_b")"

exit $failed
