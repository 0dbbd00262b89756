#!/usr/bin/env bash
# Installs the Debian packages the build, the tool and the tests need; only what is missing, quietly.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev libgtest-dev libbenchmark-dev nlohmann-json3-dev xvfb xauth
          fonts-dejavu-core clang libclang-rt-14-dev)
# Qt Svg draws the window icon; qt6-qpa-plugins holds Qt's vnc platform (run.sh --vnc); the .deb is
# made by CPack with dpkg-shlibdeps (dpkg-dev, file) and checked with the .desktop and AppStream validators.
packages+=(qt6-svg-dev qt6-qpa-plugins dpkg-dev file desktop-file-utils appstream)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
