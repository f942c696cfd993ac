#!/usr/bin/env bash
# Rebuilds the big-endian image into a temporary folder and checks that the rebuild gives
# exactly the committed files. The build is reproducible, so a difference means the committed
# files are stale or the toolchain changed.
#   ./check.sh
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here"
work=$(mktemp -d "${TMPDIR:-/tmp}/arm-big-endian-check.XXXXXX")
trap 'rm -rf -- "$work"' EXIT

./build.sh "$work" >/dev/null
failed=0
for file in firmware.elf readelf-SlW.txt nm-S.txt; do
  if [[ ! -f $file ]]; then
    echo "check.sh: $file is missing in $here: run ./build.sh and commit the result" >&2
    failed=1
  elif ! cmp -s -- "$file" "$work/$file"; then
    echo "check.sh: $file differs from its rebuild" >&2
    if [[ $file == *.txt ]]; then
      diff -u --label "committed $file" --label "rebuilt $file" -- "$file" "$work/$file" |
        head -n 40 >&2 || true
    fi
    failed=1
  fi
done
exit "$failed"
