#!/usr/bin/env bash
# Installs what is missing, builds, starts the box simulator on 127.0.0.1:8000 and then the tool.
# Closing the tool stops the simulator. Without a display the tool runs on a virtual one (Xvfb).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZEZE_BUILD_DIR:-$root/build}"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"

sim_pid=
if [ -x "$build/tools/sim/zeze-sim" ]; then
  "$build/tools/sim/zeze-sim" --port 8000 &
  sim_pid=$!
  stop_sim() { kill "$sim_pid" 2>/dev/null || true; }
  trap stop_sim EXIT
  trap 'exit 130' INT TERM
  echo "A simulated Zeze listens on 127.0.0.1:8000: type 127.0.0.1 into \"Zeze IP Address\" and press Connect."
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$build/app/zeze-gpi-programmer"
else
  echo "No display found: running the window on a virtual display (Xvfb); it is not visible here."
  xvfb-run -a "$build/app/zeze-gpi-programmer"
fi
