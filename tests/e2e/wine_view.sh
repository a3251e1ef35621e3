#!/usr/bin/env bash
# Opens the help files the tests left in Wine's help viewer and checks,
# from the viewer's trace and a screenshot, what each .expected file lists:
# page titles, fonts, hotspots, a context string leading to its page, the
# main window's place and colour, pictures, the order of texts, keywords of
# the index; and that no error was logged.
#   wine_view.sh DIR WINEPREFIX   (under xvfb-run; DIR holds Aide.hlp from
#   the build test and Corpus.hlp from the compiler test, with their
#   .expected files)
set -euo pipefail
dir="$1"
export WINEPREFIX="$2"
command -v wine >/dev/null || { echo "wine is not installed: skipped"; exit 77; }
[ -f "$dir/Aide.hlp" ] && [ -f "$dir/Aide.expected" ] || { echo "FAIL: no help file from the build test in $dir"; exit 1; }
[ -f "$dir/Corpus.hlp" ] && [ -f "$dir/Corpus.expected" ] || { echo "FAIL: no help file from the compiler test in $dir"; exit 1; }
export WINEDEBUG=fixme-all,+winhelp WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
trace="$(mktemp)"
trap 'rm -f "$trace" "$trace".*; wineserver -k 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Runs the viewer until it has drawn its first page, or written WAIT_FOR
# to its trace (or 90 s went by).
view() { # trace file, viewer arguments...
  local out="$1"; shift
  wine winhlp32.exe "$@" > "$out" 2>&1 &
  local pid=$!
  for _ in $(seq 900); do
    grep -qF "${WAIT_FOR:-HLPFILE_RtfAddControl \"\}\"}" "$out" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  sleep 1
  if [ -n "${SHOT:-}" ]; then import -window root "$SHOT"; fi
  kill "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# Line number of the first trace line with a text, for order checks.
text_line() { grep -n -F "Got text: \"$2" "$1" | head -1 | cut -d: -f1; }

check() { # base name of the help file
  local base="$1" hlp="$dir/$1.hlp" expected="$dir/$1.expected"
  SHOT="$trace.png" view "$trace" "$hlp"
  grep -q 'Got system header: magic=036c version=1.33' "$trace" || fail "$base: the viewer did not read the file's header: $(grep winhelp "$trace" | head -5)"
  while read -r kind value; do
    case "$kind" in
      title) grep -qF "title=\"$value\"" "$trace" || fail "$base: page \"$value\" not read" ;;
      font) grep -qF "face=\"$value\"" "$trace" || fail "$base: font \"$value\" not read" ;;
      jump) grep -qF "\"@$value:" "$trace" || fail "$base: jump to hash $value not read" ;;
      macro) grep -qF "macro => \"$value\"" "$trace" || fail "$base: macro $value not read" ;;
      window) # name x y width height
        set -- $value
        grep -qE "System-Window: .*name=\"$1\".*\($2,$3\)x\($4,$5\)" "$trace" || fail "window $value not read: $(grep System-Window "$trace")" ;;
      colour) # x y colour, read from the screenshot of the first page
        set -- $value
        got=$(convert "$trace.png" -format "%[pixel:p{$1,$2}]" info:)
        [ "$got" = "$3" ] || fail "pixel ($1,$2) is $got, not $3" ;;
      picture) # width height
        set -- $value
        grep -qE "RtfAddBitmap planes=1 bc=[0-9]+ size=\($1,$2\)" "$trace" || fail "picture of $1x$2 not drawn: $(grep RtfAddBitmap "$trace")" ;;
      order) # two texts of the first page, in reading order
        first="${value%% *}"; second="${value#* }"
        a=$(text_line "$trace" "$first"); b=$(text_line "$trace" "$second")
        [ -n "$a" ] && [ -n "$b" ] && [ "$a" -lt "$b" ] || fail "\"$first\" (line ${a:-none}) not before \"$second\" (line ${b:-none})" ;;
      index) WAIT_FOR=cb_KWBTree view "$trace.index" -i "$value" "$hlp" ;; # a page whose entry macro opens the index
      keyword)
        [ "$(grep -cF "Adding \"$value\" to search list" "$trace.index")" -eq 1 ] || fail "keyword \"$value\" not listed once: $(grep cb_KWBTree "$trace.index" | head -5)" ;;
      nokeyword)
        grep -qF "Adding \"$value\" to search list" "$trace.index" && fail "keyword \"$value\" listed apart" ;;
      context)
        name="${value%% *}"; title="${value#* }"
        offset=$(grep -F "title=\"$title\"" "$trace" | sed -n 's/.*<< 0*\([0-9a-f]*\) >>.*/\1/p' | head -1)
        view "$trace.2" -i "$name" "$hlp"
        grep -q "HLPFILE_PageByOffset.*\[${offset:-none}\]" "$trace.2" \
          || fail "context $name does not lead to page \"$title\" (offset ${offset:-none}): $(grep -E 'PageBy' "$trace.2" | head -3)"
        grep -E 'err:winhelp|Error while reading' "$trace.2" && fail "errors logged when opening at $name"
        ;;
    esac
  done < "$expected"
  pages=$(grep -c 'HLPFILE_AddPage Added page' "$trace")
  titles=$(grep -c '^title ' "$expected")
  [ "$pages" -eq $((titles + 1)) ] || fail "$base: $pages pages read, $((titles + 1)) expected (with the closing one)"
  if grep -E 'err:winhelp|Error while reading' "$trace"; then fail "$base: the viewer logged errors"; fi
  echo "$base: $pages pages"
}

check Aide
check Corpus
echo "1 passed, 0 failed"
