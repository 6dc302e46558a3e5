#!/usr/bin/env bash
# The viewer's and the cycle's figures under wine beside Linux's, in one
# session: bench_scanfile --viewer and bench_cycle from a Linux Release build
# (build-bench/) and from the Windows build (build-win/), each against the
# same simulator settings.  Prints what the benchmarks print; no verdict.
# Under wine a thread's processor clock moves in steps of 10 ms or more:
# bench_cycle's own time per cycle reads 0 there, and its whole cycle's wall
# time is the figure to set beside Linux's.  bench_scanfile has no wc to
# compare with on Windows (its column reads 0).
#   scripts/windows/bench.sh [SIZE]     (file size for bench_scanfile, default 50M)
set -euo pipefail
cd "$(dirname "$0")/../.."
size=${1:-50M}

. scripts/windows/wine_env.sh

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANDREL_TESTS=ON -DVANDREL_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target bench_scanfile bench_cycle analyser_sim
VANDREL_WIN_BENCH=ON bash scripts/windows/build.sh --target bench_scanfile bench_cycle

data=$(mktemp -d "${TMPDIR:-/tmp}/vandrel-bench.XXXXXX")
trap 'rm -rf "$data"; wine_cleanup' EXIT

echo "== Linux: bench_scanfile --viewer $size"
QT_QPA_PLATFORM=offscreen build-bench/bin/bench_scanfile --viewer --dir "$data" "$size"
echo "== Linux: bench_cycle"
QT_QPA_PLATFORM=offscreen build-bench/bin/bench_cycle 1000

wine_start
echo "== Windows (wine): bench_scanfile --viewer $size"
wine build-win/out/bin/bench_scanfile.exe --viewer --dir "$(winepath -w "$data")" "$size"
wine_simulator com1 --no-pacing --turnaround 0.002
echo "== Windows (wine): bench_cycle"
wine build-win/out/bin/bench_cycle.exe 1000
