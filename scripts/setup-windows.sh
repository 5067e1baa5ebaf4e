#!/usr/bin/env bash
# Installs what the Windows build needs on a Debian machine, only what is missing: the mingw-w64
# cross compilers with POSIX threads, wine to run what they build, GoogleTest's sources (built
# for mingw by the tests' CMake file), and cmake.
set -euo pipefail
exec "$(dirname "$0")/setup.sh" cmake g++-mingw-w64-x86-64-posix wine wine64 googletest
