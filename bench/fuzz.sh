#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each from its corpus in fuzz/corpus to
# RUNS executions (10^7 unless given) or SECONDS seconds, whichever comes
# first. Prints per harness: executions, coverage (edges, features), findings.
#
#   bench/fuzz.sh                  every harness, 10^7 executions each
#   RUNS=0 bench/fuzz.sh           the corpus only (what CI does)
#   SECONDS_EACH=600 bench/fuzz.sh Riff ModemArrival
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-10000000}
seconds=${SECONDS_EACH:-0}
build=${FUZZ_BUILD_DIR:-build-fuzz}
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(Riff ModemArrival SettingsFiles Compressions Scenario)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DVELMORA_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" --target "${harnesses[@]/#/fuzz_}" -j"$(nproc)" >/dev/null

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
printf '%-14s %12s %8s %8s %9s %s\n' harness executions cov ft findings seconds
for h in "${harnesses[@]}"; do
  mkdir -p "$work/$h/corpus" "$work/$h/findings"
  cp fuzz/corpus/"$h"/* "$work/$h/corpus/"
  args=(-print_final_stats=1 -max_len=65536 -rss_limit_mb=2048 -timeout=10
        -artifact_prefix="$work/$h/findings/" "$work/$h/corpus")
  if [ "$runs" = 0 ]; then
    args+=(-runs=0)
  else
    args+=(-runs="$runs")
    [ "$seconds" = 0 ] || args+=(-max_total_time="$seconds")
  fi
  start=$(date +%s)
  status=0
  "$build/fuzz/fuzz_$h" "${args[@]}" >"$work/$h/log" 2>&1 || status=$?
  took=$(( $(date +%s) - start ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$h/log" | tail -1)
  line=$(grep -E '^#[0-9]+.*cov:' "$work/$h/log" | tail -1 || true)
  cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$line")
  ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$line")
  findings=$(find "$work/$h/findings" -type f | wc -l)
  printf '%-14s %12s %8s %8s %9s %s\n' "$h" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$findings" "$took"
  if [ "$status" != 0 ] || [ "$findings" != 0 ]; then
    failed=1
    mkdir -p fuzz/findings
    cp "$work/$h/findings"/* fuzz/findings/ 2>/dev/null || true
    tail -40 "$work/$h/log" >&2
  fi
done
exit $failed
