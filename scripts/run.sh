#!/usr/bin/env bash
# Installs what is missing, builds the tool and the box simulator, starts the simulator on 127.0.0.1
# (port 8000 unless --port N) and then the tool. Closing the tool, Ctrl+C or SIGTERM here stops the
# tool and everything started for it. Without a display the window runs on a virtual display (Xvfb);
# with --vnc a VNC server (x11vnc) shows that display on 127.0.0.1 only, with --vnc-remote on every
# network interface behind a password.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZEZE_BUILD_DIR:-$root/build}"

usage() {
  cat <<'USAGE'
Usage: bash scripts/run.sh [--port N] [--no-build]
                           [--vnc | --vnc-remote [--vnc-password-file FILE]] [--vnc-port N]
  --port N      the simulated Zeze listens on 127.0.0.1:N (default 8000; 0 picks
                a free port)
  --no-build    start what is built, without checking the packages or building
  --vnc         show the window through a VNC server on 127.0.0.1 only; from
                another computer: ssh -L 5900:127.0.0.1:5900 this-machine, then
                a VNC viewer on 127.0.0.1:5900 there
  --vnc-port N  the VNC server's port (default 5900; 0 takes the first free one
                from 5900 on); without --vnc-remote it means --vnc
  --vnc-remote  the VNC server listens on every network interface and asks a
                password, generated and printed here: anyone who reaches the
                port and has the password drives the tool, and every Zeze this
                machine can reach; VNC does not encrypt what it carries
  --vnc-password-file FILE
                with --vnc-remote: the password is the first line of FILE
                (VNC checks its first 8 characters only)
USAGE
}

# Prints the port that option $1 was given as $2, 0..65535; when $2 is none, says so and exits 2 (which
# fails the assignment of the caller's $(...), and so the script).
port_number() {
  if ! [[ "$2" =~ ^[0-9]{1,5}$ ]] || [ "$((10#$2))" -gt 65535 ]; then
    echo "run.sh: $1 wants a number 0..65535, not \"$2\"" >&2
    exit 2
  fi
  echo "$((10#$2))"
}

port=8000
build_it=true
vnc=false
remote=false
vnc_port=5900
password_file=
while [ $# -gt 0 ]; do
  case "$1" in
    # "--port N" is read as "--port=N".
    --port | --vnc-port | --vnc-password-file)
      [ $# -ge 2 ] || { usage >&2; exit 2; }
      set -- "$1=$2" "${@:3}" ;;
    --port=*) port=$(port_number --port "${1#*=}"); shift ;;
    --vnc-port=*) vnc_port=$(port_number --vnc-port "${1#*=}"); vnc=true; shift ;;
    --no-build) build_it=false; shift ;;
    --vnc) vnc=true; shift ;;
    --vnc-remote) vnc=true; remote=true; shift ;;
    --vnc-password-file=*) password_file="${1#*=}"; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
done
if [ -n "$password_file" ] && ! $remote; then
  echo "run.sh: --vnc-password-file goes with --vnc-remote (--vnc listens on 127.0.0.1 only)" >&2
  exit 2
fi
# The VNC password, read or made before anything starts; it is passed to x11vnc in a file.
if [ -n "$password_file" ]; then
  password=$(head -n 1 -- "$password_file") || exit 2
  password=${password%$'\r'}
  [ -n "$password" ] || { echo "run.sh: the first line of $password_file is empty" >&2; exit 2; }
  said="the first line of $password_file (VNC checks its first 8 characters only)"
elif $remote; then
  password=$(head -c 48 /dev/urandom | base64 | tr -dc 'A-Za-z0-9')
  password=${password:0:8}
  said="$password"
fi

if $build_it; then
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
elif ! [ -x "$build/app/zeze-gpi-programmer" ] || ! [ -x "$build/tools/sim/zeze-sim" ]; then
  echo "run.sh: $build holds no built tool and simulator; run once without --no-build" >&2
  exit 2
fi

echo "[3/3] Starting the simulated Zeze on 127.0.0.1:$port..."
work=$(mktemp -d)
# Everything started in the background, in order; stop_all ends them newest first and waits for them.
pids=()
stop_all() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 130' INT TERM HUP

mkfifo "$work/sim.out"
"$build/tools/sim/zeze-sim" --port "$port" >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)

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
pids+=($!)
exec 3<&-

hint="type 127.0.0.1 into \"Zeze IP Address\""
[ "$listen_port" = 8000 ] || hint="$hint and $listen_port into \"Zeze TCP Port\""
echo "A simulated Zeze listens on 127.0.0.1:$listen_port: $hint, then press Connect."
echo "Closing the window stops the simulator."

