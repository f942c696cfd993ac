#!/usr/bin/env bash
# Pairs the symbols of two builds of the Cortex-M3 demo logger by key and prints, from
# binutils' listings alone, the lines of symbol-changes.txt (--changes, the default) or of
# symbol-deltas.txt (--deltas), without their '#' lines. BASE and CURRENT are folders that
# build.sh wrote: readelf-s.txt (readelf -sW), readelf-SlW.txt (readelf -SlW) and
# memory-usage.txt of each are read.
#   ./symbol-changes.sh [--changes|--deltas] BASE CURRENT
#
# A symbol is a FUNC, OBJECT or NOTYPE entry with a nonzero size in a section with the flag A.
# Its key is its name without GCC's clone suffixes (.isra.N, .part.N, .constprop.N, .cold,
# .cold.N, .lto_priv.N) and LLVM's .llvm.N, stripped as long as one ends the name; a local
# also loses its counter (.N) and is prefixed with its file, the name of the FILE entry before
# it, and a colon (main.c:previous). A key that two symbols of one build share cannot be
# paired: the script stops.
#
# --changes: STATUS KEY BASE_SIZE CURRENT_SIZE SECTION, tab-separated, sorted by key, one line
# per key whose size or section differs: grown, shrunk, added (base size 0), removed (current
# size 0) or moved (the section changed; SECTION is the current one).
# --deltas: SECTION DELTA per section that has such a line, sorted by name, the sum of current
# minus base size (a moved symbol counts out of its base section and into its current one);
# then REGION DELTA for FLASH and RAM, the difference of the linker's Used Size. A delta is
# signed: +8, -16, 0.
set -euo pipefail

usage() {
  echo "usage: $0 [--changes|--deltas] BASE CURRENT" >&2
  exit 2
}
mode=changes
case ${1-} in
  --changes | --deltas)
    mode=${1#--}
    shift
    ;;
esac
(($# == 2)) || usage
base=$1 current=$2
for dir in "$base" "$current"; do
  for file in readelf-s.txt readelf-SlW.txt memory-usage.txt; do
    [[ -f $dir/$file ]] || {
      echo "symbol-changes.sh: $dir/$file not found (a folder build.sh wrote?)" >&2
      exit 1
    }
  done
done
export LC_ALL=C

# One line per counted symbol of a build: KEY SIZE SECTION.
symbols_of() {
  awk '
    function hex_value(text, digits, i, value) {
      digits = "0123456789abcdef"
      value = 0
      text = tolower(text)
      for (i = 1; i <= length(text); ++i) {
        value = value * 16 + index(digits, substr(text, i, 1)) - 1
      }
      return value
    }
    function key_of(name, local, again) {
      do {
        again = 0
        if (match(name, /.\.(isra|part|constprop|cold|lto_priv|llvm)\.[0-9]+$/) ||
            match(name, /.\.cold$/)) {
          name = substr(name, 1, RSTART)
          again = 1
        } else if (local && match(name, /.\.[0-9]+$/)) {
          name = substr(name, 1, RSTART)
          again = 1
        }
      } while (again)
      return local && file != "" ? file ":" name : name
    }
    FNR == 1 { ++part }
    part == 1 && /^ *\[ *[0-9]+\]/ {
      line = $0
      sub(/^ *\[ */, "", line)
      index_text = line
      sub(/\].*/, "", index_text)
      sub(/^[0-9]+\] */, "", line)
      n = split(line, field, " ")
      # name type address offset size entsize [flags] link info align; the first section
      # has no name.
      if (n == 10) {
        name_of[index_text] = field[1]
        allocated[index_text] = field[7] ~ /A/
      } else if (n == 9 && field[6] ~ /^[0-9a-f]+$/ && field[7] ~ /^[0-9]+$/) {
        name_of[index_text] = field[1]
        allocated[index_text] = 0
      }
      next
    }
    part == 2 && $1 ~ /^[0-9]+:$/ {
      if ($4 == "FILE") {
        file = $8
        next
      }
      size = $3 ~ /^0x/ ? hex_value(substr($3, 3)) : $3 + 0
      if (size == 0 || $4 !~ /^(FUNC|OBJECT|NOTYPE)$/ || !($7 in allocated) || !allocated[$7])
        next
      print key_of($8, $5 == "LOCAL"), size, name_of[$7]
    }
  ' "$1/readelf-SlW.txt" "$1/readelf-s.txt" | sort -k1,1
}

base_symbols=$(symbols_of "$base")
current_symbols=$(symbols_of "$current")
for listing in "$base_symbols" "$current_symbols"; do
  shared=$(awk '{ print $1 }' <<<"$listing" | uniq -d)
  if [[ -n $shared ]]; then
    echo "symbol-changes.sh: keys of more than one symbol, which cannot be paired:" $shared >&2
    exit 1
  fi
done

# KEY BASE_SIZE BASE_SECTION CURRENT_SIZE CURRENT_SECTION, "-" for a side without the key.
paired=$(join -a 1 -a 2 -e - -o 0,1.2,1.3,2.2,2.3 <(echo "$base_symbols") \
  <(echo "$current_symbols"))

changes=$(awk -v OFS='\t' '
  $2 == "-" { print "added", $1, 0, $4, $5; next }
  $4 == "-" { print "removed", $1, $2, 0, $3; next }
  $3 != $5 { print "moved", $1, $2, $4, $5; next }
  $4 > $2 { print "grown", $1, $2, $4, $5; next }
  $4 < $2 { print "shrunk", $1, $2, $4, $5 }
' <<<"$paired")

if [[ $mode == changes ]]; then
  [[ -z $changes ]] || echo "$changes"
  exit 0
fi

signed() {
  if (($1 > 0)); then
    echo "+$1"
  else
    echo "$1"
  fi
}

if [[ -n $changes ]]; then
  # A moved line names the current section only; its base section comes from the pairing.
  awk '
    $2 == "-" { delta[$5] += $4; next }
    $4 == "-" { delta[$3] -= $2; next }
    $3 != $5 || $2 != $4 { delta[$3] -= $2; delta[$5] += $4 }
    END { for (section in delta) print section, delta[section] }
  ' <<<"$paired" | sort | while read -r section delta; do
    printf '%s\t%s\n' "$section" "$(signed "$delta")"
  done
fi

# The linker's Used Size of a region in bytes: B, or a whole number of KB or MB.
used_of() {
  local line used unit
  line=$(grep -E "^ *$2: " "$1/memory-usage.txt") || {
    echo "symbol-changes.sh: $1/memory-usage.txt has no line for $2" >&2
    exit 1
  }
  read -r _ used unit _ <<<"$line"
  case $unit in
    B) echo "$used" ;;
    KB) echo $((used * 1024)) ;;
    MB) echo $((used * 1024 * 1024)) ;;
    *)
      echo "symbol-changes.sh: unexpected unit in: $line" >&2
      exit 1
      ;;
  esac
}
for region in FLASH RAM; do
  base_used=$(used_of "$base" "$region")
  current_used=$(used_of "$current" "$region")
  printf '%s\t%s\n' "$region" "$(signed $((current_used - base_used)))"
done
