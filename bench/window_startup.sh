#!/usr/bin/env bash
# The window's opening, offscreen: bench_window_startup run RUNS times (30 by default) as the program
# opens its window and as a bare window with the same widgets, alternately; prints the median time from
# main() to the first turn of the event loop of each, their ratio, and the median peak memory.
#
#   bash bench/window_startup.sh [BUILD_DIR] [RUNS]      (default: build 30)
set -euo pipefail

build="${1:-build}"
runs="${2:-30}"
program="$build/bench/bench_window_startup"
[ -x "$program" ] || { echo "no $program: build the target bench_window_startup first" >&2; exit 2; }
export QT_QPA_PLATFORM=offscreen

declare -A times memory
for _ in $(seq 1 "$runs"); do
  for mode in window bare; do
    read -r _ ms _ kb _ < <("$program" "$mode" 2>/dev/null)
    times[$mode]+="$ms "
    memory[$mode]+="$kb "
  done
done

median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
window_ms=$(median <<<"${times[window]}")
bare_ms=$(median <<<"${times[bare]}")
echo "window: ${window_ms} ms, $(median <<<"${memory[window]}") KB peak"
echo "bare:   ${bare_ms} ms, $(median <<<"${memory[bare]}") KB peak"
awk -v w="$window_ms" -v b="$bare_ms" 'BEGIN { printf "ratio:  %.2f\n", w / b }'
