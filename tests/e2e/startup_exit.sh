#!/usr/bin/env bash
# Starts the real program in a virtual X server with reporting switched on,
# leaves it through its menu and checks what it left: the settings file and
# an error log of whole 2060-byte records.
# Usage: startup_exit.sh PATH/TO/kivhelp   (run under xvfb-run)
set -euo pipefail
exe="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_CONFIG_HOME="$work/cfg"
export HOME="$work/home"; mkdir -p "$HOME"
unset QT_QPA_PLATFORM

"$exe" D O &
pid=$!
fail() { echo "FAIL: $*"; kill "$pid" 2>/dev/null || true; exit 1; }

# The window appears on the third tick after the loop starts.
xdotool search --sync --onlyvisible --name "KIV Help" >/dev/null 2>&1 &
finder=$!
for _ in $(seq 100); do kill -0 "$finder" 2>/dev/null || break; sleep 0.1; done
kill -0 "$finder" 2>/dev/null && { kill "$finder"; fail "the main window never showed"; }
sleep 0.5

# Fichier > Sortir du Programme
xdotool mousemove 20 8 click 1
sleep 0.5
xdotool key Down Down Down Down Down Down Return
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after the exit command"
wait "$pid" || fail "the program ended with a failure code"

ini="$XDG_CONFIG_HOME/kivhelp/kivhelp.INI"
[ -f "$ini" ] || fail "no settings file written at exit"
grep -q $'^DIRPATH=.*/\r$' "$ini" || fail "settings file without DIRPATH"
grep -q $'^LASTPROJECT1=.*Kivhelp/Kivhelp.PRJ\r$' "$ini" || fail "settings file without the sample project"
[ -f kivhelp.LOG ] || fail "no error log written with D O"
size=$(stat -c %s kivhelp.LOG)
[ "$size" -gt 0 ] && [ $((size % 2060)) -eq 0 ] || fail "error log of $size bytes"
echo "1 passed, 0 failed"
