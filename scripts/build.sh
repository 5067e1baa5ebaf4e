#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh FOLDER [cmake options...]
# The build type defaults to Release; BUILD_TYPE and BUILD_FLAGS override it (the sanitizer
# builds use a light optimisation with line tables only, which compiles much faster).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
type="${BUILD_TYPE:-Release}"
flags=()
[ -n "${BUILD_FLAGS:-}" ] && flags=("-DCMAKE_CXX_FLAGS_${type^^}=${BUILD_FLAGS}")
cmake -S "$here" -B "$here/$dir" -DCMAKE_BUILD_TYPE="$type" "${flags[@]}" "$@" > "$here/$dir.configure.log" 2>&1 \
  || { cat "$here/$dir.configure.log"; exit 1; }
cmake --build "$here/$dir" -j"$(nproc)"
