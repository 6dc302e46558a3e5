#!/usr/bin/env bash
# Sets up, builds and runs every test: the unit, GUI and serial tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows build's tests
# under wine, then each fuzz target for a bounded time.  FUZZ_SECONDS sets
# that time (default 30 per target).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# The test programs also run while building, when CTest asks them for their
# tests: the same sanitizer settings hold there.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

jobs=$(nproc)
# The benchmarks are built here too, not run, so that a change that breaks
# one fails the test command.
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANDREL_SANITIZE=ON -DVANDREL_BENCH=ON >/dev/null
cmake --build build-test -j"$jobs"
# A test skipped for want of something on this machine, or because of who
# runs it, fails the run unless tests/allowed-skips.txt says why it may be.
junit="$PWD/build-test/ctest-junit.xml"
rm -f "$junit"
(cd build-test && ctest --output-on-failure -j"$jobs" --timeout 300 --output-junit "$junit")
python3 scripts/unlisted_skips.py "$junit" tests/allowed-skips.txt

# The Windows build and its tests under wine, against the simulator built
# above.
bash scripts/windows/test.sh

if [ "${FUZZ_SECONDS:-30}" != 0 ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANDREL_FUZZ=ON -DVANDREL_TESTS=OFF -DVANDREL_BENCH=OFF >/dev/null
  cmake --build build-fuzz -j"$jobs" --target fuzz_all
  bash fuzz/run.sh build-fuzz "${FUZZ_SECONDS:-30}"
fi
