#!/bin/sh
# Splits a 10-minute 6-channel 24-bit 48 kHz WAV into mono WAVs and
# interleaves them back, with sondrel, ffmpeg (channelsplit / join) and sox
# (remix / -M), alternating runs; also times a plain user-space copy of the
# same bytes (dd bs=1M), the floor of the job. Prints the median wall times
# and the ratios.
#   bench/pcm_bench.sh [build-dir] [rounds] [minutes]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
rounds=${2:-5}
minutes=${3:-10}
sondrel=$build/bin/sondrel
[ -x "$sondrel" ] || { echo "build sondrel first ($sondrel)"; exit 1; }
work=$here/work/pcm
mkdir -p "$work"
cd "$work"

big=six.wav
if [ ! -f $big ] || [ "$(cat six.minutes 2>/dev/null)" != "$minutes" ]; then
  echo "generating a $minutes-minute 6-channel 24-bit 48 kHz WAV"
  ffmpeg -hide_banner -loglevel error -y -f lavfi \
    -i "anoisesrc=color=pink:sample_rate=48000:amplitude=0.5:seed=7:duration=$((minutes * 60))" \
    -filter_complex "[0]asplit=6[a][b][c][d][e][f];[b]adelay=1[b1];[c]adelay=2[c1];[d]adelay=3[d1];[e]adelay=4[e1];[f]adelay=5[f1];[a][b1][c1][d1][e1][f1]join=inputs=6:channel_layout=5.1" \
    -c:a pcm_s24le -rf64 never -t $((minutes * 60)) $big
  echo "$minutes" > six.minutes
fi
cat $big > /dev/null

now() { date +%s.%N; }
# time_of command...: runs it, prints the seconds it took.
time_of() { t0=$(now); "$@" >/dev/null 2>&1; t1=$(now); awk "BEGIN { print $t1 - $t0 }"; }

labels="FL FR FC LFE SL SR"
split_sondrel() { mkdir -p s && "$sondrel" $big s/x /q; }
split_ffmpeg() {
  mkdir -p f && ffmpeg -hide_banner -loglevel error -y -i $big -filter_complex \
    "channelsplit=channel_layout=5.1[FL][FR][FC][LFE][SL][SR]" \
    -map "[FL]" -c:a pcm_s24le f/FL.wav -map "[FR]" -c:a pcm_s24le f/FR.wav \
    -map "[FC]" -c:a pcm_s24le f/FC.wav -map "[LFE]" -c:a pcm_s24le f/LFE.wav \
    -map "[SL]" -c:a pcm_s24le f/SL.wav -map "[SR]" -c:a pcm_s24le f/SR.wav
}
split_sox() { mkdir -p x && i=1; for l in $labels; do sox $big x/$l.wav remix $i; i=$((i + 1)); done; }
join_sondrel() {
  "$sondrel" "s/x-FL.wav*s/x-FR.wav*s/x-C.wav*s/x-LFE.wav*s/x-SL.wav*s/x-SR.wav" s/joined /mch /q
}
join_ffmpeg() {
  ffmpeg -hide_banner -loglevel error -y -i f/FL.wav -i f/FR.wav -i f/FC.wav -i f/LFE.wav \
    -i f/SL.wav -i f/SR.wav -filter_complex "join=inputs=6:channel_layout=5.1" \
    -c:a pcm_s24le f/joined.wav
}
join_sox() { sox -M x/FL.wav x/FR.wav x/FC.wav x/LFE.wav x/SL.wav x/SR.wav x/joined.wav; }
copy_dd() { dd if=$big of=copy.wav bs=1M; }

tools="sondrel ffmpeg sox dd"
for r in $(seq "$rounds"); do
  rm -rf s f x copy.wav
  for t in $tools; do
    if [ $t = dd ]; then echo "$(time_of copy_dd)" >> times.dd.split
    else echo "$(time_of split_$t)" >> times.$t.split; fi
  done
  for t in $tools; do
    if [ $t = dd ]; then rm -f copy.wav; echo "$(time_of copy_dd)" >> times.dd.join
    else echo "$(time_of join_$t)" >> times.$t.join; fi
  done
  echo "round $r done"
done

median() { sort -n "$1" | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
for job in split join; do
  s=$(median times.sondrel.$job); f=$(median times.ffmpeg.$job); x=$(median times.sox.$job); d=$(median times.dd.$job)
  printf '%s: sondrel %.3f s, ffmpeg %.3f s, sox %.3f s, dd %.3f s\n' $job "$s" "$f" "$x" "$d"
  awk -v s="$s" -v f="$f" -v x="$x" -v d="$d" 'BEGIN {
    printf "  ratios: sondrel/ffmpeg %.3f, sondrel/sox %.3f, sondrel/dd %.3f\n", s / f, s / x, s / d }'
done
rm -f times.* copy.wav
rm -rf s f x
