#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's prefix (made on first use), without Wine's
# own diagnostics. The Windows build's emulator: CTest runs the test programs through it.
set -euo pipefail
WINEPREFIX="$("$(dirname "$0")/wine-prefix.sh")"
export WINEPREFIX
export WINEDEBUG=-all
# The first program of a Wine session starts Wine's own background processes (services.exe and
# its drivers), which inherit that program's output and outlive it until the server ends, seconds
# later: CTest, waiting for the end of a test's output, would wait for them. A program that writes
# nowhere starts them, or finds them running.
wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
exec wine "$@"
