#!/bin/bash
# What opening a project in the window costs, in CPU: the program started
# on a 2-topic project and on a 499-topic one (about 1.5 MB of topics), left
# to settle, then stopped. Prints both CPU times and their ratio (the
# target is at most 2).
#   bash bench/window_open.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
mkdir -p "$work/grand" "$work/petit"
"$build/kivhelp_savestress" "$work/grand" 499 2 1 >/dev/null
"$build/kivhelp_savestress" "$work/petit" 2 2 1 >/dev/null
cpu_ms() { # the CPU the program used to open the project and settle
    "$build/kivhelp" "$1" >/dev/null 2>&1 &
    local pid=$!
    sleep "${SETTLE:-5}"
    local ticks
    ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    awk '/VmRSS/ {print $2}' "/proc/$pid/status" > "$work/rss"
    kill -9 "$pid"; wait "$pid" 2>/dev/null || true
    echo $((ticks * 1000 / $(getconf CLK_TCK)))
}
size=$(du -sk "$work/grand/Stress" | cut -f1)
small=0; big=0
for i in 1 2 3; do
    small=$((small + $(cpu_ms "$work/petit/Stress/Stress.PRJ")))
    rssSmall=$(cat "$work/rss")
    big=$((big + $(cpu_ms "$work/grand/Stress/Stress.PRJ")))
    rssBig=$(cat "$work/rss")
done
echo "window open, 2 topics: $((small / 3)) ms CPU, $((rssSmall / 1024)) MB; 499 topics (${size} KB): $((big / 3)) ms CPU, $((rssBig / 1024)) MB; CPU ratio $(awk "BEGIN{printf \"%.2f\", $big/$small}")"
