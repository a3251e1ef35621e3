#!/usr/bin/env bash
# Installs what is missing, builds, then starts KivHelp ("run") or runs the
# whole test suite ("test"). Safe to run again: it installs only missing
# packages and rebuilds only what changed.
set -euo pipefail

mode="${1:-run}"
shift || true
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev
          libbenchmark-dev fonts-dejavu-core xvfb xauth xdotool imagemagick wine wine64 libwine halibut
          qt6-translations-l10n openbox fonts-liberation2 hunspell-fr libhunspell-dev chromium fp-utils libchm-bin python3
          libstemmer-dev poppler-utils nodejs libstemmer-tools hunspell-tools hunspell-en-us hunspell-it hunspell-de-de
          hunspell-es hunspell-pt-pt hunspell-nl hunspell-ru fonts-wqy-microhei xchm
          libcairo2-dev libpango1.0-dev libqpdf-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  as_root=()
  if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DKIVHELP_BENCH=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"

case "$mode" in
  run)
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display found: starting KivHelp under a virtual X server (xvfb-run)."
      exec xvfb-run -a "$build/kivhelp" "$@"
    fi
    exec "$build/kivhelp" "$@"
    ;;
  test)
    export QT_QPA_PLATFORM=offscreen
    cd "$build"
    exec ctest --output-on-failure --parallel "$(nproc)" "$@"
    ;;
  *)
    echo "usage: $0 run|test [arguments]" >&2
    exit 2
    ;;
esac
