#!/usr/bin/env bash
# Builds the Windows tree (x86_64-w64-mingw32) and runs its tests under Wine,
# in a Wine prefix of its own inside the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/steps.sh
. scripts/wine-env.sh

jobs=${JOBS:-2}
build=build/win64

quorvane_step "find Wine" quorvane_find_wine || exit 1

# The Win32 window is built once it exists.
window=OFF
[ -f ui/win32/CMakeLists.txt ] && window=ON

quorvane_step "configure the Windows build" \
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$QUORVANE_WINE" -DQUORVANE_WINDOW="$window" -DQUORVANE_TESTS=ON >/dev/null || exit 1
quorvane_step "build the Windows build" cmake --build "$build" -j "$jobs" || exit 1

export WINEPREFIX="$PWD/$build/wineprefix"
# Deterministic texts: Wine gives the C locale the English (US) user locale,
# whose ANSI code page is 1252; UTF-8 for the host's file names.
export LANG=C.UTF-8
unset LC_ALL

# A display only for the window tests; the console programs need none.
run=()
if [ "$window" = ON ] && [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "xvfb-run not found (Debian package xvfb)" >&2; exit 1; }
  run=(xvfb-run -a -s "-screen 0 1280x1024x24")
fi
trap quorvane_stop_wine EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  quorvane_step "make the Wine prefix" quorvane_make_wine_prefix "${run[@]}" || exit 1
fi
# Xvfb runs no window manager, yet Wine waits up to two seconds for one to
# withdraw each managed window it hides. The window tests' windows are left
# unmanaged, as windows on a display without a manager are (Wine then draws
# their frames itself).
leave_unmanaged() {
  "$QUORVANE_WINE" reg add 'HKCU\Software\Wine\AppDefaults\ui_win32_tests.exe\X11 Driver' \
    /v Managed /d N /f >/dev/null &&
  # This run has no display: its server must be gone before the tests start
  # theirs on the virtual display, or their screen is a display-less 1024 x 768.
  "$QUORVANE_WINESERVER" -w
}
quorvane_step "leave the window tests' windows unmanaged" leave_unmanaged || exit 1
# A test program that starts just as the Wine server quits after the last one
# can be turned away ("recvmsg: Connection reset by peer"); such a test gets
# one more run. A persistent server is no cure: the services it keeps hold the
# first test's output open, and ctest waits for it forever.
quorvane_step "run the Windows tests under Wine" \
  "${run[@]}" ctest --test-dir "$build" --output-on-failure -j "$jobs" --repeat until-pass:2 || exit 1
