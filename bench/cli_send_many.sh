#!/usr/bin/env bash
# zeze send, with read-back, to one simulated box and then to many (20 by default), each simulator a
# process of its own on 127.0.0.1. Programming is bound by the box's transfer pause (5.6 s for 55-byte
# pins), so many boxes at once should take at most 1.3 times as long as one. Prints both times and the
# ratio; exits 1 when the ratio is above 1.3.
#
#   bash bench/cli_send_many.sh [BUILD_DIR] [BOXES]      (default: build 20)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
count=${2:-20}
zeze="$build/cli/zeze"
sim="$build/tools/sim/zeze-sim"
if [ ! -x "$zeze" ] || [ ! -x "$sim" ]; then
  echo "Build zeze and the simulator first: cmake --build $build --target zeze zeze-sim" >&2
  exit 2
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

for i in $(seq 1 "$count"); do
  "$sim" --port 0 >"$work/sim$i.log" 2>&1 &
  pids+=($!)
done

# Each simulator names its free port on its first line.
hosts=()
for i in $(seq 1 "$count"); do
  for _ in $(seq 1 200); do
    [[ "$(head -n 1 "$work/sim$i.log")" =~ listening\ on\ 127\.0\.0\.1:([0-9]+) ]] && break
    sleep 0.05
  done
  [ -n "${BASH_REMATCH[1]:-}" ] || { echo "simulator $i did not start: $(cat "$work/sim$i.log")" >&2; exit 2; }
  hosts+=("127.0.0.1:${BASH_REMATCH[1]}")
done

"$zeze" get "${hosts[0]}" -o "$work/fresh.json"
sed 's/{"pin": 7, "command": ""/{"pin": 7, "command": "20 01 22"/' "$work/fresh.json" >"$work/plan.json"

seconds() {
  local start end
  start=$(date +%s.%N)
  "$zeze" send "$@" "$work/plan.json" >"$work/send.out" || { cat "$work/send.out" >&2; exit 2; }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }'
}

one=$(seconds "${hosts[0]}")
many=$(seconds "${hosts[@]}")
ratio=$(awk -v a="$one" -v b="$many" 'BEGIN { printf "%.2f", b / a }')
echo "zeze send with read-back: 1 box $one s, $count boxes $many s, ratio $ratio (at most 1.30)"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.30) }'
