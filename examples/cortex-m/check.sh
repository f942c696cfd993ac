#!/usr/bin/env bash
# Rebuilds the Cortex-M3 demo logger into a temporary folder and checks that the rebuild gives
# exactly the committed files: the image, the map, the section and symbol listings, the
# linker's memory usage and the expected figures. The build is reproducible, so every file is compared byte for
# byte; a difference means the committed files are stale or the toolchain changed.
#   ./check.sh
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here"

work=$(mktemp -d "${TMPDIR:-/tmp}/cortex-m-check.XXXXXX")
trap 'rm -rf -- "$work"' EXIT

./build.sh "$work" >/dev/null

text_files=(firmware.lst firmware-wide.lst memory-usage.txt size-A.txt readelf-SlW.txt
  readelf-s.txt nm-S.txt expected-usage.txt)
binary_files=(firmware.elf firmware.map)
failed=0
for file in "${text_files[@]}" "${binary_files[@]}"; do
  if [[ ! -f $file ]]; then
    echo "check.sh: $file is missing in $here: run ./build.sh and commit the result" >&2
    failed=1
  elif ! cmp -s -- "$file" "$work/$file"; then
    echo "check.sh: $file differs from its rebuild:" >&2
    if [[ " ${text_files[*]} " == *" $file "* ]]; then
      diff -u --label "committed $file" --label "rebuilt $file" -- "$file" "$work/$file" |
        head -n 40 >&2 || true
    fi
    failed=1
  fi
done

# The committed expected figures must be the linker's own Used Size (build.sh has already
# checked them against the section sizes of the rebuild).
while read -r region used; do
  line=$(grep -E "^ *$region: " memory-usage.txt) || {
    echo "check.sh: memory-usage.txt has no line for $region" >&2
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
    echo "check.sh: expected-usage.txt says $region $used, the linker printed: $line" >&2
    failed=1
  fi
done <expected-usage.txt

if [[ -f firmware.elf ]]; then
  size=$(wc -c <firmware.elf)
  if ((size > 200 * 1024)); then
    echo "check.sh: firmware.elf has $size bytes, more than the 200 KiB kept in the" \
      "repository" >&2
    failed=1
  fi
fi

if ((failed)); then
  echo "check.sh: the committed firmware files do not match a rebuild of the sources" >&2
  exit 1
fi
echo "check.sh: the rebuild matches the committed files"
