#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (fuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer), replays the kept regression inputs, then runs
# each target for a short while on a copy of its seed corpus. Fails when any
# input makes a target crash, break an invariant or trip a sanitizer; such an
# input is kept under build-fuzz/findings/ to be added to fuzz/regressions/.
# QUILLMERE_FUZZ_SECONDS sets the time per target (default 20).
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
seconds=${QUILLMERE_FUZZ_SECONDS:-20}

# -O1, as libFuzzer's own guide builds: a quarter less compiling than -O2 for
# nearly the same speed of the targets. Line tables only (-g1), as every
# optimised build of the project: a finding's stack still names file and line.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DQUILLMERE_WITH_FUZZ=ON -DQUILLMERE_WITH_GUI=OFF -DQUILLMERE_WITH_TESTS=OFF -DQUILLMERE_WITH_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:print_stacktrace=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings=$repo/build-fuzz/findings
status=0

# fuzz_one TARGET: replays the target's kept inputs, then fuzzes it from a
# copy of its seeds. Its report goes to $work/TARGET.report; fails on a finding.
fuzz_one() {
  local target=$1 name=fuzz_$1 status=0
  local binary=$repo/build-fuzz/fuzz/$name
  local report=$work/$target.report
  : >"$report"

  local regressions=(fuzz/regressions/"$target"/*)
  if [ -e "${regressions[0]}" ]; then
    echo "--- $name: ${#regressions[@]} regression inputs" >>"$report"
    if ! "$binary" "${regressions[@]}" >"$work/$target-regressions.log" 2>&1; then
      tail -n 40 "$work/$target-regressions.log" >>"$report"
      echo "FAIL: $name fails on a kept regression input" >>"$report"
      status=1
    fi
  fi

  # The table readers need room for a header row and a few species rows.
  local max_len
  case $target in
    table_import) max_len=2048 ;;
    # A workbook is a zip archive of several XML parts: the seeds are some
    # kilobytes, stored unpacked so that mutations reach the XML.
    workbook) max_len=24576 ;;
    *) max_len=512 ;;
  esac
  local dict=()
  if [ -f "fuzz/dict/$target.dict" ]; then dict=(-dict="$repo/fuzz/dict/$target.dict"); fi

  echo "--- $name: ${seconds} s from the seeds in fuzz/corpus/$target" >>"$report"
  mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
  cp fuzz/corpus/"$target"/* "$work/$target/corpus/"
  local rc=0
  (cd "$work/$target" && "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len="$max_len" "${dict[@]}" -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" corpus \
      >"$work/$target.log" 2>&1) || rc=$?
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$target.log" >>"$report" || true
  if [ "$rc" -ne 0 ] || [ -n "$(ls -A "$work/$target/artifacts")" ]; then
    tail -n 60 "$work/$target.log" >>"$report"
    mkdir -p "$findings/$target"
    cp "$work/$target/artifacts/"* "$findings/$target/" 2>/dev/null || true
    echo "FAIL: $name found a failing input (kept in build-fuzz/findings/$target/)" >>"$report"
    status=1
  fi
  return "$status"
}

# Each target runs on one core: two run side by side, and their reports are
# printed in name order once both have ended.
targets=()
for source in fuzz/fuzz_*.cpp; do
  name=$(basename "$source" .cpp)
  targets+=("${name#fuzz_}")
done
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for target in "${targets[@]:i:2}"; do
    fuzz_one "$target" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
  for target in "${targets[@]:i:2}"; do cat "$work/$target.report"; done
done
exit "$status"
