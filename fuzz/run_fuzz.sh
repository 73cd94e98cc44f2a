#!/usr/bin/env bash
# A bounded fuzz run of the core: builds the libFuzzer targets with clang 14,
# AddressSanitizer and UndefinedBehaviorSanitizer (the "fuzz" preset, in
# build-fuzz), then runs each target for SECONDS (default 30) from the seed
# corpus in fuzz/corpus. Exits non-zero when a target crashes, hangs, leaks or
# finds a property that does not hold; the input is kept in
# build-fuzz/findings/<target>/ and the target's output in build-fuzz/logs/.
#   fuzz/run_fuzz.sh [SECONDS]
set -euo pipefail

seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
targets=(str_to_float edit_sequence)

cd "$root"
mkdir -p "$build"
cmake --preset fuzz >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
cmake --build --preset fuzz

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The exact reference allocates at every step; short allocation stacks and a
# small quarantine make the runs about twice as fast. A finding replays with
# full stacks: build-fuzz/fuzz/<target>_fuzz <input>.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=2:quarantine_size_mb=16}
status=0
summary=()
for target in "${targets[@]}"; do
  # New inputs go into a working corpus of the build; the seeds stay as they are.
  work=$build/work/$target
  findings=$build/findings/$target
  log=$build/logs/$target.log
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  echo "== $target: $seconds s"
  set +e
  "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=20 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1
  code=$?
  set -e
  runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log" | tail -n1)
  if [ "$code" -ne 0 ]; then
    status=1
    summary+=("$target: FAILED (exit $code); see $log and $findings")
    grep -E 'property failed|ERROR: |SUMMARY: |runtime error|Test unit written' "$log" >&2 || tail -n 40 "$log" >&2
  else
    summary+=("$target: ${runs:-(no run count)}, nothing found")
  fi
done
printf '%s\n' "${summary[@]}"
exit "$status"
