#!/usr/bin/env bash
# zeze send, with read-back, to one simulated box and then to many (20 by default), each simulator a
# process of its own on 127.0.0.1. Programming is bound by the box's transfer pause (5.6 s for 55-byte
# pins), so many boxes at once should take at most 1.3 times as long as one. Prints both times and the
# ratio; exits 1 when the ratio is above 1.3.
#
#   bash bench/cli_send_many.sh [BUILD_DIR] [BOXES]      (default: build 20)
set -euo pipefail

source "$(dirname "$0")/cli_lib.sh" 20 "$@"

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

make_plan "${hosts[0]}"

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
