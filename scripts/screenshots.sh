#!/usr/bin/env bash
# Makes every screenshot of the README and the guides again, with the program's own --screenshot
# option: each tab in Polish and English at 1366 x 768 against the virtual controller (an engine
# held at a steady speed, so the readings are the same from run to run), and the window without a
# controller. Writes docs/window-*.png. Run after a build; needs no display (Qt's offscreen
# platform). DORAVINE_BUILD_DIR picks another build folder (default: build).
#
# scripts/screenshots.sh --sizes DIR: every page (the four tabs and the window without a
# controller) at 800 x 530 (the smallest window), 1366 x 768 and 1920 x 1080 in Polish, English and
# Russian, as DIR/PAGE-WxH-LANG.png, to look at the layout at every size; docs/ is left alone.
set -euo pipefail
sizes_dir=""
if [ "${1:-}" = "--sizes" ]; then
  sizes_dir="$(mkdir -p "${2:?--sizes takes a folder}" && cd "$2" && pwd)"
fi
here="$(cd "$(dirname "$0")/.." && pwd)"
bin="$here/${DORAVINE_BUILD_DIR:-build}/bin"
docs="$here/docs"
work="$(mktemp -d "${TMPDIR:-/tmp}/doravine-shots.XXXXXX")"
. "$here/scripts/virtual_controller.sh"
trap 'stop_sim; rm -rf "$work"' EXIT INT TERM

# A home of its own: no last port, settings files or signals of the user's show up in a picture.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=offscreen
unset XDG_DOCUMENTS_DIR DORAVINE_DATA
mkdir -p "$HOME"

shoot() { # FILE [options...]
  local file="$1"; shift
  "$bin/doravine" --screenshot "$docs/$file" --size "${size:-1366x768}" "$@" > /dev/null 2> "$work/err" \
    || { cat "$work/err" >&2; echo "screenshots.sh: $file failed" >&2; exit 1; }
  echo "$file"
}

start_sim --profile steady
export DORAVINE_PORTS="$work/link"
if [ -n "$sizes_dir" ]; then
  docs="$sizes_dir"
  for size in 800x530 1366x768 1920x1080; do
    for lang in pl en ru; do
      shoot "settings-$size-$lang.png" --tab 0 --lang "$lang"
      shoot "map-$size-$lang.png" --tab 1 --lang "$lang" --select 5,8,8,11
      shoot "device-$size-$lang.png" --tab 2 --lang "$lang"
      shoot "signal-$size-$lang.png" --tab 3 --lang "$lang"
      DORAVINE_PORTS="" shoot "demo-$size-$lang.png" --lang "$lang"
    done
  done
  exit 0
fi
for lang in pl en; do
  shoot "window-settings-$lang.png" --tab 0 --lang "$lang"
  shoot "window-map-$lang.png" --tab 1 --lang "$lang" --select 5,8,8,11
  shoot "window-device-$lang.png" --tab 2 --lang "$lang"
  shoot "window-signal-$lang.png" --tab 3 --lang "$lang"
done

# Where the engine runs: a revving engine leaves its trail and shades the cells it used; its
# readings, recorded by doravine-cli in the readings log's format, replayed against the map.
start_sim --profile rev
"$bin/doravine-cli" --port "$work/link" watch --csv --count 400 > "$work/readings.csv"
for lang in pl en; do
  shoot "map-views-$lang.png" --tab 1 --lang "$lang" --select 3,4,6,9 --dwell --wait 8000
  shoot "replay-$lang.png" --lang "$lang" --log "$work/readings.csv"
done

# No controller: an empty port table.
export DORAVINE_PORTS=""
for lang in pl en; do
  shoot "window-demo-$lang.png" --lang "$lang"
done
