#!/usr/bin/env bash
# The real program driven by mouse and keyboard in a virtual X server of
# 1280x800: a new project, topics added by name, one made a sub-topic with
# the keyboard, text typed, saved, built with the help compiler shipped
# beside the program (a warning in its messages), then the program left;
# the files it left are checked. SHOTS=folder keeps screenshots.  Usage (under xvfb-run): new_project.sh PATH/TO/kivhelp
set -euo pipefail
exe="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p projets cfg/kivhelp
printf '[Config]\r\nDIRPATH=%s/projets/\r\nCOMPIL_POL_T=50\r\nCOMPIL_TO=3000\r\nBACKUP_PERIOD=10\r\nNB_LASTPROJECTS=0\r\n' \
  "$work" > cfg/kivhelp/kivhelp.INI
export XDG_CONFIG_HOME="$work/cfg"
unset QT_QPA_PLATFORM

"$exe" &
pid=$!
fail() { echo "FAIL: $*"; kill "$pid" 2>/dev/null || true; exit 1; }
step() { sleep "${1:-1}"; kill -0 "$pid" 2>/dev/null || fail "the program ended early"; }
shot() { if [ -n "${SHOTS:-}" ]; then import -window root "$SHOTS/$1.png"; fi; }

xdotool search --sync --onlyvisible --name "KIV HELP" >/dev/null 2>&1 &
finder=$!
for _ in $(seq 100); do kill -0 "$finder" 2>/dev/null || break; sleep 0.1; done
kill -0 "$finder" 2>/dev/null && { kill "$finder"; fail "the main window never showed"; }
step 1

xdotool mousemove 96 40 click 1          # CREER UN NOUVEAU PROJET
step 1
xdotool type --delay 30 "Essai"
xdotool key Return
step 2
[ -f projets/Essai/Essai.PRJ ] || fail "the new project was not saved"

xdotool mousemove 700 137 click 1        # the new-page field empties on a click
step 0.5
xdotool type --delay 30 "Installation"
xdotool key Return
step 1
xdotool mousemove 640 500 click 1        # into the new topic's text (the new topic is shown)
step 0.5
xdotool key ctrl+End
xdotool type --delay 20 "Bonjour le monde"
step 0.5
xdotool mousemove 700 137 click 1        # a second topic, then under the first one
step 0.5
xdotool type --delay 30 "Mode d'emploi"
xdotool key Return
step 1
xdotool mousemove 80 212 click 1         # its row in the outline, which keeps the keys
step 0.5
xdotool key ctrl+shift+Right
step 1
shot tree
xdotool key ctrl+s
step 2

xdotool mousemove 180 8 click 1          # Configurer/Compiler
step 0.5
xdotool key Down Down Down Return        # Creation du fichier d'Aide HLP
step 4
shot messages

xdotool mousemove 605 40 click 1         # FERMER KIVHELP V 2.1
step 1
xdotool key n                            # do not save again: it was just built
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after the exit command"

p=projets/Essai
grep -q $'^Installation\r$' "$p/Essai.PRJ" || fail "no topic Installation in the outline: $(cat -A "$p/Essai.PRJ")"
grep -q $'^\tMode d\'emploi\r$' "$p/Essai.PRJ" || fail "Mode d'emploi is not under Installation: $(cat -A "$p/Essai.PRJ")"
grep -q "HC4014" "$p/Essai.ERR" && fail "the build warned of a context the program made itself: $(cat "$p/Essai.ERR")"
grep -q "Bonjour le monde" "$p/Installation.2" || fail "the typed text is not in the new topic's file"
[ -f "$p/Installation.2" ] || fail "no file for the added topic"
grep -q "Bonjour le monde" "$p/T2.rtf" || fail "the topic was not converted"
grep -q '^#{\\footnote # Essai }' "$p/T1.rtf" || fail "no context footnote"
grep -q "T2.RTF" "$p/Essai.HPJ" || fail "the help project does not list both topics"
[ "$(od -An -tx1 -N4 projets/Essai.COM/Essai.HLP | tr -d ' ')" = "3f5f0300" ] || fail "no help file was published"
grep -q "LASTPROJECT1=.*Essai.PRJ" cfg/kivhelp/kivhelp.INI || fail "the project is not in the recent list"
echo "1 passed, 0 failed"
