#!/usr/bin/env bash
# zeze over a fleet served by one simulator process (zeze-sim --boxes N) on 127.0.0.1:
# 1. send with read-back to one box, then to all N (1000 by default): the ratio of the two times
#    (goal: at most 1.3) and the peak memory of zeze for the N boxes (goal: at most 100 MB);
# 2. send to 198 of them plus a box whose connect is never answered and a box that accepts and stays
#    silent: when the last healthy box's line was printed, against one box's time (goal: at most 1.3),
#    while the two others fail after their time-outs (20 s and 10 s).
# Prints the figures; exits 1 when one misses its goal.
#
#   bash bench/cli_fleet.sh [BUILD_DIR] [BOXES]      (default: build 1000)
set -euo pipefail

source "$(dirname "$0")/cli_lib.sh" 1000 "$@"

# A thousand boxes hold two descriptors each in the simulator; it raises its own limit as far as the
# system allows, and so does zeze.
"$sim" --port 0 --boxes "$count" >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 400); do
  [ "$(grep -c '^zeze-sim listening' "$work/sim.log")" -ge "$count" ] && break
  kill -0 "${pids[0]}" 2>/dev/null || { echo "the simulator stopped: $(cat "$work/sim.log")" >&2; exit 2; }
  sleep 0.05
done
[[ "$(head -n 1 "$work/sim.log")" =~ listening\ on\ 127\.0\.0\.1:([0-9]+) ]] || { echo "no port: $(head -n 1 "$work/sim.log")" >&2; exit 2; }
first=${BASH_REMATCH[1]}
for i in $(seq 0 $((count - 1))); do echo "127.0.0.1:$((first + i))"; done >"$work/hosts"

make_plan "127.0.0.1:$first"

now() { date +%s.%N; }
elapsed() { awk -v s="$1" -v e="$2" 'BEGIN { printf "%.2f", e - s }'; }
within() { awk -v a="$1" -v b="$2" -v goal="$3" 'BEGIN { exit !(b / a <= goal) }'; }

start=$(now)
"$zeze" send "127.0.0.1:$first" "$work/plan.json" >"$work/one.out" || { cat "$work/one.out" >&2; exit 2; }
one=$(elapsed "$start" "$(now)")

start=$(now)
/usr/bin/time -f "%M" -o "$work/memory" "$zeze" send --hosts "$work/hosts" "$work/plan.json" >"$work/many.out" ||
  { tail -n 3 "$work/many.out" >&2; exit 2; }
many=$(elapsed "$start" "$(now)")
peak_kb=$(tail -n 1 "$work/memory")
peak_mb=$(awk -v k="$peak_kb" 'BEGIN { printf "%.1f", k / 1024 }')
ratio=$(awk -v a="$one" -v b="$many" 'BEGIN { printf "%.2f", b / a }')
echo "zeze send with read-back: 1 box $one s, $count boxes $many s, ratio $ratio (goal at most 1.30)"
echo "zeze peak memory for $count boxes: $peak_mb MB (goal at most 100 MB)"
status=0
within "$one" "$many" 1.30 || status=1
awk -v m="$peak_mb" 'BEGIN { exit !(m <= 100) }' || status=1

# A port whose listen queue (of one) is full drops every further connect; a listening socket that
# never accepts answers the connect and then says nothing.
python3 - "$work/ports" <<'PY' &
import socket, sys, time
dead = socket.socket(); dead.bind(("127.0.0.1", 0)); dead.listen(0)
fillers = []
for _ in range(3):
    s = socket.socket(); s.setblocking(False)
    try: s.connect(dead.getsockname())
    except BlockingIOError: pass
    fillers.append(s)
silent = socket.socket(); silent.bind(("127.0.0.1", 0)); silent.listen(16)
with open(sys.argv[1] + ".tmp", "w") as f: f.write(f"{dead.getsockname()[1]} {silent.getsockname()[1]}\n")
import os; os.rename(sys.argv[1] + ".tmp", sys.argv[1])
time.sleep(3600)
PY
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/ports" ] && break; sleep 0.05; done
read -r dead silent <"$work/ports"

healthy=$((count < 198 ? count : 198))
{ echo "127.0.0.1:$dead"; echo "127.0.0.1:$silent"; head -n "$healthy" "$work/hosts"; } >"$work/mixed"
start=$(now)
# Each line stamped as it arrives: zeze passes every box's line on as the box finishes.
"$zeze" send --hosts "$work/mixed" "$work/plan.json" 2>"$work/mixed.err" | while IFS= read -r line; do echo "$(now) $line"; done >"$work/mixed.out" || true
total=$(elapsed "$start" "$(now)")
last_healthy=$(grep -v -e ":$dead: " -e ":$silent: " "$work/mixed.out" | grep -c ': programmed and verified' || true)
last_time=$(grep ': programmed and verified' "$work/mixed.out" | tail -n 1 | cut -d' ' -f1)
healthy_s=$(elapsed "$start" "$last_time")
healthy_ratio=$(awk -v a="$one" -v b="$healthy_s" 'BEGIN { printf "%.2f", b / a }')
echo "$healthy boxes beside a dead and a silent one: $last_healthy programmed, the last line after $healthy_s s," \
  "ratio $healthy_ratio to one box (goal at most 1.30); the run ended after $total s"
grep -e ":$dead: " -e ":$silent: " "$work/mixed.out" | cut -d' ' -f2- | sed 's/^/  /'
[ "$last_healthy" -eq "$healthy" ] || status=1
within "$one" "$healthy_s" 1.30 || status=1
exit $status
