#!/usr/bin/env bash
# Runs the built program the way a user does and checks what the shell sees: the
# banner, the exit status (-1 to -5 arrive as 255 to 251), stdout, the result file.
#
#   run_e2e.sh SUITE --source DIR --program EXE [--program-without-resource EXE] [-- EMULATOR...]
#
# SUITE is one of
#   cli    banner and argument count
#   paths  resolution of input names: drives, program folder, working folder
#   cases  whole runs from case folders: tests/golden/<case>/ and tests/e2e/cases/<case>/
#          (cmd, expected_stdout.txt without the banner, expected_exit_code.txt, and
#          optionally expected.amb, preexisting.amb, dirs; "@name" in cmd is a name that
#          must not exist)
#
# A Windows program (EXE ending in .exe) runs through the emulator, normally wine. Its
# stdout has CR LF line ends, which are turned into LF before comparing. Relative input
# names resolve against the program's own folder there (argument 0 is a full Windows
# path), so every run uses a copy of the program placed where the test needs it.
set -uo pipefail
# shellcheck source=golden_case.sh
source "$(dirname "${BASH_SOURCE[0]}")/golden_case.sh"

suite=${1:?usage: run_e2e.sh SUITE --source DIR --program EXE [-- EMULATOR...]}
shift
source_dir=""
program=""
program_without_resource=""
emulator=()
while (($#)); do
  case $1 in
    --source) source_dir=$2; shift 2 ;;
    --program) program=$2; shift 2 ;;
    --program-without-resource) program_without_resource=$2; shift 2 ;;
    --) shift; emulator=("$@"); break ;;
    *) echo "run_e2e.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[[ -n $source_dir && -f $program ]] || { echo "run_e2e.sh: need --source and --program" >&2; exit 2; }

windows=0
[[ $program == *.exe ]] && windows=1
export WINEDEBUG=${WINEDEBUG:--all}

if ((windows)); then
  program_name="Vemora.exe"
else
  program_name="vemora"
fi
banner_line1="$program_name version 2.9 from Nov  2 2016"
banner_line2="Copyright (C) 2016-2026 The Vemora developers"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vemora_e2e.XXXXXX")
failures=0
checks=0
current=""

finish() {
  if ((failures)); then
    echo "run_e2e.sh $suite: $failures failed checks in $checks runs; files kept in $scratch"
    exit 1
  fi
  rm -rf "$scratch"
  echo "run_e2e.sh $suite: $checks runs, all checks passed"
  exit 0
}

fail() {
  echo "FAIL [$current] $*"
  failures=$((failures + 1))
}

