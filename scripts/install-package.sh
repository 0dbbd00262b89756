#!/usr/bin/env bash
# Builds the Debian package of the tool (the tested RelWithDebInfo configuration in build-deb/, without
# tests; CPack strips the programs) and installs it with apt-get, which also installs the Qt libraries
# it depends on. --build-only stops at the .deb.
# Remove it again with: apt-get remove zeze-gpi-programmer
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZEZE_DEB_BUILD_DIR:-$root/build-deb}"

install=true
case "${1:-}" in
  "") ;;
  --build-only) install=false ;;
  -h | --help) echo "Usage: bash scripts/install-package.sh [--build-only]"; exit 0 ;;
  *) echo "install-package.sh: unknown option $1" >&2; exit 2 ;;
esac

echo "[1/3] Checking the Debian packages the build needs (missing ones are installed)..."
bash "$root/scripts/install-deps.sh"

echo "[2/3] Building the programs in $build (a first build takes a few minutes)..."
if ! out=$(cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEZE_BUILD_TESTS=OFF \
  -DZEZE_BUILD_BENCH=OFF 2>&1); then
  echo "$out"
  exit 1
fi
cmake --build "$build" 2>&1 | awk -f "$root/scripts/build-progress.awk"

echo "[3/3] Making the Debian package..."
rm -f "$build"/zeze-gpi-programmer_*.deb
if ! out=$(cpack --config "$build/CPackConfig.cmake" -G DEB -B "$build" 2>&1); then
  echo "$out"
  exit 1
fi
deb=$(cd "$build" && ls zeze-gpi-programmer_*.deb)
echo "Made $build/$deb"
$install || exit 0

echo "Installing it: apt-get install ./$deb"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
cd "$build"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "./$deb"
echo "Installed: start \"Zeze GPI Programmer\" from the menu, or zeze-gpi-programmer in a terminal."
