#!/usr/bin/env bash
# Sets up, builds and starts the program.  Without an analyser named (no
# RTE_COM<n> for the stored port in the environment) it starts the analyser
# simulator on a pseudo-terminal and lets the program reach it through the
# stored port number; the simulator ends with the program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANDREL_TESTS=OFF -DVANDREL_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target vandrel analyser_sim

bin=$PWD/build/bin
port=1
if [ -f "$bin/vandrel.ini" ]; then
  read -r port _ < "$bin/vandrel.ini" || true
  [[ "$port" =~ ^[0-9]+$ ]] || port=1
fi
var="RTE_COM$port"
if [ -z "${!var:-}" ]; then
  tmp=$(mktemp -d)
  trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -rf "$tmp"' EXIT
  "$bin/analyser_sim" "$tmp/analyser" --speed 20 >/dev/null &
  sim=$!
  for _ in $(seq 100); do [ -e "$tmp/analyser" ] && break; sleep 0.1; done
  export "$var=$tmp/analyser"
  echo "No analyser named: the simulator answers on port $port ($tmp/analyser)."
fi
"$bin/vandrel" "$@"
