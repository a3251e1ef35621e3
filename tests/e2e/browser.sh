#!/usr/bin/env bash
# The web pages the compiler test leaves, in headless Chromium: a search run
# from the address finds a word of the last topic (whose context "index"
# gives the page index_.html: index.html is the contents), the first page's
# jump leads to a page with its anchor, its pop-up opens, its pictures and
# table are there. SHOTS=folder keeps a screenshot of the first page.
#   browser.sh DIR   (DIR holds Corpus_html from the compiler test)
set -euo pipefail
dir="$1/Corpus_html"
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "chromium is not installed: skipped"; exit 77; }
[ -f "$dir/index.html" ] || { echo "FAIL: no web pages from the compiler test in $dir"; exit 1; }
fail() { echo "FAIL: $*"; exit 1; }
dom() { timeout 60 "$browser" --headless --no-sandbox --disable-gpu --dump-dom "$1" 2>/dev/null; }

hits=$(dom "file://$dir/search.html?q=zygomatique" | grep -o '<ul id="hits">.*</ul>' || true)
echo "$hits" | grep -q 'href="index_.html"' || fail "the search did not find the last topic's word: $hits"
first=$(dom "file://$dir/first.html")
echo "$first" | grep -q '<img src="images/image' || fail "no picture in the first page"
for img in $(echo "$first" | grep -o 'images/image[0-9]*\.png' | sort -u); do
  [ -s "$dir/$img" ] || fail "picture $img missing"
done
[ "$(echo "$first" | grep -c '<table class="cells">')" -ge 1 ] || fail "no table in the first page"
# A jump of the first page: the page it names has the anchor.
jump=$(echo "$first" | grep -o 'class="jump" href="[^"]*"' | head -1 | sed 's/.*href="//; s/"$//' || true)
[ -n "$jump" ] || fail "no jump in the first page"
dom "file://$dir/${jump%%#*}" | grep -q "id=\"${jump#*#}\"" || fail "the jump to $jump does not lead to its anchor"
# Its pop-up, opened from the address: the box shows.
n=$(echo "$first" | grep -o 'data-popup="[0-9]*"' | head -1 | grep -o '[0-9][0-9]*' || true)
[ -n "$n" ] || fail "no pop-up in the first page"
dom "file://$dir/first.html?popup=$n" | grep -q "id=\"box-$n\" style=\"[^\"]*display: block" \
  || fail "the pop-up $n of the first page does not open"
if [ -n "${SHOTS:-}" ]; then
  timeout 60 "$browser" --headless --no-sandbox --disable-gpu --window-size=1000,700 \
    --screenshot="$SHOTS/web-first-page.png" "file://$dir/first.html" >/dev/null 2>&1 || true
fi
echo "1 passed, 0 failed"
