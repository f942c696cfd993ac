#!/usr/bin/env bash
# Runs the built vemora-check the way a user does (through wine for the Windows build):
# its exit codes and messages, the files it writes, and, on every golden case that
# vemora runs successfully, the agreement of vemora-check's JSON with vemora's console
# report (compare_check_report.py), and on every failing case a failure of its own.
#
#   run_check_e2e.sh --source DIR --vemora EXE --check EXE --python PYTHON [-- EMULATOR...]
set -uo pipefail
# shellcheck source=golden_case.sh
source "$(dirname "${BASH_SOURCE[0]}")/golden_case.sh"

source_dir=""
vemora=""
check=""
python=""
emulator=()
while (($#)); do
  case $1 in
    --source) source_dir=$2; shift 2 ;;
    --vemora) vemora=$2; shift 2 ;;
    --check) check=$2; shift 2 ;;
    --python) python=$2; shift 2 ;;
    --) shift; emulator=("$@"); break ;;
    *) echo "run_check_e2e.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[[ -n $source_dir && -f $vemora && -f $check && -n $python ]] ||
  { echo "run_check_e2e.sh: need --source, --vemora, --check and --python" >&2; exit 2; }

windows=0
[[ $check == *.exe ]] && windows=1
export WINEDEBUG=${WINEDEBUG:--all}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vemora_check_e2e.XXXXXX")
failures=0
checks=0
compared=0
refused=0
current=""

fail() {
  echo "FAIL [$current] $*"
  failures=$((failures + 1))
}

# run IN_DIR PROGRAM ARGS...: leaves the exit status in $status, stdout and stderr
# (line ends normalised) in $scratch/stdout and $scratch/stderr.
run() {
  local dir=$1 exe=$2
  shift 2
  checks=$((checks + 1))
  (cd "$dir" && exec "${emulator[@]}" "$exe" "$@") >"$scratch/stdout.raw" 2>"$scratch/stderr.raw"
  status=$?
  sed 's/\r$//' "$scratch/stdout.raw" >"$scratch/stdout"
  sed 's/\r$//' "$scratch/stderr.raw" >"$scratch/stderr"
}

expect_status() {
  [[ $status == "$1" ]] || fail "exit status $status, expected $1; stderr: $(cat "$scratch/stderr")"
}

expect_stderr() {
  printf '%s\n' "$1" >"$scratch/expected"
  cmp -s "$scratch/expected" "$scratch/stderr" ||
    fail "stderr is '$(cat "$scratch/stderr")', expected '$1'"
}

tree_listing() {
  (cd "$1" && find . -mindepth 1 -printf '%y %p %s\n' | sort)
}

