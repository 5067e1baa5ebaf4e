#!/usr/bin/env bash
# Sets up, builds and starts the window connected to the virtual controller: doravine-sim runs
# on a pseudo-terminal at 38400 baud with a revving engine, and the program finds it as its only
# serial port. The simulator stops when the window closes. Needs a display (X11 or Wayland).
# Arguments are passed to doravine (e.g. --lang en, --size 1366x768).
# DORAVINE_BUILD_DIR picks another build folder (default: build).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${DORAVINE_BUILD_DIR:-build}"
"$here/scripts/setup.sh"
"$here/scripts/build.sh" "$build"
bin="$here/$build/bin"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display (DISPLAY is not set). Start it from a desktop session, or use" >&2
  echo "        xvfb-run -a scripts/run.sh --screenshot window.png" >&2
  exit 1
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/doravine-run.XXXXXX")"
. "$here/scripts/virtual_controller.sh"
trap 'stop_sim; rm -rf "$work"' EXIT INT TERM

start_sim --profile rev
link="$work/link"
echo "Virtual controller on $(head -n1 "$work/sim.out") (linked at $link)"

# The simulator is the program's only port (COM1).
DORAVINE_PORTS="$link" "$bin/doravine" "$@"
