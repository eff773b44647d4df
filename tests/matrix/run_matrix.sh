#!/bin/bash
# Behaviour matrix of sondrel: runs a broad set of commands and records, per
# command, everything the program produced, so that two builds can be
# compared byte for byte with compare.sh (a rework that must not change
# behaviour runs it before and after).
#
#   tests/matrix/run_matrix.sh BIN_DIR OUT_DIR     (BIN_DIR holds sondrel)
#   tests/matrix/compare.sh OUT_A OUT_B            (exit 1 on any difference)
#
# Example: ./test.sh; tests/matrix/run_matrix.sh build/bin /tmp/m-before
#          (rework, rebuild) tests/matrix/run_matrix.sh build/bin /tmp/m-after
#          tests/matrix/compare.sh /tmp/m-before /tmp/m-after
#
# Environment: JOBS (commands run at once, default 2), KEEP=1 keeps the
# scratch folders and generated inputs (their path is printed).
#
# Every command runs in a fresh scratch folder holding its inputs: fixtures
# from tests/fixtures (copied) and WAVs (and one long AC-3 stream) that this
# script makes with sox and ffmpeg in repeatable mode (no dither, fixed
# seeds, bit-exact flags; hard-linked). OUT_DIR/inputs lists the sha256 of
# every made input, so a change of tools shows up as a difference of its own.
#
# OUT_DIR/cmds/NNN-name/ holds for each command:
#   command  the arguments, one per line, and the inputs placed
#   stdout   standard output, exact bytes
#   stderr   standard error, exact bytes after the normalisation below
#   status   the exit status
#   files    "sha256  size  name" of every file in the scratch folder after
#            the run (inputs included, so a changed input shows)
#   headers  the first 68 bytes of each of those files, in hex
#
# Normalisation (stderr only; everything else is compared as written). Only
# what depends on the clock is replaced, by this sed -E script:
#   s/Estimated Time Remaining: \[[0-9]+:[0-9]+:[0-9]+\]/Estimated Time Remaining: [H:MM:SS]/g
#   s/in [0-9]+ hrs?, [0-9]+ mins?, [0-9]+ secs?\]/in ELAPSED]/g
#   s/in [0-9]+ mins?, [0-9]+ secs?\]      /in ELAPSED]/g
#   s/in [0-9]+ secs?\]          /in ELAPSED]/g
# i.e. the estimate's time and the duration of the completion lines,
# together with the padding the duration form chooses (so a job that takes a
# minute still matches); the 19 blanks and the line end after it are kept.
# Commands given an absolute output prefix also have their scratch path
# replaced by <SCRATCH>.
#
# Halt (Ctrl-C) commands, directory NNN-halt-name/{y,n}: sondrel runs with
# standard input on a pipe; when its first progress text ("..... ") shows on
# standard error it gets SIGINT (sent again after 3 s if no prompt came, as a
# signal that lands before the job installs its handler is ignored), and
# once "Resume? (y/n): " shows, the answer is written. 'y' finishes the job
# (with the outputs of an uninterrupted run) and is recorded like any command.
# Where the job stops after 'n' depends on when the signal landed, so the
# 'n' record keeps, for each output, its header with the two size fields
# masked, whether those fields match the file's length, and whether its
# samples are a prefix of the 'y' run's output. In both records the
# progress percentages are taken out of stderr (where the halt text falls
# among them is timing); the 'y' record keeps their sequence in "progress".
set -euo pipefail
export LC_ALL=C

NORMALISE='
s/Estimated Time Remaining: \[[0-9]+:[0-9]+:[0-9]+\]/Estimated Time Remaining: [H:MM:SS]/g
s/in [0-9]+ hrs?, [0-9]+ mins?, [0-9]+ secs?\]/in ELAPSED]/g
s/in [0-9]+ mins?, [0-9]+ secs?\]      /in ELAPSED]/g
s/in [0-9]+ secs?\]          /in ELAPSED]/g
'
# A progress fragment: label, five dots, percentage, maybe an estimate.
PROGRESS_RE='(Batch processing|Processing)\.\.\.\.\. [0-9]+%( +Estimated Time Remaining: \[H:MM:SS\])?'

# ---------------------------------------------------------------------------
# One command (called through xargs): --one ID
# ---------------------------------------------------------------------------

