#!/usr/bin/env bash
# Builds the big-endian Cortex-M3 image with Debian's arm-none-eabi GCC, without any library,
# and writes binutils' views of it into OUTDIR (default: this folder):
#   firmware.elf readelf-SlW.txt nm-S.txt
# The compiler sees relative names only and nothing depends on the time or the folder.
#   ./build.sh [OUTDIR]
set -euo pipefail

(($# <= 1)) || {
  echo "usage: $0 [OUTDIR]" >&2
  exit 2
}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
outdir=${1:-$here}
mkdir -p -- "$outdir"
outdir=$(cd -- "$outdir" && pwd)

for tool in arm-none-eabi-gcc arm-none-eabi-readelf arm-none-eabi-nm; do
  command -v "$tool" >/dev/null || {
    echo "build.sh: $tool not found (Debian: apt-get install gcc-arm-none-eabi)" >&2
    exit 1
  }
done

export LC_ALL=C
stage=$(mktemp -d "${TMPDIR:-/tmp}/arm-big-endian.XXXXXX")
trap 'rm -rf -- "$stage"' EXIT
cp -r "$here/src" "$here/link.ld" "$stage/"
(
  cd "$stage"
  arm-none-eabi-gcc -mcpu=cortex-m3 -mthumb -mbig-endian -Os -std=c11 -Wall -Wextra -Werror \
    -nostdlib -T link.ld -Wl,--fatal-warnings src/main.c -o firmware.elf
  arm-none-eabi-readelf -SlW firmware.elf >readelf-SlW.txt
  arm-none-eabi-nm -S firmware.elf >nm-S.txt
)
for file in firmware.elf readelf-SlW.txt nm-S.txt; do
  cp -- "$stage/$file" "$outdir/$file"
done
echo "build.sh: wrote the image and its listings to $outdir"
