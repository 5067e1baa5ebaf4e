#!/usr/bin/env bash
# Starts a wine session that lasts until `wineserver -k`, wine's own processes already running.
# The first Windows program of a session starts them (services, the driver hosts winedevice.exe,
# plug and play, ...), and they write to that program's standard error: a program under test
# would carry their messages as its own. Wine 8's driver host now and then faults on start-up
# ("Unhandled page fault on read access to 0000000000000008": IoCreateDevice in wine's
# ntoskrnl.exe, given no driver object), harmless to the programs but not theirs to print.
# So a program of no interest starts the session, and wine's messages go to LOG.
# Usage: scripts/wine-session.sh LOG   (WINEPREFIX names the wine folder)
set -euo pipefail
log="$1"
wineserver -k 2> /dev/null || true
# A fresh log, then appending: the server and wine's processes write to the same file.
: > "$log"
wineserver -p 2>> "$log"
wine cmd /c exit < /dev/null >> "$log" 2>&1
