#!/usr/bin/env bash
# Installs the Debian packages the build, the tool and the tests need; only what is missing, quietly.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev libgtest-dev libbenchmark-dev nlohmann-json3-dev xvfb xauth
          fonts-dejavu-core clang libclang-rt-14-dev)
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
