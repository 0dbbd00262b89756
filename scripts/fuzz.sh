#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan and UBSan) into build-fuzz/ and runs each for
# [seconds] (60 by default) from its committed corpus in fuzz/corpus/<target>, one target per core. The
# runs work on a scratch copy of the corpus, so the committed one stays as it is. A crash, a sanitizer
# report or a broken property fails the script and leaves the input in build-fuzz/crashes/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZEZE_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-60}"
bash "$root/scripts/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DZEZE_FUZZ=ON >/dev/null
fi
if ! out=$(cmake --build "$build" 2>&1); then
  echo "$out"
  exit 1
fi

scratch="$build/scratch"
crashes="$build/crashes"
mkdir -p "$crashes"

# Runs one target; its outcome goes to $scratch/<target>.log and .rc.
fuzz_one() {
  local target="$1"
  rm -rf "${scratch:?}/$target"
  mkdir -p "$scratch/$target"
  cp "$root/fuzz/corpus/$target/"* "$scratch/$target/"
  local rc=0
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$crashes/$target-" "$scratch/$target" >"$scratch/$target.log" 2>&1 || rc=$?
  echo "$rc" >"$scratch/$target.rc"
}

targets=()
for corpus in "$root"/fuzz/corpus/*/; do
  targets+=("$(basename "$corpus")")
done
jobs_at_once="$(nproc)"
for ((i = 0; i < ${#targets[@]}; i += jobs_at_once)); do
  for target in "${targets[@]:i:jobs_at_once}"; do
    fuzz_one "$target" &
  done
  wait
done

failed=()
for target in "${targets[@]}"; do
  log="$scratch/$target.log"
  if [ "$(cat "$scratch/$target.rc")" = 0 ]; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
    echo "fuzz_$target: $runs runs in ${seconds} s, $cov"
  else
    echo "fuzz_$target FAILED:"
    grep -E 'ERROR|SUMMARY|Test unit written|deadly signal' "$log" || tail -20 "$log"
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "Failing targets: ${failed[*]} (inputs in $crashes)"
  exit 1
fi
