#!/usr/bin/env bash
# The installed tree: `cmake --install` into a fresh prefix, every file where a packager and the
# desktop expect it, and the installed programs finding their data in PREFIX/share/doravine/
# with nothing beside them. install_layout_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source="$2"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/doravine-install.XXXXXX")"
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_file() { [ -s "$prefix/$1" ] || fail "missing $1"; }

cmake --install "$build" --prefix "$prefix" > "$prefix.log" 2>&1 || { cat "$prefix.log"; exit 1; }
rm -f "$prefix.log"
unset DORAVINE_DATA
export HOME="$prefix/home" DORAVINE_PORTS=""
mkdir -p "$HOME"

gui=false
[ -x "$build/bin/doravine" ] && gui=true
programs=(doravine-cli doravine-sim)
$gui && programs+=(doravine)
for p in "${programs[@]}"; do
  [ -x "$prefix/bin/$p" ] || fail "bin/$p is not an installed program"
  gzip -t "$prefix/share/man/man1/$p.1.gz" 2> /dev/null || fail "share/man/man1/$p.1.gz is not a gzip file"
  version="$("$prefix/bin/$p" --version)" || fail "$p --version failed"
  [[ "$version" =~ ^$p\ [0-9]+\.[0-9]+$ ]] || fail "$p --version says '$version'"
  "$prefix/bin/$p" --help | grep -q -- "--version" || fail "$p --help does not name --version"
done
[ -e "$prefix/bin/unit_folders_test" ] && fail "a test program was installed"

# Data: every file of the source's data folders, byte for byte.
for dir in Doravine_LANG wykresy samples; do
  [ -d "$source/data/$dir" ] || continue
  diff -r "$source/data/$dir" "$prefix/share/doravine/$dir" > /dev/null || fail "share/doravine/$dir differs from data/$dir"
done
expect_file share/doravine/samples/sample.settings
expect_file share/doc/doravine/README.md
expect_file share/doc/doravine/copyright
gzip -t "$prefix/share/doc/doravine/changelog.gz" 2> /dev/null || fail "no changelog.gz"
for guide in guide.md przewodnik.md; do
  expect_file "share/doc/doravine/docs/$guide"
  # Every picture a guide shows is installed beside it.
  for picture in $(grep -o '([a-z-]*\.png)' "$source/docs/$guide" | tr -d '()'); do
    expect_file "share/doc/doravine/docs/$picture"
  done
done

if $gui; then
  desktop="$prefix/share/applications/com.kestrelia.Doravine.desktop"
  expect_file share/applications/com.kestrelia.Doravine.desktop
  expect_file share/metainfo/com.kestrelia.Doravine.metainfo.xml
  expect_file share/icons/hicolor/scalable/apps/com.kestrelia.Doravine.svg
  expect_file share/icons/hicolor/256x256/apps/com.kestrelia.Doravine.png
  file -b "$prefix/share/icons/hicolor/256x256/apps/com.kestrelia.Doravine.png" | grep -q "256 x 256" \
    || fail "the hicolor 256x256 icon is not 256 x 256"
  grep -qx "Icon=com.kestrelia.Doravine" "$desktop" || fail "the desktop entry names another icon"
  grep -qx "Exec=doravine" "$desktop" || fail "the desktop entry starts another program"
  if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
  fi
  if command -v appstreamcli > /dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/com.kestrelia.Doravine.metainfo.xml" > /dev/null \
      || fail "appstreamcli validate"
  fi
  where="$("$prefix/bin/doravine" --where)"
  grep -qx "language files: $prefix/share/doravine/Doravine_LANG/ (ENGLISH.txt, RUSSIAN.txt)" <<< "$where" \
    || fail "the installed window looks for its language files elsewhere: $where"
  grep -q "^samples: $prefix/share/doravine/samples/ (sample.settings, " <<< "$where" \
    || fail "the installed window looks for its samples elsewhere: $where"
fi

# The installed CLI reads a shipped sample, and its English message comes from the installed
# language file: without it the message would stay Polish.
out="$("$prefix/bin/doravine-cli" --lang en analyse "$prefix/share/doravine/samples/signal-36-2.csv")"
grep -qx "pulseCount: 36" <<< "$out" && grep -qx "pulseDeficit: 2" <<< "$out" || fail "36-2 sample: $out"
status=0
err="$("$prefix/bin/doravine-cli" --lang en analyse "$prefix/share/doravine/samples/signal-12+1.csv" 2>&1 >/dev/null)" \
  || status=$?
[ "$status" -eq 1 ] && [ "$err" = "doravine-cli: Unsupported signal" ] \
  || fail "the installed CLI's English message (exit $status): $err"

[ "$failures" -eq 0 ] || exit 1
echo "installed tree under $prefix is complete"
