#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UBSan (-fsanitize=address,undefined) into
# build-asan/ and runs it through CTest. A sanitizer report ends the test that made it, so it fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZEZE_ASAN_BUILD_DIR:-$root/build-asan}"
bash "$root/scripts/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  # -O1 with line tables only: half the compile time of -O2 -g, and reports still name file and line.
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DZEZE_ASAN=ON -DZEZE_BUILD_BENCH=OFF >/dev/null
fi
ZEZE_BUILD_DIR="$build" bash "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
