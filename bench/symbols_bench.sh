#!/usr/bin/env bash
# How long vemora-check takes for the symbols of a large linked image, against binutils' nm on
# the same file, and what an image's symbols add to a report.
#   bench/symbols_bench.sh VEMORA_CHECK OUTPUT_DIR [SYMBOLS]
# The images come from bench/make_symbol_image.py (SYMBOLS sized symbols, default 200 000; the
# same bytes every run): symbols.elf, and plain.elf with the same sections and no symbols.
# Before timing, binutils must read the image (readelf -SW without a warning) and the bytes the
# symbols hold must be those nm -S gives (each address and size once, .text and .rodata for
# program0, .data and .bss for memory0). Then hyperfine measures, on the synthetic image and on
# examples/cortex-m/firmware.elf:
#   vemora-check symbols Elf ... --format csv   against   nm -S --size-sort
#   vemora-check report Elf ... --json -        against   the same of the image without symbols
set -euo pipefail
check=${1:?usage: symbols_bench.sh VEMORA_CHECK OUTPUT_DIR [SYMBOLS]}
out=${2:?usage: symbols_bench.sh VEMORA_CHECK OUTPUT_DIR [SYMBOLS]}
count=${3:-200000}
here=$(cd "$(dirname "$0")" && pwd)
check=$(cd "$(dirname "$check")" && pwd)/$(basename "$check")
runs=${RUNS:-10}

for tool in hyperfine readelf nm python3; do
  command -v "$tool" >/dev/null || {
    echo "symbols_bench: please install $tool" >&2
    exit 2
  }
done

python3 "$here/make_symbol_image.py" "$out" "$count"
cd "$out"

# binutils reads both images without a word of complaint.
for image in symbols.elf plain.elf; do
  if readelf -SW "$image" 2>&1 >/dev/null | grep -q .; then
    echo "symbols_bench: readelf complains about $image" >&2
    exit 1
  fi
done
echo "== $(wc -c <symbols.elf) bytes, $(nm -S symbols.elf | wc -l) sized symbols (nm -S)"

# The bytes of each range's symbols as nm gives them, each (address, size) once; functions'
# Thumb bit cleared. No symbol of the generator overlaps another.
nm -S symbols.elf >nm-S.txt
"$check" symbols Elf symbols.def symbols.elf --format json --top 1 >symbols.json
python3 - <<'PY'
import json
seen = set()
program = memory = 0
for line in open("nm-S.txt"):
    address, size, kind, _ = line.split(maxsplit=3)
    address, size = int(address, 16), int(size, 16)
    if kind in "TtWw":  # functions, the weak aliases too
        address &= ~1
    if (address, size) in seen:
        continue
    seen.add((address, size))
    if kind in "TtRrWw":
        program += size
    else:
        memory += size
ranges = {r["id"]: r for r in json.load(open("symbols.json"))["ranges"]}
got = (ranges["program0"]["attributed"], ranges["memory0"]["attributed"])
if got != (program, memory):
    raise SystemExit(f"symbols_bench: attributed {got}, nm gives {(program, memory)}")
print(f"== attributed bytes as nm -S gives them: program0 {program}, memory0 {memory}")
PY

echo "== symbols --format csv against nm -S --size-sort"
hyperfine -N -w 2 -r "$runs" "nm -S --size-sort symbols.elf" \
  "$check symbols Elf symbols.def symbols.elf --format csv" 2>&1 | grep -E 'Benchmark|Time'
echo "== report --json with and without symbols"
hyperfine -N -w 2 -r "$runs" "$check report Elf symbols.def plain.elf --json -" \
  "$check report Elf symbols.def symbols.elf --json -" 2>&1 | grep -E 'Benchmark|Time'

firmware=$here/../examples/cortex-m
arm-none-eabi-strip -V >/dev/null 2>&1 && strip=arm-none-eabi-strip || strip=strip
"$strip" --strip-all -o cortex-m-stripped.elf "$firmware/firmware.elf"
echo "== examples/cortex-m/firmware.elf"
hyperfine -N -w 3 -r "$((runs * 3))" "nm -S --size-sort $firmware/firmware.elf" \
  "$check symbols Elf $firmware/memory.def $firmware/firmware.elf --format csv" \
  "$check report Elf $firmware/memory.def cortex-m-stripped.elf --json -" \
  "$check report Elf $firmware/memory.def $firmware/firmware.elf --json -" 2>&1 |
  grep -E 'Benchmark|Time'

echo "== peak resident memory"
for run in "symbols Elf symbols.def symbols.elf --format csv" \
  "report Elf symbols.def symbols.elf --json -" "report Elf symbols.def plain.elf --json -"; do
  /usr/bin/time -f "%M KB  %e s  vemora-check $run" "$check" $run >/dev/null
done
/usr/bin/time -f "%M KB  %e s  nm -S --size-sort symbols.elf" nm -S --size-sort symbols.elf \
  >/dev/null

# A diff of two such builds: the second report is the first with one symbol in a hundred
# grown by 4 bytes and one in two hundred renamed (so removed and added), written by a script;
# its sums no longer add up, which a diff does not check. The same diff of the reports of the
# image without symbols is the baseline.
echo "== diff of two reports with and without symbols"
"$check" report Elf symbols.def symbols.elf --json base.json
"$check" report Elf symbols.def plain.elf --json plain-base.json
python3 - <<'PY'
import json
report = json.load(open("base.json"))
for i, symbol in enumerate(report["symbols"]):
    if i % 100 == 7:
        symbol["size"] += 4
        symbol["bytes"] += 4
    if i % 200 == 11:
        symbol["key"] += "_renamed"
        symbol["display"] += "_renamed"
json.dump(report, open("current.json", "w"), indent=1)
PY
cp plain-base.json plain-current.json
ls -l base.json current.json plain-base.json | awk '{print "   " $5 " bytes  " $9}'
hyperfine -N -w 1 -r "$runs" "$check diff plain-base.json plain-current.json" \
  "$check diff base.json current.json" 2>&1 | grep -E 'Benchmark|Time'
for run in "diff plain-base.json plain-current.json" "diff base.json current.json" \
  "diff base.json current.json --format json"; do
  /usr/bin/time -f "%M KB  %e s  vemora-check $run" "$check" $run >/dev/null
done
