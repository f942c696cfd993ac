#!/usr/bin/env bash
# How long headless Chromium takes to open and draw vemora-check's HTML page of a listing
# with many counted sections (100 000 unless given), and how long the page takes to write.
#   bench/html_report_bench.sh VEMORA_CHECK OUTPUT_DIR [SECTIONS]
# CHROMIUM names the browser (default: chromium on the PATH).
# The listing is made here, always the same bytes: a 32-bit elxr listing whose sections
# all land in two flash ranges and two RAM ranges (every one counted), names distinct, five SEARCH lines.
set -euo pipefail
check=${1:?usage: html_report_bench.sh VEMORA_CHECK OUTPUT_DIR [SECTIONS]}
out=${2:?usage: html_report_bench.sh VEMORA_CHECK OUTPUT_DIR [SECTIONS]}
count=${3:-100000}
chromium=${CHROMIUM:-chromium}
mkdir -p "$out"

seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

cat >"$out/many.def" <<'DEF'
PROGRAM 0x00000000 0x02000000 // code flash, 32 MiB
PROGRAM 0x03000000 0x00100000 // boot flash, 1 MiB
MEMORY  0xFE000000 0x00800000 // local RAM
MEMORY  0xFE800000 0x00800000 // global RAM
SEARCH text
SEARCH rodata
SEARCH data
SEARCH bss
SEARCH |vect |init
DEF

# One section in fifty goes to the boot flash, one in five to RAM; sizes from a fixed linear congruential sequence.
awk -v count="$count" 'BEGIN {
  split("text rodata data bss vect init", kinds, " ")
  print "elxr 5.4.2 section listing\nImage:   many.elf\n\nSections:"
  print "Idx Name                      Size      VMA       LMA       File off  Algn"
  seed = 20261209; flash = 0; ram = 0; boot = 0
  for (i = 0; i < count; ++i) {
    seed = (seed * 1103515245 + 12345) % 2147483648
    size = 16 + seed % 640
    if (i % 50 == 0) {
      kind = "vect"; start = 50331648 + boot; boot += size
    } else if (i % 5 == 4) {
      kind = (i % 2) ? "data" : "bss"; start = 4261412864 + ram; ram += size
    } else {
      kind = kinds[1 + (int(seed / 7) % 6)]
      if (kind == "data" || kind == "bss") kind = "text"
      start = flash; flash += size
    }
    printf "%6d .%s.m%06d            %08x  %08x  %08x  %08x  2**2\n", i, kind, i, size, start, start, i * 16
    printf "                              CONTENTS, ALLOC, LOAD, READONLY, CODE\n"
  }
}' >"$out/many.map"

keyword=Tev2_mem32_unlimited
counted=$("$check" explain $keyword "$out/many.def" "$out/many.map" --fate counted --format csv |
  tail -n +2 | wc -l)
echo "counted sections: $counted"

start=$(date +%s.%N)
"$check" report $keyword "$out/many.def" "$out/many.map" --html "$out/many.html"
end=$(date +%s.%N)
echo "vemora-check --html: $(seconds "$start" "$end") s, $(stat -c %s "$out/many.html") bytes"

profile=$(mktemp -d "${TMPDIR:-/tmp}/vemora-bench-profile.XXXXXX")
start=$(date +%s.%N)
HOME=$profile timeout 300 "$chromium" --headless --no-sandbox --disable-gpu --no-first-run \
  --user-data-dir="$profile/data" --virtual-time-budget=5000 --window-size=1400,1500 \
  --dump-dom "file://$(realpath "$out/many.html")" 2>/dev/null >"$out/many.dom.html"
end=$(date +%s.%N)
rm -rf "$profile"
body=$(grep -o '<body[^>]*>' "$out/many.dom.html" | head -1)
drawn=$(grep -o 'data-drawn="[a-z]*"' "$out/many.dom.html" | tr '\n' ' ' || true)
echo "chromium, open to dumped DOM: $(seconds "$start" "$end") s; $body; treemaps $drawn"
