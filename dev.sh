#!/usr/bin/env bash
# Developer entry point: installs what a fresh Debian machine lacks, then
#   ./dev.sh example   builds and prints the memory report of the bundled example
#   ./dev.sh test      builds and runs all tests (unit, whole-report, end-to-end)
#   ./dev.sh windows   cross-builds the 64-bit Windows programs build-win/Vemora.exe and
#                      build-win/vemora-check.exe
#   ./dev.sh screenshot  renders the bundled example's HTML report into docs/html-report.png
#                      (VEMORA_CHECK=path/to/vemora-check to use a program built elsewhere)
#   ./dev.sh package   builds the Debian package build-package/packages/vemora_*.deb and the
#                      Windows zip build-win-package/packages/vemora-*-win64.zip
set -euo pipefail
cd "$(dirname "$0")"

need_packages() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$pkg")
  done
  if ((${#missing[@]})); then
    local sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    echo "dev.sh: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
  fi
}

build_native() {
  need_packages cmake g++ make libgtest-dev libcli11-dev nlohmann-json3-dev libssl-dev \
    python3-jsonschema chromium
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j2
}

# The Windows build lives in its own folder; its tests run under wine (see .ci/run).
build_windows() {
  need_packages cmake make g++-mingw-w64-x86-64-posix googletest libcli11-dev \
    nlohmann-json3-dev python3-jsonschema
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build-win -j2 --target vemora vemora-check
}

# The page of the bundled example as headless Chromium draws it; the profile and HOME are
# throw-away folders, so the run leaves nothing behind. VEMORA_CHECK names a vemora-check
# built elsewhere; without it the native build is made first.
screenshot() {
  local check=${VEMORA_CHECK:-}
  if [[ -z $check ]]; then
    build_native >/dev/null
    check=./build/vemora-check
  fi
  need_packages chromium
  local scratch
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/vemora-screenshot.XXXXXX")
  "$check" report Tev2 examples/tev2/memory.def examples/tev2/firmware.map \
    --html "$scratch/report.html"
  mkdir -p docs
  HOME=$scratch timeout 120 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --no-first-run --user-data-dir="$scratch/profile" --virtual-time-budget=5000 \
    --window-size=1400,1500 --screenshot="$PWD/docs/html-report.png" \
    "file://$scratch/report.html" 2>/dev/null
  rm -rf "$scratch"
  echo "dev.sh: wrote docs/html-report.png"
}

# The packages come from builds of their own without tests: CPack builds every target of its
# build folder first.
build_packages() {
  need_packages cmake g++ make libcli11-dev nlohmann-json3-dev libssl-dev dpkg-dev file \
    g++-mingw-w64-x86-64-posix zip
  cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DVEMORA_BUILD_TESTS=OFF >/dev/null
  cmake --build build-package -j2
  (cd build-package && cpack -G DEB)
  cmake -S . -B build-win-package -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DVEMORA_BUILD_TESTS=OFF >/dev/null
  cmake --build build-win-package -j2
  (cd build-win-package && cpack -G ZIP)
}

case "${1:-}" in
  example)
    build_native >/dev/null
    ./build/vemora Tev2 examples/tev2/memory.def examples/tev2/firmware.map \
      examples/tev2/EepPrj.src
    ;;
  test)
    build_native
    ctest --test-dir build --output-on-failure
    ;;
  windows)
    build_windows
    echo "dev.sh: built build-win/Vemora.exe and build-win/vemora-check.exe"
    ;;
  screenshot)
    screenshot
    ;;
  package)
    build_packages
    echo "dev.sh: built" build-package/packages/*.deb build-win-package/packages/*.zip
    ;;
  *)
    echo "usage: ./dev.sh example|test|windows|screenshot|package" >&2
    exit 2
    ;;
esac
