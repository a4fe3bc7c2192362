#!/usr/bin/env bash
# Real voices and real music on a telephone line, judged as a call judges them.
#
#   bench/linedsp/corpus.sh [WORKDIR]
#
# Installs Debian's recorded telephone prompts (six speakers, four languages)
# and two game music collections, builds long line signals from them with sox
# (-6 to -36 dBFS peak; band limits alone, or with white noise at about
# -55 dBFS and 50 or 60 Hz hum), and runs build/bench/linedsp/bench_line_corpus
# over each: false disconnects per hour of speech and of music, how long each
# exchange tone takes to end a call, and what the answering machine files for
# spoken messages and for calls with nothing but tones. Not part of CI: it
# downloads some 300 MB, builds the signals once (a few minutes) and then
# runs in about ten minutes on two cores (JOBS=2). Noise and dither are
# repeatable (sox -R).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
bench=${BENCH:-$root/build/bench/linedsp/bench_line_corpus}
work=${1:-/tmp/velmora-corpus}
minutes_per_speaker=${MINUTES_PER_SPEAKER:-11}
minutes_per_collection=${MINUTES_PER_COLLECTION:-12}
seconds_per_track=${SECONDS_PER_TRACK:-150}
levels=${LEVELS:-"-6 -12 -18 -24 -30 -36"}
noises=${NOISES:-"band line50 line60"}
jobs=${JOBS:-2}
packages=(asterisk-core-sounds-es-wav asterisk-core-sounds-fr-wav asterisk-core-sounds-it-wav
          asterisk-core-sounds-ru-wav asterisk-prompt-fr-armelle asterisk-prompt-es-co
          planetblupi-music-ogg wesnoth-1.16-music sox libsox-fmt-all)
sounds=/usr/share/asterisk/sounds
speakers=(es_MX_f_Allison fr_CA_f_June it_IT_m_Carlo ru_RU_f_IvrvoiceRU fr es)
collections=(planetblupi:/usr/share/planetblupi/music wesnoth:/usr/share/games/wesnoth/1.16/data/core/music)

install_corpora() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

[ -x "$bench" ] || { echo "build first: $bench is missing" >&2; exit 1; }
install_corpora
mkdir -p "$work"
cd "$work"

# --- Sources: 16-bit 8 kHz mono, band-limited as a line is, peak 0 dBFS --------

line_band="sinc 300-3400"

# The prompts of one speaker back to back, with the pauses they were recorded
# with; beeps and other tones among them are left out.
make_speaker() {
    local name=$1 out=speech-$1.wav
    [ -s "$out" ] && return
    local limit=$((minutes_per_speaker * 60 * 8000)) total=0 raw=$out.raw
    : >"$raw"
    while IFS= read -r f; do
        sox -V1 "$f" -t raw -r 8000 -c 1 -b 16 -e signed - >>"$raw" 2>/dev/null || continue
        total=$(($(stat -c %s "$raw") / 2))
        [ "$total" -ge "$limit" ] && break
    done < <(find "$sounds/$name" -maxdepth 1 -type f \( -name '*.wav' -o -name '*.gsm' \) \
                 | grep -viE 'beep|tone|ring|dial|busy|silence|fax|dtmf|/tt-|pbx' | sort)
    sox -V1 -t raw -r 8000 -c 1 -b 16 -e signed "$raw" "$out" $line_band gain -n 0
    rm -f "$raw"
}

make_collection() {
    local dir=${1#*:} out=music-${1%%:*}.wav
    [ -s "$out" ] && { echo "$out"; return; }
    local limit=$((minutes_per_collection * 60 * 8000)) total=0 raw=$out.raw
    : >"$raw"
    while IFS= read -r f; do
        sox -V1 "$f" -t raw -r 8000 -c 1 -b 16 -e signed - remix - trim 0 "$seconds_per_track" >>"$raw" 2>/dev/null || continue
        total=$(($(stat -c %s "$raw") / 2))
        [ "$total" -ge "$limit" ] && break
    done < <(find "$dir" -maxdepth 1 -name '*.ogg' | sort)
    sox -V1 -t raw -r 8000 -c 1 -b 16 -e signed "$raw" "$out" $line_band gain -n 0
    rm -f "$raw"
    echo "$out"
}

for s in "${speakers[@]}"; do make_speaker "$s"; done
music=()
for c in "${collections[@]}"; do music+=("$(make_collection "$c")"); done

# --- The line: the source at a peak level, then the line's own noise ------------

seconds_of() { soxi -D "$1"; }

# line FILE LEVEL NOISE: 8 kHz 8-bit unsigned samples on stdout.
line() {
    local file=$1 level=$2 noise=$3 dur
    dur=$(seconds_of "$file")
    local signal="|sox -V1 -R $file -p gain $level"
    case $noise in
    band) sox -V1 -R $file -t raw -e unsigned -b 8 - gain "$level" ;;
    line50 | line60)
        local hz=${noise#line}
        sox -V1 -R -m -v 1 "$signal" \
            -v 1 "|sox -V1 -R -n -r 8000 -c 1 -p synth $dur whitenoise gain -n -50.2" \
            -v 1 "|sox -V1 -R -n -r 8000 -c 1 -p synth $dur sine $hz sine $((hz * 3)) channels 1 gain -n -50" \
            -t raw -e unsigned -b 8 - ;;
    esac
}

