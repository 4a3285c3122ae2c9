#!/usr/bin/env bash
# Builds the Release tree and runs the window. Without a display the window
# runs on a virtual one (xvfb-run): a picture of it is saved after its first
# reload (QUORVANE_SNAPSHOT, read only for this) and the script prints where.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target quorvane
program="$build/main/quorvane"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi

picture="$PWD/$build/quorvane-window.png"
echo "No display found: starting the window on a virtual display (xvfb-run)."
QUORVANE_SNAPSHOT="$picture" xvfb-run -a -s "-screen 0 1280x1024x24" "$program"
echo "A picture of the window after its first reload: $picture"