# place ITEM...: puts the inputs into the current folder. ITEM is fx:PATH (a
# fixture under tests/fixtures, copied), gen:NAME (a made input, linked: no
# command writes to an input's name, and the files record would show it) or
# dir:NAME (an empty folder).
place() {
  local item
  local -a copies=() links=()
  for item in "$@"; do
    case $item in
      fx:*) copies+=("$FIXTURES/${item#fx:}") ;;
      gen:*) links+=("$WORK/in/${item#gen:}") ;;
      dir:*) mkdir -p "${item#dir:}" ;;
      *) echo "bad input item $item" >&2; return 1 ;;
    esac
  done
  [ ${#copies[@]} -eq 0 ] || cp -t . "${copies[@]}"
  [ ${#links[@]} -eq 0 ] || ln -t . "${links[@]}"
}

# alive PID: the process runs (a finished one waiting to be reaped does not).
alive() {
  local stat
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }
  [ "${stat:0:1}" != Z ]
}

# wait_text FILE TEXT PID SECONDS: waits until FILE holds TEXT; fails when
# the process ended first or the time ran out.
wait_text() {
  local file=$1 text=$2 pid=$3 tries=$(($4 * 100))
  while ! grep -qF -- "$text" "$file"; do
    alive "$pid" || { grep -qF -- "$text" "$file"; return; }
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.01
  done
}

# list_files DIR REC [NAME...]: the files and headers records of a scratch
# folder (of all its files, or of the names given), with one sha256sum, one
# stat and one od per file.
list_files() {
  local dir=$1 rec=$2 k
  local -a names=("${@:3}") sums=() sizes=()
  [ $# -gt 2 ] || mapfile -t names < <(cd "$dir" && find . -type f -printf '%P\n' | sort)
  : >"$rec/files"
  : >"$rec/headers"
  [ ${#names[@]} -gt 0 ] || return 0
  mapfile -t -d '' sums < <(cd "$dir" && sha256sum --zero -- "${names[@]}")
  mapfile -t sizes < <(cd "$dir" && stat -c %s -- "${names[@]}")
  for k in "${!names[@]}"; do
    printf '%s  %s  %s\n' "${sums[k]%% *}" "${sizes[k]}" "${names[k]}"
  done >"$rec/files"
  (cd "$dir" && for f in "${names[@]}"; do printf '@ %s\n' "$f"; od -An -tx1 -v -N68 -- "$f"; done) |
    awk '/^@ / { if (n) print line; line = substr($0, 3) ":"; n = 1; next }
         { for (i = 1; i <= NF; i++) line = line " " $i }
         END { if (n) print line }' >"$rec/headers"
}

# record_console RAW_OUT RAW_ERR REC SCRATCH: stdout as is, stderr normalised.
record_console() {
  cp "$1" "$3/stdout"
  sed -E "$NORMALISE" "$2" | sed "s|$4|<SCRATCH>|g" >"$3/stderr"
}

# Runs sondrel on the entry's arguments in SCRATCH without interruption.
run_plain() {
  local scratch=$1 rec=$2 status=0
  shift 2
  (cd "$scratch" && exec timeout 300 "$SONDREL" "$@") </dev/null >"$rec/stdout.raw" \
    2>"$rec/stderr.raw" || status=$?
  echo "$status" >"$rec/status"
  record_console "$rec/stdout.raw" "$rec/stderr.raw" "$rec" "$scratch"
  rm -f "$rec/stdout.raw" "$rec/stderr.raw"
  list_files "$scratch" "$rec"
}

# Runs sondrel, interrupts it at its first progress text, answers ANSWER.
run_halted() {
  local scratch=$1 rec=$2 answer=$3 fifo pid status=0 tries=0
  shift 3
  fifo=$WORK/fifo.$$.$answer
  rm -f "$fifo"
  mkfifo "$fifo"
  exec 3<>"$fifo"
  : >"$rec/stderr.raw"
  (cd "$scratch" && exec "$SONDREL" "$@") <"$fifo" 3>&- >"$rec/stdout.raw" 2>"$rec/stderr.raw" &
  pid=$!
  if wait_text "$rec/stderr.raw" "..... " "$pid" 60; then
    while :; do
      kill -INT "$pid" 2>/dev/null || break
      wait_text "$rec/stderr.raw" "Resume? (y/n): " "$pid" 3 && break
      tries=$((tries + 1))
      [ "$tries" -lt 5 ] || break
    done
  fi
  printf '%s\n' "$answer" >&3
  exec 3>&-
  # A job that hangs is ended after five minutes.
  for ((tries = 0; tries < 3000; tries++)); do
    alive "$pid" || break
    sleep 0.1
  done
  if alive "$pid"; then kill -TERM "$pid"; fi
  wait "$pid" || status=$?
  rm -f "$fifo"
  grep -qF "Resume? (y/n): " "$rec/stderr.raw" || echo "warning: $(basename "$(dirname "$rec")") $answer: the halt did not land" >&2
  echo "$status" >"$rec/status"
  record_console "$rec/stdout.raw" "$rec/stderr.raw" "$rec" "$scratch"
  rm -f "$rec/stdout.raw" "$rec/stderr.raw"
  # The percentages, in order, then stderr without them.
  grep -oE "$PROGRESS_RE"$'\r' "$rec/stderr" | tr -d '\r' >"$rec/progress" || true
  sed -E -i "s/$PROGRESS_RE\r//g" "$rec/stderr"
}

# u32 FILE OFFSET: a little-endian 32-bit field.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

# The 'n' record of a scratch folder: inputs, and outputs that came out
# complete all the same (a later file of a batch), as list_files writes
# them; the other outputs as described at the top of the file.
describe_halted_outputs() {
  local dir=$1 done_dir=$2 rec=$3 inputs=$4 f size header fmt riff data samples match prefix
  local -a complete=() halted=()
  while IFS= read -r f; do
    if grep -qxF -- "$f" <<<"$inputs" || cmp -s "$dir/$f" "$done_dir/$f"; then
      complete+=("$f")
    else
      halted+=("$f")
    fi
  done < <(cd "$dir" && find . -type f -printf '%P\n' | sort)
  list_files "$dir" "$rec" "${complete[@]}"
  for f in "${halted[@]+"${halted[@]}"}"; do
    size=$(stat -c %s "$dir/$f")
    fmt=$(u32 "$dir/$f" 16)
    header=$((20 + fmt + 8))
    riff=$(u32 "$dir/$f" 4)
    data=$(u32 "$dir/$f" $((header - 4)))
    # Samples of odd length are followed by a pad byte, counted in the RIFF size only.
    samples=$((size - header))
    if [ $((data % 2)) -eq 1 ] && [ "$data" -eq $((samples - 1)) ]; then
      samples=$data
    fi
    match=no
    if [ "$size" -eq "$header" ] || { [ "$riff" -eq $((size - 8)) ] && [ "$data" -eq "$samples" ]; }; then
      match=yes
    fi
    prefix=no
    if [ -f "$done_dir/$f" ] && [ "$size" -le "$(stat -c %s "$done_dir/$f")" ] &&
      cmp -s -i "$header:$header" -n "$samples" "$dir/$f" "$done_dir/$f"; then
      prefix=yes
    fi
    printf 'halted  sizes-match-length=%s  samples-prefix-of-resumed=%s  %s\n' "$match" "$prefix" \
      "$f" >>"$rec/files"
    printf '%s: %s\n' "$f" "$(od -An -tx1 -v -N"$header" "$dir/$f" | awk -v h="$header" '
      { for (i = 1; i <= NF; i++) b[++n] = $i }
      END { b[5] = b[6] = b[7] = b[8] = ".."; b[h - 3] = b[h - 2] = b[h - 1] = b[h] = "..";
            for (i = 1; i <= n; i++) printf "%s%s", b[i], (i < n ? " " : "\n") }')" >>"$rec/headers"
  done
}

run_one() {
  local id=$1 mode inputs rec scratch started=$EPOCHREALTIME
  local -a args=()
  mapfile -t args <"$WORK/plan/$1"
  mode=${args[0]}
  inputs=${args[1]}
  args=("${args[@]:2}")
  scratch=$WORK/scratch/$id
  for k in "${!args[@]}"; do args[k]=${args[k]//@SCRATCH@/$scratch}; done
  rec=$OUT/cmds/$id
  mkdir -p "$rec"
  { printf 'inputs: %s\n' "$inputs"; printf 'arg: %s\n' "${args[@]+"${args[@]}"}"; } |
    sed "s|$scratch|<SCRATCH>|g" >"$rec/command"
  if [ "$mode" = run ]; then
    mkdir -p "$scratch"
    # shellcheck disable=SC2086
    (cd "$scratch" && place $inputs)
    run_plain "$scratch" "$rec" "${args[@]+"${args[@]}"}"
  else
    mkdir -p "$scratch/y" "$scratch/n" "$rec/y" "$rec/n"
    # shellcheck disable=SC2086
    (cd "$scratch/y" && place $inputs)
    # shellcheck disable=SC2086
    (cd "$scratch/n" && place $inputs)
    run_halted "$scratch/y" "$rec/y" y "${args[@]}"
    list_files "$scratch/y" "$rec/y"
    run_halted "$scratch/n" "$rec/n" n "${args[@]}"
    rm -f "$rec/n/progress"
    local names
    names=$(for k in $inputs; do echo "${k##*[:/]}"; done)
    describe_halted_outputs "$scratch/n" "$scratch/y" "$rec/n" "$names"
  fi
  [ -n "${KEEP:-}" ] || rm -rf "$scratch"
  local took=$((${EPOCHREALTIME/./} - ${started/./}))
  printf '%d.%02d %s\n' $((took / 1000000)) $((took % 1000000 / 10000)) "$id" >>"$WORK/times"
}

if [ "${1:-}" = --one ]; then
  run_one "$2"
  exit 0
fi

# ---------------------------------------------------------------------------
# Set-up
# ---------------------------------------------------------------------------

if [ $# -ne 2 ]; then
  echo "usage: $0 BIN_DIR OUT_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
SONDREL=$(cd "$1" && pwd)/sondrel
[ -x "$SONDREL" ] || { echo "no sondrel in $1" >&2; exit 2; }
mkdir -p "$2"
OUT=$(cd "$2" && pwd)
if [ -n "$(ls -A "$OUT")" ]; then
  [ -f "$OUT/.sondrel-matrix" ] || { echo "$OUT is not empty and not a matrix folder" >&2; exit 2; }
  rm -rf "$OUT/cmds" "$OUT/inputs" "$OUT/run.log"
fi
touch "$OUT/.sondrel-matrix"
FIXTURES=$(cd "$here/../fixtures" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/sondrel-matrix.XXXXXX")
if [ -n "${KEEP:-}" ]; then echo "work folder: $WORK"; else trap 'rm -rf "$WORK"' EXIT; fi
export SONDREL OUT FIXTURES WORK NORMALISE PROGRESS_RE KEEP
started=$(date +%s.%N)

# ---------------------------------------------------------------------------
# Inputs made here (deterministic: sox -R -D, ffmpeg bit-exact)
# ---------------------------------------------------------------------------

make_inputs() {
  local g=$WORK/in k
  mkdir -p "$g"
  sx() { sox -R -D -n "$@"; }
  ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
  local bitexact=(-fflags +bitexact -flags:a +bitexact)
  local six="sine 400 sine 600 sine 800 sine 60 sine 1000 sine 1200"
  # shellcheck disable=SC2086
  {
    sx -b 16 -r 48000 -c 6 -t wavpcm "$g/s6.wav" synth 1 $six vol 0.5   # plain header, no mask
    sx -b 24 -r 48000 -c 6 "$g/s6x.wav" synth 1 $six vol 0.5            # extensible, mask 0x3F
    sx -b 16 -r 44100 -c 2 -t wavpcm "$g/st44.wav" synth 1 sine 440 sine 660 vol 0.5
    sx -b 16 -r 48000 -c 3 -t wavpcm "$g/tri.wav" synth 0.5 sine 300 sine 500 sine 700 vol 0.5
    sx -e floating-point -b 32 -r 48000 -c 2 "$g/stf32.wav" synth 0.5 sine 500 sine 700 vol 0.9
    sx -e floating-point -b 64 -r 44100 -c 2 "$g/stf64.wav" synth 0.5 sine 500 sine 700 vol 0.9
    sx -b 8 -r 32000 -c 1 "$g/m8.wav" synth 0.5 sine 500 vol 0.8
    sx -b 32 -r 96000 -c 4 "$g/q32.wav" synth 0.5 sine 300 sine 500 sine 700 sine 900 vol 0.7
    sx -e a-law -b 8 -r 8000 -c 1 "$g/alaw.wav" synth 0.2 sine 500
    # Mono WAVs to interleave: 48 kHz 16-bit of three lengths, 24-bit,
    # float, 44.1 kHz, and twenty short ones.
    for k in 1 2 3 4 5 6; do
      case $k in 2) len=1.2 ;; 3) len=0.8 ;; *) len=1 ;; esac
      sx -b 16 -r 48000 -c 1 "$g/m$k.wav" synth $len sine $((200 * k + 100)) vol 0.5
    done
    sx -b 24 -r 48000 -c 1 "$g/m24a.wav" synth 0.5 sine 330 vol 0.5
    sx -b 24 -r 48000 -c 1 "$g/m24b.wav" synth 0.5 sine 550 vol 0.5
    sx -e floating-point -b 32 -r 44100 -c 1 "$g/mfa.wav" synth 0.5 sine 330 vol 0.5
    sx -e floating-point -b 32 -r 44100 -c 1 "$g/mfb.wav" synth 0.5 sine 550 vol 0.5
    sx -b 16 -r 44100 -c 1 "$g/m44a.wav" synth 0.5 sine 330 vol 0.5
    sx -b 16 -r 44100 -c 1 "$g/m44b.wav" synth 0.5 sine 550 vol 0.5
    for k in $(seq -w 1 20); do
      sx -b 16 -r 48000 -c 1 "$g/t$k.wav" synth 0.05 sine $((100 * 10#$k)) vol 0.5
    done
    # Larger inputs: progress estimates, and jobs long enough to interrupt.
    sx -b 16 -r 48000 -c 2 "$g/est.wav" synth 40 sine 440 sine 550 vol 0.5
    sx -b 24 -r 48000 -c 4 "$g/big.wav" synth 60 whitenoise pinknoise brownnoise tpdfnoise vol 0.3
  }
  # ffmpeg: 7.1 with its mask, and a mono WAV with a LIST chunk before data.
  ff -f lavfi -i "aevalsrc=0.3*sin(2*PI*300*t)|0.3*sin(2*PI*400*t)|0.3*sin(2*PI*500*t)|0.3*sin(2*PI*60*t)|0.3*sin(2*PI*700*t)|0.3*sin(2*PI*800*t)|0.3*sin(2*PI*900*t)|0.3*sin(2*PI*1000*t):s=48000:d=0.5:c=7.1" \
    -c:a pcm_s16le "${bitexact[@]}" "$g/ff71.wav"
  ff -f lavfi -i "sine=f=300:r=48000:d=0.5" -metadata title=matrix -c:a pcm_s16le \
    "${bitexact[@]}" "$g/fflist.wav"
  # A chunk after the data chunk (its bytes must never become samples).
  cp "$g/st44.wav" "$g/tail.wav"
  printf 'junk\020\000\000\000\177\177\177\177\177\177\177\177\177\177\177\177\177\177\177\177' \
    >>"$g/tail.wav"
  local size
  size=$(($(stat -c %s "$g/tail.wav") - 8))
  printf '%b' "$(printf '\\0%03o\\0%03o\\0%03o\\0%03o' $((size & 255)) $((size >> 8 & 255)) \
    $((size >> 16 & 255)) $((size >> 24 & 255)))" |
    dd of="$g/tail.wav" bs=1 seek=4 conv=notrunc status=none
  printf 'This is not a WAV file, only text.\n' >"$g/bad.wav"
  # Five minutes of 5.1 AC-3.
  for k in $(seq 600); do cat "$FIXTURES/decode/ac3_3_2L_48.ac3"; done >"$g/long.ac3"
  (cd "$g" && sha256sum -- * | sort -k2) >"$OUT/inputs"
}
make_inputs

# ---------------------------------------------------------------------------
# The matrix
# ---------------------------------------------------------------------------

mkdir -p "$WORK/plan"
count=0
# entry MODE "INPUT ITEMS" ARG...
entry() {
  local mode=$1 inputs=$2 slug
  shift 2
  count=$((count + 1))
  slug=$( (if [ "$mode" = halt ]; then printf 'halt_'; fi; printf '%s_' "$@") | tr -c 'A-Za-z0-9.+,=-' '_' | sed 's/_*$//' | cut -c1-72)
  local id
  id=$(printf '%03d-%s' "$count" "$slug")
  { echo "$mode"; echo "$inputs"; [ $# -eq 0 ] || printf '%s\n' "$@"; } >"$WORK/plan/$id"
}
c() { entry run "$@"; }
halt() { entry halt "$@"; }

S=fx:sample/sample51.ac3
D=fx:decode

# --- Texts and refusals ----------------------------------------------------
c ""
c "" -h
c "" -H ignored.ac3 /16
c "" -i
c "" -I
c "" -x
c "" missing.ac3 /16
c "" x.mp3
c "" a.ac
c "$S" sample51.ac3 /n
c "$S" sample51.ac3 /44
c "$S" sample51.ac3 /
c "$S" sample51.ac3 /d4
c "$S" sample51.ac3 '/f1[.05]'
c "$S" sample51.ac3 '/f1[.195]'
c "$S" sample51.ac3 /f3
c "$S" sample51.ac3 /mch123
c "$S" sample51.ac3 /s
c "$S" sample51.ac3 /123456
c "$S" sample51.ac3 /32x
c "$S" sample51.ac3 /i /16
c "$S" sample51.ac3 /16 x
c "$S" sample51.ac3 'my|name'
c "$S" sample51.ac3 a/b
c "$S" sample51.ac3 /-C,XYZ
c "$S" sample51.ac3 /mch /-C,XYZ
c "$S" sample51.ac3 /x
c "$S" sample51.ac3 /+BC
c "gen:s6.wav" s6.wav /x /+FL
c "gen:s6.wav" s6.wav /x /16
c "gen:bad.wav" bad.wav
c "gen:alaw.wav" alaw.wav
c "gen:m44a.wav gen:m44b.wav" 'm44a.wav*m44b.wav' /mch /48000
c "gen:m1.wav gen:m2.wav" 'm1.wav*missing.wav*m2.wav' /mch
tlist=$(printf 't%02d.wav*' $(seq 1 20))
c "$(printf 'gen:t%02d.wav ' $(seq 1 20))" "${tlist%\*}" /mch20
c "$S" sample51.ac3 '/o"dir"' /16 /q

# --- Information, every kind ---------------------------------------------------
for f in sample/sample51.ac3 decode/ac3_1_0_48.ac3 decode/ac3_2_1L_48.ac3 decode/ac3_3_2L_44.ac3 \
  decode/ac3_change.ac3 decode/ac3_truncated.ac3 decode/random.ac3 decode/dts_1_0.dts \
  decode/dts_3_2L.dts decode/dts_es.dts decode/dts_9624.dts decode/dts_pack_14be.dts \
  decode/dts_pack_14le.cpt decode/ddwav_3_2L.wav decode/dtswav14_3_2L.wav; do
  c "fx:$f" "${f##*/}" /i
done
for f in sample/sample51.ac3 decode/ac3_change.ac3 decode/dts_3_2L.dts decode/dts_es.dts \
  decode/dts_pack_14le.cpt decode/ddwav_3_2L.wav decode/dtswav14_3_2L.wav; do
  c "fx:$f" "${f##*/}" /IM
done
for f in s6 s6x st44 stf32 m8 ff71 fflist tail; do
  c "gen:$f.wav" "$f.wav" /i
done
c "gen:s6.wav" s6.wav /im
c "gen:s6x.wav gen:fflist.wav" 's6x.wav*fflist.wav' /im
c "$S $D/dts_3_2L.dts gen:s6.wav" 'sample51.ac3*dts_3_2L.dts*s6.wav' /i

# --- Decode: fixtures with the defaults (every AC-3 layout, DTS packing, carrier) --
for f in "$FIXTURES"/decode/ac3_*_48.ac3 "$FIXTURES"/decode/ac3_3_2L_44.ac3 \
  "$FIXTURES"/decode/ac3_3_2L_32.ac3 "$FIXTURES"/decode/ac3_[a-z]*.ac3 \
  "$FIXTURES"/decode/random.ac3 "$FIXTURES"/decode/*.dts "$FIXTURES"/decode/*.cpt \
  "$FIXTURES"/decode/ddwav_3_2L.wav "$FIXTURES"/decode/dtswav1[46]_3_2L.wav; do
  f=${f##*/}
  c "$D/$f" "$f"
done
c "$S" sample51.ac3

# --- Decode: depths ----------------------------------------------------------------
for o in /8 /16 /24 /32 /32f /64f; do
  c "$S" sample51.ac3 $o
done
for o in /8 /64f; do
  c "$D/dts_3_2L.dts" dts_3_2L.dts $o
done
for f in dts_3_2L.dts ddwav_3_2L.wav dtswav16_3_2L.wav dtswav14_3_2L.wav dts_pack_14le.cpt \
  dts_es.dts; do
  c "$D/$f" "$f" /16
done
c "$S" sample51.ac3 /32f /8

# --- Decode: one multichannel output ---------------------------------------------
for f in sample/sample51.ac3 decode/dts_3_2L.dts decode/dts_pack_14le.cpt \
  decode/ddwav_3_2L.wav decode/dtswav14_3_2L.wav decode/dts_es.dts decode/ac3_1_0_48.ac3 \
  decode/ac3_2_1L_48.ac3; do
  c "fx:$f" "${f##*/}" /mch
done
c "$S" sample51.ac3 /mch /16
c "$S" sample51.ac3 /mch6 /24 /48000
c "$S" sample51.ac3 /mch /8 /d1
c "$D/dts_3_2L.dts" dts_3_2L.dts /mch /24 /44100
c "$S" sample51.ac3 /mch /+FL,FR,LFE
c "$S" sample51.ac3 /mch /-C
c "$D/dts_3_2L.dts" dts_3_2L.dts /mch /+C,SL,SR /16

# --- Decode: channel selections ---------------------------------------------------
for o in /+FL,FR,C /-LFE /+L /+C /+lfe '/+FL,FR,' /+BL,BR /+X /-FL,FR,FC,LFE,SL,SR; do
  c "$S" sample51.ac3 "$o"
done
c "$S" sample51.ac3 /-SL,SR /16
c "$D/dts_3_2L.dts" dts_3_2L.dts /+FL,FR
c "$D/dts_3_2L.dts" dts_3_2L.dts /-LFE /24
c "$D/dts_es.dts" dts_es.dts /+FL,FR,LFE
c "$D/ac3_2_1L_48.ac3" ac3_2_1L_48.ac3 /+BC
c "$D/ac3_1_0_48.ac3" ac3_1_0_48.ac3 /+C
c "$D/ddwav_3_2L.wav" ddwav_3_2L.wav /+C,LFE /16
c "$D/dtswav16_3_2L.wav" dtswav16_3_2L.wav /-FL,FR

# --- Decode: rates ----------------------------------------------------------------
for o in /44100 /48000 /96000; do
  c "$S" sample51.ac3 $o
  c "$D/ac3_3_2L_44.ac3" ac3_3_2L_44.ac3 $o
done
c "$D/ac3_2_0_32.ac3" ac3_2_0_32.ac3 /48000
c "$D/dts_3_2L.dts" dts_3_2L.dts /44100
c "$D/dts_3_2L.dts" dts_3_2L.dts /96000 /16
c "$D/ddwav_3_2L.wav" ddwav_3_2L.wav /44100
c "$D/dtswav14_3_2L.wav" dtswav14_3_2L.wav /96000 /24
c "$D/dts_pack_14le.cpt" dts_pack_14le.cpt /48000 /8
c "$S" sample51.ac3 /16 /44100
c "$S" sample51.ac3 /44100 /16
c "$S" sample51.ac3 /24 /96000 /+FL,C
c "$S" sample51.ac3 /64f /44100
c "$S" sample51.ac3 /mch /44100 /16

# --- Decode: dither and noise shaping ----------------------------------------------
for o in /d0 /d1 /d2 /d3; do
  c "$S" sample51.ac3 /16 $o
done
for o in /f0 '/f1[0]' '/f2[1]' '/f0[.50]'; do
  c "$S" sample51.ac3 /16 /d2 "$o"
done
c "$S" sample51.ac3 /8 /d1 /f1
c "$S" sample51.ac3 /8 /d3
c "$S" sample51.ac3 /24 /d3 /f2
c "$S" sample51.ac3 /32f /d3
c "$S" sample51.ac3 /64f /d3
c "$S" sample51.ac3 /16 /d3 /44100
c "$D/dts_3_2L.dts" dts_3_2L.dts /16 /d3 '/f1[.33]'
c "$S" sample51.ac3 /16 /t

# --- Decode: dynamic range and level ------------------------------------------------
for f in sample/sample51.ac3 decode/dts_3_2L.dts; do
  c "fx:$f" "${f##*/}" /r
  c "fx:$f" "${f##*/}" /R /A /16
done
c "$S" sample51.ac3 /a

# --- Decode: prefixes, progress off ----------------------------------------------------
c "$S" sample51.ac3 out /16
c "$S" sample51.ac3 out.WAV /16
c "$S" sample51.ac3 out.dts /q
c "$S" sample51.ac3 'a\b' /q
c "$S dir:sub" sample51.ac3 @SCRATCH@/sub/take /16 /q
c "$S" sample51.ac3 /q
c "$D/dts_3_2L.dts" dts_3_2L.dts /Q /mch

# --- PCM: split -----------------------------------------------------------------------
for f in s6 s6x st44 tri stf32 stf64 m8 ff71 tail; do
  c "gen:$f.wav" "$f.wav"
done
c "gen:s6.wav" s6.wav out
c "gen:s6.wav" s6.wav take.wav
c "gen:s6.wav" s6.wav take.dts /q
c "gen:s6x.wav dir:sub" s6x.wav @SCRATCH@/sub/take
c "gen:s6.wav" s6.wav /+FL,FR
c "gen:s6x.wav" s6x.wav /-LFE
c "gen:s6.wav" s6.wav /+C /16
c "gen:s6x.wav" s6x.wav /-SL,SR /24
c "gen:ff71.wav" ff71.wav /+BL,BR
c "gen:st44.wav" st44.wav /+LFE
for o in /8 /24 /64f; do
  c "gen:s6.wav" s6.wav $o
done
c "gen:s6x.wav" s6x.wav /16 /d1
c "gen:s6x.wav" s6x.wav /8 /d3 /f1
c "gen:stf32.wav" stf32.wav /16 /d2 '/f2[.25]'
c "gen:stf64.wav" stf64.wav /24
c "gen:m8.wav" m8.wav /16

# --- PCM: convert with /x ------------------------------------------------------------
for o in /8 /24 /32 /32f /64f; do
  c "gen:s6.wav" s6.wav /x $o
done
for o in /16 /64f; do
  c "gen:s6x.wav" s6x.wav /x $o
  c "gen:stf32.wav" stf32.wav /x $o
done
c "gen:stf64.wav" stf64.wav /x /16
c "gen:s6x.wav" s6x.wav /x /16 /d3 /f1
c "gen:stf32.wav" stf32.wav /x /8 /d1
c "gen:m8.wav" m8.wav /x /24
c "gen:q32.wav" q32.wav /x /16 /d2
c "gen:ff71.wav" ff71.wav /x /32f
c "gen:fflist.wav" fflist.wav /x /24
c "gen:s6.wav" s6.wav conv /x /24

# --- PCM: resampling -------------------------------------------------------------------
c "gen:s6.wav" s6.wav /x /44100
c "gen:s6.wav" s6.wav /x /96000 /24
c "gen:st44.wav" st44.wav /x /48000
c "gen:st44.wav" st44.wav /x /96000 /32f
c "gen:stf64.wav" stf64.wav /x /48000
c "gen:q32.wav" q32.wav /x /44100 /16 /d3
c "gen:m8.wav" m8.wav /x /48000 /16
c "gen:s6.wav" s6.wav /44100
c "gen:st44.wav" st44.wav /96000 /24 /d2
c "gen:s6x.wav" s6x.wav /44100 /+FL,FR
c "gen:m1.wav" m1.wav /44100
c "gen:est.wav" est.wav /44100

# --- PCM: interleave groups ------------------------------------------------------------
c "gen:m1.wav gen:m2.wav" 'm1.wav*m2.wav' /mch
six=$(printf 'gen:m%d.wav ' 1 2 3 4 5 6)
c "$six" 'm1.wav*m2.wav*m3.wav*m4.wav*m5.wav*m6.wav' /mch
c "$six" 'm1.wav*m2.wav*m3.wav*m4.wav*m5.wav*m6.wav' /mch2
c "$six" 'm1.wav*m2.wav*m3.wav*m4.wav*m5.wav*m6.wav' /mch4 /q
c "$six" 'm1.wav*m2.wav*m3.wav*m4.wav*m5.wav*m6.wav' /mch /+FL,FR,C,LFE,SL,SR
c "gen:m1.wav gen:m2.wav" 'm1.wav*m2.wav' /mch /+FL,FR
c "gen:m1.wav gen:m2.wav gen:m3.wav" 'm1.wav*m2.wav*m3.wav' /mch /24
c "gen:m1.wav gen:m2.wav" 'm1.wav*m2.wav' /mch /8 /d1
c "gen:m1.wav gen:m2.wav" 'm1.wav*m2.wav' pair /mch
c "gen:m24a.wav gen:m24b.wav" 'm24a.wav*m24b.wav' /mch
c "gen:mfa.wav gen:mfb.wav" 'mfa.wav*mfb.wav' /mch
c "gen:m44a.wav gen:m44b.wav" 'm44a.wav*m44b.wav' /mch /44100
c "gen:m1.wav gen:m24a.wav gen:m2.wav" 'm1.wav*m24a.wav*m2.wav' /mch
c "gen:m1.wav gen:m2.wav" 'm1.wav*m2.wav' /mch0
c "gen:st44.wav $S" 'st44.wav*sample51.ac3' /mch /q
tlist=$(printf 't%02d.wav*' $(seq 1 18))
c "$(printf 'gen:t%02d.wav ' $(seq 1 18))" "${tlist%\*}" /mch

# --- PCM: re-pack with /mch --------------------------------------------------------------
c "gen:s6.wav" s6.wav /mch
c "gen:s6.wav" s6.wav /mch /+FL,FR
c "gen:s6x.wav" s6x.wav /mch /-LFE
c "gen:s6.wav" s6.wav /mch /16
c "gen:s6.wav" s6.wav /mch /24 /+C,LFE
c "gen:ff71.wav" ff71.wav /mch /-LFE /32f
c "gen:stf32.wav" stf32.wav /mch /16 /d2

# --- Batches ---------------------------------------------------------------------------------
c "$S $D/dts_3_2L.dts gen:s6.wav" 'sample51.ac3*dts_3_2L.dts*s6.wav'
c "$D/ac3_2_0_48.ac3 $D/ac3_3_0_44.ac3 $D/ac3_1_0L_32.ac3" \
  'ac3_2_0_48.ac3*ac3_3_0_44.ac3*ac3_1_0L_32.ac3' /q
c "$S $D/dts_3_2L.dts" 'sample51.ac3*dts_3_2L.dts' pre /16
c "gen:s6.wav gen:st44.wav" 's6.wav*st44.wav' pre /q
c "$S $D/dts_2_0.dts" 'sample51.ac3*missing.ac3*x.mp3*dts_2_0.dts' /q
c "$S $D/dts_2_0.dts" '**sample51.ac3**dts_2_0.dts*' /q
c "gen:st44.wav $S" 'st44.wav*sample51.ac3' /+LFE /q
c "$D/ac3_change.ac3 $D/ac3_2_0_48.ac3" 'ac3_change.ac3*ac3_2_0_48.ac3' /q
c "gen:s6.wav gen:st44.wav" 's6.wav*st44.wav' /x /24 /q
c "$D/dts_3_2L.dts $D/ddwav_3_2L.wav $D/dtswav14_3_2L.wav" \
  'dts_3_2L.dts*ddwav_3_2L.wav*dtswav14_3_2L.wav' /mch /16 /q
c "$D/random.ac3 $S" 'random.ac3*sample51.ac3' /q

# --- Halt and answer ---------------------------------------------------------------------------
halt "gen:long.ac3" long.ac3 /+C /8 /q
halt "gen:long.ac3" long.ac3 /+FL,FR /8 /mch /q
halt "gen:long.ac3" long.ac3 /+C /16
halt "gen:big.wav" big.wav out /96000 /8 /q
halt "gen:big.wav" big.wav /x /96000 /16 /d3 /q
halt "gen:long.ac3 $S" 'long.ac3*sample51.ac3' /+C /8 /q
halt "gen:big.wav gen:st44.wav" 'big.wav*st44.wav' /+FL /96000 /q

# ---------------------------------------------------------------------------
# Run
# ---------------------------------------------------------------------------

mkdir -p "$OUT/cmds" "$WORK/scratch"
: >"$WORK/times"
runners=0
(cd "$WORK/plan" && ls) | xargs -P "${JOBS:-2}" -n 1 "$0" --one || runners=$?
elapsed=$(awk "BEGIN { printf \"%.1f\", $(date +%s.%N) - $started }")
{
  echo "sondrel: $SONDREL"
  echo "commands: $count"
  echo "seconds: $elapsed"
} >"$OUT/run.log"
echo "$count commands in $elapsed s; records in $OUT/cmds; slowest:"
sort -rn "$WORK/times" | head -n 5
if [ "$runners" -ne 0 ]; then
  echo "some commands could not be recorded (see the messages above)" >&2
  exit 1
fi
