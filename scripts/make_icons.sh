#!/usr/bin/env bash
# Renders the tool-bar icons (resources/icons/*.svg, our own drawings) to the
# 48-pixel PNG files that the program ships. Needs ImageMagick.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../resources/icons"
for svg in *.svg; do
  convert -background none -density 576 "$svg" -resize 48x48 -depth 8 "${svg%.svg}.png"
done
