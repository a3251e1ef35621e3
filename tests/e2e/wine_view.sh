#!/usr/bin/env bash
# Opens a help file made by the program in Wine's help viewer and checks,
# from the viewer's trace, that it read every page title, font and hotspot
# the build test listed, that a context string leads to its page, and that
# no error was logged.
#   wine_view.sh DIR WINEPREFIX   (under xvfb-run; DIR holds Aide.hlp and
#   Aide.expected, written by the build test)
set -euo pipefail
dir="$1"
export WINEPREFIX="$2"
command -v wine >/dev/null || { echo "wine is not installed: skipped"; exit 77; }
[ -f "$dir/Aide.hlp" ] && [ -f "$dir/Aide.expected" ] || { echo "FAIL: no help file from the build test in $dir"; exit 1; }
export WINEDEBUG=fixme-all,+winhelp WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
trace="$(mktemp)"
trap 'rm -f "$trace" "$trace.2"; wineserver -k 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Runs the viewer until it has drawn its first page (or 90 s went by).
view() { # trace file, viewer arguments...
  local out="$1"; shift
  wine winhlp32.exe "$@" > "$out" 2>&1 &
  local pid=$!
  for _ in $(seq 900); do
    grep -q 'HLPFILE_RtfAddControl "}"' "$out" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  sleep 1
  kill "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

view "$trace" "$dir/Aide.hlp"
grep -q 'Got system header: magic=036c version=1.33' "$trace" || fail "the viewer did not read the file's header: $(grep winhelp "$trace" | head -5)"
while read -r kind value; do
  case "$kind" in
    title) grep -qF "title=\"$value\"" "$trace" || fail "page \"$value\" not read" ;;
    font) grep -qF "face=\"$value\"" "$trace" || fail "font \"$value\" not read" ;;
    jump) grep -qF "\"@$value:" "$trace" || fail "jump to hash $value not read" ;;
    macro) grep -qF "macro => \"$value\"" "$trace" || fail "macro $value not read" ;;
    context)
      name="${value%% *}"; title="${value#* }"
      offset=$(grep -F "title=\"$title\"" "$trace" | sed -n 's/.*<< 0*\([0-9a-f]*\) >>.*/\1/p' | head -1)
      view "$trace.2" -i "$name" "$dir/Aide.hlp"
      grep -q "HLPFILE_PageByOffset.*\[${offset:-none}\]" "$trace.2" \
        || fail "context $name does not lead to page \"$title\" (offset ${offset:-none}): $(grep -E 'PageBy' "$trace.2" | head -3)"
      grep -E 'err:winhelp|Error while reading' "$trace.2" && fail "errors logged when opening at $name"
      ;;
  esac
done < "$dir/Aide.expected"
pages=$(grep -c 'HLPFILE_AddPage Added page' "$trace")
expected=$(grep -c '^title ' "$dir/Aide.expected")
[ "$pages" -eq $((expected + 1)) ] || fail "$pages pages read, $((expected + 1)) expected (with the closing one)"
if grep -E 'err:winhelp|Error while reading' "$trace"; then fail "the viewer logged errors"; fi
echo "1 passed, 0 failed ($pages pages)"
