#!/bin/bash
# levelprobe benchmark: probes a 1-hour stereo 16-bit 44.1 kHz WAV (635 MB)
# and the same audio in an AVI, against `sox FILE -n stat`, ffmpeg's
# volumedetect and `cat FILE > /dev/null` (the floor: reading the file from
# the page cache). Runs alternate between the tools; each time printed is the
# median wall time of the rounds. Goal: levelprobe faster than sox and
# ffmpeg, and within 1.5 times cat.
#
#   bench/levelprobe_bench.sh [levelprobe binary] [--odml]
#
# --odml also probes a 1 h 45 min AVI (1.1 GB), which ffmpeg writes as
# OpenDML with an 'AVIX' part; its last second is twice as loud (factor 8
# instead of 16), so the factor shows that the 'AVIX' part was read.
# Inputs are made once under bench/work/ (git-ignored). ROUNDS sets the
# number of rounds (default 5).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
probe=$root/build/bin/levelprobe
odml=0
for arg in "$@"; do
  case $arg in
    --odml) odml=1 ;;
    *) probe=$arg ;;
  esac
done
rounds=${ROUNDS:-5}
work=$root/bench/work
mkdir -p "$work"
[ -x "$probe" ] || { echo "no levelprobe binary at $probe" >&2; exit 1; }

ff() { ffmpeg -nostdin -v error -y "$@"; }
# Two sines (440 Hz left, 660 Hz right) at 1/16 of full scale: factor 16.
wav=$work/levelprobe_1h.wav
avi=$work/levelprobe_1h.avi
big=$work/levelprobe_odml.avi
if [ ! -s "$wav" ]; then
  echo "making $wav"
  ff -f lavfi -i "sine=f=440:r=44100:d=3600" -f lavfi -i "sine=f=660:r=44100:d=3600" \
    -filter_complex "[0][1]amerge=inputs=2,volume=0.5" -c:a pcm_s16le -fflags +bitexact "$wav"
fi
if [ ! -s "$avi" ]; then
  echo "making $avi"
  ff -i "$wav" -c:a copy -fflags +bitexact "$avi"
fi
if [ "$odml" = 1 ] && [ ! -s "$big" ]; then
  echo "making $big"
  ff -f lavfi -i "sine=f=440:r=44100:d=6299" -f lavfi -i "sine=f=660:r=44100:d=6299" \
    -f lavfi -i "sine=f=440:r=44100:d=1" -f lavfi -i "sine=f=660:r=44100:d=1" \
    -filter_complex "[0][1]amerge=inputs=2,volume=0.5[a];[2][3]amerge=inputs=2[b];[a][b]concat=n=2:v=0:a=1" \
    -c:a pcm_s16le -fflags +bitexact "$big"
fi

factor() { "$probe" "$1" | tr '\r' '\n' | sed -n 's/^Amplify by \([^ ]*\) .*/\1/p'; }
echo "levelprobe: WAV $(factor "$wav"), AVI $(factor "$avi")" \
  "(sox: $(sox "$wav" -n stat 2>&1 | sed -n 's/^Volume adjustment: *//p'))"
if [ "$odml" = 1 ]; then
  echo "levelprobe: OpenDML AVI $(factor "$big") (about 8 expected, 16 had the AVIX part been missed;" \
    "$(grep -obUaF AVIX "$big" | wc -l) 'AVIX' marks in the file)"
fi

# Page cache warm-up.
cat "$wav" "$avi" > /dev/null
[ "$odml" = 1 ] && cat "$big" > /dev/null

declare -A times
run() {
  local name=$1 start end
  shift
  start=$(date +%s%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s%N)
  times[$name]+="$(((end - start) / 1000)) "
}
volumedetect() { ffmpeg -nostdin -hide_banner -i "$1" -map 0:a:0 -af volumedetect -f null -; }

for ((r = 1; r <= rounds; r++)); do
  run cat_wav cat "$wav"
  run probe_wav "$probe" "$wav"
  run sox_wav sox "$wav" -n stat
  run ffmpeg_wav volumedetect "$wav"
  run cat_avi cat "$avi"
  run probe_avi "$probe" "$avi"
  run ffmpeg_avi volumedetect "$avi"
  if [ "$odml" = 1 ]; then
    run cat_odml cat "$big"
    run probe_odml "$probe" "$big"
  fi
done

median() {  # microseconds
  echo "${times[$1]}" | tr ' ' '\n' | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'
}
seconds() { awk -v u="$(median "$1")" 'BEGIN {printf "%.3f s", u / 1e6}'; }
ratio() { awk -v a="$(median "$1")" -v b="$(median "$2")" 'BEGIN {printf "%.2f", a / b}'; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "inputs: $(stat -c %s "$wav") bytes WAV, $(stat -c %s "$avi") bytes AVI; $rounds rounds, medians"
echo "WAV: cat $(seconds cat_wav), levelprobe $(seconds probe_wav), sox $(seconds sox_wav), ffmpeg $(seconds ffmpeg_wav)"
echo "AVI: cat $(seconds cat_avi), levelprobe $(seconds probe_avi), ffmpeg $(seconds ffmpeg_avi)"
echo "levelprobe / cat:   WAV $(ratio probe_wav cat_wav), AVI $(ratio probe_avi cat_avi)   (goal: at most 1.5)"
echo "sox / levelprobe:   WAV $(ratio sox_wav probe_wav)   (goal: above 1)"
echo "ffmpeg / levelprobe: WAV $(ratio ffmpeg_wav probe_wav), AVI $(ratio ffmpeg_avi probe_avi)   (goal: above 1)"
if [ "$odml" = 1 ]; then
  echo "OpenDML AVI ($(stat -c %s "$big") bytes): cat $(seconds cat_odml), levelprobe $(seconds probe_odml)," \
    "levelprobe / cat $(ratio probe_odml cat_odml)"
fi
