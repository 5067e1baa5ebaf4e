#!/usr/bin/env bash
# Makes the samples that the package ships in share/doravine/samples/: one crank signal of every
# trigger wheel the virtual controller simulates, captured from it by doravine-cli exactly as from
# a real controller, and a settings file saved from it. Run after a build; writes data/samples/.
# DORAVINE_BUILD_DIR picks another build folder (default: build).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bin="$here/${DORAVINE_BUILD_DIR:-build}/bin"
out="$here/data/samples"
work="$(mktemp -d "${TMPDIR:-/tmp}/doravine-samples.XXXXXX")"
sim_pid=""
stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}
trap 'stop_sim; rm -rf "$work"' EXIT INT TERM

# Starts the virtual controller with the given options on a fresh link; waits until it is there.
start_sim() {
  rm -f "$work/link"
  "$bin/doravine-sim" --profile steady --link "$work/link" "$@" > "$work/sim.out" 2> "$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -e "$work/link" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/sim.err" >&2
  echo "make_samples.sh: the virtual controller did not come up" >&2
  exit 1
}

cli() { HOME="$work" "$bin/doravine-cli" --lang en --port "$work/link" "$@"; }

mkdir -p "$out"
for wheel in 60-2 36-2 36-4 30-2 36-6 36-4-typ4 36-4-typ5 12+1 36-1; do
  start_sim --wheel "$wheel"
  # The analysis of a wheel it does not know exits 1: the signal is still a sample worth having.
  status=0
  cli capture "$out/signal-$wheel.csv" --records 2000 --force > "$work/analysis" || status=$?
  [ -s "$out/signal-$wheel.csv" ] || { echo "make_samples.sh: no signal for $wheel (exit $status)" >&2; exit 1; }
  echo "signal-$wheel.csv: $(tr '\n' ' ' < "$work/analysis")"
  stop_sim
done

start_sim
cli save-settings "$out/sample.settings" --force
echo "sample.settings: $(stat -c %s "$out/sample.settings") bytes"
stop_sim
