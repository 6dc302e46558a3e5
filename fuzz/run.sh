#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, from its seed
# corpus, without adding to the corpus in the source tree.
#   fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET
set -euo pipefail
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
targets=(fuzz_scan fuzz_scanfile fuzz_skip fuzz_lines fuzz_fmt fuzz_reply fuzz_panel)
failed=0
for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  echo "fuzz: $target for ${seconds}s"
  if ! "$build/bin/$target" -max_total_time="$seconds" -print_final_stats=0 \
       -artifact_prefix="$work/$target-" "$work/$target" "$here/corpus/$target" \
       >"$work/$target.log" 2>&1; then
    echo "fuzz: $target found a fault:"
    tail -n 60 "$work/$target.log"
    mkdir -p "$build/fuzz-findings"
    cp "$work/$target"-* "$build/fuzz-findings/" 2>/dev/null || true
    failed=$((failed + 1))
  fi
done
echo "fuzz: $((${#targets[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
