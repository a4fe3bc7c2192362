#!/usr/bin/env bash
# Runs the one-hour conversions with Velmora and with sox on the same files in
# the same run, and prints each time as a ratio to sox (below 1: faster).
# Then runs the Google Benchmark program on the same files.
#
#   bench/audio/compare_sox.sh [--memory] [RUNS]
#
# RUNS (default 2) is how often each command runs; the best time counts.
# --memory also measures the peak memory of WavToPcm8k (velmora-cli pcm8k)
# on a one-hour 44.1 kHz 16-bit stereo file (635 MB of temporary space).
# Build first: scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."

memory=0
if [ "${1:-}" = "--memory" ]; then memory=1; shift; fi
runs=${1:-2}
cli=build/apps/velmora-cli/velmora-cli
bench=build/bench/audio/bench_audio
for program in "$cli" "$bench"; do
  [ -x "$program" ] || { echo "compare_sox: $program is missing; run scripts/build.sh" >&2; exit 1; }
done

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
echo "Making one-hour test files in $dir ..."
sox -q -n -r 8000 -c 1 -b 8 -e unsigned "$dir/hour8.wav" synth 3600 sine 300-3000 gain -3
sox -q "$dir/hour8.wav" -e gsm-full-rate "$dir/hour_gsm.wav"

# The best times of running the command $runs times: "wall cpu" in seconds
# (cpu is user + system; on a loaded machine it is the steadier figure).
best_time() {
  local best_wall="" best_cpu="" wall cpu
  for ((i = 0; i < runs; i++)); do
    read -r wall cpu < <(/usr/bin/time -f "%e %U %S" "$@" 2>&1 >/dev/null | tail -1 | awk '{print $1, $2 + $3}')
    if [ -z "$best_wall" ] || [ "$(echo "$wall < $best_wall" | bc)" = 1 ]; then best_wall=$wall; fi
    if [ -z "$best_cpu" ] || [ "$(echo "$cpu < $best_cpu" | bc)" = 1 ]; then best_cpu=$cpu; fi
  done
  echo "$best_wall $best_cpu"
}

compare() {
  local title=$1 ow oc sw sc
  shift
  local -a velmora=() soxcmd=()
  while [ "$1" != "--" ]; do velmora+=("$1"); shift; done
  shift
  soxcmd=("$@")
  read -r ow oc < <(best_time "${velmora[@]}")
  read -r sw sc < <(best_time "${soxcmd[@]}")
  printf '%-36s wall: velmora %6.2f s sox %6.2f s ratio %4.2f | cpu: %6.2f s %6.2f s ratio %4.2f\n' \
    "$title" "$ow" "$sw" "$(echo "$ow / $sw" | bc -l)" "$oc" "$sc" "$(echo "$oc / $sc" | bc -l)"
}

in=$dir/hour8.wav
echo
echo "Whole-file times, best of $runs (one hour of 8 kHz 8-bit mono):"
compare "to PCM 44.1 kHz 16-bit stereo" "$cli" convert "$in" "$dir/v.wav" --to pcm:44100:16:2 \
  -- sox -q -D "$in" -r 44100 -c 2 -b 16 "$dir/s.wav"
compare "to GSM 6.10" "$cli" convert "$in" "$dir/v.wav" --to gsm:8000:1 \
  -- sox -q -D "$in" -e gsm-full-rate "$dir/s.wav"
compare "to IMA ADPCM" "$cli" convert "$in" "$dir/v.wav" --to ima:8000:1 \
  -- sox -q -D "$in" -e ima-adpcm "$dir/s.wav"
compare "WavToPcm8k of one hour of GSM" "$cli" pcm8k "$dir/hour_gsm.wav" "$dir/v.raw" \
  -- sox -q -D "$dir/hour_gsm.wav" -t raw -r 8000 -c 1 -e unsigned -b 8 "$dir/s.raw"
rm -f "$dir/v.wav" "$dir/s.wav" "$dir/v.raw" "$dir/s.raw"

echo
echo "In-process figures (Google Benchmark, same files):"
VELMORA_BENCH_DIR=$dir "$bench" --benchmark_min_time=0.2

if [ "$memory" = 1 ]; then
  echo
  echo "Peak memory of WavToPcm8k on one hour of 44.1 kHz 16-bit stereo:"
  sox -q -n -r 44100 -c 2 -b 16 "$dir/hour44.wav" synth 3600 sine 300-3000 sine 440 gain -3
  peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk '/Maximum resident/ {print $6}'; }
  base=$(peak "$cli" wav-info "$dir/hour44.wav")
  used=$(peak "$cli" pcm8k "$dir/hour44.wav" "$dir/v.raw")
  echo "  velmora-cli pcm8k: peak RSS $((used / 1024)) MB (program alone: $((base / 1024)) MB;" \
    "output $(($(stat -c %s "$dir/v.raw") / 1000000)) MB)"
fi
