#!/bin/bash
# Resampling benchmark: the same 10-minute stereo 16-bit 44.1 kHz WAV to
# 48 kHz 16-bit with the program's resampler, with `sox rate -v` and with
# ffmpeg's soxr at its highest precision, in alternating runs. Prints each
# run's wall time, the medians and the ratios (ours / theirs).
#
# Usage: bench/resample_bench.sh [BUILD_DIR] [ROUNDS]
# BUILD_DIR (default build) must hold bin/resample_bench. Inputs and outputs
# go to bench/work/ (not kept in git).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
rounds=${2:-5}
tool=$build/bin/resample_bench
work=$here/work
mkdir -p "$work"
[ -x "$tool" ] || { echo "missing $tool: build the tree first" >&2; exit 1; }

input=$work/input_10min_44100_s16.wav
if [ ! -f "$input" ]; then
  # Music-like content: chords of sines under pink noise, 10 minutes.
  sox -n -r 44100 -c 2 -b 16 "$input" synth 600 pinknoise synth 600 sine mix 220 \
    synth 600 sine mix 1318.5 synth 600 sine mix 3520 vol 0.4 remix 1 1v0.8 2>/dev/null || \
  sox -n -r 44100 -c 2 -b 16 "$input" synth 600 pinknoise vol 0.4
fi

now() { date +%s.%N; }
declare -a t_ours t_sox t_ffmpeg
for ((r = 0; r < rounds; r++)); do
  s=$(now); "$tool" "$input" "$work/out_ours.wav" 48000 16; e=$(now)
  t_ours+=("$(awk -v a="$s" -v b="$e" 'BEGIN {print b - a}')")
  s=$(now); sox "$input" -b 16 "$work/out_sox.wav" rate -v 48000; e=$(now)
  t_sox+=("$(awk -v a="$s" -v b="$e" 'BEGIN {print b - a}')")
  s=$(now)
  ffmpeg -nostdin -loglevel error -y -i "$input" \
    -af aresample=48000:resampler=soxr:precision=33 -c:a pcm_s16le "$work/out_ffmpeg.wav"
  e=$(now)
  t_ffmpeg+=("$(awk -v a="$s" -v b="$e" 'BEGIN {print b - a}')")
  printf 'round %d: ours %.3fs  sox -v %.3fs  ffmpeg soxr %.3fs\n' $((r + 1)) \
    "${t_ours[r]}" "${t_sox[r]}" "${t_ffmpeg[r]}"
done

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
mo=$(median "${t_ours[@]}"); ms=$(median "${t_sox[@]}"); mf=$(median "${t_ffmpeg[@]}")
printf 'median: ours %.3fs  sox -v %.3fs  ffmpeg soxr %.3fs\n' "$mo" "$ms" "$mf"
printf 'ratio ours / sox -v:      %.2f\n' "$(awk -v a="$mo" -v b="$ms" 'BEGIN {print a / b}')"
printf 'ratio ours / ffmpeg soxr: %.2f\n' "$(awk -v a="$mo" -v b="$mf" 'BEGIN {print a / b}')"
printf 'input: %s (%s bytes); machine: %s, %s cores\n' "$(basename "$input")" \
  "$(stat -c %s "$input")" "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')" "$(nproc)"
