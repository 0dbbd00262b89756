# Shared by the zeze benchmarks: the build's programs, a scratch folder, and the simulators and
# helpers started in the background, all removed on exit. Sourced after `set -euo pipefail` with
# the default box count:  source "$(dirname "$0")/cli_lib.sh" 20 "$@"
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${2:-$root/build}
count=${3:-$1}
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

# plan.json: a fresh box's programming read from HOST, with pin 7 given a command.
make_plan() {
  "$zeze" get "$1" -o "$work/fresh.json"
  sed 's/{"pin": 7, "command": ""/{"pin": 7, "command": "20 01 22"/' "$work/fresh.json" >"$work/plan.json"
}
