#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for a bounded time each, starting
# from the committed corpus, and prints executions and coverage per target.
#   fuzz/run_fuzzers.sh BUILD_DIR SECONDS [fuzz_target ...]
# BUILD_DIR is a build configured with -DVEMORA_FUZZ=ON (clang). New inputs go
# to a scratch folder, never into the committed corpus; a crashing input is
# kept in BUILD_DIR/fuzz-artifacts and the script fails.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?usage: run_fuzzers.sh BUILD_DIR SECONDS [fuzz_target ...]}"
seconds="${2:?usage: run_fuzzers.sh BUILD_DIR SECONDS [fuzz_target ...]}"
shift 2
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(fuzz_memdef fuzz_elxr_tev2 fuzz_elxr_orm8 fuzz_elxr_pux4 fuzz_elxr_mem32
           fuzz_altium fuzz_eep fuzz_matcher fuzz_whole_run fuzz_line_reader fuzz_budget fuzz_elf
           fuzz_gnu_ld_map)
fi

dictionary_of() {
  case "$1" in
    fuzz_elxr_* | fuzz_matcher) echo "$here/fuzz_elxr.dict" ;;
    fuzz_line_reader) echo "$here/fuzz_line_reader.dict" ;;
    *) echo "$here/$1.dict" ;;
  esac
}

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failed=()
summary=()
for target in "${targets[@]}"; do
  binary="$build/fuzz/$target"
  if [[ ! -x "$binary" ]]; then
    echo "run_fuzzers: $binary is missing (configure with -DVEMORA_FUZZ=ON)" >&2
    failed+=("$target")
    continue
  fi
  mkdir -p "$work/$target"
  log="$work/$target.log"
  echo "== $target: ${seconds}s"
  "$binary" -max_total_time="$seconds" -timeout=10 -max_len=8192 -print_final_stats=1 \
    -dict="$(dictionary_of "$target")" -artifact_prefix="$artifacts/$target-" \
    "$work/$target" "$here/corpus/$target" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  summary+=("$(printf '%-16s %10s runs  cov %6s' "$target" "${runs:-?}" "${cov:-?}")")
  if ((status != 0)); then
    failed+=("$target")
    grep -E 'check failed|ERROR|SUMMARY|Test unit written|runtime error' "$log" | head -n 20
    tail -n 5 "$log"
  fi
done

echo
echo "== fuzzing summary (${seconds}s per target)"
printf '%s\n' "${summary[@]}"
if ((${#failed[@]})); then
  echo "run_fuzzers: failed: ${failed[*]} (inputs in $artifacts)" >&2
  exit 1
fi
