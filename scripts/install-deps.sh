#!/usr/bin/env bash
# Installs the Debian packages the build, the tool and the tests need: only those missing, saying
# which, with apt's own output. When another apt or dpkg holds its lock, this waits for it (up to
# 10 minutes) instead of failing.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev libgtest-dev libbenchmark-dev nlohmann-json3-dev xvfb xauth
          fonts-dejavu-core clang libclang-rt-14-dev)
# Qt Svg draws the window icon; x11vnc shows run.sh's virtual display (run.sh --vnc) and ss
# (iproute2) lets its test see where it listens; the .deb is made by CPack with dpkg-shlibdeps
# (dpkg-dev, file) and checked with the .desktop and AppStream validators and lintian; help2man makes
# the manual pages, rsvg-convert the PNG icons.
packages+=(qt6-svg-dev x11vnc iproute2 dpkg-dev file desktop-file-utils appstream lintian help2man librsvg2-bin)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "Debian packages: the ${#packages[@]} needed are installed."
  exit 0
fi

echo "Debian packages missing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
apt_get() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }
echo "Updating the package lists (apt-get update; waits while another apt holds the lock)..."
apt_get update -q
echo "Installing ${missing[*]} (apt-get install)..."
apt_get install -y -q "${missing[@]}"
echo "Debian packages installed: ${missing[*]}"
