#!/usr/bin/env bash
# Instructions per line of both section-line matchers, counted by callgrind:
# the sample runs with 1 and with 11 repetitions, and the difference divided
# by 10 times the sample's lines is the cost of one line for both matchers,
# without the start-up. Fails when it exceeds the bound.
# usage: check_instructions.sh MATCHER_SAMPLE MODE BOUND
set -euo pipefail
sample=$1 mode=$2 bound=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

count() {
  valgrind --tool=callgrind --callgrind-out-file="$work/out.$1" "$sample" "$mode" "$1" \
    >"$work/stdout.$1" 2>/dev/null
  awk '/^summary:/ { print $2 }' "$work/out.$1"
}
lines=$("$sample" "$mode" 1 | awk '{ print $1 }')
one=$(count 1)
eleven=$(count 11)
per_line=$(( (eleven - one) / (10 * lines) ))
echo "$mode: $per_line instructions per line for both matchers (bound $bound)"
if (( per_line > bound )); then
  echo "FAILED: the matchers cost more than $bound instructions per line" >&2
  exit 1
fi
