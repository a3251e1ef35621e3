#!/usr/bin/env bash
# Screenshots of the main window with a project open and of each dialog, in
# a virtual X server of 1280x800 (positions below are for that size).
#   bash tests/e2e/screenshots.sh [build/kivhelp] [output folder]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
exe="${1:-$root/build/kivhelp}"
out="$(realpath -m "${2:-$root/build/screenshots}")"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A small project made in the program's own formats.
prj="$work/projets/Manuel"
mkdir -p "$prj" "$work/cfg/kivhelp"
printf 'Manuel\r\n\tInstallation\r\n\tUtilisation\r\n\t\tMenus\r\n' > "$prj/Manuel.PRJ"
topic() { # file, title, body
  printf '{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720{\\fonttbl{\\f0\\fnil\\fcharset0 DejaVu Sans;}}\r\n{\\colortbl ;\\red0\\green128\\blue0;}\r\n\\deflang1036\\pard\\qc\\plain\\f0\\fs32\\b %s\\par\r\n\\pard\\plain\\f0\\fs26 %s \\plain\\f0\\fs26\\cf1 @_0_voir_aussi_@\\plain\\f0\\fs26  pour continuer.\\par\r\n}\r\n' "$2" "$3" > "$1"
}
topic "$prj/Manuel.1" "Manuel de KivHelp" "Bienvenue dans l\\'e9diteur d\\'aide. Lisez"
topic "$prj/Installation.2" "Installation" "Deux commandes suffisent. Voir"
topic "$prj/Utilisation.3" "Utilisation" "Les menus et les barres d\\'outils. Voir"
topic "$prj/Menus.4" "Menus" "Chaque commande du menu. Voir"
printf '{\\uldb voir aussi}{\\v Installation}\r\n' > "$prj/Manuel.CDE"
printf '[Config]\r\nDIRPATH=%s/projets/\r\nNB_LASTPROJECTS=1\r\nLASTPROJECT1=%s\r\n' "$work" "$prj/Manuel.PRJ" \
  > "$work/cfg/kivhelp/kivhelp.INI"

export XDG_CONFIG_HOME="$work/cfg"
cd "$work"
cat > "$work/session.sh" <<SESSION
shoot() { sleep 1; import -window root "$out/\$1.png"; }
"$exe" "$prj/Manuel.PRJ" &
pid=\$!
sleep 4
xdotool mousemove 90 177 click 1           # the topic "Installation" in the outline
sleep 1
shoot main
xdotool key ctrl+f; shoot find; xdotool key Escape
xdotool mousemove 180 8 click 1; sleep 0.5; xdotool key Down Return; shoot program-settings; xdotool key Escape
xdotool mousemove 180 8 click 1; sleep 0.5; xdotool key Down Down Return; shoot project-settings; xdotool key Escape
xdotool mousemove 480 40 click 1; shoot titles; xdotool key Escape
xdotool mousemove 640 500 click 3; sleep 1; shoot popup; xdotool key Escape
kill \$pid 2>/dev/null || true
SESSION
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/session.sh"
ls "$out"