suite_cli() {
  local dir=$scratch/cli
  mkdir -p "$dir"
  cp "$source_dir/examples/tev2/memory.def" "$source_dir/examples/tev2/firmware.map" "$dir/"
  printf 'SEARCH text\n' >"$dir/norange.def"
  tree_listing "$dir" >"$scratch/before"

  current="help"
  run "$dir" "$check" --help
  expect_status 0
  grep -q '^  3  input error' "$scratch/stdout" || fail "help lacks the exit codes"

  current="version"
  run "$dir" "$check" --version
  expect_status 0
  [[ $(cat "$scratch/stdout") == "vemora-check 2.9.0" ]] || fail "version: $(cat "$scratch/stdout")"

  current="no subcommand"
  run "$dir" "$check"
  expect_status 2

  current="unknown keyword"
  run "$dir" "$check" report tev2 memory.def firmware.map
  expect_status 2

  current="missing map"
  run "$dir" "$check" report Tev2 memory.def missing.map
  expect_status 3
  expect_stderr "vemora-check: missing.map: no such file"

  current="definition without range lines"
  run "$dir" "$check" explain Tev2 norange.def firmware.map
  expect_status 3

  current="summary"
  run "$dir" "$check" report Tev2 memory.def firmware.map
  expect_status 0
  grep -q '^  program0 ' "$scratch/stdout" || fail "summary lacks program0"

  current="explain"
  run "$dir" "$check" explain Tev2 memory.def firmware.map
  expect_status 0
  tail -n 1 "$scratch/stdout" | grep -q '^recognised .* = counted .* + dropped ' ||
    fail "explain lacks its sum rule"

  current="schema"
  run "$dir" "$check" schema
  expect_status 0
  "$python" -c 'import json, sys; json.load(open(sys.argv[1]))' "$scratch/stdout" ||
    fail "schema is no JSON"

  current="lint of a clean definition"
  run "$dir" "$check" lint memory.def
  expect_status 0
  [[ $(cat "$scratch/stdout") == "0 errors, 0 warnings, 0 notes" ]] ||
    fail "lint: $(cat "$scratch/stdout")"

  current="lint of a definition without range lines"
  run "$dir" "$check" lint norange.def
  expect_status 1
  grep -q '^norange.def: error: .* \[VL011\]$' "$scratch/stdout" || fail "lint lacks VL011"

  current="lint of the map as workflow commands"
  run "$dir" "$check" lint memory.def --keyword Tev2 --map firmware.map --format github \
    --fail-on warning
  expect_status 1
  grep -q '^::warning file=memory.def,line=24,col=1,title=VL104::' "$scratch/stdout" ||
    fail "lint lacks the ambiguous SEARCH entry"
  grep -q '^::notice file=firmware.map,line=[0-9]*,col=1,title=VL103::' "$scratch/stdout" ||
    fail "lint lacks the sections outside every range"

  # Nothing above may have created a file (no result file either).
  tree_listing "$dir" >"$scratch/after"
  cmp -s "$scratch/before" "$scratch/after" || fail "files appeared: $(diff "$scratch/before" "$scratch/after")"

  current="outputs named on the command line"
  run "$dir" "$check" report Tev2 memory.def firmware.map --json report.json --csv sections.csv \
    --csv-ranges ranges.csv --markdown summary.md
  expect_status 0
  (cd "$dir" && ls) | sort >"$scratch/names"
  printf '%s\n' firmware.map memory.def norange.def ranges.csv report.json sections.csv summary.md \
    >"$scratch/expected"
  cmp -s "$scratch/expected" "$scratch/names" || fail "files: $(tr '\n' ' ' <"$scratch/names")"
  "$python" -c 'import json, sys; json.load(open(sys.argv[1], encoding="utf-8"))' "$dir/report.json" ||
    fail "report.json is no JSON"

  # The GNU-linked firmware: the flash footprint of the JSON is the linker's own figure.
  current="footprint of the Cortex-M firmware"
  local firmware=$source_dir/examples/cortex-m
  mkdir -p "$dir/cortex-m"
  cp "$firmware/memory.def" "$firmware/firmware.lst" "$dir/cortex-m/"
  run "$dir/cortex-m" "$check" report Tev2_mem32_unlimited memory.def firmware.lst --json -
  expect_status 0
  local footprint linker
  footprint=$("$python" -c 'import json, sys; print(json.load(sys.stdin)["ranges"][0]["footprint"])' \
    <"$scratch/stdout")
  linker=$(sed -n 's/^FLASH \([0-9]*\)$/\1/p' "$firmware/expected-usage.txt")
  [[ -n $linker && $footprint == "$linker" ]] ||
    fail "flash footprint $footprint, the linker printed $linker"

  current="output that cannot be written"
  run "$dir" "$check" report Tev2 memory.def firmware.map --json no/such/folder/report.json
  expect_status 3
  expect_stderr "vemora-check: no/such/folder/report.json: cannot be written"
}

