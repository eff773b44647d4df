#!/bin/bash
# The speed goals on this machine, each ratio printed against its goal, in
# alternating runs with medians:
#   resample 1 thread   sondrel st.wav /x /48000 /16 under `taskset -c 0`
#                       / sox rate -v                                <= 1.00
#   resample 2 cores    the same on every CPU / sox rate -v           <= 0.65
#   ac3 /44100          sondrel on a 3-minute 5.1 AC-3 stream, /44100 / sox
#                       rate -v on the same audio decoded (ffmpeg) to a
#                       6-channel float WAV                           <= 0.80
#   default, /mch       sondrel decoding the 10-minute 5.1 AC-3 and DTS
#                       streams / bin/decode_floor (the library alone,
#                       every frame, one thread)                      <= 1.05
# It prints the machine (CPU model, cores, the affinity list), the load
# before and after, and the inputs. Outputs are removed and flushed between
# runs.
#   bench/two_core_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
rounds=${2:-3}
sondrel=$build/bin/sondrel
floor=$build/bin/decode_floor
[ -x "$sondrel" ] && [ -x "$floor" ] || { echo "build sondrel and decode_floor first ($build)"; exit 1; }
work=$here/work/two_core
mkdir -p "$work"
cd "$work"

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
# 5.1 tones and noise, as the decode benchmark makes them.
tones() {  # seconds, then ffmpeg output options
  local d=$1
  shift
  ff -f lavfi -i "sine=f=400:r=48000:d=$d" -f lavfi -i "sine=f=600:r=48000:d=$d" \
    -f lavfi -i "sine=f=800:r=48000:d=$d" -f lavfi -i "sine=f=60:r=48000:d=$d" \
    -f lavfi -i "anoisesrc=r=48000:d=$d:a=0.1:seed=1" -f lavfi -i "sine=f=1200:r=48000:d=$d" \
    -filter_complex "[0][1][2][3][4][5]join=inputs=6:channel_layout=5.1(side)[a]" -map "[a]" "$@"
}
stereo=st.wav
[ -f "$stereo" ] || sox -n -r 44100 -c 2 -b 16 "$stereo" synth 600 pinknoise synth 600 sine \
  mix 220 synth 600 sine mix 1318.5 synth 600 sine mix 3520 vol 0.4 remix 1 1v0.8
[ -f ac3_3.ac3 ] || tones 180 -c:a ac3 -b:a 448k -f ac3 ac3_3.ac3
[ -f ac3_3_f32.wav ] || ff -i ac3_3.ac3 -c:a pcm_f32le ac3_3_f32.wav
[ -f ac3_10.ac3 ] || tones 600 -c:a ac3 -b:a 448k -f ac3 ac3_10.ac3
[ -f dts_10.dts ] || tones 600 -c:a dca -strict -2 -b:a 1536k -f dts dts_10.dts

now() { date +%s.%N; }
time_of() {  # wall seconds of one run of COMMAND...
  local t0 t1
  t0=$(now)
  "$@" >/dev/null 2>&1
  t1=$(now)
  rm -f ./*-*.wav ./*'('*.wav out_*.wav
  sync
  awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }'
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
verdict() {  # label ours theirs goal
  awk -v l="$1" -v a="$2" -v b="$3" -v g="$4" 'BEGIN {
    r = a / b; printf "%-34s %7.3fs / %7.3fs = %.3f  goal <= %.2f  %s\n", l, a, b, r, g,
    (r <= g ? "met" : "MISSED") }'
}

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc --all) cores, affinity $(grep Cpus_allowed_list /proc/self/status | cut -f2)"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "inputs: $stereo ($(stat -c %s "$stereo") bytes, 10 min stereo 16-bit 44.1 kHz);" \
  "ac3_3.ac3 ($(stat -c %s ac3_3.ac3) bytes, 3 min 5.1 448k) and ac3_3_f32.wav;" \
  "ac3_10.ac3 ($(stat -c %s ac3_10.ac3) bytes), dts_10.dts ($(stat -c %s dts_10.dts) bytes)"

one=() two=() sox_st=()
for ((r = 0; r < rounds; r++)); do
  one+=("$(time_of taskset -c 0 "$sondrel" "$stereo" /x /48000 /16 /q)")
  sox_st+=("$(time_of sox "$stereo" -b 16 out_sox.wav rate -v 48000)")
  two+=("$(time_of "$sondrel" "$stereo" /x /48000 /16 /q)")
done
s=$(median "${sox_st[@]}")
verdict "resample 44.1->48k, 1 thread" "$(median "${one[@]}")" "$s" 1.00
verdict "resample 44.1->48k, 2 cores" "$(median "${two[@]}")" "$s" 0.65

ours=() theirs=()
for ((r = 0; r < rounds; r++)); do
  ours+=("$(time_of "$sondrel" ac3_3.ac3 /44100 /q)")
  theirs+=("$(time_of sox ac3_3_f32.wav -e floating-point -b 32 out_sox.wav rate -v 44100)")
done
verdict "ac3 5.1 3 min /44100 vs sox -v" "$(median "${ours[@]}")" "$(median "${theirs[@]}")" 0.80

for input in ac3_10.ac3 dts_10.dts; do
  f=() d=() m=()
  for ((r = 0; r < rounds; r++)); do
    f+=("$(time_of "$floor" "$input")")
    d+=("$(time_of "$sondrel" "$input" /q)")
    m+=("$(time_of "$sondrel" "$input" /mch /q)")
  done
  fl=$(median "${f[@]}")
  verdict "$input default vs library floor" "$(median "${d[@]}")" "$fl" 1.05
  verdict "$input /mch vs library floor" "$(median "${m[@]}")" "$fl" 1.05
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