# An X server of this run's own for the window: no TCP, and only clients holding the cookie in $work
# may connect. Sets DISPLAY and XAUTHORITY.
start_virtual_display() {
  local n=99
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  : >"$work/Xauthority"
  xauth -q -f "$work/Xauthority" add ":$n" . "$(mcookie)"
  mkfifo "$work/display"
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -auth "$work/Xauthority" -displayfd 4 \
    4>"$work/display" 2>"$work/xvfb.err" &
  pids+=($!)
  # Xvfb writes its display number there once it accepts clients.
  if ! read -r -t 30 _ <"$work/display"; then
    echo "The virtual display (Xvfb :$n) did not start:" >&2
    grep -F '(EE)' "$work/xvfb.err" >&2 || tail -n 5 "$work/xvfb.err" >&2
    exit 1
  fi
  export DISPLAY=":$n" XAUTHORITY="$work/Xauthority"
}

# x11vnc on the virtual display: on 127.0.0.1 only without a password, or (--vnc-remote) on every
# interface with the password in $work/vnc-password. IPv4 only: left on, IPv6 listens on port 5900
# whatever --vnc-port says. Sets vnc_port to the port it listens on.
start_vnc_server() {
  local args=(-display "$DISPLAY" -auth "$XAUTHORITY" -norc -forever -shared -quiet
              -no6 -rfbportv6 -1 -desktop "Zeze GPI Programmer")
  if $remote; then
    args+=(-passwdfile "$work/vnc-password")
  else
    args+=(-localhost -nopw)
  fi
  if [ "$vnc_port" = 0 ]; then args+=(-autoport 5900); else args+=(-rfbport "$vnc_port"); fi
  mkfifo "$work/vnc.out"
  x11vnc "${args[@]}" >"$work/vnc.out" 2>"$work/vnc.err" &
  pids+=($!)
  # x11vnc's first line is PORT=N once it listens; when it cannot listen it exits without one.
  exec 4<"$work/vnc.out"
  if ! read -r -t 30 line <&4 || ! [[ "$line" =~ ^PORT=([0-9]+)$ ]]; then
    echo "The VNC server cannot listen on port $vnc_port: $(grep -i -m 1 error "$work/vnc.err" || true)" >&2
    echo "Another program probably uses that port: start with --vnc-port N (0 for the first free one" >&2
    echo "from 5900 on)." >&2
    exit 1
  fi
  vnc_port="${BASH_REMATCH[1]}"
  # Whatever else it prints is not needed, but must be read.
  cat <&4 >/dev/null &
  pids+=($!)
  exec 4<&-
}

# The tool runs in the background and this script waits for it: bash runs the trap for a signal only
# between commands, so a tool in the foreground would outlive SIGTERM here.
run_tool() {
  "$@" &
  pids+=($!)
  wait "$!"
}

tool="$build/app/zeze-gpi-programmer"
if $vnc; then
  if $remote; then
    printf '%s\n' "$password" >"$work/vnc-password"
  fi
  start_virtual_display
  start_vnc_server
  if $remote; then
    echo "The window is shown by a VNC server on every network interface of this machine, port $vnc_port."
    echo "Password: $said. Anyone who reaches this port and has the password sees and drives the"
    echo "tool, and through it every Zeze this machine can reach; VNC does not encrypt the screen or the"
    echo "keys. Without --vnc-remote the server listens on 127.0.0.1 only, for ssh -L. Ctrl+C here ends"
    echo "the tool."
  else
    echo "The window is shown by a VNC server on 127.0.0.1:$vnc_port only: connect a VNC viewer there. From"
    echo "another computer, first ssh -L $vnc_port:127.0.0.1:$vnc_port this-machine, then connect the viewer"
    echo "to 127.0.0.1:$vnc_port on that computer. Ctrl+C here ends the tool."
  fi
  run_tool env QT_QPA_PLATFORM=xcb "$tool"
elif [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  run_tool "$tool"
else
  echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): the window runs on a virtual"
  echo "display (Xvfb), where nobody can see it. To see it, end this with Ctrl+C and run"
  echo "  bash scripts/run.sh --vnc"
  echo "which shows it through a VNC server on 127.0.0.1:5900, for a VNC viewer on this machine or, from"
  echo "another computer, through ssh -L 5900:127.0.0.1:5900 this-machine."
  start_virtual_display
  run_tool env QT_QPA_PLATFORM=xcb "$tool"
fi