# Each golden case vemora runs successfully: the console's figures against the JSON's.
# Each case where it fails: vemora-check fails too, with the matching exit code.
agree_case() {
  local case_dir=$1 name
  name=$(basename "$case_dir")
  current="agreement ${case_dir#"$source_dir"/}"
  local code
  code=$(tr -d ' \r\n' <"$case_dir/expected_exit_code.txt")

  local line args=() i
  IFS= read -r line <"$case_dir/cmd" || true
  line=${line%$'\r'}
  [[ -n $line ]] && IFS=' ' read -r -a args <<<"$line"
  for i in "${!args[@]}"; do
    args[i]=${args[i]#@}
  done

  local run_dir=$scratch/cases/$name
  copy_case_inputs "$case_dir" "$run_dir"
  # On Windows vemora resolves names against its own folder: it sits in the run folder.
  local console_exe=$vemora
  if ((windows)); then
    cp "$vemora" "$run_dir/"
    console_exe=$run_dir/$(basename "$vemora")
  fi

  tree_listing "$run_dir" >"$scratch/before"
  run "$run_dir" "$check" report "${args[@]}" --json -
  if [[ $code != 0 ]]; then
    # What makes vemora fail: its argument count and an unknown keyword are usage
    # errors, every other failure is an input error told in one line.
    current="failure ${case_dir#"$source_dir"/}"
    local expected=3
    if [[ $code == -5 ]]; then
      expected=2
    else
      case ${args[0]} in
        Orm6 | Tev2 | Tev2_mem32_unlimited | Orm8 | Pux4 | Elf) ;;
        *) expected=2 ;;
      esac
    fi
    expect_status $expected
    if ((expected == 3)); then
      [[ $(wc -l <"$scratch/stderr") == 1 ]] && grep -q '^vemora-check: ' "$scratch/stderr" ||
        fail "stderr is not one line: $(cat "$scratch/stderr")"
    fi
    [[ -s $scratch/stdout ]] && fail "output on a failed run"
    tree_listing "$run_dir" >"$scratch/after"
    cmp -s "$scratch/before" "$scratch/after" || fail "vemora-check changed the run folder"
    return 0
  fi
  # A map that is no section listing at all: the console prints no report and
  # succeeds, vemora-check refuses it in one line, so no gate takes it for an
  # empty build.
  if [[ $status == 3 ]] && grep -q 'no section listing\|not a section listing' "$scratch/stderr"; then
    current="refusal ${case_dir#"$source_dir"/}"
    [[ $(wc -l <"$scratch/stderr") == 1 ]] || fail "stderr is not one line: $(cat "$scratch/stderr")"
    [[ -s $scratch/stdout ]] && fail "output on a refused run"
    grep -q "[^[:space:]]" "$case_dir/expected_stdout.txt" && fail "refused a map the console reports on"
    refused=$((refused + 1))
    return 0
  fi
  expect_status 0
  cp "$scratch/stdout" "$scratch/report.json"
  tree_listing "$run_dir" >"$scratch/after"
  cmp -s "$scratch/before" "$scratch/after" || fail "vemora-check changed the run folder"

  run "$run_dir" "$console_exe" "${args[@]}"
  expect_status 0
  if ! "$python" "$source_dir/tests/e2e/compare_check_report.py" "$scratch/stdout" \
    "$scratch/report.json" >"$scratch/differences"; then
    fail "console and JSON differ: $(tr '\n' ';' <"$scratch/differences")"
  fi
  compared=$((compared + 1))
}

suite_cli
for root in "$source_dir/tests/golden" "$source_dir/tests/e2e/cases"; do
  for case_dir in "$root"/*/; do
    [[ -d $case_dir ]] && agree_case "${case_dir%/}"
  done
done
((compared > 0)) || fail "no golden case compared"
# The one golden map that is no listing: a text whose first line lacks the Altium heading.
((refused == 1)) || fail "$refused golden maps refused as no section listing, expected 1"

if ((failures)); then
  echo "run_check_e2e.sh: $failures failed checks in $checks runs; files kept in $scratch"
  exit 1
fi
rm -rf "$scratch"
echo "run_check_e2e.sh: $checks runs, $compared cases compared, all checks passed"
