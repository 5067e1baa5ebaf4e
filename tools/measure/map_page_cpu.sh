#!/usr/bin/env bash
# CPU of the running window with the map page active and the engine revving: the virtual
# controller (rev profile, paced at 38400 baud) on a pseudo-terminal, the window under a virtual
# X server, the map tab clicked, then the window's user and system time over SECONDS (default 60).
# Usage: tools/measure/map_page_cpu.sh [SECONDS [doravine options...]]   (DORAVINE_BUILD_DIR picks
# the build, default build); e.g. `60 --dwell` with the grid shaded by the time in its cells.
set -euo pipefail
if [ -z "${MAP_CPU_INNER:-}" ]; then
  MAP_CPU_INNER=1 exec xvfb-run -a -s "-screen 0 1366x768x24" "$0" "$@"
fi
here="$(cd "$(dirname "$0")/../.." && pwd)"
bin="$here/${DORAVINE_BUILD_DIR:-build}/bin"
seconds="${1:-60}"
shift || true
work="$(mktemp -d "${TMPDIR:-/tmp}/doravine-cpu.XXXXXX")"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

"$bin/doravine-sim" --profile rev --link "$work/tty" > "$work/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done
DORAVINE_PORTS="$work/tty" HOME="$work" XDG_CONFIG_HOME="$work/config" \
  "$bin/doravine" --size 1366x768 "$@" > "$work/app.out" 2>&1 &
app=$!
pids=("$app" "${pids[@]}")
sleep 4
# The map tab, second in the tab row at this size.
xdotool mousemove 258 51 click 1
sleep 3

ticks() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
hz="$(getconf CLK_TCK)"
t0="$(ticks)"; s0="$(date +%s.%N)"
sleep "$seconds"
t1="$(ticks)"; s1="$(date +%s.%N)"
awk -v t="$((t1 - t0))" -v hz="$hz" -v s0="$s0" -v s1="$s1" \
  'BEGIN { printf "window CPU with the map page active: %.2f %% of one core over %.1f s\n", 100 * t / hz / (s1 - s0), s1 - s0 }'
