#!/usr/bin/env bash
# Checks doravine-cli.exe under wine against the Linux virtual controller. The simulator keeps its
# terminal linked at wine's dosdevices/com7, so the Windows program opens it as COM7 through the
# Win32 serial port, while the Linux doravine-cli opens the same terminal by its path. Every
# command runs on both against the same controller state; standard output (line endings aside),
# standard error and the exit status must agree. Then the link's failure paths (a reply that never
# comes, a hang-up, a silent port) and the live-sample rate through each port.
#
# Usage: scripts/windows-check.sh LINUX_BIN WINDOWS_BIN
#   LINUX_BIN holds doravine-sim and doravine-cli, WINDOWS_BIN doravine-cli.exe. WINEPREFIX
#   names the wine folder (default ~/.wine); it must exist (wineboot -i).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
linux_bin="$(cd "$1" && pwd)"
windows_bin="$(cd "$2" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}" WINEDEBUG="${WINEDEBUG:--all}"
com7="$WINEPREFIX/dosdevices/com7"

work="$(mktemp -d "${TMPDIR:-/tmp}/doravine-wincheck.XXXXXX")"
# The simulator keeps its link at COM7.
bin="$linux_bin" sim_link="$com7"
. "$here/scripts/virtual_controller.sh"
cleanup() {
  stop_sim
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# One wine session for the whole check, the diagnostics of wine's own processes kept out of the
# programs' standard error: what a program prints is compared with the Linux tool's, so a fault
# of the program itself still shows, and wine's are reported apart at the end.
"$here/scripts/wine-session.sh" "$work/wine.log"

# The Linux tool remembers its last port under a home of its own, never the user's.
mkdir -p "$work/home/.config" "$work/home/Documents"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DOCUMENTS_DIR="$work/home/Documents"

# A host path as the Windows program names it: wine's drive Z: is the host's /.
winpath() {
  local p="Z:$1"
  printf '%s' "${p//\//\\}"
}

# A firmware file of 60 rows whose image carries version 2.1 for type 29 at address 0x1800, as the
# controller's boot loader wants it before it starts the application (file layout: a 40-byte
# header, 60 dropped data bytes at 8320, every byte stored rotated left by two bits).
write_firmware() {
  perl -e '
    my $length = 60 * 256;
    my @image = map { ($_ * 13 + ($_ >> 8) * 7 + 1) & 0xFF } 0 .. $length - 1;
    @image[0x3000 .. 0x3002] = (0x01, 0x02, 29);
    my @data = (@image[0 .. 8319], (0xEE) x 60, @image[8320 .. $length - 1]);
    my @header = (0) x 40;
    @header[0 .. 3] = unpack("C4", pack("V", scalar @data));
    @header[4 .. 7] = (0x01, 0x02, 0x01, 0x01);
    @header[19 .. 26] = unpack("C8", "DORAVINE");
    my $sum = 2;
    $sum += $_ for @data, @header;
    @header[38, 39] = ($sum & 0xFF, ($sum >> 8) & 0xFF);
    print pack("C*", map { (($_ << 2) | ($_ >> 6)) & 0xFF } @header, @data);
  ' > "$1"
}

now() { echo "$EPOCHREALTIME"; }
# ge A B: A >= B, for decimal numbers.
ge() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'; }

# run SIDE NAME ARGS...: one run of the tool of that side; files NAME.SIDE.{out,err,status,time}.
# Arguments of the form @path are file names, given to each side in its own form.
run() {
  local side="$1" name="$2"
  shift 2
  local args=() a
  for a in "$@"; do
    if [ "${a#@}" != "$a" ]; then
      if [ "$side" = windows ]; then args+=("$(winpath "${a#@}")"); else args+=("${a#@}"); fi
    else
      args+=("$a")
    fi
  done
  local start status=0
  start="$(now)"
  if [ "$side" = windows ]; then
    wine "$windows_bin/doravine-cli.exe" --lang pl --port COM7 "${args[@]}" \
      > "$work/$name.$side.out" 2> "$work/$name.$side.err" || status=$?
  else
    "$linux_bin/doravine-cli" --lang pl --port "$com7" "${args[@]}" \
      > "$work/$name.$side.out" 2> "$work/$name.$side.err" || status=$?
  fi
  echo "$status" > "$work/$name.$side.status"
  awk -v a="$(now)" -v b="$start" 'BEGIN { printf "%.2f\n", a - b }' > "$work/$name.$side.time"
}

# The two sides' output in one comparable form: no CR; the port's device path and the settings
# backup that a firmware update writes (its folder and time), which must differ, replaced.
normalised() {
  tr -d '\r' < "$1" | sed -e 's/^port: COM1 .*/port: COM1 <device>/' \
    -e 's/^.*ustawienia-[0-9]\{4\}-[0-9-]*\.settings$/<backup file>/'
}

passed=0
failed=0
verdict() {
  local ok="$1" what="$2"
  if [ "$ok" = yes ]; then
    passed=$((passed + 1))
    echo "ok      $what"
  else
    failed=$((failed + 1))
    echo "FAILED  $what"
  fi
}

# same NAME: both sides printed the same and ended the same.
same() {
  local name="$1" ok=yes stream
  for stream in out err status; do
    if ! diff -u <(normalised "$work/$name.linux.$stream") <(normalised "$work/$name.windows.$stream") \
      > "$work/$name.$stream.diff"; then
      ok=no
      echo "--- $name: standard ${stream} differs (linux, windows)"
      head -n 40 "$work/$name.$stream.diff"
    fi
  done
  verdict "$ok" "$name (exit $(cat "$work/$name.linux.status"), $(wc -l < "$work/$name.linux.out") lines)"
}

# exits NAME STATUS: the Linux side ended so, as its own tests expect (two sides agreeing on a
# failure they should not have is no agreement worth having).
exits() {
  local status
  status="$(cat "$work/$1.linux.status")"
  if [ "$status" = "$2" ]; then verdict yes "$1 exits $2"; else verdict no "$1 exits $2 (it exited $status)"; fi
}

# both NAME ARGS...: the command on Linux, then on Windows, against the same controller.
both() {
  local name="$1"
  shift
  run linux "$name" "$@"
  run windows "$name" "$@"
  same "$name"
}

# fresh NAME SIM_OPTIONS -- ARGS...: each side against a new controller started with the options,
# for commands that change what the next run would see (a fault counts requests).
fresh() {
  local name="$1" sim_options=()
  shift
  while [ "$1" != "--" ]; do
    sim_options+=("$1")
    shift
  done
  shift
  start_sim "${sim_options[@]}"
  run linux "$name" "$@"
  start_sim "${sim_options[@]}"
  run windows "$name" "$@"
}

elapsed() { cat "$work/$1.$2.time"; }
# at_least NAME SECONDS: both sides took at least that long (a time-out really waited).
at_least() {
  local name="$1" limit="$2" side ok=yes
  for side in linux windows; do
    ge "$(elapsed "$name" "$side")" "$limit" || ok=no
  done
  verdict "$ok" "$name waited at least ${limit} s (linux $(elapsed "$name" linux) s, windows $(elapsed "$name" windows) s)"
}

# csv_times NAME COUNT: on both sides the CSV's first column is the time since the first sample,
# read on that side's own clock: 0.000 first, three decimals, never going back, COUNT samples.
# The times are then masked so that the rest of the lines can be compared.
csv_times() {
  local name="$1" count="$2" side ok=yes
  for side in linux windows; do
    tr -d '\r' < "$work/$name.$side.out" | awk -F';' -v count="$count" '
      NR == 1 { next }
      NR == 2 && $1 != "0.000" { bad = 1 }
      $1 !~ /^[0-9]+\.[0-9][0-9][0-9]$/ || $1 + 0 < last { bad = 1 }
      { last = $1 + 0 }
      END { exit bad || NR != count + 1 }' || ok=no
    sed -i -E 's/^[0-9]+\.[0-9]{3};/<time>;/' "$work/$name.$side.out"
  done
  verdict "$ok" "$name: $count samples timed from 0.000, never going back"
}

echo "== doravine-cli.exe (wine) against doravine-cli (Linux), one virtual controller behind COM7"
start_sim --profile steady
# The controller's settings before anything changes them, for diff later on.
run linux save-settings-before save-settings @"$work/before.settings"
[ "$(cat "$work/save-settings-before.linux.status")" = 0 ] || { echo "windows-check: save-settings failed" >&2; exit 1; }
both info info
both settings settings
both set set tpsThreshold=2.5 teethCount=36 missingTeeth=2
both settings-after-set settings
both map map
# The map with two cells changed, in CR LF lines as a Windows editor leaves them.
tr -d '\r' < "$work/map.linux.out" | awk -F';' 'BEGIN { OFS = ";" }
  NR == 2 { $2 = "7.5" } NR == 9 { $16 = "19.0" } { printf "%s\r\n", $0 }' > "$work/map.csv"
both map-write map-write @"$work/map.csv"
both map-after-write map
# The file from before set and map-write: each change shows, file value after the controller's.
both diff diff @"$work/before.settings"
exits diff 1
head -c 1000 "$work/before.settings" > "$work/short.settings"
both diff-refused diff @"$work/short.settings"
exits diff-refused 2
both errors errors
both clear-errors clear-errors
both errors-after-clear errors
both watch watch --count 20
run linux watch-csv watch --csv --count 20
run windows watch-csv watch --csv --count 20
csv_times watch-csv 20
same watch-csv
exits watch-csv 0
run linux save-settings save-settings @"$work/linux.settings"
run windows save-settings save-settings @"$work/windows.settings"
same save-settings
if cmp -s "$work/linux.settings" "$work/windows.settings"; then
  verdict yes "save-settings files are byte for byte the same"
else
  verdict no "save-settings files are byte for byte the same"
fi
both load-settings load-settings @"$work/linux.settings"
both diff-after-load diff @"$work/linux.settings"
exits diff-after-load 0
# The wheel auto-detection asks first; with --yes it runs against an engine at steady speed.
both autodetect-question autodetect
exits autodetect-question 1
fresh autodetect --wheel 36-2 --profile steady -- autodetect --yes
same autodetect
exits autodetect 0
write_firmware "$work/firmware.afm"
fresh flash --profile steady -- flash @"$work/firmware.afm" --yes
same flash

echo "== the link's failure paths through the Win32 port, as on Linux"
# A reply that never comes: the read waits out its time-out (1 s), the command retries and succeeds.
fresh timeout --profile steady --fault noreply@3 -- settings
same timeout
at_least timeout 1.0
# The controller goes away in the middle of the live samples.
fresh hangup --profile steady --fault hangup@12 -- watch --count 100
same hangup
# A port where nothing answers: three identifications of a second each, then no controller.
fresh silent --fault noreply -- info
same silent
at_least silent 3.0
stop_sim

echo "== live samples per second through each port (paced controller, 100 samples)"
# rate SIDE: samples a second that watch printed through that side's port, into rate.SIDE.
rate() {
  local side="$1" cmd
  start_sim --profile steady
  if [ "$side" = windows ]; then
    cmd=(wine "$windows_bin/doravine-cli.exe" --port COM7 watch --count 101)
  else
    cmd=("$linux_bin/doravine-cli" --port "$com7" watch --count 101)
  fi
  "${cmd[@]}" 2> /dev/null | while read -r _; do echo "$EPOCHREALTIME"; done |
    awk 'NR == 1 { first = $1 } { last = $1; n = NR } END { printf "%.1f\n", (n > 1 ? (n - 1) / (last - first) : 0) }' \
      > "$work/rate.$side"
}
rate linux
rate windows
stop_sim
linux_rate="$(cat "$work/rate.linux")"
windows_rate="$(cat "$work/rate.windows")"
echo "live samples per second: linux $linux_rate, windows (wine) $windows_rate"
# The paced controller answers a sample about every 50 ms; a port that loses time would show here.
if ge "$linux_rate" 5 && ge "$windows_rate" 5; then
  verdict yes "both ports carry the live samples (at least 5 a second)"
else
  verdict no "both ports carry the live samples (at least 5 a second)"
fi

# Wine's own processes are not under test: what they reported is shown, not counted.
if grep -q "Unhandled" "$work/wine.log"; then
  echo "note: wine's own processes reported (not the programs under test):"
  grep "Unhandled" "$work/wine.log" | sed 's/^/  /'
fi
echo "windows-check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
