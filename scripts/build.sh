#!/usr/bin/env bash
# Configures (once) and builds the tool, the simulator and the tests into build/. Prints only
# warnings and errors.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZEZE_BUILD_DIR:-$root/build}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
if ! out=$(cmake --build "$build" 2>&1); then
  echo "$out"
  exit 1
fi
echo "$out" | grep -vE '^ninja: no work to do|^\[[0-9]+/[0-9]+\] ' || true
