#!/usr/bin/env bash
# A crash while typing: text is typed into two topics of the real program,
# which is then killed (SIGKILL) before any save. The recent list and the
# last project were written when the project opened. Started again with no
# argument, it opens that project and offers the recovery copy at once;
# accepted and saved, both texts are in the topic files, and the keywords
# typed for one in the project's keywords file. SHOTS=folder keeps screenshots.
# Usage (under xvfb-run): recovery.sh PATH/TO/kivhelp
set -euo pipefail
exe="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p projets/Panne cfg/kivhelp
printf '[Config]\r\nDIRPATH=%s/projets/\r\nBACKUP_PERIOD=10\r\nNB_LASTPROJECTS=0\r\n' "$work" > cfg/kivhelp/kivhelp.INI
printf 'Panne\r\nInstallation\r\nUtilisation\r\n' > projets/Panne/Panne.PRJ
: > projets/Panne/Panne.CDE
for t in Panne.1 Installation.2 Utilisation.3; do
  printf '{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\r\n{\\colortbl;}\r\n\\f0 Texte de d\\'"'"'e9part\\par\r\n}\r\n' > "projets/Panne/$t"
done
export XDG_CONFIG_HOME="$work/cfg"
unset QT_QPA_PLATFORM
if command -v openbox >/dev/null 2>&1; then openbox >/dev/null 2>&1 & fi

pid=
fail() { echo "FAIL: $*"; [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; exit 1; }
step() { sleep "${1:-1}"; kill -0 "$pid" 2>/dev/null || fail "the program ended early"; }
shot() { if [ -n "${SHOTS:-}" ]; then import -window root "$SHOTS/$1.png"; fi; }
# Waits (up to 30 s) until the command succeeds: what a loaded machine
# delays is waited for, not guessed.
until_ok() { # what failed, command...
  local what="$1"; shift
  for _ in $(seq 150); do "$@" >/dev/null 2>&1 && return 0; sleep 0.2; done
  fail "$what"
}
start() { # [project]
  "$exe" "$@" &
  pid=$!
  for _ in $(seq 100); do xdotool search --onlyvisible --name "KIV HELP|KivHelp" >/dev/null 2>&1 && break; sleep 0.1; done
  xdotool search --onlyvisible --name "KIV HELP|KivHelp" >/dev/null 2>&1 || fail "the main window never showed"
  step 2
}

start "$work/projets/Panne/Panne.PRJ"
until_ok "the window title does not name the project" xdotool search --onlyvisible --name '^Panne — Panne — KivHelp$'
xdotool mousemove 66 196 click 1      # the topic Installation
step 1
xdotool mousemove 640 500 click 1     # its text
xdotool key ctrl+End
xdotool type --delay 20 " Premier ajout"
step 0.5
xdotool mousemove 66 212 click 1      # the topic Utilisation
step 1
xdotool mousemove 640 500 click 1
xdotool key ctrl+End
xdotool type --delay 20 " Second ajout"
xdotool mousemove 1000 157 click 1    # its index keywords
xdotool type --delay 20 "panne; secours"
step 4                                # typing stopped: the copy follows
until_ok "the recovery copy never held the typing" grep -rqs "Second ajout" projets/.Panne.kvstate/recovery/
until_ok "the recovery copy never held the keywords" grep -rqs "panne; secours" projets/.Panne.kvstate/recovery/
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
grep -q "ajout" projets/Panne/*.2 projets/Panne/*.3 && fail "the text reached the topic files without a save"
[ -f projets/.Panne.kvstate/recovery/manifest ] || fail "no recovery copy beside the project"

grep -rqs "Premier ajout" projets/.Panne.kvstate/recovery/ || fail "the first topic's typing is not in the recovery copy"
grep -q "LASTOPEN=$work/projets/Panne/Panne.PRJ" cfg/kivhelp/kivhelp.INI || fail "the last project was not written before the crash"

start                                 # no project named: the last one
until_ok "the recovery question never showed" xdotool search --onlyvisible --name '^KivHelp$'
shot recovery-question
xdotool key Return                    # Oui: restore
step 1
shot recovered
xdotool key ctrl+s
until_ok "the first topic's text was not recovered" grep -q "Premier ajout" projets/Panne/Installation.2
until_ok "the second topic's text was not recovered" grep -q "Second ajout" projets/Panne/Utilisation.3
until_ok "the keywords were not recovered" grep -q "Utilisation.panne; secours" projets/Panne/Panne.KEY
[ -e projets/.Panne.kvstate/recovery/manifest ] && fail "the recovery copy outlived the save"
[ -e projets/Panne/.Panne.kvstate ] && fail "the recovery copy went into the project folder"
kill "$pid" 2>/dev/null || true
echo "1 passed, 0 failed"