# The Windows form of a Linux folder, as the program sees it.
windows_path() {
  if ((${#emulator[@]})); then
    winepath -w "$1" 2>/dev/null
  else
    cygpath -w "$1"
  fi
}

# run IN_DIR PROGRAM ARGS...: runs PROGRAM with IN_DIR as working folder; leaves the exit
# status in $status and stdout (line ends normalised) in $scratch/stdout.
run() {
  local dir=$1 exe=$2
  shift 2
  checks=$((checks + 1))
  (cd "$dir" && exec "${emulator[@]}" "$exe" "$@") >"$scratch/stdout.raw" 2>"$scratch/stderr"
  status=$?
  if ((windows)); then
    sed 's/\r$//' "$scratch/stdout.raw" >"$scratch/stdout"
  else
    cp "$scratch/stdout.raw" "$scratch/stdout"
  fi
}

expect_status() {
  [[ $status == "$1" ]] || fail "exit status $status, expected $1"
}

# expect_stdout LINE...: stdout is exactly these lines, each ended by a line end.
expect_stdout() {
  if (($#)); then
    printf '%s\n' "$@" >"$scratch/expected"
  else
    : >"$scratch/expected"
  fi
  expect_stdout_file "$scratch/expected"
}

expect_stdout_file() {
  if ! cmp -s "$1" "$scratch/stdout"; then
    fail "stdout differs (--- expected, +++ actual):"
    diff -u "$1" "$scratch/stdout" | sed 's/^/    /'
  fi
}

# Copies the program (and nothing else) into a folder; prints the copy's path.
place_program() {
  local dir=$1 name=${2:-$(basename "$program")}
  mkdir -p "$dir"
  cp "$program" "$dir/$name"
  echo "$dir/$name"
}

usage_lines=(
  $'Vemora:\tError: Wrong number of input parameters.'
  $'Vemora:\tPlease provide the proper number of input filename parameters (include EepPrj.src if necessary).'
)

suite_cli() {
  local dir=$scratch/cli
  mkdir -p "$dir"

  current="no arguments"
  run "$dir" "$program"
  expect_status 251
  expect_stdout "$banner_line1" "$banner_line2" "" "${usage_lines[@]}"

  current="two arguments"
  run "$dir" "$program" Tev2 memory.def
  expect_status 251
  expect_stdout "$banner_line1" "$banner_line2" "" "${usage_lines[@]}"

  # Five arguments after the program name are one too many, even when all files exist.
  current="six arguments"
  : >"$dir/a"
  run "$dir" "$program" Tev2 a a a a a
  expect_status 251
  expect_stdout "$banner_line1" "$banner_line2" "" "${usage_lines[@]}"

  if ((windows)); then
    # The banner names the file the resource was made for, whatever the copy is called.
    current="renamed program file"
    local renamed
    renamed=$(place_program "$dir/renamed" memcheck.exe)
    run "$dir" "$renamed"
    expect_status 251
    expect_stdout "$banner_line1" "$banner_line2" "" "${usage_lines[@]}"

    if [[ -n $program_without_resource ]]; then
      current="program file without version resource"
      run "$dir" "$program_without_resource"
      expect_status 251
      expect_stdout "" "${usage_lines[@]}"
    else
      fail "no --program-without-resource given"
    fi
  fi
}

suite_paths() {
  local root=$scratch/paths
  local bin=$root/bin cwd=$root/cwd exe here
  exe=$(place_program "$bin")
  mkdir -p "$cwd"
  # Relative names resolve against the program's folder on Windows (argument 0 is a full
  # path there) and against the working folder when argument 0 holds no backslash.
  if ((windows)); then
    here=$bin
  else
    here=$cwd
  fi
  printf 'PROGRAM 0 1000\n' >"$here/memory.def"
  : >"$here/empty.map"
  local banner=("$banner_line1" "$banner_line2" "")

  current="existing files, nothing to report"
  run "$cwd" "$exe" Tev2 memory.def empty.map
  expect_status 0
  expect_stdout "${banner[@]}"

  current="definition file missing"
  run "$cwd" "$exe" Tev2 missing.def empty.map
  expect_status 254
  expect_stdout "${banner[@]}" "Could not find input definition file"

  current="definition file and map file missing"
  run "$cwd" "$exe" Tev2 missing.def missing.map
  expect_status 254
  expect_stdout "${banner[@]}" "Could not find input definition file"

  current="definition file on a drive that does not exist"
  run "$cwd" "$exe" Tev2 'Q:\missing\memory.def' empty.map
  expect_status 255
  expect_stdout "${banner[@]}" "Invalid path for input definition file"

  current="map file missing"
  run "$cwd" "$exe" Tev2 memory.def missing.map
  expect_status 254
  expect_stdout "${banner[@]}" "Could not find input map file"

  current="map file named with a drive, missing"
  run "$cwd" "$exe" Tev2 memory.def Z:/no/such/folder/firmware.map
  expect_status 255
  expect_stdout "${banner[@]}" "Invalid path for input map file"

  current="EEPROM project source missing"
  run "$cwd" "$exe" Tev2 memory.def empty.map EepPrj.src
  expect_status 254
  expect_stdout "${banner[@]}" "Could not find input eep file"

  current="EEPROM project source on a drive (lower case), missing"
  run "$cwd" "$exe" Tev2 memory.def empty.map 'q:\EepPrj.src'
  expect_status 255
  expect_stdout "${banner[@]}" "Invalid path for input eep file"

  if ((windows)); then
    current="relative name that exists only in the working folder"
    printf 'PROGRAM 0 1000\n' >"$cwd/cwd_only.def"
    run "$cwd" "$exe" Tev2 cwd_only.def empty.map
    expect_status 254
    expect_stdout "${banner[@]}" "Could not find input definition file"

    current="relative names with either separator below the program's folder"
    mkdir -p "$bin/inputs"
    cp "$bin/memory.def" "$bin/empty.map" "$bin/inputs/"
    run "$cwd" "$exe" Tev2 'inputs\memory.def' inputs/empty.map
    expect_status 0
    expect_stdout "${banner[@]}"

    current="name with a leading backslash joins the program's folder too"
    run "$cwd" "$exe" Tev2 '\memory.def' empty.map
    expect_status 0
    expect_stdout "${banner[@]}"

    current="existing file named with its drive"
    local cwd_windows
    cwd_windows=$(windows_path "$cwd")
    run "$cwd" "$exe" Tev2 "$cwd_windows\\cwd_only.def" empty.map
    expect_status 0
    expect_stdout "${banner[@]}"
  else
    current="relative name that exists only beside the program"
    printf 'PROGRAM 0 1000\n' >"$bin/beside.def"
    run "$cwd" "$exe" Tev2 beside.def empty.map
    expect_status 254
    expect_stdout "${banner[@]}" "Could not find input definition file"

    current="absolute name"
    run "$cwd" "$exe" Tev2 "$bin/beside.def" empty.map
    expect_status 0
    expect_stdout "${banner[@]}"

    # Argument 0 up to its last backslash is put in front of every relative name: here
    # that gives names with a backslash in them, looked up in the working folder.
    current="argument 0 with a backslash"
    printf 'PROGRAM 0 1000\n' >"$cwd/tools\\memory.def"
    checks=$((checks + 1))
    (cd "$cwd" && exec -a 'tools\vemora' "$exe" Tev2 memory.def empty.map) \
      >"$scratch/stdout" 2>"$scratch/stderr"
    status=$?
    expect_status 254
    expect_stdout "${banner[@]}" "Could not find input map file"
  fi
}

# A listing of every file and folder below a folder, with the files' checksums.
tree_listing() {
  (cd "$1" && find . -mindepth 1 -printf '%y %p\n' | sort | while read -r kind path; do
    if [[ $kind == f ]]; then
      printf '%s\t%s\n' "$path" "$(sha256sum <"$path" | cut -d' ' -f1)"
    else
      printf '%s/\t\n' "$path"
    fi
  done)
}

run_case() {
  local case_dir=$1
  local name
  name=$(basename "$case_dir")
  current="case ${case_dir#"$source_dir"/}"
  local file
  for file in cmd expected_stdout.txt expected_exit_code.txt; do
    if [[ ! -f $case_dir/$file ]]; then
      fail "lacks $file"
      return
    fi
  done

  local run_dir=$scratch/cases/$name
  copy_case_inputs "$case_dir" "$run_dir"

  local line
  IFS= read -r line <"$case_dir/cmd" || true
  line=${line%$'\r'}
  local args=()
  [[ -n $line ]] && IFS=' ' read -r -a args <<<"$line"
  local i
  for i in "${!args[@]}"; do
    if [[ ${args[i]} == @* ]]; then
      args[i]=${args[i]#@}
      [[ ! -e $run_dir/${args[i]} ]] || fail "${args[i]} must not exist"
    fi
  done

  # The result file lies beside the map file: the map name up to its last separator.
  local result_file="Vemora.amb"
  if ((${#args[@]} >= 3)) && [[ ${args[2]} == *[/\\]* ]]; then
    local map_folder=${args[2]%[/\\]*}
    result_file="$map_folder${args[2]:${#map_folder}:1}Vemora.amb"
    ((windows)) && result_file=${result_file//\\//}
  fi
  [[ -f $case_dir/preexisting.amb ]] && cp "$case_dir/preexisting.amb" "$run_dir/$result_file"

  # On Windows the program sits in the run folder, so relative names find the case's files
  # as they do for a program started without a folder on Linux.
  local exe=$program prefix=""
  if ((windows)); then
    exe=$(place_program "$run_dir")
    prefix="$scratch_windows\\cases\\$name\\"
  fi
  tree_listing "$run_dir" >"$scratch/before"

  run "$run_dir" "$exe" "${args[@]}"

  local expected_code
  expected_code=$(tr -d ' \r\n' <"$case_dir/expected_exit_code.txt")
  expect_status $(((expected_code + 256) % 256))

  # Paths aside: on Windows the resolved names carry the program's folder.
  if [[ -n $prefix ]]; then
    local text
    text=$(cat "$scratch/stdout"; echo x)
    text=${text%x}
    printf '%s' "${text//"$prefix"/}" >"$scratch/stdout"
  fi
  {
    printf '%s\n' "$banner_line1" "$banner_line2"
    sed 's/\r$//' "$case_dir/expected_stdout.txt"
  } >"$scratch/expected"
  expect_stdout_file "$scratch/expected"

  tree_listing "$run_dir" >"$scratch/after"
  if [[ -f $case_dir/expected.amb ]]; then
    if [[ -f $run_dir/$result_file ]]; then
      if ! cmp -s <(sed 's/\r$//' "$case_dir/expected.amb") <(sed 's/\r$//' "$run_dir/$result_file"); then
        fail "$result_file differs (--- expected, +++ actual):"
        diff -u <(sed 's/\r$//' "$case_dir/expected.amb") <(sed 's/\r$//' "$run_dir/$result_file") |
          sed 's/^/    /'
      fi
    else
      fail "$result_file was not written"
    fi
    RESULT="./$result_file" awk -F'\t' '$1 != ENVIRON["RESULT"]' "$scratch/before" >"$scratch/before.rest"
    RESULT="./$result_file" awk -F'\t' '$1 != ENVIRON["RESULT"]' "$scratch/after" >"$scratch/after.rest"
  else
    cp "$scratch/before" "$scratch/before.rest"
    cp "$scratch/after" "$scratch/after.rest"
  fi
  if ! cmp -s "$scratch/before.rest" "$scratch/after.rest"; then
    fail "files in the run folder changed (--- before, +++ after):"
    diff -u "$scratch/before.rest" "$scratch/after.rest" | sed 's/^/    /'
  fi
}

suite_cases() {
  # Asking wine costs a moment, so the scratch folder's Windows name is looked up once.
  if ((windows)); then
    scratch_windows=$(windows_path "$scratch")
  fi
  local roots=("$source_dir/tests/golden" "$source_dir/tests/e2e/cases")
  local root case_dir found
  for root in "${roots[@]}"; do
    found=0
    for case_dir in "$root"/*/; do
      [[ -d $case_dir ]] || continue
      found=1
      run_case "${case_dir%/}"
    done
    ((found)) || echo "note: no cases in $root"
  done
}

case $suite in
  cli) suite_cli ;;
  paths) suite_paths ;;
  cases) suite_cases ;;
  *) echo "run_e2e.sh: unknown suite $suite" >&2; exit 2 ;;
esac
finish
