#!/usr/bin/env bash
# Makes docs/screenshot.png: the window over this machine's processes on a
# virtual display, with the X server's process selected (a file of a Debian
# package) and the help of its "Virengefahr" row shown.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target quorvane

mkdir -p docs
QUORVANE_SNAPSHOT="$PWD/docs/screenshot.png" QUORVANE_SNAPSHOT_PROCESS=Xvfb \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/main/quorvane"
