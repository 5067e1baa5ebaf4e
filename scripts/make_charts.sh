#!/usr/bin/env bash
# Regenerates the settings page's reference charts (data/wykresy/*.csv) from the virtual
# controller's wheel model: builds doravine-charts in the given build folder (default: build) and
# lets it write the ten files. A test checks that the committed files are what it writes.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
cmake --build "$here/$build" --target doravine-charts
"$here/$build/bin/doravine-charts" "$here/data/wykresy"
