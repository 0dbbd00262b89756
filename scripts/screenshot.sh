#!/usr/bin/env bash
# Renders the window offscreen to docs/main-window.png, connected to the simulator after a dump.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZEZE_BUILD_DIR:-$root/build}"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
out="$root/docs/main-window.png"
if [ -x "$build/tools/sim/zeze-sim" ]; then
  fifo=$(mktemp -u); mkfifo "$fifo"
  "$build/tools/sim/zeze-sim" --port 0 >"$fifo" &
  sim=$!
  trap 'kill $sim 2>/dev/null || true; rm -f "$fifo"' EXIT
  exec 3<"$fifo"
  read -r first <&3
  port=$(echo "$first" | sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p')
  cat <&3 >/dev/null &
  "$build/tools/screenshot/zeze-screenshot" --connect "$port" "$out"
else
  "$build/tools/screenshot/zeze-screenshot" "$out"
fi
echo "wrote $out"
