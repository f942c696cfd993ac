#!/usr/bin/env bash
# Rebuilds the Cortex-M3 demo logger and its variants next and reorder into a temporary folder
# and checks that each rebuild gives exactly the committed files: the image, the map, the
# section and symbol listings, the linker's memory usage and the expected figures. The build is
# reproducible, so every file is compared byte for byte; a difference means the committed files
# are stale or the toolchain changed. The hand-written symbol changes of each variant
# (symbol-changes.txt, symbol-deltas.txt) must be what symbol-changes.sh computes from the
# rebuilds.
#   ./check.sh
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here"

work=$(mktemp -d "${TMPDIR:-/tmp}/cortex-m-check.XXXXXX")
trap 'rm -rf -- "$work"' EXIT

variants=(next reorder)
./build.sh "$work" >/dev/null
for variant in "${variants[@]}"; do
  ./build.sh --variant "$variant" "$work/$variant" >/dev/null
done

text_files=(firmware.lst firmware-wide.lst memory-usage.txt size-A.txt readelf-SlW.txt
  readelf-s.txt nm-S.txt expected-usage.txt)
binary_files=(firmware.elf firmware.map)
failed=0

# Compares the committed files of one build (the folder $1, "." for the base) with its rebuild.
check_build() {
  local dir=$1 prefix=$1/ file shown
  [[ $dir != . ]] || prefix=
  for file in "${text_files[@]}" "${binary_files[@]}"; do
    shown=$prefix$file
    if [[ ! -f $dir/$file ]]; then
      echo "check.sh: $shown is missing in $here: run ./build.sh and commit the result" >&2
      failed=1
    elif ! cmp -s -- "$dir/$file" "$work/$dir/$file"; then
      echo "check.sh: $shown differs from its rebuild:" >&2
      if [[ " ${text_files[*]} " == *" $file "* ]]; then
        diff -u --label "committed $shown" --label "rebuilt $shown" -- "$dir/$file" \
          "$work/$dir/$file" | head -n 40 >&2 || true
      fi
      failed=1
    fi
  done

  # The committed expected figures must be the linker's own Used Size (build.sh has already
  # checked them against the section sizes of the rebuild).
  [[ -f $dir/expected-usage.txt && -f $dir/memory-usage.txt ]] || return 0
  local region used line linker_used unit
  while read -r region used; do
    line=$(grep -E "^ *$region: " "$dir/memory-usage.txt") || {
      echo "check.sh: ${prefix}memory-usage.txt has no line for $region" >&2
      failed=1
      continue
    }
    read -r _ linker_used unit _ <<<"$line"
    case $unit in
      B) ;;
      KB) linker_used=$((linker_used * 1024)) ;;
      MB) linker_used=$((linker_used * 1024 * 1024)) ;;
      *) linker_used=unknown ;;
    esac
    if [[ $linker_used != "$used" ]]; then
      echo "check.sh: ${prefix}expected-usage.txt says $region $used, the linker printed:" \
        "$line" >&2
      failed=1
    fi
  done <"$dir/expected-usage.txt"

  if [[ -f $dir/firmware.elf ]]; then
    local size
    size=$(wc -c <"$dir/firmware.elf")
    if ((size > 200 * 1024)); then
      echo "check.sh: ${prefix}firmware.elf has $size bytes, more than the 200 KiB kept in" \
        "the repository" >&2
      failed=1
    fi
  fi
}

check_build .
for variant in "${variants[@]}"; do
  check_build "$variant"
  # The hand-written symbol changes against the base build, without their comment lines.
  for list in changes deltas; do
    file=$variant/symbol-$list.txt
    computed=$work/$variant/symbol-$list.txt
    if [[ ! -f $file ]]; then
      echo "check.sh: $file is missing in $here" >&2
      failed=1
    elif ! ./symbol-changes.sh "--$list" "$work" "$work/$variant" >"$computed"; then
      echo "check.sh: symbol-changes.sh failed on the rebuilds of the base and $variant" >&2
      failed=1
    elif ! sed '/^#/d' "$file" | diff -u --label "committed $file" \
      --label "symbol-changes.sh --$list" - "$computed" >&2; then
      echo "check.sh: $file is not what symbol-changes.sh computes from the rebuilds" >&2
      failed=1
    fi
  done
done

if ((failed)); then
  echo "check.sh: the committed firmware files do not match a rebuild of the sources" >&2
  exit 1
fi
echo "check.sh: the rebuilds match the committed files"
