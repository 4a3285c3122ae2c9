#!/usr/bin/env bash
# Makes docs/screenshot-windows.png: quorvane.exe under Wine on a virtual
# display, over the processes Wine runs, with Wine's explorer.exe selected and
# the help of its "Virengefahr" row shown; and docs/screenshot-windows-narrow.png,
# the same at the narrowest width the window allows. Each picture is what the
# screen shows of the window's client area (QUORVANE_SNAPSHOT*, read only for this).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
scripts/install-deps.sh
quorvane_find_wine

build=build/win64
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$QUORVANE_WINE" -DQUORVANE_WINDOW=ON >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target quorvane

export WINEPREFIX="$PWD/$build/wineprefix"
# As for the tests: Wine's English (US) user locale, ANSI code page 1252.
export LANG=C.UTF-8
unset LC_ALL
display=(xvfb-run -a -s "-screen 0 1280x1024x24")
trap quorvane_stop_wine EXIT
quorvane_make_wine_prefix "${display[@]}"

mkdir -p docs
snapshot() {  # picture, narrowest (0 or 1)
  local picture="$PWD/docs/$1"
  # Wine's drive Z: is the host's root.
  QUORVANE_SNAPSHOT="Z:${picture//\//\\}" QUORVANE_SNAPSHOT_PROCESS=explorer.exe QUORVANE_SNAPSHOT_NARROWEST=$2 \
    "${display[@]}" "$QUORVANE_WINE" "$build/main/quorvane.exe"
}
snapshot screenshot-windows.png 0
snapshot screenshot-windows-narrow.png 1
