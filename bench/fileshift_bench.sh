#!/usr/bin/env bash
# fileshift against cp followed by rm: 2 GiB of files of mixed sizes moved
# between two directories of the same file system, the two tools taking turns
# (each run moves everything to the other directory). Prints every run and the
# ratio of the total wall times. Goal: at most 1.1.
#
#   bench/fileshift_bench.sh            (after building into build/)
#   FILESHIFT=path/to/fileshift RUNS=5 TOTAL_MIB=1024 bench/fileshift_bench.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
exe=${FILESHIFT:-$root/build/bin/fileshift}
runs=${RUNS:-3}
total_mib=${TOTAL_MIB:-2048}
work=$root/bench/work/fileshift
[ -x "$exe" ] || { echo "fileshift not built: $exe (build first, or set FILESHIFT)" >&2; exit 1; }
mkdir -p "$work/a" "$work/b"

# Inputs: cycles of 64 small (4-60 KiB), 16 medium (256 KiB-1 MiB), 4 large
# (4-16 MiB) files and one of 64 MiB, until the total is reached. The set is
# kept between runs of this script and made again when the size changes.
stamp="$work/set-$total_mib"
if [ ! -f "$stamp" ]; then
  rm -rf "$work/a" "$work/b" "$work"/set-*
  mkdir -p "$work/a" "$work/b"
  free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
  # One copy of the set, the largest file once more while it is copied, and room to spare.
  need_kib=$(( (total_mib + 64 + 512) * 1024 ))
  if [ "$free_kib" -lt "$need_kib" ]; then
    total_mib=$(( free_kib / 1024 - 64 - 512 ))
    [ "$total_mib" -ge 256 ] || { echo "not enough free disk space in $work" >&2; exit 1; }
    echo "only $(( free_kib / 1024 )) MiB free: using $total_mib MiB"
    stamp="$work/set-$total_mib"
  fi
  echo "making $total_mib MiB of files in $work/a ..."
  left=$(( total_mib * 1024 ))  # KiB
  n=0
  make() {  # size in KiB
    local kib=$1
    [ "$kib" -le "$left" ] || kib=$left
    [ "$kib" -gt 0 ] || return 0
    head -c $(( kib * 1024 )) /dev/urandom > "$work/a/$(printf 'f%05d.bin' "$n")"
    n=$(( n + 1 ))
    left=$(( left - kib ))
  }
  while [ "$left" -gt 0 ]; do
    for i in $(seq 0 63); do make $(( 4 + (i * 37) % 57 )); done
    for i in $(seq 0 15); do make $(( 256 + (i * 193) % 769 )); done
    for i in $(seq 0 3); do make $(( 4096 + i * 4096 )); done
    make 65536
  done
  (cd "$work/a" && cat $(ls) | md5sum | cut -d' ' -f1) > "$stamp"
fi

if [ -n "$(ls -A "$work/a")" ]; then from=$work/a; to=$work/b; else from=$work/b; to=$work/a; fi
count=$(ls -A "$from" | wc -l)
size=$(du -sm "$from" | cut -f1)
echo "machine: $(nproc) cores, $(df --output=fstype "$work" | tail -n 1) file system ($(uname -r)); $count files, $size MiB"

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }'; }
fs_total=0
cp_total=0
fs_all=()
cp_all=()
for run in $(seq 1 "$runs"); do
  sync
  t0=$(now)
  summary=$("$exe" "$from/*" "$to" | tail -n 1)
  t1=$(now)
  [ "$summary" = "$(printf '\t%d files moved.' "$count")" ] || { echo "fileshift: $summary" >&2; exit 1; }
  fs=$(calc "$t1 - $t0")
  tmp=$from; from=$to; to=$tmp

  sync
  t0=$(now)
  cp --preserve=mode,timestamps -- "$from"/* "$to"/
  rm -f -- "$from"/*
  t1=$(now)
  cp=$(calc "$t1 - $t0")
  tmp=$from; from=$to; to=$tmp
  [ "$(ls -A "$from" | wc -l)" -eq "$count" ] || { echo "files lost" >&2; exit 1; }

  printf 'run %d: fileshift %.3f s, cp+rm %.3f s\n' "$run" "$fs" "$cp"
  fs_all+=("$fs")
  cp_all+=("$cp")
  fs_total=$(calc "$fs_total + $fs")
  cp_total=$(calc "$cp_total + $cp")
done
fs_median=$(median "${fs_all[@]}")
cp_median=$(median "${cp_all[@]}")
printf 'median: fileshift %.3f s, cp+rm %.3f s, ratio %.3f\n' \
  "$fs_median" "$cp_median" "$(calc "$fs_median / $cp_median")"
printf 'total: fileshift %.3f s, cp+rm %.3f s, ratio %.3f (goal <= 1.1)\n' \
  "$fs_total" "$cp_total" "$(calc "$fs_total / $cp_total")"
[ "$(cd "$from" && cat $(ls) | md5sum | cut -d' ' -f1)" = "$(cat "$stamp")" ] ||
  { echo "the files' contents changed" >&2; exit 1; }
echo "contents checked: unchanged after $(( runs * 2 )) moves"
