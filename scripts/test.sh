#!/usr/bin/env bash
# Builds and runs every test: the Linux build (under ASan and UBSan), the
# Windows build under Wine, a comparison of the two builds' version readers
# over the PE files that Wine installs, and a short run of every fuzz target
# (QUORVANE_FUZZ_SECONDS each, 30 by default; 0 leaves it out). Every step that fails says so by name;
# the exit code is 0 only when all of them passed.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/steps.sh

jobs=${JOBS:-2}

quorvane_step "install the Debian packages" scripts/install-deps.sh || exit 1

linux_tests() {
  quorvane_step "configure the Linux build" \
    cmake -S . -B build/linux -G Ninja -DQUORVANE_SANITIZE=ON -DQUORVANE_BENCH=ON >/dev/null &&
  quorvane_step "build the Linux build" cmake --build build/linux -j "$jobs" &&
  quorvane_step "run the Linux tests" ctest --test-dir build/linux --output-on-failure -j "$jobs"
}
linux_tests || true

if quorvane_step "build and test the Windows build under Wine" scripts/test-windows.sh; then
  if [ -x build/linux/main/quorvane-report ]; then
    quorvane_step "compare both version readers over Wine's PE files" \
      tests/compare-wine-pe-files.sh build/linux build/win64 || true
  fi
fi

fuzz_seconds=${QUORVANE_FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" -gt 0 ]; then
  quorvane_step "fuzz every parser for $fuzz_seconds s each" scripts/fuzz.sh --seconds "$fuzz_seconds" || true
fi

quorvane_finish
