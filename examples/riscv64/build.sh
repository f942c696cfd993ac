#!/usr/bin/env bash
# Builds the RISC-V 64 frame encoder with Debian's riscv64-unknown-elf GCC and picolibc and
# writes the image and the linker's and binutils' views of it into OUTDIR (default: this
# folder):
#   firmware.elf firmware.map memory-usage.txt readelf-SlW.txt readelf-s.txt nm-S.txt size-A.txt
# Every path the tools see is relative and nothing depends on the time or the folder, so two
# builds of the same sources give the same files.
#   ./build.sh [OUTDIR]
set -euo pipefail

usage() {
  echo "usage: $0 [OUTDIR]" >&2
  exit 2
}
(($# <= 1)) || usage
[[ ${1-} != -* ]] || usage

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
outdir=${1:-$here}
mkdir -p -- "$outdir"
outdir=$(cd -- "$outdir" && pwd)

tools=(riscv64-unknown-elf-gcc riscv64-unknown-elf-objdump riscv64-unknown-elf-size
  riscv64-unknown-elf-readelf riscv64-unknown-elf-nm)
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null || {
    echo "build.sh: $tool not found (Debian: apt-get install gcc-riscv64-unknown-elf" \
      "picolibc-riscv64-unknown-elf)" >&2
    exit 1
  }
done
specs=$(riscv64-unknown-elf-gcc -print-file-name=picolibc.specs)
[[ $specs == /* && -f $specs ]] || {
  echo "build.sh: picolibc.specs not found (Debian: apt-get install" \
    "picolibc-riscv64-unknown-elf)" >&2
  exit 1
}

export LC_ALL=C
cd "$here"

# The objects and the link happen in a scratch folder, under relative names, so that neither
# the map nor the debugging information names this folder or OUTDIR.
stage=$(mktemp -d "${TMPDIR:-/tmp}/riscv64-build.XXXXXX")
trap 'rm -rf -- "$stage"' EXIT
mkdir "$stage/obj"

# RV64IMAC with the LP64 soft-float ABI, one of the multilibs picolibc ships (-march without
# _zicsr, or the driver picks the double-float default). medany: flash at 0x20000000 and RAM at
# 0x80000000 lie more than 2 GiB apart, out of reach of medlow's absolute addressing.
cpu=(-march=rv64imac -mabi=lp64 -mcmodel=medany)
cflags=("${cpu[@]}" --specs=picolibc.specs -Os -g -std=c11 -Wall -Wextra -Werror
  -ffile-prefix-map="$here"=.)

sources=(main board sequence crc16)
objects=()
for name in "${sources[@]}"; do
  riscv64-unknown-elf-gcc "${cflags[@]}" -c "src/$name.c" -o "$stage/obj/$name.o"
  objects+=("obj/$name.o")
done
cp firmware.ld "$stage/"

# picolibc's crt0 (copies .data, clears .bss, calls main) and its printf without floating
# point (PICOLIBC_INTEGER_PRINTF_SCANF makes picolibc.specs define vfprintf as __i_vfprintf).
# picolibc.specs also adds --gc-sections; without -ffunction-sections it drops only whole
# unused input sections of the libraries.
(
  cd "$stage"
  riscv64-unknown-elf-gcc "${cpu[@]}" --specs=picolibc.specs -DPICOLIBC_INTEGER_PRINTF_SCANF \
    -T firmware.ld -Wl,-Map=firmware.map -Wl,--print-memory-usage -Wl,--fatal-warnings \
    "${objects[@]}" -o firmware.elf >link-stdout.txt
  grep -E '^Memory region|^ *[A-Za-z_][A-Za-z0-9_]*: ' link-stdout.txt >memory-usage.txt || true
  if ! cmp -s link-stdout.txt memory-usage.txt || [[ ! -s memory-usage.txt ]]; then
    echo "build.sh: the linker printed more or less than its memory usage:" >&2
    cat link-stdout.txt >&2
    exit 1
  fi
  riscv64-unknown-elf-readelf -SlW firmware.elf >readelf-SlW.txt
  riscv64-unknown-elf-readelf -sW firmware.elf >readelf-s.txt
  riscv64-unknown-elf-nm -S --defined-only firmware.elf >nm-S.txt
  riscv64-unknown-elf-size -A firmware.elf >size-A.txt
  # Only for the check below, not an output.
  riscv64-unknown-elf-objdump -h -w firmware.elf >sections-wide.lst
)

# The linker's Used Size against the section listing (objdump -h -w: size, VMA, LMA and flags
# of each section, each size checked against size -A). FLASH: the allocated sections whose VMA
# lies in flash, plus the load image of a section with contents whose VMA lies in RAM but whose
# LMA lies in flash (.data). RAM: the allocated sections whose VMA lies in RAM.
flash_start=$((0x20000000)) flash_end=$((0x20000000 + 256 * 1024))
ram_start=$((0x80000000)) ram_end=$((0x80000000 + 64 * 1024))
declare -A size_of=()
while read -r name size _; do
  [[ $name == .* && $size =~ ^[0-9]+$ ]] && size_of[$name]=$size
done <"$stage/size-A.txt"

flash_sum=0 ram_sum=0
while read -r idx name size vma lma _ _ flags; do
  [[ $idx =~ ^[0-9]+$ ]] || continue
  [[ $flags == *ALLOC* ]] || continue
  [[ -n ${size_of[$name]+set} ]] || {
    echo "build.sh: size -A does not list $name" >&2
    exit 1
  }
  ((size_of[$name] == 0x$size)) || {
    echo "build.sh: size -A and objdump -h disagree on the size of $name" >&2
    exit 1
  }
  vma=$((0x$vma)) lma=$((0x$lma)) size=$((0x$size))
  if ((vma >= flash_start && vma < flash_end)); then
    flash_sum=$((flash_sum + size))
  elif ((vma >= ram_start && vma < ram_end)); then
    ram_sum=$((ram_sum + size))
    if [[ $flags == *CONTENTS* ]] && ((lma >= flash_start && lma < flash_end)); then
      flash_sum=$((flash_sum + size))
    fi
  else
    echo "build.sh: allocated section $name lies in neither FLASH nor RAM" >&2
    exit 1
  fi
done <"$stage/sections-wide.lst"

# The Used Size is in bytes (B) unless it is a whole number of KB, MB or GB.
linker_used() {
  local region=$1 sum=$2 line used unit
  line=$(grep -E "^ *$region: " "$stage/memory-usage.txt") || {
    echo "build.sh: the linker printed no usage of $region" >&2
    exit 1
  }
  read -r _ used unit _ <<<"$line"
  case $unit in
    B) ;;
    KB) used=$((used * 1024)) ;;
    MB) used=$((used * 1024 * 1024)) ;;
    *)
      echo "build.sh: unexpected unit in: $line" >&2
      exit 1
      ;;
  esac
  if ((used != sum)); then
    echo "build.sh: $region: the linker counts $used bytes, the sections add up to $sum" \
      "(a gap between sections?)" >&2
    exit 1
  fi
}
linker_used FLASH "$flash_sum"
linker_used RAM "$ram_sum"

for file in firmware.elf firmware.map memory-usage.txt readelf-SlW.txt readelf-s.txt nm-S.txt \
  size-A.txt; do
  cp -- "$stage/$file" "$outdir/$file"
done
echo "build.sh: wrote the image and its listings to $outdir"
