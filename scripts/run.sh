#!/usr/bin/env bash
# Installs what is missing, builds the tool and the box simulator, starts the simulator on 127.0.0.1
# (port 8000 unless --port N) and then the tool. Closing the tool stops the simulator. Without a
# display the window runs on a virtual display (Xvfb), or with --vnc on Qt's VNC platform, where a
# VNC viewer on port 5900 shows it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZEZE_BUILD_DIR:-$root/build}"

usage() {
  cat <<'USAGE'
Usage: bash scripts/run.sh [--port N] [--vnc]
  --port N  the simulated Zeze listens on 127.0.0.1:N (default 8000; 0 picks a free port)
  --vnc     show the window through Qt's VNC server on port 5900, for a machine without a display
USAGE
}

port=8000
vnc=false
while [ $# -gt 0 ]; do
  case "$1" in
    --port) [ $# -ge 2 ] || { usage >&2; exit 2; }; port="$2"; shift 2 ;;
    --port=*) port="${1#--port=}"; shift ;;
    --vnc) vnc=true; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
done
if ! [[ "$port" =~ ^[0-9]{1,5}$ ]] || [ "$((10#$port))" -gt 65535 ]; then
  echo "run.sh: --port wants a number 0..65535, not \"$port\"" >&2
  exit 2
fi
port=$((10#$port))

echo "[1/3] Checking the Debian packages the build needs (missing ones are installed)..."
bash "$root/scripts/install-deps.sh"

echo "[2/3] Building the tool and the simulator in $build (a first build takes a few minutes)..."
if [ ! -f "$build/build.ninja" ]; then
  if ! out=$(cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo 2>&1); then
    echo "$out"
    exit 1
  fi
fi
cmake --build "$build" --target zeze-gpi-programmer zeze-sim 2>&1 | awk -f "$root/scripts/build-progress.awk"

echo "[3/3] Starting the simulated Zeze on 127.0.0.1:$port..."
work=$(mktemp -d)
mkfifo "$work/sim.out"
"$build/tools/sim/zeze-sim" --port "$port" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
stop_sim() {
  kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

# The simulator's first line says where it listens; if it cannot listen it exits without one.
exec 3<"$work/sim.out"
if ! read -r -t 30 first <&3 || ! [[ "$first" =~ listening\ on\ 127\.0\.0\.1:([0-9]+) ]]; then
  reason=$(sed -e 's/^zeze-sim: //' -e 's/^cannot listen on [^ ]*: //' "$work/sim.err")
  echo "The simulated Zeze cannot listen on 127.0.0.1:$port${reason:+: $reason}." >&2
  echo "Another program probably uses that port. Start with another one, for example" >&2
  echo "  bash scripts/run.sh --port $((port == 65535 ? 8001 : port + 1))     (or --port 0 for any free port)" >&2
  echo "and type that port into \"Zeze TCP Port\" before pressing Connect." >&2
  exit 1
fi
listen_port="${BASH_REMATCH[1]}"
# Everything the simulator logs from here on (one line per message) shows up here, marked.
sed -u 's/^/[sim] /' <&3 &
exec 3<&-

hint="type 127.0.0.1 into \"Zeze IP Address\""
[ "$listen_port" = 8000 ] || hint="$hint and $listen_port into \"Zeze TCP Port\""
echo "A simulated Zeze listens on 127.0.0.1:$listen_port: $hint, then press Connect."
echo "Closing the window stops the simulator."

tool="$build/app/zeze-gpi-programmer"
if $vnc; then
  echo "The window is shown by Qt's VNC server: connect a VNC viewer to port 5900 of this machine"
  echo "(here: vncviewer 127.0.0.1:5900; from another computer through SSH: ssh -L 5900:127.0.0.1:5900"
  echo "this-machine, then vncviewer 127.0.0.1:5900). It asks no password and listens on every network"
  echo "interface, so use it on a trusted network only. Ctrl+C here ends the tool."
  QT_QPA_PLATFORM="vnc:size=1280x800:port=5900" "$tool"
elif [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$tool"
else
  echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): the window runs on a virtual"
  echo "display (Xvfb), where nobody can see it. To see it, end this with Ctrl+C and run"
  echo "  bash scripts/run.sh --vnc"
  echo "which opens the window on Qt's vnc platform (QT_QPA_PLATFORM=vnc); then connect a VNC viewer"
  echo "to port 5900 of this machine."
  xvfb-run -a "$tool"
fi
