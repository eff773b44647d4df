#!/bin/bash
# Resampling benchmark: the same 10-minute stereo 16-bit WAV with the
# program's resampler, with `sox rate -v` and with ffmpeg's soxr at its
# highest precision, in alternating runs, both ways: 44.1 -> 48 kHz and
# 48 -> 44.1 kHz (16-bit outputs). Prints each run's wall and user-CPU time,
# the medians, the ratios (ours / theirs; 1.0 or less means ours is at least
# as fast) and, for the one-thread goal, the ratio against it with the
# machine, its load and the inputs.
#
# One thread: the program and sox run on one CPU of the process's affinity
# mask (taskset), so the program takes its single-threaded path and both
# tools get the same core; ffmpeg runs unpinned, for reference.
#
# The program's side is `sondrel in.wav /x /48000 /16 /q` when the build has
# sondrel, else bin/resample_bench (bench/dsp), which drives the resampler
# through its streaming interface as the jobs do (RESAMPLER=bench picks it on
# purpose).
#
# Usage: bench/resample_bench.sh [BUILD_DIR] [ROUNDS]
# BUILD_DIR (default: build) holds bin/sondrel or bin/resample_bench. The
# inputs and the outputs go to bench/work/, which git ignores.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
rounds=${2:-5}
work=$here/work
mkdir -p "$work"
build=$(cd "$build" && pwd)
if [ -x "$build/bin/sondrel" ] && [ "${RESAMPLER:-}" != bench ]; then
  ours=sondrel
elif [ -x "$build/bin/resample_bench" ]; then
  ours=resample_bench
else
  echo "neither bin/sondrel nor bin/resample_bench in $build: build the tree first" >&2
  exit 1
fi

input44=$work/input_10min_44100_s16.wav
input48=$work/input_10min_48000_s16.wav
if [ ! -f "$input44" ]; then
  # Music-like content: three tones over pink noise, the right channel a
  # scaled copy of the left.
  sox -n -r 44100 -c 2 -b 16 "$input44" synth 600 pinknoise synth 600 sine mix 220 \
    synth 600 sine mix 1318.5 synth 600 sine mix 3520 vol 0.4 remix 1 1v0.8
fi
[ -f "$input48" ] || sox "$input44" -b 16 "$input48" rate -v 48000

# The first CPU the process may use.
cpu=$(taskset -pc $$ | sed 's/.*: //' | cut -d, -f1 | cut -d- -f1)
one() { taskset -c "$cpu" "$@"; }

# The program's run: sondrel names its output after the input, in the
# input's folder.
run_ours() {  # input rate
  if [ "$ours" = sondrel ]; then
    (cd "$work" && one "$build/bin/sondrel" "$(basename "$1")" /x "/$2" /16 /q >/dev/null 2>&1)
  else
    one "$build/bin/resample_bench" "$1" "$work/out_ours.wav" "$2" 16
  fi
}
run_sox() { one sox "$1" -b 16 "$work/out_sox.wav" rate -v "$2"; }
run_ffmpeg() {
  ffmpeg -nostdin -loglevel error -y -i "$1" \
    -af "aresample=$2:resampler=soxr:precision=33" -c:a pcm_s16le "$work/out_ffmpeg.wav"
}

# timed NAME COMMAND...: runs it, appends wall and user-CPU seconds to
# NAME_wall and NAME_user.
timed() {
  local name=$1 t TIMEFORMAT='%R %U'
  shift
  t=$(mktemp)
  { time "$@" 2>&3; } 3>&2 2>"$t"
  eval "${name}_wall+=($(cut -d' ' -f1 "$t")); ${name}_user+=($(cut -d' ' -f2 "$t"))"
  rm -f "$t"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
median() {
  printf '%s\n' "$@" | sort -g |
    awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'
}
verdict() { awk -v r="$1" -v g="$2" 'BEGIN {print (r <= g) ? "met" : "missed"}'; }

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
summary=()
for way in "$input44 48000" "$input48 44100"; do
  set -- $way
  in=$1 rate=$2
  label="$(basename "$in") -> $rate Hz"
  ours_wall=() ours_user=() sox_wall=() sox_user=() ffmpeg_wall=() ffmpeg_user=()
  echo "== $label"
  for ((r = 0; r < rounds; r++)); do
    timed ours run_ours "$in" "$rate"
    timed sox run_sox "$in" "$rate"
    timed ffmpeg run_ffmpeg "$in" "$rate"
    printf 'round %d: ours %ss (user %ss)  sox -v %ss (%ss)  ffmpeg soxr %ss (%ss)\n' $((r + 1)) \
      "${ours_wall[r]}" "${ours_user[r]}" "${sox_wall[r]}" "${sox_user[r]}" \
      "${ffmpeg_wall[r]}" "${ffmpeg_user[r]}"
  done
  mo=$(median "${ours_wall[@]}") ms=$(median "${sox_wall[@]}") mf=$(median "${ffmpeg_wall[@]}")
  uo=$(median "${ours_user[@]}") us=$(median "${sox_user[@]}")
  printf 'median wall: ours %.2fs  sox -v %.2fs  ffmpeg soxr %.2fs\n' "$mo" "$ms" "$mf"
  printf 'median user CPU: ours %.2fs  sox -v %.2fs\n' "$uo" "$us"
  printf 'ratio ours / ffmpeg soxr: %s\n' "$(ratio "$mo" "$mf")"
  r=$(ratio "$mo" "$ms")
  summary+=("$(printf 'goal  one thread, %s: ours / sox -v = %s (user CPU %s), goal <= 1.00: %s' \
    "$label" "$r" "$(ratio "$uo" "$us")" "$(verdict "$r" 1.00)")")
done

model=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')
echo "ours: $ours, $rounds rounds, medians of wall time"
printf '%s\n' "${summary[@]}"
printf 'machine: %s, %s cores, affinity %s, runs pinned to CPU %s; load %s before, %s after\n' \
  "$model" "$(nproc --all)" "$(taskset -pc $$ | sed 's/.*: //')" "$cpu" "$load_before" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'inputs: %s (%s bytes), %s (%s bytes), 10 min 16-bit stereo\n' "$(basename "$input44")" \
  "$(stat -c %s "$input44")" "$(basename "$input48")" "$(stat -c %s "$input48")"
