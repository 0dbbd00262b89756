#!/usr/bin/env bash
# scripts/run.sh --vnc on spare ports, with this build as it is (--no-build): its VNC server answers
# on 127.0.0.1, and every TCP socket that anything run.sh started listens on (the simulator, Xvfb,
# x11vnc, the tool) is on 127.0.0.1 only. SIGTERM to run.sh ends it and all it started. Skipped (77)
# without Xvfb, x11vnc or ss.
source "$(dirname "$0")/lib.sh"
root="$(cd "$(dirname "$0")/../.." && pwd)"
for program in Xvfb x11vnc ss; do
  command -v "$program" >/dev/null || { echo "SKIP: no $program (install-deps.sh installs it)"; exit 77; }
done

# A session of its own, so that all run.sh starts is one process group, ended here whatever happens.
ZEZE_BUILD_DIR="$build" setsid bash "$root/scripts/run.sh" --no-build --port 0 --vnc --vnc-port 0 \
  >"$scratch/out" 2>&1 </dev/null &
run=$!
trap 'kill -KILL -- "-$run" 2>/dev/null || true; rm -rf "$scratch"' EXIT
running() { [[ "$(ps -o stat= -p "$run")" == [^Z]* ]]; }

# run.sh names the VNC port once x11vnc listens.
for ((i = 0; i < 400; i++)); do
  vnc_port=$(sed -n 's/^The window is shown by a VNC server on 127\.0\.0\.1:\([0-9]*\) only:.*/\1/p' \
    "$scratch/out")
  [ -n "$vnc_port" ] && [ -n "$(ss -Hltn "sport = :$vnc_port")" ] && break
  running || fail "run.sh ended before its VNC server listened: $(cat "$scratch/out")"
  sleep 0.1
done
[ -n "$vnc_port" ] || fail "no VNC server listening after 40 s: $(cat "$scratch/out")"
sim_port=$(sed -n 's/^A simulated Zeze listens on 127\.0\.0\.1:\([0-9]*\):.*/\1/p' "$scratch/out")

banner=
{ read -r -t 10 banner <&5; } 5<>"/dev/tcp/127.0.0.1/$vnc_port" || true
[[ "$banner" == "RFB "* ]] || fail "127.0.0.1:$vnc_port answers \"$banner\", not a VNC server's greeting"

# The addresses of the listening sockets that a process of run.sh's group holds, read again for a
# while until both the VNC server's and the simulator's are seen (a slow build may still be starting).
listening() {
  local group pid
  group=" $(pgrep -g "$run" | tr '\n' ' ') "
  ours=()
  while read -r _ _ _ address _ users; do
    for pid in $(grep -o 'pid=[0-9]*' <<<"$users" | cut -d= -f2); do
      [[ "$group" == *" $pid "* ]] && { ours+=("$address"); break; }
    done
  done < <(ss -Hltnp)
}
for ((i = 0; i < 100; i++)); do
  listening
  [[ " ${ours[*]} " == *" 127.0.0.1:$vnc_port "* && " ${ours[*]} " == *" 127.0.0.1:$sim_port "* ]] && break
  sleep 0.1
done
[[ " ${ours[*]} " == *" 127.0.0.1:$vnc_port "* ]] || fail "no VNC server on 127.0.0.1:$vnc_port: ${ours[*]}"
[[ " ${ours[*]} " == *" 127.0.0.1:$sim_port "* ]] || fail "no simulator on 127.0.0.1:$sim_port: ${ours[*]}"
for address in "${ours[@]}"; do
  [[ "$address" == 127.0.0.1:* ]] || fail "run.sh's programs listen beyond 127.0.0.1: ${ours[*]}"
done
for ((i = 0; i < 100; i++)); do
  pgrep -g "$run" -f '/app/zeze-gpi-programmer$' >/dev/null && break
  sleep 0.1
done
pgrep -g "$run" -f '/app/zeze-gpi-programmer$' >/dev/null || fail "no tool running: $(cat "$scratch/out")"

running || fail "run.sh ended by itself: $(cat "$scratch/out")"
kill -TERM "$run"
for ((i = 0; i < 100; i++)); do
  running || break
  sleep 0.1
done
running && fail "run.sh still runs 10 s after SIGTERM"
wait "$run" || true
left=$(pgrep -g "$run" -a) && fail "left running after run.sh ended: $left"
echo "run.sh --vnc on 127.0.0.1 only: ok"
