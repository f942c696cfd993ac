#!/usr/bin/env bash
# Reproduces the numbers in BENCHMARKS.md: builds the benchmark targets,
# generates the synthetic inputs (fixed seed) and measures
#   - the line floor, the matchers and the std::regex reference side by side,
#   - whole-process wall time against `wc -l` on the same file (hyperfine),
#   - the std::regex build of the same pipeline,
#   - scaling with ten times the sections, and peak memory on a 1 GB listing,
#   - a real listing: `arm-none-eabi-objdump -h` of every newlib archive of
#     Debian's libnewlib-arm-none-eabi (150 MB), when that and
#     binutils-arm-none-eabi are installed; skipped otherwise.
# usage: bench/run_benchmarks.sh [DATA_DIR]   (needs about 1.5 GB free there)
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-/tmp/vemora-bench}
build=build-bench
mkdir -p "$data/small" "$data/big"

for pkg in libbenchmark-dev hyperfine; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || {
    echo "run_benchmarks: please install $pkg" >&2
    exit 2
  }
done

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEMORA_BENCHMARKS=ON \
  -DVEMORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
gen="$build/bench/generate_inputs"
"$gen" typical "$data"
"$gen" sections "$data"
"$gen" adversarial "$data"
"$gen" altium "$data"
"$gen" sections "$data/small" 5
"$gen" typical "$data/big" 1024

# The real listing is made here, never stored: objdump -h writes the same
# section line and attribute line as an elxr listing. All the objects are
# relocatable, so every section starts at 0 and one PROGRAM range holds them.
real=no
if command -v arm-none-eabi-objdump >/dev/null &&
  dpkg-query -W -f='${Status}' libnewlib-arm-none-eabi 2>/dev/null | grep -q "install ok installed"; then
  dpkg -L libnewlib-arm-none-eabi | grep -E '^/usr/lib/arm-none-eabi/newlib/(.*/)?lib[^/]*\.a$' |
    LC_ALL=C sort | while read -r archive; do
    arm-none-eabi-objdump -h "$archive"
  done >"$data/newlib.map"
  printf '%s\n' 'PROGRAM 0 01000000' 'SEARCH text' 'SEARCH rodata' 'SEARCH data !rodata' \
    'SEARCH bss' 'SEARCH |init_array |ARM.attributes !debug' >"$data/newlib.def"
  real=yes
else
  echo "run_benchmarks: binutils-arm-none-eabi or libnewlib-arm-none-eabi is not installed:" \
    "the real listing is skipped" >&2
fi

echo "== side by side: line floor, matchers, std::regex"
VEMORA_BENCH_DIR=$data "$build/bench/vemora_bench" --benchmark_counters_tabular=true

v="$build/vemora"
cd "$data"
echo "== whole process against wc -l (warm page cache)"
hyperfine -N -w 3 -r 15 \
  'wc -l typical.map' "$OLDPWD/$v Tev2 typical.def typical.map" \
  "$OLDPWD/$v Tev2_mem32_unlimited typical.def typical.map" \
  'wc -l sections.map' "$OLDPWD/$v Tev2 sections.def sections.map" \
  'wc -l adversarial_mem32.map' \
  "$OLDPWD/$v Tev2_mem32_unlimited adversarial.def adversarial_mem32.map" \
  'wc -l adversarial_named.map' "$OLDPWD/$v Tev2 adversarial.def adversarial_named.map" \
  'wc -l altium.map' "$OLDPWD/$v Orm6 altium.def altium.map" 2>&1 | grep -E 'Benchmark|Time'

echo "== the same pipeline matching with std::regex"
hyperfine -N -w 1 -r 3 \
  "$OLDPWD/$build/bench/pipeline_tool fast Tev2 typical.def typical.map" \
  "$OLDPWD/$build/bench/pipeline_tool regex Tev2 typical.def typical.map" \
  "$OLDPWD/$build/bench/pipeline_tool fast Tev2_mem32_unlimited typical.def typical.map" \
  "$OLDPWD/$build/bench/pipeline_tool regex Tev2_mem32_unlimited typical.def typical.map" \
  2>&1 | grep -E 'Benchmark|Time'

echo "== scaling: 5 MB and 50 MB section-heavy listings"
hyperfine -N -w 3 -r 10 "$OLDPWD/$v Tev2 sections.def small/sections.map" \
  "$OLDPWD/$v Tev2 sections.def sections.map" 2>&1 | grep -E 'Benchmark|Time'

if [ "$real" = yes ]; then
  echo "== the real listing: objdump -h of newlib $(dpkg-query -W -f='${Version}' \
    libnewlib-arm-none-eabi), $(wc -l <newlib.map) lines"
  hyperfine -N -w 3 -r 15 'wc -l newlib.map' "$OLDPWD/$v Tev2 newlib.def newlib.map" \
    "$OLDPWD/$v Tev2_mem32_unlimited newlib.def newlib.map" 2>&1 | grep -E 'Benchmark|Time'
fi

echo "== peak resident memory"
runs=("Tev2 typical.def typical.map" "Tev2 sections.def small/sections.map"
  "Tev2 sections.def sections.map" "Tev2 typical.def big/typical.map")
if [ "$real" = yes ]; then
  runs+=("Tev2 newlib.def newlib.map")
fi
for run in "${runs[@]}"; do
  /usr/bin/time -f "%M KB  %e s  vemora $run" "$OLDPWD/$v" $run >/dev/null
done
