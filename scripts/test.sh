#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest (window tests run offscreen),
# saying at each step what it does.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZEZE_BUILD_DIR:-$root/build}"
echo "[1/3] Checking the Debian packages the build and the tests need (missing ones are installed)..."
bash "$root/scripts/install-deps.sh"
echo "[2/3] Building the programs and the tests in $build (a first build takes several minutes)..."
bash "$root/scripts/build.sh"
echo "[3/3] Running the tests (CTest, $(nproc) at a time; a failing test prints its output)..."
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
