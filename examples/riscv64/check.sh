#!/usr/bin/env bash
# Rebuilds the RISC-V 64 frame encoder into a temporary folder and checks that the rebuild gives
# exactly the committed files: the image, the map, the linker's memory usage and binutils'
# listings. The build is reproducible, so every file is compared byte for byte; a difference
# means the committed files are stale or the toolchain changed.
#   ./check.sh
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here"

work=$(mktemp -d "${TMPDIR:-/tmp}/riscv64-check.XXXXXX")
trap 'rm -rf -- "$work"' EXIT

./build.sh "$work" >/dev/null

text_files=(memory-usage.txt readelf-SlW.txt readelf-s.txt nm-S.txt size-A.txt)
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
