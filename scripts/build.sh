#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh FOLDER [cmake options...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
cmake -S "$here" -B "$here/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$here/$dir.configure.log" 2>&1 \
  || { cat "$here/$dir.configure.log"; exit 1; }
cmake --build "$here/$dir" -j"$(nproc)"
