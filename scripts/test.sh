#!/usr/bin/env bash
# Builds and runs every test: the Linux build (under ASan and UBSan) and, when
# its tool chain file is present, the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=${JOBS:-2}

cmake -S . -B build/linux -G Ninja -DQUORVANE_SANITIZE=ON -DQUORVANE_BENCH=ON >/dev/null
cmake --build build/linux -j "$jobs"
ctest --test-dir build/linux --output-on-failure -j "$jobs"

if [ -f cmake/mingw-w64-x86_64.cmake ]; then
  scripts/test-windows.sh
fi
