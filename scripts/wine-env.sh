# Sourced by every script that runs Windows programs: finds Wine once and sets
#   QUORVANE_WINE        the loader (Debian's wine64 package puts none on PATH:
#                        its loader is /usr/lib/wine/wine64)
#   QUORVANE_WINESERVER  the server, to stop a prefix's server when done
# and a quiet environment for the runs. Returns 1, with the reason on standard
# error, when Wine is not installed.

quorvane_find_wine() {
  local candidate
  QUORVANE_WINE=""
  QUORVANE_WINESERVER=""
  for candidate in "$(command -v wine64 || true)" "$(command -v wine || true)" \
                   /usr/lib/wine/wine64 /usr/lib/wine/wine; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      QUORVANE_WINE=$candidate
      break
    fi
  done
  for candidate in "$(command -v wineserver || true)" /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      QUORVANE_WINESERVER=$candidate
      break
    fi
  done
  if [ -z "$QUORVANE_WINE" ] || [ -z "$QUORVANE_WINESERVER" ]; then
    echo "Wine not found: neither wine64 nor wine on PATH nor in /usr/lib/wine (Debian package wine64)" >&2
    return 1
  fi
  export QUORVANE_WINE QUORVANE_WINESERVER
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer prompts
}

# Stops the server of the prefix in WINEPREFIX, so that nothing lingers.
quorvane_stop_wine() {
  [ -n "${QUORVANE_WINESERVER:-}" ] && "$QUORVANE_WINESERVER" -k 2>/dev/null || true
}

# Makes the Wine prefix in WINEPREFIX unless it exists: wineboot, run through
# the given command words (e.g. xvfb-run ... for a display), then waits for the
# server to write the registry files.
quorvane_make_wine_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  "$@" "$QUORVANE_WINE" wineboot -i >/dev/null 2>&1 || true
  "$QUORVANE_WINESERVER" -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot made no prefix in $WINEPREFIX" >&2; return 1; }
}
