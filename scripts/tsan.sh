#!/usr/bin/env bash
# Builds the tests where two threads meet under ThreadSanitizer, in a build
# directory of their own (build-tsan), and runs them: the outbox's sender
# works on a thread of its own beside the user-interface thread, against a
# real mosquitto broker (publish_test, with the program it starts), and
# both stamp their times with the engine's clock (utility_test).  A failed
# test or any report of ThreadSanitizer's, in a test program or a program it
# starts, fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
# What is left out, and why: scripts/tsan.supp.
export TSAN_OPTIONS="second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp${TSAN_OPTIONS:+ $TSAN_OPTIONS}"

jobs=$(nproc)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANDREL_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -O1" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
programs=(utility_test publish_unit_test publish_test)
cmake --build build-tsan -j"$jobs" --target "${programs[@]}"

# Each test program whole, one after the other: they share the settings
# folder beside them, as CTest's resource lock has them do in the other
# builds.  A program that ends through the engine skips the sanitizer's own
# exit status, so its reports are looked for in the output.
failed=0
for program in "${programs[@]}"; do
  echo "tsan: $program"
  log="build-tsan/$program.log"
  status=0
  (cd build-tsan && timeout 1800 "bin/$program" --gtest_brief=1) >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ] || grep -q "WARNING: ThreadSanitizer" "$log"; then
    grep -E -A40 "WARNING: ThreadSanitizer|Failure|FAILED" "$log" | head -n 200 || true
    echo "tsan: $program failed (status $status; the whole output in $log)"
    failed=$((failed + 1))
  fi
done
echo "tsan: $((${#programs[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
