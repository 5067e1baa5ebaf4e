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
. "$here/scripts/virtual_controller.sh"
trap 'stop_sim; rm -rf "$work"' EXIT INT TERM

cli() { HOME="$work" "$bin/doravine-cli" --lang en --port "$work/link" "$@"; }

mkdir -p "$out"
for wheel in 60-2 36-2 36-4 30-2 36-6 36-4-typ4 36-4-typ5 12+1 36-1; do
  start_sim --profile steady --wheel "$wheel"
  # The analysis of a wheel it does not know exits 1: the signal is still a sample worth having.
  status=0
  cli capture "$out/signal-$wheel.csv" --records 2000 --force > "$work/analysis" || status=$?
  [ -s "$out/signal-$wheel.csv" ] || { echo "make_samples.sh: no signal for $wheel (exit $status)" >&2; exit 1; }
  echo "signal-$wheel.csv: $(tr '\n' ' ' < "$work/analysis")"
  stop_sim
done

start_sim --profile steady
cli save-settings "$out/sample.settings" --force
echo "sample.settings: $(stat -c %s "$out/sample.settings") bytes"
stop_sim
