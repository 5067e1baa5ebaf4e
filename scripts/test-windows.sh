#!/usr/bin/env bash
# The Windows leg: builds the core, doravine-cli and the unit tests with mingw-w64 (build-mingw),
# runs the unit tests under wine, then checks doravine-cli.exe against the Linux virtual
# controller through a COM port (scripts/windows-check.sh). The simulator and the Linux
# doravine-cli come from the Linux build (DORAVINE_LINUX_BUILD, default build), built if missing.
# The wine folder is build-mingw/wine unless WINEPREFIX names another; it is made on first use.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
linux="$here/${DORAVINE_LINUX_BUILD:-build}"
"$here/scripts/setup-windows.sh"
if [ ! -x "$linux/bin/doravine-sim" ] || [ ! -x "$linux/bin/doravine-cli" ]; then
  "$here/scripts/setup.sh"
  "$here/scripts/build.sh" "${DORAVINE_LINUX_BUILD:-build}"
fi

"$here/scripts/build.sh" build-mingw -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DDORAVINE_GUI=OFF -DDORAVINE_BENCH=OFF -DDORAVINE_WERROR=ON

export WINEPREFIX="${WINEPREFIX:-$here/build-mingw/wine}" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the wine folder $WINEPREFIX"
  # No .NET or HTML engine: the programs are console programs, and the installers would ask.
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i > /dev/null 2>&1
  wineserver -w
fi

# The unit tests in one wine session, wine's own messages in build-mingw/wine.log.
"$here/scripts/wine-session.sh" "$here/build-mingw/wine.log"
trap 'wineserver -k 2> /dev/null || true' EXIT
(cd "$here/build-mingw" && ctest --output-on-failure -j"$(nproc)")
"$here/scripts/windows-check.sh" "$linux/bin" "$here/build-mingw/bin"
