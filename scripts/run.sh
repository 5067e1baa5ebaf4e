#!/usr/bin/env bash
# Sets up, builds and starts the program's main job.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
"$here/scripts/build.sh" build
exec "$here/build/bin/doravine-cli" ports
