#!/usr/bin/env bash
# Unpacks a built package into a temporary root (dpkg-deb -x, as a fresh tree) and runs the
# installed programs from there: doravine-cli's version and an analysis of a shipped sample, then
# the window offscreen in English, which must have found its language files and reference charts
# in the unpacked share/doravine/ and not in the source or build tree.
# scripts/check_package.sh PACKAGE.deb
set -euo pipefail
deb="$(realpath "$1")"
root="$(mktemp -d "${TMPDIR:-/tmp}/doravine-package.XXXXXX")"
trap 'rm -rf "$root"' EXIT
here="$(cd "$(dirname "$0")/.." && pwd)"
fail() { echo "check_package.sh: $*" >&2; exit 1; }

dpkg-deb -x "$deb" "$root"
bin="$root/usr/bin"
share="$root/usr/share/doravine"
export HOME="$root/home" DORAVINE_PORTS=""
unset DORAVINE_DATA
mkdir -p "$HOME"

version="$("$bin/doravine-cli" --version)"
[ "$version" = "doravine-cli $(dpkg-deb -f "$deb" Version)" ] || fail "doravine-cli --version says '$version'"
echo "$version"

analysis="$("$bin/doravine-cli" --lang en analyse "$share/samples/signal-60-2.csv")"
grep -qx "pulseCount: 60" <<< "$analysis" && grep -qx "pulseDeficit: 2" <<< "$analysis" \
  || fail "the 60-2 sample analyses as: $analysis"
echo "analyse signal-60-2.csv: $(tr '\n' ' ' <<< "$analysis")"

# What the installed window takes its data from: the unpacked tree, each folder with its files.
where="$("$bin/doravine" --where)"
echo "$where"
grep -q "^language files: $share/Doravine_LANG/ (.*ENGLISH.txt" <<< "$where" || fail "no language files in $share"
if [ -d "$here/data/wykresy" ]; then
  grep -q "^reference charts: $share/wykresy/ (.*HALL_60_2.csv" <<< "$where" || fail "no reference charts in $share"
else
  echo "(this tree has no data/wykresy yet: the charts are not checked)"
fi

shot="$root/window-en.png"
record="$(QT_QPA_PLATFORM=offscreen "$bin/doravine" --screenshot "$shot" --lang en --size 1366x768 --wait 100)"
echo "$record"
[ -s "$shot" ] || fail "no screenshot written"
grep -q "^menu: File | " <<< "$record" || fail "the English window's menu does not say File"
echo "check_package.sh: $(basename "$deb") unpacks and runs"
