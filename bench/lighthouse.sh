#!/bin/bash
# Lighthouse (mobile) on every kind of web page of the sample project: a
# topic, the contents, the keyword index, the search with hits, a page
# with pop-ups when there is one. Prints the accessibility and best
# practices scores of each (the target is 100). Lighthouse comes from the
# npm registry into a cache folder the first time.
#   bash bench/lighthouse.sh BUILD_DIR [SITE_DIR]
# Needs chromium, node/npm and python3.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
cache="${XDG_CACHE_HOME:-$HOME/.cache}/kivhelp-bench/lighthouse"
if [ ! -x "$cache/node_modules/.bin/lighthouse" ]; then
    mkdir -p "$cache"
    npm install --prefix "$cache" --no-audit --no-fund lighthouse@12 >/dev/null
fi
work=$(mktemp -d)
server=
trap 'if [ -n "$server" ]; then kill "$server" 2>/dev/null; fi; rm -rf "$work"' EXIT
if [ -n "${2:-}" ]; then
    site=$(cd "$2" && pwd)
else
    cp -r "$(dirname "$0")/../resources/sample" "$work/sample"
    HOME="$work" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen \
        "$build/kivhelp" --build "$work/sample/Kivhelp/Kivhelp.PRJ" --format html >/dev/null
    site="$work/sample/Kivhelp.COM/Kivhelp_html"
fi
port=$((20000 + RANDOM % 20000))
(cd "$site" && exec python3 -m http.server "$port" --bind 127.0.0.1 >/dev/null 2>&1) &
server=$!
sleep 1
topic=$(grep -o ',"[^"]*\.html' "$site/toc.js" | tail -1 | tr -d ',"')
popup=$(grep -l 'class="popup"' "$site"/*.html 2>/dev/null | head -1 || true)
word=$(sed 's/<[^>]*>/ /g' "$site/$topic" | grep -o '[[:alpha:]]\{6,\}' | head -1)
pages=("$topic" "index.html" "keywords.html" "search.html?q=$word")
[ -n "$popup" ] && pages+=("$(basename "$popup")")
for page in "${pages[@]}"; do
    "$cache/node_modules/.bin/lighthouse" "http://127.0.0.1:$port/$page" --quiet --output=json --output-path="$work/report.json" \
        --only-categories=accessibility,best-practices --chrome-flags="--headless --no-sandbox" >/dev/null 2>&1 || true
    python3 - "$work/report.json" "$page" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))
c = r["categories"]
failed = [a["id"] for a in r["audits"].values() if a.get("score") is not None and a["score"] < 1 and a.get("scoreDisplayMode") == "binary"]
print(f"{sys.argv[2]}: accessibility {round(c['accessibility']['score'] * 100)}, best practices {round(c['best-practices']['score'] * 100)}"
      + (f" (below 1: {', '.join(failed)})" if failed else ""))
PY
done
