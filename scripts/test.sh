#!/usr/bin/env bash
# Builds and runs every test: the Linux build (under ASan and UBSan), the
# Windows build under Wine, and a comparison of the two builds' version readers
# over the PE files that Wine installs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=${JOBS:-2}

cmake -S . -B build/linux -G Ninja -DQUORVANE_SANITIZE=ON -DQUORVANE_BENCH=ON >/dev/null
cmake --build build/linux -j "$jobs"
ctest --test-dir build/linux --output-on-failure -j "$jobs"

if [ -f cmake/mingw-w64-x86_64.cmake ]; then
  scripts/test-windows.sh
  # Both readers of version resources over the same real-world files.
  tests/compare-wine-pe-files.sh build/linux build/win64
  wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
  WINEPREFIX="$PWD/build/win64/wineprefix" "$wineserver" -k 2>/dev/null || true
fi
