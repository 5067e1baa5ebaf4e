#!/usr/bin/env bash
# The window's figures with the readings chart drawing and the readings log running, against
# doravine-sim with a revving engine: the window process's CPU (user + system time over wall
# time, in % of one core) and its resident memory every minute.
# Usage (needs X: run it under xvfb-run -a -s "-screen 0 1366x768x24"):
#   tools/measure/window_figures.sh [minutes, default 10] [build folder, default build]
set -euo pipefail
minutes="${1:-10}"
here="$(cd "$(dirname "$0")/../.." && pwd)"
bin="$here/${2:-build}/bin"
work="$(mktemp -d "${TMPDIR:-/tmp}/doravine-figures.XXXXXX")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DOCUMENTS_DIR="$work/home/Documents"
mkdir -p "$HOME"
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

"$bin/doravine-sim" --profile rev --link "$work/tty" > "$work/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done
DORAVINE_PORTS="$work/tty" "$bin/doravine" --size 1366x768 --lang pl > "$work/app.out" 2>&1 &
app=$!
pids+=($app)
sleep 5
# File menu, "Zapisuj odczyty do pliku" (the fifth item, below the separator).
xdotool mousemove 40 13 click 1; sleep 1
xdotool mousemove 120 142 click 1; sleep 1

ticks=$(getconf CLK_TCK)
cpu() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
rss() { awk '/VmRSS/ { print $2 }' "/proc/$app/status"; }
start_cpu=$(cpu); start_wall=$(date +%s.%N)
for m in $(seq 1 "$minutes"); do
  sleep 60
  now_cpu=$(cpu); now_wall=$(date +%s.%N)
  echo "minute $m: resident $(rss) kB, CPU so far $(echo "scale=2; 100 * ($now_cpu - $start_cpu) / $ticks / ($now_wall - $start_wall)" | bc) % of one core"
done
log=$(ls "$XDG_DOCUMENTS_DIR/Doravine/Diag/"Odczyty_*.csv)
echo "log lines (with the header): $(wc -l < "$log")"
