#!/bin/bash
# Compares two records of the behaviour matrix (run_matrix.sh) and reports
# every difference: a command present in one record only, and per command
# each record file that differs (status, stdout, stderr, files, headers,
# progress), with the output files or console lines concerned.
#   tests/matrix/compare.sh OUT_A OUT_B
# Exit status: 0 when the two agree, 1 when anything differs, 2 on misuse.
set -euo pipefail
export LC_ALL=C

if [ $# -ne 2 ] || [ ! -d "$1/cmds" ] || [ ! -d "$2/cmds" ]; then
  echo "usage: $0 OUT_A OUT_B (folders written by run_matrix.sh)" >&2
  exit 2
fi
a=$(cd "$1" && pwd)
b=$(cd "$2" && pwd)
differences=0
commands=0

# show_lines A B: the lines that differ, carriage returns shown as line
# breaks (progress lines overwrite each other with them), at most 20.
show_lines() {
  diff <(tr '\r' '\n' <"$1" | cat -v) <(tr '\r' '\n' <"$2" | cat -v) | grep '^[<>]' |
    head -n 20 | sed 's/^/      /' || true
}

# show_named A B: for records of "... name" or "name: ..." lines, the names
# whose lines differ or are missing on one side.
show_named() {
  local key=$3
  join -t $'\t' -a1 -a2 -e '(none)' -o 0,1.2,2.2 \
    <(awk -v k="$key" '{ key = (k == "last" ? $NF : $1); sub(/:$/, "", key); print key "\t" $0 }' "$1" | LC_ALL=C sort) \
    <(awk -v k="$key" '{ key = (k == "last" ? $NF : $1); sub(/:$/, "", key); print key "\t" $0 }' "$2" | LC_ALL=C sort) |
    awk -F '\t' '$2 != $3 { print "      " $1 ":\n        A " $2 "\n        B " $3 }' | head -n 60
}

if ! cmp -s "$a/inputs" "$b/inputs"; then
  echo "inputs: the generated inputs differ (sox/ffmpeg output changed?)"
  show_named "$a/inputs" "$b/inputs" last
  differences=$((differences + 1))
fi

while IFS= read -r id; do
  commands=$((commands + 1))
  if [ ! -d "$a/cmds/$id" ] || [ ! -d "$b/cmds/$id" ]; then
    echo "$id: only in $([ -d "$a/cmds/$id" ] && echo A || echo B)"
    differences=$((differences + 1))
    continue
  fi
  while IFS= read -r rel; do
    fa=$a/cmds/$id/$rel
    fb=$b/cmds/$id/$rel
    if [ ! -f "$fa" ] || [ ! -f "$fb" ]; then
      echo "$id: $rel only in $([ -f "$fa" ] && echo A || echo B)"
    elif ! cmp -s "$fa" "$fb"; then
      echo "$id: $rel differs"
      case ${rel##*/} in
        files) show_named "$fa" "$fb" last ;;
        headers) show_named "$fa" "$fb" first ;;
        status) echo "      A $(cat "$fa"), B $(cat "$fb")" ;;
        *) show_lines "$fa" "$fb" ;;
      esac
    else
      continue
    fi
    differences=$((differences + 1))
  done < <( (cd "$a/cmds/$id" && find . -type f -printf '%P\n'
    cd "$b/cmds/$id" && find . -type f -printf '%P\n') | sort -u)
done < <( (ls "$a/cmds"; ls "$b/cmds") | sort -u)

if [ "$differences" -gt 0 ]; then
  echo "$differences difference(s) over $commands commands"
  exit 1
fi
echo "no difference over $commands commands"
