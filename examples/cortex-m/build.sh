#!/usr/bin/env bash
# Builds the Cortex-M3 demo logger with Debian's arm-none-eabi GCC and newlib (nano) and writes
# the image and the linker's and binutils' views of it into OUTDIR (default: this folder):
#   firmware.elf firmware.map memory-usage.txt firmware.lst firmware-wide.lst size-A.txt
#   readelf-SlW.txt readelf-s.txt nm-S.txt expected-usage.txt
# Every path the tools see is relative and nothing depends on the time or the folder, so two
# builds of the same sources give the same files.
#   ./build.sh [--variant next|reorder] [OUTDIR]
# A variant is the same program with VARIANT.patch applied to a copy of src/ (and, for next,
# main.c built with -O2); its files go to the folder VARIANT/ by default.
set -euo pipefail

usage() {
  echo "usage: $0 [--variant next|reorder] [OUTDIR]" >&2
  exit 2
}
variant=
if [[ ${1-} == --variant ]]; then
  (($# >= 2)) || usage
  variant=$2
  shift 2
  [[ $variant == next || $variant == reorder ]] || usage
fi
(($# <= 1)) || usage
[[ ${1-} != -* ]] || usage

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
outdir=${1:-$here${variant:+/$variant}}
mkdir -p -- "$outdir"
outdir=$(cd -- "$outdir" && pwd)

for tool in arm-none-eabi-gcc arm-none-eabi-g++ arm-none-eabi-objdump arm-none-eabi-size \
  arm-none-eabi-readelf arm-none-eabi-nm; do
  command -v "$tool" >/dev/null || {
    echo "build.sh: $tool not found (Debian: apt-get install gcc-arm-none-eabi" \
      "libnewlib-arm-none-eabi)" >&2
    exit 1
  }
done

if [[ -n $variant ]] && ! command -v patch >/dev/null; then
  echo "build.sh: patch not found, needed for --variant (Debian: apt-get install patch)" >&2
  exit 1
fi

export LC_ALL=C
cd "$here"

# The sources are copied to a scratch folder, where a variant's patch is applied to them, and
# compiled and linked there under relative names, so that neither the map nor the debugging
# information names this folder, the scratch folder or OUTDIR.
stage=$(mktemp -d "${TMPDIR:-/tmp}/cortex-m-build.XXXXXX")
trap 'rm -rf -- "$stage"' EXIT
mkdir "$stage/obj"
cp -R src "$stage/src"
cp firmware.ld "$stage/"

# The optimisation of each source; a variant may build one differently.
declare -A optimisation=([startup]=-Os [syscalls]=-Os [main]=-Os [crc32]=-Os [filter]=-Os)
if [[ -n $variant ]]; then
  patch --quiet --batch --forward --fuzz=0 --no-backup-if-mismatch -p1 -d "$stage" \
    <"$variant.patch" || {
    echo "build.sh: $variant.patch does not apply to src/" >&2
    exit 1
  }
  [[ $variant != next ]] || optimisation[main]=-O2
fi

cpu=(-mcpu=cortex-m3 -mthumb)
common=(-g -Wall -Wextra -Werror -ffile-prefix-map="$stage"=.)
cxx_only=(-fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-use-cxa-atexit)

c_sources=(startup syscalls main crc32)
objects=()
(
  cd "$stage"
  for name in "${c_sources[@]}"; do
    arm-none-eabi-gcc "${cpu[@]}" "${optimisation[$name]}" "${common[@]}" -std=c11 \
      -c "src/$name.c" -o "obj/$name.o"
  done
  arm-none-eabi-g++ "${cpu[@]}" "${optimisation[filter]}" "${common[@]}" -std=c++17 \
    "${cxx_only[@]}" -c src/filter.cpp -o obj/filter.o
)
for name in "${c_sources[@]}" filter; do
  objects+=("obj/$name.o")
done

# Linked by the gcc driver, not g++: the C++ part needs nothing of libstdc++. printf with
# floating point from newlib nano; the system calls are in syscalls.c, the start-up in
# startup.c (no crt0).
(
  cd "$stage"
  arm-none-eabi-gcc "${cpu[@]}" -specs=nano.specs -u _printf_float -nostartfiles \
    -T firmware.ld -Wl,-Map=firmware.map -Wl,--print-memory-usage -Wl,--fatal-warnings \
    "${objects[@]}" -o firmware.elf >link-stdout.txt
  grep -E '^Memory region|^ *[A-Za-z_][A-Za-z0-9_]*: ' link-stdout.txt >memory-usage.txt || true
  if ! cmp -s link-stdout.txt memory-usage.txt || [[ ! -s memory-usage.txt ]]; then
    echo "build.sh: the linker printed more or less than its memory usage:" >&2
    cat link-stdout.txt >&2
    exit 1
  fi
  arm-none-eabi-objdump -h firmware.elf >firmware.lst
  arm-none-eabi-objdump -h -w firmware.elf >firmware-wide.lst
  arm-none-eabi-size -A firmware.elf >size-A.txt
  arm-none-eabi-readelf -SlW firmware.elf >readelf-SlW.txt
  arm-none-eabi-readelf -sW firmware.elf >readelf-s.txt
  arm-none-eabi-nm -S --defined-only firmware.elf >nm-S.txt
)

# The expected figures, from the linker and binutils alone. objdump -h -w gives per section
# size, VMA, LMA and flags on one line. FLASH: allocated sections whose VMA lies in flash, plus
# the load image of a section with contents whose VMA lies elsewhere but whose LMA lies in flash
# (.data). RAM: allocated sections whose VMA lies in RAM. The sizes are those of size -A.
flash_start=$((0x08000000)) flash_end=$((0x08000000 + 64 * 1024))
ram_start=$((0x20000000)) ram_end=$((0x20000000 + 20 * 1024))
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
done <"$stage/firmware-wide.lst"

# The linker's Used Size is in bytes (B) unless it is a whole number of KB, MB or GB; its
# percentage has two decimals of the region size. Both are checked against the sums.
linker_used() {
  local region=$1 total=$2 sum=$3 line used unit pct
  line=$(grep -E "^ *$region: " "$stage/memory-usage.txt") || {
    echo "build.sh: the linker printed no usage of $region" >&2
    exit 1
  }
  read -r _ used unit _ _ pct <<<"$line"
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
  local expected_pct
  expected_pct=$(awk -v u="$used" -v t="$total" 'BEGIN { printf "%.2f%%", 100 * u / t }')
  if [[ $pct != "$expected_pct" ]]; then
    echo "build.sh: $region: the linker prints $pct, $used of $total bytes is $expected_pct" >&2
    exit 1
  fi
  echo "$region $used"
}
{
  linker_used FLASH $((flash_end - flash_start)) "$flash_sum"
  linker_used RAM $((ram_end - ram_start)) "$ram_sum"
} >"$stage/expected-usage.txt"

for file in firmware.elf firmware.map memory-usage.txt firmware.lst firmware-wide.lst \
  size-A.txt readelf-SlW.txt readelf-s.txt nm-S.txt expected-usage.txt; do
  cp -- "$stage/$file" "$outdir/$file"
done
echo "build.sh: wrote the image and its listings to $outdir"
