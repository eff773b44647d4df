#!/bin/bash
# Resampling benchmark: the same 10-minute stereo 16-bit 44.1 kHz WAV to
# 48 kHz 16-bit with the program's resampler, with `sox rate -v` and with
# ffmpeg's soxr at its highest precision, in alternating runs. Prints each
# run's wall time, the medians and the ratios (ours / theirs); a ratio of
# 1.0 or less means ours is at least as fast.
#
# The program's side is `sondrel in.wav /x /48000 /16 /q` when the build has
# sondrel, else bin/resample_bench (bench/dsp), which drives the resampler
# through its streaming interface as the jobs do (RESAMPLER=bench picks it on
# purpose).
#
# Usage: bench/resample_bench.sh [BUILD_DIR] [ROUNDS]
# BUILD_DIR (default: build) holds bin/sondrel or bin/resample_bench. The
# input and the outputs go to bench/work/, which git ignores.
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

input=$work/input_10min_44100_s16.wav
if [ ! -f "$input" ]; then
  # Music-like content: three tones over pink noise, the right channel a
  # scaled copy of the left.
  sox -n -r 44100 -c 2 -b 16 "$input" synth 600 pinknoise synth 600 sine mix 220 \
    synth 600 sine mix 1318.5 synth 600 sine mix 3520 vol 0.4 remix 1 1v0.8
fi

# The program's run: sondrel names its output after the input, in the
# input's folder.
run_ours() {
  if [ "$ours" = sondrel ]; then
    (cd "$work" && "$build/bin/sondrel" "$(basename "$input")" /x /48000 /16 /q >/dev/null 2>&1)
  else
    "$build/bin/resample_bench" "$input" "$work/out_ours.wav" 48000 16
  fi
}

seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN {print b - a}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
median() {
  printf '%s\n' "$@" | sort -g |
    awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'
}

t_ours=() t_sox=() t_ffmpeg=()
for ((r = 0; r < rounds; r++)); do
  s=$(date +%s.%N)
  run_ours
  t_ours+=("$(seconds_since "$s")")
  s=$(date +%s.%N)
  sox "$input" -b 16 "$work/out_sox.wav" rate -v 48000
  t_sox+=("$(seconds_since "$s")")
  s=$(date +%s.%N)
  ffmpeg -nostdin -loglevel error -y -i "$input" \
    -af aresample=48000:resampler=soxr:precision=33 -c:a pcm_s16le "$work/out_ffmpeg.wav"
  t_ffmpeg+=("$(seconds_since "$s")")
  printf 'round %d: ours %.3fs  sox -v %.3fs  ffmpeg soxr %.3fs\n' $((r + 1)) \
    "${t_ours[r]}" "${t_sox[r]}" "${t_ffmpeg[r]}"
done

mo=$(median "${t_ours[@]}")
ms=$(median "${t_sox[@]}")
mf=$(median "${t_ffmpeg[@]}")
echo "ours: $ours"
printf 'median: ours %.3fs  sox -v %.3fs  ffmpeg soxr %.3fs\n' "$mo" "$ms" "$mf"
printf 'ratio ours / sox -v:      %s\n' "$(ratio "$mo" "$ms")"
printf 'ratio ours / ffmpeg soxr: %s\n' "$(ratio "$mo" "$mf")"
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')
printf 'input: %s, %s bytes; machine: %s, %s cores\n' "$(basename "$input")" \
  "$(stat -c %s "$input")" "$cpu" "$(nproc)"
