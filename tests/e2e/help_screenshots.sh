#!/usr/bin/env bash
# Screenshots of compiled help files in Wine's help viewer, in a virtual X
# server of 1024x768: the program's own help (first page, its index, and the
# page of a context string), the help file of the end-to-end build test, and
# pages of other people's projects built with kivhc (equations and tables,
# PNG icons, a table with split bitmap commands).
#   bash tests/e2e/help_screenshots.sh [build folder] [output folder]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
out="$(realpath -m "${2:-$build/screenshots}")"
mkdir -p "$out"
command -v wine >/dev/null || { echo "wine is not installed"; exit 1; }
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Other people's projects, built into a scratch folder.
corpus="$root/../shared/corpus/winhelp"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if [ -d "$corpus" ]; then
  cp -r "$corpus/andes-fbd" "$corpus/demist" "$corpus/vidsend2-it" "$work/"
  for hpj in "$work/andes-fbd/hlp/FBD.hpj" "$work/demist/hlp/demist.hpj" "$work/vidsend2-it/hlp/vidsend2.hpj"; do
    "$build/kivhc" --missing-files=warning "$hpj" >/dev/null
  done
fi

cat > "$out/.session.sh" <<SESSION
shoot() { # name, viewer arguments...
  local name="\$1"; shift
  wine winhlp32.exe "\$@" >/dev/null 2>&1 &
  sleep 6
  import -window root "$out/\$name.png"
  wineserver -k 2>/dev/null || true
  sleep 1
}
shoot help-kivhelp "$build/KIVHelp.hlp"
wine winhlp32.exe "$build/KIVHelp.hlp" >/dev/null 2>&1 &   # its index (keywords)
sleep 6; xdotool mousemove 115 52 click 1; sleep 2
import -window root "$out/help-kivhelp-index.png"; wineserver -k 2>/dev/null || true; sleep 1
shoot help-kivhelp-page -i Construire_le_fichier_daide "$build/KIVHelp.hlp"
[ -f "$build/e2e/Aide.hlp" ] && shoot help-built-project "$build/e2e/Aide.hlp"
[ -f "$build/e2e/Corpus.hlp" ] && shoot help-compiler-checks "$build/e2e/Corpus.hlp"
if [ -f "$work/andes-fbd/hlp/FBD.hlp" ]; then
  shoot help-corpus-equations -i HIDC_KINVEL "$work/andes-fbd/hlp/FBD.hlp"
  shoot help-corpus-png -i HIDR_SIMULTYPE_AGGREGATE "$work/demist/hlp/demist.HLP"
  shoot help-corpus-table -i menu_file "$work/vidsend2-it/hlp/vidsend2.HLP"
  shoot help-corpus-split-bitmap -i HID_FILE_NEW "$work/vidsend2-it/hlp/vidsend2.HLP"
fi
true
SESSION
xvfb-run -a -s "-screen 0 1024x768x24" bash "$out/.session.sh"
rm -f "$out/.session.sh"
ls "$out"/help-*.png
