#!/usr/bin/env bash
# Installs a build with "cmake --install" into a new folder and checks that the
# installation is complete and that its programs run from there: the report
# command, the window (on Qt's offscreen platform, and without any display),
# the desktop entry, the icons, the man pages and the exit page.
# Usage: check-install.sh BUILD-FOLDER
set -euo pipefail
build=$1
. "$(dirname "$0")/check-common.sh"
prefix=$work

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/quorvane bin/quorvane-report share/quorvane/Quorvane.htm share/applications/quorvane.desktop \
            share/man/man1/quorvane.1.gz share/man/man1/quorvane-report.1.gz; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
for program in quorvane quorvane-report; do
  [ -x "$prefix/bin/$program" ] || fail "not executable: bin/$program"
done

# The window program looks for its exit page in this folder, relative to its own.
[ -f "$prefix/bin/../share/quorvane/Quorvane.htm" ] || fail "the exit page is not where the window looks"

# Desktop entry: valid, starting the installed program, with an installed icon.
entry=$prefix/share/applications/quorvane.desktop
if ! report=$(desktop-file-validate "$entry" 2>&1) || [ -n "$report" ]; then
  fail "desktop-file-validate: $report"
fi
grep -qx 'Exec=quorvane' "$entry" || fail "the desktop entry does not start quorvane"
grep -qx 'Categories=System;Monitor;' "$entry" || fail "the desktop entry's categories"
for key in 'Name' 'Name\[de\]' 'Comment' 'Comment\[de\]'; do
  grep -qE "^$key=.+" "$entry" || fail "the desktop entry has no $key"
done
icon=$(sed -n 's/^Icon=//p' "$entry")
# Every icon a PNG of the size its folder names (width and height at bytes 16 to 23).
sizes=0
for png in "$prefix"/share/icons/hicolor/*/apps/"$icon".png; do
  [ -f "$png" ] || continue
  sizes=$((sizes + 1))
  folder=$(basename "$(dirname "$(dirname "$png")")")
  read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
  signature=$(od -An -c -j1 -N3 "$png" | tr -d ' ')
  actual="$(( (w1 << 24) + (w2 << 16) + (w3 << 8) + w4 ))x$(( (h1 << 24) + (h2 << 16) + (h3 << 8) + h4 ))"
  [ "$signature" = PNG ] || fail "$png is no PNG file"
  [ "$actual" = "$folder" ] || fail "$png is $actual"
done
[ "$sizes" -ge 4 ] || fail "the icon \"$icon\" is installed in $sizes sizes"

# The man pages: compressed, and naming their programs.
for page in quorvane quorvane-report; do
  title=$(gzip -dc "$prefix/share/man/man1/$page.1.gz" | grep -m 1 '^\.TH ' | sed 's/\\-/-/g') || true
  [[ "$title" == ".TH ${page^^} 1 "* ]] || fail "man page $page.1.gz begins: $title"
done

# The report command from the installation.
version=$("$prefix/bin/quorvane-report" --version) || fail "quorvane-report --version failed"
[ "$version" = "quorvane-report 1.2.0.0" ] || fail "quorvane-report --version said: $version"
header=$("$prefix/bin/quorvane-report" - | head -n 1) || true
[[ "$header" == Name$'\t'Pfad$'\t'* ]] || fail "the installed report command wrote no report: $header"

# The window from the installation, on the offscreen platform: its first
# reload done, it saves a picture and ends. Fontconfig's allocations are no
# leaks of ours.
export ASAN_OPTIONS=detect_leaks=0
if ! QT_QPA_PLATFORM=offscreen QUORVANE_SNAPSHOT="$prefix/window.png" timeout 120 "$prefix/bin/quorvane" >/dev/null 2>&1 ||
   [ ! -s "$prefix/window.png" ]; then
  fail "the installed window program did not show its window"
fi

# Without any display: one line and exit code 1, not an abort.
rc=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/quorvane" >"$prefix/out" 2>"$prefix/err" || rc=$?
[ "$rc" -eq 1 ] || fail "without a display the window program ended with $rc"
[ ! -s "$prefix/out" ] || fail "without a display the window program wrote to standard output"
[ "$(wc -l <"$prefix/err")" -eq 1 ] || fail "without a display the window program wrote: $(cat "$prefix/err")"
grep -q '^quorvane: .*DISPLAY' "$prefix/err" || fail "the message without a display: $(cat "$prefix/err")"

finish "the installation is complete and its programs run"