export -f line seconds_of
export bench

# --- 1. False disconnects over speech and music ----------------------------------

run_call() { # FILE LEVEL NOISE
    local r
    r=$(line "$1" "$2" "$3" | "$bench" call)
    echo "$1 $2 $3 $(echo "$r" | tail -1) | $(echo "$r" | grep '^disconnect' | head -3 | tr '\n' ';')"
}
export -f run_call

echo "== False disconnects (default settings; the call goes on as a new recording after each)"
{
    for f in speech-*.wav "${music[@]}"; do
        for l in $levels; do for n in $noises; do echo "$f $l $n"; done; done
    done
} | xargs -P "$jobs" -L 1 bash -c 'run_call "$@"' _ | sort >calls.txt
cat calls.txt
awk '{kind = ($1 ~ /^speech/) ? "speech" : "music"; sec[kind] += $5; d[kind] += $7}
     END {for (k in sec) printf "%-6s %7.1f min  %4d disconnects  %.2f per hour\n", k, sec[k] / 60, d[k], d[k] / sec[k] * 3600}' calls.txt

# --- 2. Exchange tones after speech ---------------------------------------------

# tone NAME FREQS ON OFF [ON2 OFF2]: 20 s of it, 16-bit, peak 0 dBFS.
tone() {
    local name=$1 freqs=$2 on=$3 off=$4 on2=${5:-} off2=${6:-} out=tone-$1.wav
    local sines=""
    for f in ${freqs//+/ }; do sines="$sines sine $f"; done
    if [ "$on" = 0 ]; then
        sox -V1 -n -r 8000 -c 1 -b 16 "$out" synth 20 $sines channels 1 gain -n 0
    elif [ -z "$on2" ]; then
        sox -V1 -n -r 8000 -c 1 -b 16 "$out" synth "$on" $sines channels 1 pad 0 "$off" repeat 60 trim 0 20 gain -n 0
    else
        sox -V1 -n -r 8000 -c 1 -b 16 a.wav synth "$on" $sines channels 1 pad 0 "$off"
        sox -V1 -n -r 8000 -c 1 -b 16 b.wav synth "$on2" $sines channels 1 pad 0 "$off2"
        sox -V1 a.wav b.wav "$out" repeat 30 trim 0 20 gain -n 0
        rm -f a.wav b.wav
    fi
    echo "$out"
}

tones=(
    "$(tone na-dial 350+440 0 0)" "$(tone na-busy 480+620 0.5 0.5)" "$(tone na-reorder 480+620 0.25 0.25)"
    "$(tone uk-dial 350+450 0 0)" "$(tone uk-busy 400 0.375 0.375)"
    "$(tone uk-congestion 400 0.4 0.35 0.225 0.525)" "$(tone uk-unobtainable 400 0 0)"
    "$(tone eu-dial 425 0 0)" "$(tone eu-busy 425 0.5 0.5)" "$(tone eu-congestion 425 0.25 0.25)"
    "$(tone au-dial 425 0 0)" "$(tone au-busy 425 0.375 0.375)" "$(tone au-reorder 425 0.375 0.375)"
)
pbx=("$(tone pbx-300 300 0 0)" "$(tone pbx-500 500 0 0)" "$(tone pbx-600 600 0 0)" "$(tone pbx-1100 1100 0 0)")
sox -V1 speech-it_IT_m_Carlo.wav lead.wav trim 0 10

# after_speech FILE LEVEL NOISE [--no-tones]: seconds from the tone's start to the disconnect.
after_speech() {
    local r
    r=$( { line lead.wav "$2" "$3"; line "$1" "$2" "$3"; } | "$bench" call ${4:-} | grep '^disconnect' | head -1)
    if [ -z "$r" ]; then echo "$1 $2 $3 none"; else echo "$1 $2 $3 $(echo "$r" | awk '{printf "%.2f %s", $2 - 10, $3}')"; fi
}
export -f after_speech

echo
echo "== Exchange tones after 10 s of speech: seconds to the disconnect (limit 3 s)"
for t in "${tones[@]}"; do for l in $levels; do for n in band line50; do echo "$t $l $n"; done; done; done \
    | xargs -P "$jobs" -L 1 bash -c 'after_speech "$@"' _ | sort -k1,1 -k2,2n >tones.txt
awk '{k = $1; if ($4 == "none") miss[k]++; else {if ($4 > max[k]) max[k] = $4; if ($4 < 0) early[k]++}; n[k]++}
     END {for (k in n) printf "%-28s worst %5.2f s  missed %d of %d  early %d\n", k, max[k], miss[k], n[k], early[k]}' tones.txt | sort

echo
echo "== Continuous PBX tones, call-progress tones off: seconds to the periodic disconnect (limit 5 s)"
for t in "${pbx[@]}" tone-eu-dial.wav tone-na-dial.wav; do for l in $levels; do for n in band line50; do echo "$t $l $n --no-tones"; done; done; done \
    | xargs -P "$jobs" -L 1 bash -c 'after_speech "$@"' _ | sort -k1,1 -k2,2n >pbx.txt
awk '{k = $1; if ($4 == "none") miss[k]++; else if ($4 > max[k]) max[k] = $4; n[k]++; w[k] = w[k] " " $4 "/" $5}
     END {for (k in n) printf "%-22s worst %5.2f s  missed %d of %d\n", k, max[k], miss[k], n[k]}' pbx.txt | sort

echo
echo "== Busy cadence detector alone (tones and periodic off) on busy and reorder cadences"
for t in tone-na-busy.wav tone-na-reorder.wav tone-eu-busy.wav tone-uk-busy.wav; do for l in $levels; do echo "$t $l band --cadence-only"; done; done \
    | xargs -P "$jobs" -L 1 bash -c 'after_speech "$@"' _ | sort -k1,1 -k2,2n >cadence.txt
awk '{k = $1; if ($4 == "none") miss[k]++; else if ($4 > max[k]) max[k] = $4; n[k]++}
     END {for (k in n) printf "%-22s worst %5.2f s  missed %d of %d\n", k, max[k], miss[k], n[k]}' cadence.txt | sort

echo
echo "== Silence detection switched on (window 10 s): seconds from the end of 10 s of speech to the"
echo "   disconnect (negative: the speech itself was too faint for the silence threshold)"
sox -V1 -n -r 8000 -c 1 -b 16 quiet.wav trim 0 20
for l in $levels; do for n in band line50 line60; do
    r=$( { line lead.wav "$l" "$n"; line quiet.wav "$l" "$n"; } | "$bench" call --silence | grep '^disconnect' | head -1)
    if [ -n "$r" ]; then echo "$l dBFS $n $(echo "$r" | awk '{printf "%.2f s", $2 - 10}')"; else echo "$l dBFS $n none"; fi
done; done

# --- 3. Messages ------------------------------------------------------------------

# message FILE LEVEL NOISE TONE: the prompt, two seconds of line, the exchange tone.
message() {
    { line "$1" "$2" "$3"; line quiet.wav "$2" "$3" | head -c 16000; line "$4" -12 "$3" | head -c 48000; } \
        | "$bench" message | awk -v f="$1" -v l="$2" -v n="$3" '{print f, l, n, $2, $4}'
}
export -f message

echo
echo "== Messages: one prompt each, then the exchange tone; every one must be a message"
mkdir -p prompts
i=0
for s in "${speakers[@]}"; do
    find "$sounds/$s" -maxdepth 1 -type f \( -name '*.wav' -o -name '*.gsm' \) | grep -viE 'beep|tone' | sort \
        | awk 'NR % 40 == 7' | head -8 | while IFS= read -r f; do
        sox -V1 "$f" -r 8000 -c 1 -b 16 "prompts/$s-$(basename "${f%.*}").wav" $line_band gain -n 0
    done
done
for p in prompts/*.wav; do for l in $levels -40; do for n in line50 line60; do
    i=$(( (i + 1) % ${#tones[@]} ))
    echo "$p $l $n ${tones[$i]}"
done; done; done | xargs -P "$jobs" -L 1 bash -c 'message "$@"' _ | sort >messages.txt
awk '{n[$2]++; if ($5 != "message") lost[$2]++}
     END {for (l in n) printf "peak %4s dBFS  %3d messages  %3d filed as missed calls\n", l, n[l], lost[l]}' messages.txt | sort -k2,2n

echo
echo "== Calls with nothing but line noise and exchange tones; every one must be a missed call"
for t in "${tones[@]}" quiet.wav; do for l in $levels; do for n in line50 line60; do
    echo "$t $l $n"
done; done; done | while read -r t l n; do
    line "$t" "$l" "$n" | "$bench" message | awk -v f="$t" -v l="$l" -v n="$n" '{print f, l, n, $2, $4}'
done | sort >missed.txt
awk '{n++; if ($5 != "missed-call") kept++} END {printf "%d calls, %d filed as messages\n", n, kept}' missed.txt
grep -v missed-call missed.txt | head -20 || true
