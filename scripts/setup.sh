#!/usr/bin/env bash
# Installs what the build needs on a Debian machine, only what is missing.
# scripts/setup.sh packaging: also what building and checking the Debian package needs.
# Given other package names, installs those instead (scripts/setup-windows.sh does so).
set -euo pipefail
# locales: the sources from which the tests compile a Polish locale; xdotool and bc: the window
# figures of tools/measure.
packages=(cmake g++ clang libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev xvfb xauth locales xdotool bc)
if [ "${1:-}" = packaging ]; then
  packages+=(dpkg-dev file lintian desktop-file-utils appstream qt6-qpa-plugins)
elif [ $# -gt 0 ]; then
  packages=("$@")
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
