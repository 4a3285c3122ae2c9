#!/usr/bin/env bash
# Builds the Windows tree (x86_64-w64-mingw32) and runs its tests under Wine,
# in a Wine prefix of its own inside the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${JOBS:-2}
build=build/win64

# The Win32 window is built once it exists.
window=OFF
[ -f ui/win32/CMakeLists.txt ] && window=ON

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DQUORVANE_WINDOW="$window" -DQUORVANE_TESTS=ON >/dev/null
cmake --build "$build" -j "$jobs"

wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer prompts
# Deterministic texts: Wine gives the C locale the English (US) user locale,
# whose ANSI code page is 1252; UTF-8 for the host's file names.
export LANG=C.UTF-8
unset LC_ALL

# A display only for the window tests; the console programs need none.
run=()
if [ "$window" = ON ] && [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  run=(xvfb-run -a)
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "${run[@]}" "$wine" wineboot -i >/dev/null 2>&1 || true
fi
status=0
"${run[@]}" ctest --test-dir "$build" --output-on-failure -j "$jobs" || status=$?
# The prefix's server outlives the tests; stop it so that nothing lingers.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
"$wineserver" -k 2>/dev/null || true
exit $status
