#!/bin/sh
# Decodes a 10-minute 5.1 AC-3 stream (448 kbit/s) and a 10-minute 5.1 DTS
# stream (1536 kbit/s) with sondrel and with ffmpeg, alternating runs:
#   default  six mono 32-bit float WAVs (ffmpeg: channelsplit to six files)
#   /16      six mono 16-bit WAVs
#   /mch     one 6-channel 32-bit float WAV
#   /44100   six mono 32-bit float WAVs at 44.1 kHz
# and times the decoding floor (bench/decode/decode_floor: the frames
# decoded through the decoder layer, nothing written). Prints the median wall
# times, the ratios to ffmpeg and, for the default decode, to the floor, and
# sondrel's peak memory. The written files are removed and flushed to disk
# between runs, so no run pays for the previous run's write-back.
#   bench/decode_bench.sh [build-dir] [rounds] [minutes]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
rounds=${2:-3}
minutes=${3:-10}
sondrel=$build/bin/sondrel
floor=$build/bin/decode_floor
[ -x "$sondrel" ] && [ -x "$floor" ] || { echo "build sondrel and decode_floor first ($build)"; exit 1; }
work=$here/work/decode
mkdir -p "$work"
cd "$work"
secs=$((minutes * 60))

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
tones() {
  ff -f lavfi -i "sine=f=400:r=48000:d=$secs" -f lavfi -i "sine=f=600:r=48000:d=$secs" \
    -f lavfi -i "sine=f=800:r=48000:d=$secs" -f lavfi -i "sine=f=60:r=48000:d=$secs" \
    -f lavfi -i "anoisesrc=r=48000:d=$secs:a=0.1:seed=1" -f lavfi -i "sine=f=1200:r=48000:d=$secs" \
    -filter_complex "[0][1][2][3][4][5]join=inputs=6:channel_layout=5.1(side)[a]" -map "[a]" "$@"
}
[ -f "ac3_$minutes.ac3" ] || tones -c:a ac3 -b:a 448k -f ac3 "ac3_$minutes.ac3"
[ -f "dts_$minutes.dts" ] || tones -c:a dca -strict -2 -b:a 1536k -f dts "dts_$minutes.dts"

now() { date +%s.%N; }
# time_of COMMAND...: wall seconds of one run.
time_of() {
  t0=$(now)
  "$@" > /dev/null 2>&1
  t1=$(now)
  awk "BEGIN { print $t1 - $t0 }"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

split6='channelsplit=channel_layout=5.1(side)[FL][FR][FC][LFE][SL][SR]'
ffmpeg_split() {  # input codec [extra ffmpeg options]
  in=$1 codec=$2
  shift 2
  ff -i "$in" "$@" -filter_complex "$split6" -map "[FL]" -c:a "$codec" ff-FL.wav \
    -map "[FR]" -c:a "$codec" ff-FR.wav -map "[FC]" -c:a "$codec" ff-C.wav \
    -map "[LFE]" -c:a "$codec" ff-LFE.wav -map "[SL]" -c:a "$codec" ff-SL.wav \
    -map "[SR]" -c:a "$codec" ff-SR.wav
}
ffmpeg_job() {  # variant input
  case $1 in
    default) ffmpeg_split "$2" pcm_f32le ;;
    16) ffmpeg_split "$2" pcm_s16le ;;
    mch) ff -i "$2" -c:a pcm_f32le ff-mch.wav ;;
    44100) ffmpeg_split "$2" pcm_f32le -ar 44100 ;;
  esac
}
sondrel_job() {  # variant input
  case $1 in
    default) "$sondrel" "$2" /q ;;
    *) "$sondrel" "$2" "/$1" /q ;;
  esac
}
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 > /dev/null | tail -1; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
for input in "ac3_$minutes.ac3" "dts_$minutes.dts"; do
  echo "input: $input ($(stat -c %s "$input") bytes, $minutes min 5.1)"
  : > floor.t
  sync
  for r in $(seq "$rounds"); do time_of "$floor" "$input" >> floor.t; done
  floor_t=$(median < floor.t)
  echo "  decoding floor: ${floor_t}s"
  for variant in default 16 mch 44100; do
    : > s.t
    : > f.t
    for r in $(seq "$rounds"); do
      time_of sondrel_job "$variant" "$input" >> s.t
      rm -f ./*.wav
      sync
      time_of ffmpeg_job "$variant" "$input" >> f.t
      rm -f ./*.wav
      sync
    done
    s=$(median < s.t)
    f=$(median < f.t)
    line="  $variant: sondrel ${s}s, ffmpeg ${f}s, ratio $(awk "BEGIN { printf \"%.3f\", $s / $f }")"
    [ "$variant" = default ] && line="$line, to floor $(awk "BEGIN { printf \"%.3f\", $s / $floor_t }")"
    echo "$line"
  done
  if [ -x /usr/bin/time ]; then
    echo "  sondrel peak memory: $(peak_kib "$sondrel" "$input" /q) KiB"
    rm -f ./*.wav
  fi
done
