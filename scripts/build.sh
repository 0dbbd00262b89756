#!/usr/bin/env bash
# Configures (once) and builds the tool, the simulator and the tests into build/, with a progress
# line every tenth of the way; warnings and errors are shown whole.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZEZE_BUILD_DIR:-$root/build}"
if [ ! -f "$build/build.ninja" ]; then
  echo "      configuring $build (cmake)"
  if ! out=$(cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo 2>&1); then
    echo "$out"
    exit 1
  fi
fi
cmake --build "$build" 2>&1 | awk -f "$root/scripts/build-progress.awk"
