#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh FOLDER [cmake options...]
# The build type defaults to optimised code with line tables (-O2 -g1: -O3 draws false warnings
# from GCC 12's string code); BUILD_TYPE and BUILD_FLAGS override it (the sanitizer builds use a
# light optimisation, which compiles much faster).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
type="${BUILD_TYPE:-RelWithDebInfo}"
flags=("-DCMAKE_CXX_FLAGS_${type^^}=${BUILD_FLAGS:--O2 -g1 -DNDEBUG}")
# A compiler cache, where the machine has one, makes rebuilds of other checkouts cheap.
if command -v ccache > /dev/null; then
  flags+=("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
  export CCACHE_BASEDIR="$here" CCACHE_NOHASHDIR=1
fi
cmake -S "$here" -B "$here/$dir" -DCMAKE_BUILD_TYPE="$type" "${flags[@]}" "$@" > "$here/$dir.configure.log" 2>&1 \
  || { cat "$here/$dir.configure.log"; exit 1; }
cmake --build "$here/$dir" -j"$(nproc)"
