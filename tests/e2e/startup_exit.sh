#!/usr/bin/env bash
# Starts the real program in a virtual X server with reporting switched on,
# leaves it through its menu and checks what it left: the settings file and
# an error log of whole 2060-byte records. Before that: --help prints its
# usage and ends, --build builds a project without a window, and a first
# argument naming no file gives its box, then the main window.
# Usage: startup_exit.sh PATH/TO/kivhelp   (run under xvfb-run)
set -euo pipefail
exe="$1"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_CONFIG_HOME="$work/cfg"
export HOME="$work/home"; mkdir -p "$HOME"
unset QT_QPA_PLATFORM

pid=
fail() { echo "FAIL: $*"; [ -n "$pid" ] && kill "$pid" 2>/dev/null; exit 1; }

timeout 20 "$exe" --help > help.txt || fail "--help did not end at once with success"
grep -q '^Usage : kivhelp' help.txt || fail "--help printed no usage"
grep -q -- '--build' help.txt || fail "--help does not list --build"

# --build: the sample project built and published without a window, the
# settings untouched; a topic the conversion refuses makes it fail.
cp -r "$root/resources/sample" built
timeout 120 "$exe" --build built/Kivhelp/Kivhelp.PRJ > build.out 2>&1 || fail "--build failed: $(cat build.out)"
[ "$(od -An -tx1 -N4 built/Kivhelp.COM/Kivhelp.HLP | tr -d ' ')" = "3f5f0300" ] || fail "--build published no help file"
[ ! -e "$XDG_CONFIG_HOME/kivhelp/kivhelp.INI" ] || fail "--build wrote the settings file"
timeout 120 "$exe" --build built/Kivhelp/Kivhelp.PRJ --format html > build.out 2>&1 || fail "--build --format html failed: $(cat build.out)"
grep -q 'Kivhelp' built/Kivhelp.COM/Kivhelp_html/index.html || fail "--build --format html published no pages"
if command -v chmcmd >/dev/null; then
  timeout 120 "$exe" --build built/Kivhelp/Kivhelp.PRJ --format chm > build.out 2>&1 || fail "--build --format chm failed: $(cat build.out)"
  [ "$(head -c 4 built/Kivhelp.COM/Kivhelp.chm)" = "ITSF" ] || fail "--build --format chm published no .chm"
fi
# An error of the compiler (the pages' folder cannot be made) fails the build.
mv built/Kivhelp.COM/Kivhelp_html built/html.saved && touch built/Kivhelp.COM/Kivhelp_html
code=0; timeout 120 "$exe" --build built/Kivhelp/Kivhelp.PRJ --format html > build.out 2>&1 || code=$?
[ "$code" -eq 1 ] && grep -q 'HC5003: Error' build.out || fail "--build whose compiler reports an error ended with $code: $(cat build.out)"
rm built/Kivhelp.COM/Kivhelp_html
printf '\\par @_12_broken\r\n' >> built/Kivhelp/Kivhelp.1
code=0; timeout 120 "$exe" --build built/Kivhelp/Kivhelp.PRJ > build.out 2>&1 || code=$?
[ "$code" -eq 1 ] || fail "--build of a project that cannot be converted ended with $code: $(cat build.out)"
code=0; timeout 20 "$exe" --build absent.PRJ > build.out 2>&1 || code=$?
[ "$code" -eq 2 ] || fail "--build of a missing project ended with $code"

# Waits until a visible window of that name exists (10 s at most).
wait_window() {
  xdotool search --sync --onlyvisible --name "$1" >/dev/null 2>&1 &
  local finder=$!
  for _ in $(seq 100); do kill -0 "$finder" 2>/dev/null || return 0; sleep 0.1; done
  kill "$finder"
  return 1
}

"$exe" "$work/absent.PRJ" &
pid=$!
wait_window "KivHelp" || fail "no box for the missing file"
sleep 0.5
xdotool key Return
wait_window "KIV Help" || fail "the main window never showed after the missing-file box"
kill "$pid"; wait "$pid" 2>/dev/null || true
rm -rf "$XDG_CONFIG_HOME" "$HOME"; mkdir -p "$HOME"

"$exe" D O &
pid=$!

# The window appears on the third tick after the loop starts.
wait_window "KIV Help" || fail "the main window never showed"
sleep 0.5

# Fichier > Sortir du Programme
xdotool mousemove 20 8 click 1
sleep 0.5
xdotool key Down Down Down Down Down Down Down Down Return
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
