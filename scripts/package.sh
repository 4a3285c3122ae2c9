#!/usr/bin/env bash
# Builds the Release tree for an installation below /usr and makes the Debian
# package of it (cpack -G DEB); prints where the package is.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DQUORVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/quorvane_*.deb
